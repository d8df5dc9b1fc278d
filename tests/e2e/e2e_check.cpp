// Measurements for the end-to-end scripts, so that they need nothing but
// the shell and this program.
//
//   e2e_check png FILE
//     prints "W H TYPE NONBLACK CORR COLOURS": size, libpng colour type,
//     per mille of pixels brighter than 16 (max channel), the correlation
//     x 1000 of each pixel's luma with its right-hand neighbour, and the
//     number of distinct colours (a flat fill has 1 or 2).
//   e2e_check same-audio DISKFILE WAVFILE BYTES BLOCK
//     finds the first multiple of BLOCK in the raw DISKFILE at which the
//     first BYTES bytes of WAVFILE's data follow; every byte before it must
//     be 0 (the device's silent blocks while paused). Prints the offset;
//     status 1 when there is none.
//   e2e_check nonsilent FILE
//     prints the number of 16-bit samples that are not 0.
//   e2e_check enlarged SMALL BIG SCALE [X Y]
//     status 0 when the PNG BIG is SMALL with every pixel made a SCALE x
//     SCALE block; prints the per mille of SMALL's pixels brighter than 16,
//     or where the first difference is. With X Y, that enlarged picture is
//     the part of BIG from (X, Y), which may be larger.
//   e2e_check black-outside FILE X Y W H
//     status 0 when every pixel of FILE outside the rectangle is black.
//   e2e_check grab WINDOW FILE
//     the contents of the X window WINDOW (an id, or "root" for the whole
//     screen) on $DISPLAY as an 8-bit RGB PNG; the same pixels give the
//     same bytes. Prints what `png FILE` would. Status 1 when the window
//     cannot be read.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool read_file(const char *path, std::vector<unsigned char> &data) {
  FILE *f = std::fopen(path, "rb");
  if (!f) return false;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  return true;
}

// An 8-bit RGB PNG, rows top to bottom.
struct Rgb {
  int w = 0, h = 0;
  std::vector<unsigned char> px;
  const unsigned char *at(int x, int y) const { return &px[(size_t(y) * w + x) * 3]; }
};

// Reads `path` into `img` when it is an 8-bit RGB PNG; `type` (if given)
// gets the file's colour type, its size goes to img.w and img.h either way.
// False for a file that is missing, not a PNG, or not 8-bit RGB.
bool load_rgb(const char *path, Rgb &img, int *type = nullptr) {
  FILE *f = std::fopen(path, "rb");
  if (!f) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {  // not a PNG, or broken: no colour type either
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    if (type) *type = -1;
    return false;
  }
  png_init_io(png, f);
  png_read_info(png, info);
  img.w = int(png_get_image_width(png, info));
  img.h = int(png_get_image_height(png, info));
  if (type) *type = png_get_color_type(png, info);
  bool ok = png_get_color_type(png, info) == PNG_COLOR_TYPE_RGB && png_get_bit_depth(png, info) == 8;
  if (ok) {
    img.px.resize(size_t(img.w) * img.h * 3);
    std::vector<png_bytep> rows(img.h);
    for (int y = 0; y < img.h; y++) rows[y] = &img.px[size_t(y) * img.w * 3];
    png_read_image(png, rows.data());
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(f);
  return ok;
}

// The measurements of `png`: per mille of pixels brighter than 16 (max
// channel), the correlation x 1000 of each pixel's luma with its right-hand
// neighbour, and the number of distinct colours (counted in a bit per
// possible colour, so a full screen costs no more than a few passes; the
// 2 MB are calloc'd, so only the pages of colours that occur are touched).
void print_stats(const Rgb &img, int type) {
  const int w = img.w, h = img.h;
  const std::unique_ptr<uint64_t, decltype(&std::free)> bits(
      static_cast<uint64_t *>(std::calloc(size_t(1) << 18, sizeof(uint64_t))), &std::free);
  uint64_t *seen = bits.get();
  if (!seen) {
    std::fprintf(stderr, "out of memory\n");
    std::exit(2);
  }
  size_t colours = 0;
  long bright = 0;
  double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
  long n = 0;
  auto luma = [&](int x, int y) {
    const unsigned char *p = img.at(x, y);
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
  };
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const unsigned char *p = img.at(x, y);
      bright += std::max(p[0], std::max(p[1], p[2])) > 16;
      const uint32_t c = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
      const uint64_t bit = uint64_t(1) << (c & 63);
      colours += !(seen[c >> 6] & bit);
      seen[c >> 6] |= bit;
      if (x + 1 < w) {
        const double a = luma(x, y), b = luma(x + 1, y);
        sx += a, sy += b, sxx += a * a, syy += b * b, sxy += a * b, n++;
      }
    }
  const double cov = sxy / n - (sx / n) * (sy / n);
  const double va = sxx / n - (sx / n) * (sx / n), vb = syy / n - (sy / n) * (sy / n);
  const double corr = va > 0 && vb > 0 ? cov / std::sqrt(va * vb) : 0;
  std::printf("%d %d %d %ld %d %zu\n", w, h, type, bright * 1000 / (long(w) * h), int(std::lround(corr * 1000)),
              colours);
}

int png_stats(const char *path) {
  if (FILE *f = std::fopen(path, "rb"))
    std::fclose(f);
  else {
    std::fprintf(stderr, "cannot open %s\n", path);
    return 1;
  }
  Rgb img;
  int type = -1;
  if (!load_rgb(path, img, &type)) {
    if (type < 0) {
      std::fprintf(stderr, "bad PNG %s\n", path);
      return 1;
    }
    std::printf("%d %d %d 0 0 0\n", img.w, img.h, type);  // not 8-bit RGB: sized, not measured
    return 0;
  }
  print_stats(img, type);
  return 0;
}

int enlarged(const char *small_path, const char *big_path, int scale, int left = 0, int top = 0, bool part = false) {
  Rgb a, b;
  if (!load_rgb(small_path, a) || !load_rgb(big_path, b) || scale < 1) {
    std::fprintf(stderr, "cannot read %s or %s as 8-bit RGB\n", small_path, big_path);
    return 2;
  }
  const int w = a.w * scale, h = a.h * scale;
  if (part ? left < 0 || top < 0 || b.w < left + w || b.h < top + h : b.w != w || b.h != h) {
    std::printf("%dx%d %s %dx%d times %d at %d,%d\n", b.w, b.h, part ? "cannot hold" : "is not", a.w, a.h, scale,
                left, top);
    return 1;
  }
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++)
      if (std::memcmp(b.at(left + x, top + y), a.at(x / scale, y / scale), 3)) {
        const unsigned char *p = b.at(left + x, top + y), *q = a.at(x / scale, y / scale);
        std::printf("differs at %d,%d: %d %d %d, not %d %d %d\n", left + x, top + y, p[0], p[1], p[2], q[0], q[1],
                    q[2]);
        return 1;
      }
  long lit = 0;
  for (int y = 0; y < a.h; y++)
    for (int x = 0; x < a.w; x++) lit += *std::max_element(a.at(x, y), a.at(x, y) + 3) > 16;
  std::printf("%ld\n", lit * 1000 / (long(a.w) * a.h));
  return 0;
}

int black_outside(const char *path, int rx, int ry, int rw, int rh) {
  Rgb a;
  if (!load_rgb(path, a)) {
    std::fprintf(stderr, "cannot read %s as 8-bit RGB\n", path);
    return 2;
  }
  for (int y = 0; y < a.h; y++)
    for (int x = 0; x < a.w; x++) {
      if (x >= rx && x < rx + rw && y >= ry && y < ry + rh) continue;
      const unsigned char *p = a.at(x, y);
      if (p[0] | p[1] | p[2]) {
        std::printf("not black at %d,%d\n", x, y);
        return 1;
      }
    }
  return 0;
}

// ---- grab ------------------------------------------------------------------

bool x_failed;
int note_x_error(Display *, XErrorEvent *) {
  x_failed = true;
  return 0;
}

// One TrueColor channel: where its mask starts and how to bring it to
// 0..255 (its top 8 bits, or scaled up from fewer).
struct Channel {
  unsigned long mask = 0, top = 0;
  int shift = 0, bits = 0;
  explicit Channel(unsigned long m) : mask(m) {
    if (!m) return;
    while (!(m >> shift & 1)) shift++;
    top = m >> shift;
    while (top >> bits) bits++;
  }
  uint8_t of(unsigned long p) const {
    if (!mask) return 0;
    const unsigned long v = (p & mask) >> shift;
    return uint8_t(bits >= 8 ? v >> (bits - 8) : v * 255 / top);
  }
};

// Window `win`'s pixels as RGB into `img`; false when the X server refuses.
bool grab_window(Display *dpy, Window win, Rgb &img) {
  XWindowAttributes wa;
  if (!XGetWindowAttributes(dpy, win, &wa) || x_failed) return false;
  XImage *xi = XGetImage(dpy, win, 0, 0, unsigned(wa.width), unsigned(wa.height), AllPlanes, ZPixmap);
  XSync(dpy, False);
  if (!xi || x_failed) return false;
  img.w = wa.width;
  img.h = wa.height;
  img.px.resize(size_t(img.w) * img.h * 3);
  // 32-bit pixels in this machine's byte order are read directly, others
  // through Xlib's general (slow) accessor.
  const Channel r(xi->red_mask), g(xi->green_mask), b(xi->blue_mask);
  const bool direct = xi->bits_per_pixel == 32 && xi->byte_order == (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? LSBFirst : MSBFirst);
  for (int y = 0; y < img.h; y++)
    for (int x = 0; x < img.w; x++) {
      uint32_t word;
      if (direct) std::memcpy(&word, xi->data + size_t(y) * xi->bytes_per_line + size_t(x) * 4, 4);
      const unsigned long p = direct ? word : XGetPixel(xi, x, y);
      unsigned char *o = &img.px[(size_t(y) * img.w + x) * 3];
      o[0] = r.of(p);
      o[1] = g.of(p);
      o[2] = b.of(p);
    }
  XDestroyImage(xi);
  return true;
}

// `img` as an 8-bit RGB PNG under a temporary name, renamed into place
// when complete.
bool save_rgb(const Rgb &img, const std::string &path) {
  const std::string temp = path + ".part";
  FILE *f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    std::remove(temp.c_str());
    return false;
  }
  png_init_io(png, f);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, png_uint_32(img.w), png_uint_32(img.h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < img.h; y++) png_write_row(png, const_cast<png_bytep>(img.at(0, y)));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  const bool ok = std::fclose(f) == 0;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

int grab(const char *window, const char *path) {
  Display *dpy = XOpenDisplay(nullptr);
  if (!dpy) {
    std::fprintf(stderr, "cannot open the X display\n");
    return 1;
  }
  XSetErrorHandler(note_x_error);
  const Window win = std::strcmp(window, "root") == 0 ? DefaultRootWindow(dpy) : Window(std::strtoul(window, nullptr, 0));
  Rgb img;
  const bool got = grab_window(dpy, win, img);
  XCloseDisplay(dpy);
  if (!got) {
    std::fprintf(stderr, "cannot read window %s\n", window);
    return 1;
  }
  if (!save_rgb(img, path)) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  print_stats(img, PNG_COLOR_TYPE_RGB);
  return 0;
}

int same_audio(const char *disk_path, const char *wav_path, long bytes, long block) {
  std::vector<unsigned char> disk, wav;
  if (!read_file(disk_path, disk) || !read_file(wav_path, wav)) {
    std::fprintf(stderr, "cannot read the inputs\n");
    return 2;
  }
  if (wav.size() < 44 || std::memcmp(wav.data(), "RIFF", 4) || std::memcmp(wav.data() + 36, "data", 4)) {
    std::fprintf(stderr, "%s is not a plain WAV file\n", wav_path);
    return 2;
  }
  const unsigned char *data = wav.data() + 44;
  if (long(wav.size()) - 44 < bytes) {
    std::fprintf(stderr, "the WAV holds only %ld bytes\n", long(wav.size()) - 44);
    return 1;
  }
  for (long off = 0; off + bytes <= long(disk.size()); off += block) {
    if (std::memcmp(disk.data() + off, data, size_t(bytes)) == 0) {
      std::printf("%ld\n", off);
      return 0;
    }
    for (long i = off; i < off + block; i++)
      if (disk[size_t(i)]) {
        std::fprintf(stderr, "sound at byte %ld of %s does not match the capture\n", i, disk_path);
        return 1;
      }
  }
  std::fprintf(stderr, "%s holds only silence (%zu bytes)\n", disk_path, disk.size());
  return 1;
}

int nonsilent(const char *path) {
  std::vector<unsigned char> d;
  if (!read_file(path, d)) return 2;
  long n = 0;
  for (size_t i = 0; i + 1 < d.size(); i += 2) n += d[i] || d[i + 1];
  std::printf("%ld\n", n);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "png" && argc == 3) return png_stats(argv[2]);
  if (cmd == "same-audio" && argc == 6) return same_audio(argv[2], argv[3], std::atol(argv[4]), std::atol(argv[5]));
  if (cmd == "nonsilent" && argc == 3) return nonsilent(argv[2]);
  if (cmd == "enlarged" && argc == 5) return enlarged(argv[2], argv[3], std::atoi(argv[4]));
  if (cmd == "enlarged" && argc == 7)
    return enlarged(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), true);
  if (cmd == "grab" && argc == 4) return grab(argv[2], argv[3]);
  if (cmd == "black-outside" && argc == 7)
    return black_outside(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]));
  std::fprintf(stderr,
               "usage: e2e_check png FILE | same-audio DISK WAV BYTES BLOCK | nonsilent FILE\n"
               "       | enlarged SMALL BIG SCALE [X Y] | black-outside FILE X Y W H | grab WINDOW FILE\n");
  return 2;
}
