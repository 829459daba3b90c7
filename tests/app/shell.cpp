#include "app/about.h"
#include "app/jpeg.h"
#include "app/launcher.h"
#include "gui/messages.h"
#include "app/molarixapplication.h"
#include "app/splash.h"
#include "data/db/dberror.h"
#include "tests/common/testmain.h"
#include "tests/common/testutil.h"
#include <QBuffer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QResource>
#include <QTest>
#include <QTimer>

// Pictures, splash, about box and the general error report's safety net.
class ShellTest : public QObject {
    Q_OBJECT

    static QByteArray resource(const QString &name)
    {
        LoadPicture(name);   // makes sure the pictures are linked in
        QFile f(QStringLiteral(":/assets/") + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void picturesDecodeLikeQtsOwnReader_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("main") << "main.jpg";
        QTest::newRow("splash") << "splash.jpg";
        QTest::newRow("about") << "about.jpg";
    }
    void picturesDecodeLikeQtsOwnReader()
    {
        QFETCH(QString, name);
        const QByteArray bytes = resource(name);
        QVERIFY(bytes.startsWith("\xFF\xD8"));
        const QImage ours = DecodeJpeg(bytes);
        QVERIFY(!ours.isNull());
        QImage reference;
        if (!reference.loadFromData(bytes, "JPEG"))
            QSKIP("Qt's JPEG reader is not installed");
        QCOMPARE(ours.size(), reference.size());
        // Same pixels, up to the rounding of the inverse DCT.
        const QImage a = ours.convertToFormat(QImage::Format_RGB32);
        const QImage b = reference.convertToFormat(QImage::Format_RGB32);
        int worst = 0;
        for (int y = 0; y < a.height(); y += 3)
            for (int x = 0; x < a.width(); x += 3) {
                const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                worst = qMax(worst, qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q)));
            }
        QVERIFY2(worst <= 6, qPrintable(QString::number(worst)));
    }

    // The splash shows splash.jpg as decoded when the program was built,
    // from an uncompressed resource, pixel for pixel what decoding it gives.
    void splashPictureIsTheJpegDecodedAtBuildTime()
    {
        const QResource baked(QStringLiteral(":/assets/splash.rgb32"));
        QVERIFY(baked.isValid());
        QCOMPARE(baked.compressionAlgorithm(), QResource::Compression::NoCompression);
        const QImage decoded = DecodeJpeg(resource(QStringLiteral("splash.jpg")));
        QVERIFY(!decoded.isNull());
        QCOMPARE(SplashPicture(), decoded);
    }

    void greyJpegIsWidened()
    {
        QImage grey(16, 8, QImage::Format_Grayscale8);
        grey.fill(200);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!grey.save(&buffer, "JPEG", 100))
            QSKIP("Qt's JPEG writer is not installed");
        const QImage ours = DecodeJpeg(bytes);
        QCOMPARE(ours.size(), QSize(16, 8));
        QVERIFY(qAbs(qRed(ours.pixel(3, 3)) - 200) <= 2);
        QCOMPARE(qRed(ours.pixel(3, 3)), qBlue(ours.pixel(3, 3)));
    }

    void damagedInputGivesNoPicture()
    {
        QVERIFY(DecodeJpeg({}).isNull());
        QVERIFY(DecodeJpeg(QByteArray("not a picture at all")).isNull());
        QVERIFY(DecodeJpeg(resource(QStringLiteral("about.jpg")).left(40)).isNull());
        QVERIFY(LoadPicture(QStringLiteral("missing.jpg")).isNull());
    }

    void splashClosesItselfAfterTheDelay()
    {
        if (!qEnvironmentVariableIsSet("MOLARIX_SPLASH_MS"))
            QCOMPARE(SplashDelayMs(), 3000);
        SetSplashDelayMs(3000);
        {
            TForm4 s;
            QCOMPARE(s.Timer1->interval(), 3000);
            QVERIFY(s.Timer1->isActive());
            QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
            QVERIFY(s.windowFlags() & Qt::WindowStaysOnTopHint);
            QCOMPARE(s.windowTitle(), QStringLiteral("Molarix"));
            QVERIFY(!child<QLabel>(&s, "Image1")->pixmap().isNull());
        }
        SetSplashDelayMs(0);
        TForm4 s;
        QCOMPARE(s.exec(), int(QDialog::Accepted));
        QVERIFY(!s.Timer1->isActive());
        // Work handed to it runs once, with its picture painted, while it stays.
        SetSplashDelayMs(60000);
        TForm4 staying;
        int runs = 0;
        bool painted = false;
        staying.whileShown([&] {
            ++runs;
            painted = staying.isVisible() && staying.Timer1->isActive();
            staying.accept();
        });
        QCOMPARE(staying.exec(), int(QDialog::Accepted));
        QCOMPARE(runs, 1);
        QVERIFY(painted);
        SetSplashDelayMs(-1);
    }

    void aboutBoxLinks()
    {
        Launcher::setRecording(true);
        Launcher::takeRequests();
        TForm62 f;
        f.show();
        QCOMPARE(f.windowTitle(), QStringLiteral("About Molarix"));
        QVERIFY(child<QLabel>(&f, "Label6")->text().contains(QStringLiteral("Version 1.0.0.2009")));
        QVERIFY(!child<QLabel>(&f, "Image1")->pixmap().isNull());
        auto *site = child<QLabel>(&f, "Label3");
        auto *mail = child<QLabel>(&f, "Label4");
        QVERIFY(site->font().underline());
        QCOMPARE(site->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(site, Qt::LeftButton);
        QTest::mouseClick(mail, Qt::LeftButton);
        QTest::mouseClick(child<QLabel>(&f, "Image2"), Qt::LeftButton);
        QTest::mouseClick(child<QLabel>(&f, "Label9"), Qt::LeftButton);   // plain text: nothing
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(3, 3), QPoint(3, 3));
        QApplication::sendEvent(&f, &menu);
        QCOMPARE(Launcher::takeRequests(),
                 (QStringList{QStringLiteral("url ") + site->text(), QStringLiteral("url mailto:") + mail->text(),
                              QStringLiteral("url ") + QLatin1String(TForm62::SecondPage),
                              QStringLiteral("url ") + QLatin1String(Launcher::PublisherPage)}));
        QTest::keyClick(&f, Qt::Key_Escape);
        QVERIFY(!f.isVisible());
        Launcher::setRecording(false);
    }

    void failuresEscapingHandlersAreReported()
    {
        Messages::takeShown();
        QVERIFY(!MolarixApplication::deliverReporting([]() -> bool { throw DbError(QStringLiteral("Δεν βρέθηκε")); }));
        QVERIFY(!MolarixApplication::deliverReporting([]() -> bool { throw std::runtime_error("disk full."); }));
        QVERIFY(MolarixApplication::deliverReporting([] { return true; }));
        const auto shown = Messages::takeShown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].kind, Messages::Kind::Error);
        QCOMPARE(shown[0].text, QStringLiteral("Δεν βρέθηκε."));
        QCOMPARE(shown[1].text, QStringLiteral("disk full."));
    }
};

MOLARIX_TEST(ShellTest)
#include "shell.moc"
