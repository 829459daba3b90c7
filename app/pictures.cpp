#include "app/jpeg.h"
#include <QFile>
#include <QResource>
#include <cstring>

static void initPictures()
{
    // The pictures live in the static GUI library; make sure they are linked in.
    static const bool done = [] {
        Q_INIT_RESOURCE(assets);
        return true;
    }();
    Q_UNUSED(done);
}

QImage LoadPicture(const QString &name)
{
    initPictures();
    QFile f(QStringLiteral(":/assets/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return DecodeJpeg(f.readAll());
}

QImage SplashPicture()
{
    const QResource baked(QStringLiteral(":/assets/splash.rgb32"));
    const uchar *data = baked.data();
    const BakedPictureHeader expected;
    BakedPictureHeader h;
    if (data && baked.compressionAlgorithm() == QResource::Compression::NoCompression
        && baked.size() >= qint64(sizeof h)) {
        std::memcpy(&h, data, sizeof h);
        if (std::memcmp(h.magic, expected.magic, sizeof h.magic) == 0 && h.width > 0 && h.height > 0
            && h.width <= 10000 && h.height <= 10000
            && baked.size() == qint64(sizeof h) + qint64(h.width) * qint64(h.height) * 4) {
            // Shown straight from the program's own memory; rows must be
            // 4-byte aligned for that, else a copy.
            const uchar *pixels = data + sizeof h;
            const QImage image(pixels, int(h.width), int(h.height), int(h.width) * 4, QImage::Format_RGB32);
            return quintptr(pixels) % 4 == 0 ? image : image.copy();
        }
    }
    return LoadPicture(QStringLiteral("splash.jpg"));
}
