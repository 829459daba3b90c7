#pragma once
#include <QDialog>
#include <functional>
#include <memory>
#include <thread>

namespace Ui {
class TForm4;
}
class QTimer;

// How long the splash stays, in ms: 3000, or MOLARIX_SPLASH_MS from the
// environment (end-to-end tests), or what a test set.
int SplashDelayMs();
void SetSplashDelayMs(int ms);   // negative: back to the default

// Reads the system's font configuration on a thread of its own from the
// start of the program, while the display is connected and the splash is
// made: the first window with text then finds it read.
class FontConfigReader {
public:
    FontConfigReader();
    ~FontConfigReader();
    FontConfigReader(const FontConfigReader &) = delete;
    FontConfigReader &operator=(const FontConfigReader &) = delete;

private:
    std::thread m_thread;
};

// Splash window: the picture, borderless and on top, closing itself after
// the delay.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;
    QTimer *Timer1;

    // Work done while the splash stays, once its picture is on screen (the
    // window after it made ready); never, if the splash goes first.
    void whileShown(std::function<void()> work) { m_whileShown = std::move(work); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Timer1Timer();
    std::function<void()> m_whileShown;
    std::unique_ptr<Ui::TForm4> ui;
};
