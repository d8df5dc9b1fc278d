// PNG through libpng, every write checked by the output file.
#include <png.h>

#include "tools/writers/writers.h"

namespace {

void write_bytes(png_structp png, png_bytep data, png_size_t n) {
  tw_write(*static_cast<tw_file *>(png_get_io_ptr(png)), data, n);
}

void flush_nothing(png_structp) {}

// libpng's own errors (it cannot run out of anything else here) end the
// program like a failed write; the file is still unfinished and removed.
[[noreturn]] void png_failed(png_structp png, png_const_charp message) {
  tw_fail(static_cast<tw_file *>(png_get_io_ptr(png))->path, message);
}

}  // namespace

void tw_png(const std::string &path, int w, int h, int channels, const uint8_t *data) {
  tw_file file;
  tw_png_write(file, path, w, h, channels, data);
  tw_commit({&file});
}

void tw_png_write(tw_file &file, const std::string &path, int w, int h, int channels, const uint8_t *data) {
  tw_open(file, path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_failed, nullptr);
  if (!png) tw_fail(path, "out of memory");
  png_infop info = png_create_info_struct(png);
  if (!info) tw_fail(path, "out of memory");
  png_set_write_fn(png, &file, write_bytes, flush_nothing);
  png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; y++) png_write_row(png, const_cast<png_bytep>(data + size_t(y) * size_t(w) * size_t(channels)));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  tw_close(file);
}
