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
