#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// Decodes a JPEG with libjpeg straight into a QImage (RGB888). A damaged or
// non-JPEG input gives a null image.
QImage DecodeJpeg(const QByteArray &data);

// One of the program's own pictures: "main.jpg", "splash.jpg", "about.jpg".
QImage LoadPicture(const QString &name);
