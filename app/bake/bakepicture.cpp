// Decodes a JPEG picture at build time into what the splash shows without
// decoding it (the layout of BakedPictureHeader).
//   molarix-bakepicture IN.jpg OUT
#include "app/jpeg.h"
#include <QFile>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s IN.jpg OUT\n", argv[0]);
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    const QImage image = in.open(QIODevice::ReadOnly) ? DecodeJpeg(in.readAll()) : QImage();
    if (image.isNull() || image.format() != QImage::Format_RGB32) {
        std::fprintf(stderr, "%s: not a picture this program decodes\n", argv[1]);
        return 1;
    }
    BakedPictureHeader header;
    header.width = quint32(image.width());
    header.height = quint32(image.height());
    QSaveFile out(QString::fromLocal8Bit(argv[2]));
    bool ok = out.open(QIODevice::WriteOnly)
        && out.write(reinterpret_cast<const char *>(&header), sizeof header) == qint64(sizeof header);
    for (int y = 0; ok && y < image.height(); ++y)
        ok = out.write(reinterpret_cast<const char *>(image.constScanLine(y)), qint64(image.width()) * 4)
            == qint64(image.width()) * 4;
    if (!ok || !out.commit()) {
        std::fprintf(stderr, "%s: %s\n", argv[2], qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
