#pragma once
#include <QDialog>
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

// Splash window: the picture, borderless and on top, closing itself after
// the delay. While it is up, the system's font configuration is read in the
// background, so that the access check after it draws its texts at once.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget *parent = nullptr);
    ~TForm4() override;
    QTimer *Timer1;

private:
    void Timer1Timer();
    std::thread m_fonts;
    std::unique_ptr<Ui::TForm4> ui;
};
