#include "app/splash.h"
#include "app/jpeg.h"
#include "ui_splash.h"
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <fontconfig/fontconfig.h>

namespace {
int g_delay = -1;
}

int SplashDelayMs()
{
    if (g_delay >= 0)
        return g_delay;
    bool ok = false;
    const int fromEnv = qEnvironmentVariableIntValue("MOLARIX_SPLASH_MS", &ok);
    return ok && fromEnv >= 0 ? fromEnv : 3000;
}

void SetSplashDelayMs(int ms) { g_delay = ms; }

FontConfigReader::FontConfigReader()
    : m_thread([] { FcInit(); })
{
}

FontConfigReader::~FontConfigReader() { m_thread.join(); }

TForm4::TForm4(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm4>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    const QImage picture = SplashPicture();
    ui->Image1->setPixmap(QPixmap::fromImage(picture));
    if (!picture.isNull()) {
        resize(picture.size());
        // The opaque picture covers the whole window: no background under it.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    setFixedSize(size());
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(SplashDelayMs());
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
}

TForm4::~TForm4() = default;

void TForm4::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // After this picture has reached the screen, not before it.
    if (m_whileShown)
        QTimer::singleShot(0, this, std::exchange(m_whileShown, {}));
}

void TForm4::Timer1Timer()
{
    Timer1->stop();
    accept();
}
