#include "cli/png_image.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace kesh {

namespace {

struct ErrorText {
    char text[256] = {};
};

void OnError(png_structp png, png_const_charp message) {
    auto* error = static_cast<ErrorText*>(png_get_error_ptr(png));
    std::snprintf(error->text, sizeof error->text, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    // No exception may cross libpng's C frames: a failed append becomes a libpng error.
    bool appended = true;
    try {
        out->insert(out->end(), data, data + length);
    } catch (...) {
        appended = false;
    }
    if (!appended) png_error(png, "out of memory");
}

void NoFlush(png_structp) {}

// Holds only trivially destructible locals, so a long jump out of libpng skips no destructor.
bool WriteImage(png_structp png, png_infop info, const PngImage& image, png_bytepp rows,
                std::vector<uint8_t>* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, out, AppendBytes, NoFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width),
                 static_cast<png_uint_32>(image.height), 8,
                 image.channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

bool EncodePng(const PngImage& image, std::vector<uint8_t>& png, std::string& error) {
    if (image.width <= 0 || image.height <= 0) {
        error = "the image is empty (" + std::to_string(image.width) + " x " +
                std::to_string(image.height) + ")";
        return false;
    }
    if (image.channels != 3 && image.channels != 4) {
        error = "unsupported number of channels";
        return false;
    }
    size_t rowBytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.channels);
    if (image.pixels.size() / rowBytes != static_cast<size_t>(image.height) ||
        image.pixels.size() % rowBytes != 0) {
        error = "the pixel buffer does not match the image size";
        return false;
    }

    ErrorText errorText;
    png_structp writer =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &errorText, OnError, OnWarning);
    if (writer == nullptr) {
        error = "cannot start the PNG encoder";
        return false;
    }
    png_infop info = png_create_info_struct(writer);
    if (info == nullptr) {
        png_destroy_write_struct(&writer, nullptr);
        error = "cannot start the PNG encoder";
        return false;
    }

    // libpng reads the rows through non-const pointers but does not change them.
    std::vector<png_bytep> rows(static_cast<size_t>(image.height));
    auto* first = const_cast<png_bytep>(image.pixels.data());
    for (size_t y = 0; y < rows.size(); ++y)
        rows[y] = first + y * rowBytes;

    png.clear();
    bool ok = WriteImage(writer, info, image, rows.data(), &png);
    png_destroy_write_struct(&writer, &info);
    if (!ok) {
        error = std::string("PNG encoding failed: ") + errorText.text;
        png.clear();
    }
    return ok;
}

}  // namespace kesh
