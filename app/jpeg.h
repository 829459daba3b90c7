#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG with libjpeg straight into a QImage (RGB888). A damaged or
// non-JPEG input gives a null image.
QImage DecodeJpeg(const QByteArray &data);

// One of the program's own pictures: "main.jpg", "splash.jpg", "about.jpg".
QImage LoadPicture(const QString &name);
// The splash's picture: splash.jpg as decoded when the program was built, so
// that the splash shows without decoding it (splash.jpg decoded now when
// that copy is missing or damaged).
QImage SplashPicture();

// What molarix-bakepicture writes and SplashPicture reads: this header (in
// the byte order of the machine that built the program), then the rows as a
// QImage::Format_RGB32 holds them.
struct BakedPictureHeader {
    char magic[8] = {'M', 'X', 'R', 'G', 'B', '3', '2', '\0'};
    quint32 width = 0;
    quint32 height = 0;
};
