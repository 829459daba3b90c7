#include "app/jpeg.h"
#include <QFile>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

void onMessage(j_common_ptr) {}   // warnings are not printed

// Kept apart from everything with a destructor: longjmp skips them.
bool decodeInto(const unsigned char *bytes, unsigned long size, QImage *out)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = onMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, const_cast<unsigned char *>(bytes), size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    // Straight into the screen's own layout (grey pictures widened too):
    // a pixmap is then made without converting every pixel again.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    cinfo.out_color_space = JCS_EXT_BGRA;
#else
    cinfo.out_color_space = JCS_EXT_ARGB;
#endif
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 4) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB32);
    if (out->isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

}   // namespace

QImage DecodeJpeg(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    QImage image;
    if (!decodeInto(reinterpret_cast<const unsigned char *>(data.constData()),
                    static_cast<unsigned long>(data.size()), &image))
        return {};
    return image;
}
