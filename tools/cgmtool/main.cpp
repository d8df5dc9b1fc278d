// cgmtool FILE [-o OUT.png [--size WxH] [--page] [--grey]] [--compact OUT.bin] [--info]
//
// FILE is a clear-text CGM drawing (it starts with "BEGMF") or a picture in
// the compact form. The PNG is drawn with cgm_render, the picture centred
// and its half extent (65536) filling 45% of the shorter side, or with
// --page placed on the page its vdcext declares, scaled to fit the image (as
// fig2dev's raster output places a drawing). The rasteriser draws into
// 320x200 frames, so a larger image is drawn as a grid of 320x200 tiles,
// each through the same transform shifted by the tile's origin: every size
// is drawn at its own resolution, not scaled. Outline widths stay in pixels,
// except on the page, where they grow with it (15 drawing units a pixel at
// 80 pixels to the inch, fig2dev's raster scale).
//
// Colours: by default each palette index is looked up in the picture's own
// colour table, on the picture's background colour (white for a compact
// picture, which has none); --grey shows the indices through pal_grey
// instead, on index 0, as the demo would.
//
// The clear-text reader runs with limits for drawings (a million points per
// element, colour indices to 65535, colours beyond 199 drawn in the nearest
// held) and flattens curves for the PNG's size.
//
// Exit status: 0 when everything asked for was done (skipped text or images
// only warn, one line per file); 2 on a usage error or an input that cannot
// be read or is no picture; 1 when an output cannot be written (the shared
// tool writers' rule).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "tools/writers/writers.h"
#include "tools/cgmtext/cgm_text.h"

namespace {

const char *USAGE = "usage: cgmtool FILE [-o OUT.png [--size WxH] [--page] [--grey]] [--compact OUT.bin] [--info]";
constexpr uint8_t BACKGROUND = 255;             // frame index for the ground; pictures use at most 254
constexpr size_t MAX_INPUT = size_t(64) << 20;  // larger inputs are refused before they are read

struct Options {
  std::string file, png_out, compact_out;
  int w = 320, h = 200;
  bool info = false, grey = false, page = false;
};

[[noreturn]] void usage_error(const std::string &msg) {
  std::fprintf(stderr, "cgmtool: %s\n%s\n", msg.c_str(), USAGE);
  std::exit(2);
}

void help() {
  std::printf(
      "cgmtool: reads a vector picture, draws it with the demo's rasteriser, writes its compact form\n\n"
      "%s\n\n"
      "  FILE           a clear-text CGM drawing (starting with BEGMF, as fig2dev -L cgm writes it)\n"
      "                 or a compact picture\n"
      "  -o OUT.png     draw the picture, centred, its half extent 45%% of the shorter side\n"
      "  --size WxH     size of the PNG, each 1 to 8000 (default 320x200)\n"
      "  --page         place the drawing on the page its vdcext declares, scaled to fit\n"
      "  --grey         show the palette indices through the demo's grey palette\n"
      "  --compact OUT  write the picture in the compact form (fills only; elements of more\n"
      "                 than 255 triangles are split; what is dropped is reported)\n"
      "  --info         print the colours, elements, triangle counts and bounds\n"
      "  --help, --version\n\n"
      "Drawn: polygon, rect, line, disjtline, circle, ellipse, arcctr, arc3pt, elliparc and\n"
      "their closed (PIE, CHORD) forms, with solid, empty and hatched interiors, line and\n"
      "edge widths and colours. Skipped, with one warning line per file: text (text,\n"
      "restrtext, apndtext), images (cellarray) and markers. Line and edge types (dashes)\n"
      "draw solid. Other elements are ignored.\n\n"
      "example: cgmtool drawing.cgm -o drawing.png --size 640x400 --info\n",
      USAGE);
}

[[noreturn]] void fail(const std::string &file, const std::string &msg) {
  std::fprintf(stderr, "cgmtool: %s: %s\n", file.c_str(), msg.c_str());
  std::exit(2);
}

void parse_size(const std::string &v, Options &o) {
  char x = 0, extra = 0;
  if (std::sscanf(v.c_str(), "%d%c%d%c", &o.w, &x, &o.h, &extra) != 3 || x != 'x' || o.w < 1 || o.h < 1 || o.w > 8000 ||
      o.h > 8000)
    usage_error("--size wants WxH, each 1 to 8000");
}

Options parse_args(int argc, char **argv) {
  Options o;
  std::set<std::string> seen;  // options given so far: each may come once
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (a == "--help" || a == "-h") help(), std::exit(0);
    if (a == "--version") std::printf("cgmtool %s\n", CGMTOOL_VERSION), std::exit(0);
    if (a.size() > 1 && a[0] == '-' && !seen.insert(a).second) usage_error(a + " given twice");
    if (a == "-o" || a == "--compact" || a == "--size") {
      if (i + 1 >= argc) usage_error(a + " needs a value");
      std::string v = argv[++i];
      if (a == "-o") o.png_out = v;
      if (a == "--compact") o.compact_out = v;
      if (a == "--size") parse_size(v, o);
    } else if (a == "--info" || a == "--grey" || a == "--page") {
      (a == "--info" ? o.info : a == "--grey" ? o.grey : o.page) = true;
    } else if (!a.empty() && a[0] == '-') {
      usage_error("unknown option " + a);
    } else if (o.file.empty()) {
      o.file = a;
    } else {
      usage_error("more than one input file");
    }
  }
  if (o.file.empty()) usage_error("no input file");
  if (o.png_out.empty() && o.compact_out.empty() && !o.info) usage_error("nothing to do");
  return o;
}

void check_outputs(const Options &o) {
  for (const std::string *out : {&o.png_out, &o.compact_out})
    if (!out->empty() && tw_same_file(*out, o.file)) fail(*out, "is the input file; choose another output");
  if (!o.png_out.empty() && tw_same_file(o.png_out, o.compact_out)) fail(o.png_out, "named by both -o and --compact");
}

// The whole input, at most MAX_INPUT bytes, read in bounded memory: a
// regular file, or a pipe or FIFO read only up to the limit. A device or a
// socket is refused unread (a terminal or /dev/zero would never end).
std::vector<uint8_t> read_input(const std::string &file) {
  // Non-blocking, so that opening a FIFO with no writer does not wait.
  int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fail(file, std::strerror(errno));
  struct stat st;
  if (fstat(fd, &st) != 0) fail(file, std::strerror(errno));
  if (S_ISDIR(st.st_mode)) fail(file, "is a directory, not a picture");
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) fail(file, "is a device, not a picture");
  if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) fail(file, "is not a regular file, a pipe or a FIFO");
  if (S_ISREG(st.st_mode) && uint64_t(st.st_size) > MAX_INPUT) fail(file, "larger than 64 MB, refused");
  // Reads wait for the writer's bytes from here on.
  if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) fail(file, std::strerror(errno));
  std::vector<uint8_t> bytes;
  size_t got = 0;
  for (;;) {
    bytes.resize(std::min(MAX_INPUT + 1, std::max<size_t>(got * 2, 65536)));
    ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(file, std::strerror(errno));
    if (n == 0) break;
    got += size_t(n);
    if (got > MAX_INPUT) fail(file, "larger than 64 MB, refused");
  }
  close(fd);
  bytes.resize(got);
  if (got == 0 && S_ISFIFO(st.st_mode)) fail(file, "a FIFO or pipe with nothing written into it, not a picture");
  if (got == 0) fail(file, "empty file, not a picture");
  return bytes;
}

bool starts_with(const std::vector<uint8_t> &b, const char *magic) {
  size_t n = std::strlen(magic);
  return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
}

bool is_clear_text(const std::vector<uint8_t> &b) {
  size_t i = 0;
  while (i < b.size() && std::isspace(b[i])) i++;
  return b.size() - i >= 5 && std::memcmp(b.data() + i, "BEGMF", 5) == 0;
}

// Refuses the inputs that are plainly something else, with what they are.
void refuse_other_formats(const std::string &file, const std::vector<uint8_t> &b) {
  if (starts_with(b, "#FIG")) fail(file, "a FIG drawing; convert it first: fig2dev -L cgm " + file + " OUT.cgm");
  if (starts_with(b, "\x89PNG")) fail(file, "a PNG image, not a vector picture");
  if (starts_with(b,
                  "\x7f"
                  "ELF"))
    fail(file, "an executable, not a vector picture");
}

cgm_picture *read_clear_text(const std::string &file, std::vector<uint8_t> &b, const Options &o) {
  cgm_limits = {1000000, 65535, std::max(o.w, o.h), 1};
  FILE *f = fmemopen(b.data(), b.size(), "rb");
  if (!f) fail(file, std::strerror(errno));
  cgm_picture *pic = cgm_readtextf(f);
  std::fclose(f);
  const std::string read = std::to_string(cgm_textread) + (cgm_textread == 1 ? " whole element" : " whole elements");
  if (!pic) fail(file, cgm_errorstr + (" (after " + read + ")"));
  // A drawing cut between two elements reads as a smaller drawing: only its
  // missing end tells.
  if (!cgm_lastinfo.ended) {
    cgm_free(pic);
    fail(file, "cut short after " + read + ", before the picture's end (ENDPIC or ENDMF)");
  }
  return pic;
}

// One warning line for what the drawing holds that is not drawn.
void report_skipped(const std::string &file) {
  const cgm_textinfo &in = cgm_lastinfo;
  std::string parts;
  auto add = [&](int n, const char *one, const char *many) {
    if (n == 0) return;
    parts += (parts.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? one : many);
  };
  add(in.text, "text element", "text elements");
  add(in.images, "image", "images");
  add(in.markers, "marker", "markers");
  if (!parts.empty()) std::fprintf(stderr, "cgmtool: %s: skipped %s\n", file.c_str(), parts.c_str());
  if (in.approximated)
    std::fprintf(stderr, "cgmtool: %s: %d colours beyond the 199 a picture holds drawn in the nearest one held\n",
                 file.c_str(), in.approximated);
}

cgm_picture *load(const Options &o, bool *text) {
  std::vector<uint8_t> bytes = read_input(o.file);
  refuse_other_formats(o.file, bytes);
  *text = is_clear_text(bytes);
  if (*text) {
    cgm_picture *pic = read_clear_text(o.file, bytes, o);
    report_skipped(o.file);
    return pic;
  }
  cgm_picture *pic = cgm_getn(bytes.data(), bytes.size());
  if (!pic) fail(o.file, std::string("not a clear-text CGM drawing, nor a compact picture: ") + cgm_errorstr);
  return pic;
}

// Transform of the tile being drawn: picture space to quarter pixels.
struct Placement {
  int64_t tile_x, tile_y;             // tile origin in the image, quarter pixels
  int64_t centre_x, centre_y, scale;  // centred: image centre and half extent, quarter pixels
  bool page;                          // on the page: drawing units through the reader's mapping
  double left, top, per_unit;         // page corner (drawing units) and quarter pixels per unit
  double cx, cy, half;                // the reader's normalisation
} place;

void tile_xform(int x, int y, int *X, int *Y) {
  if (!place.page) {
    *X = int(place.centre_x + int64_t(x) * place.scale / 65536 - place.tile_x);
    *Y = int(place.centre_y - int64_t(y) * place.scale / 65536 - place.tile_y);
    return;
  }
  double ux = place.cx + x * place.half / 65536.0, uy = place.cy + y * place.half / 65536.0;
  *X = int(std::lround((ux - place.left) * place.per_unit)) - int(place.tile_x);
  *Y = int(std::lround((place.top - uy) * place.per_unit)) - int(place.tile_y);
}

void set_placement(const Options &o, bool text) {
  place.centre_x = int64_t(o.w) * 2, place.centre_y = int64_t(o.h) * 2;
  place.scale = int64_t(o.w < o.h ? o.w : o.h) * 4 * 45 / 100;
  const cgm_textinfo &in = cgm_lastinfo;
  place.page = o.page && text && in.hasvdc && in.vdc[0] != in.vdc[2] && in.vdc[1] != in.vdc[3];
  if (o.page && !place.page)
    std::fprintf(stderr, "cgmtool: %s: no page extent (vdcext), drawn centred\n", o.file.c_str());
  if (!place.page) return;
  double vw = std::fabs(double(in.vdc[2]) - in.vdc[0]), vh = std::fabs(double(in.vdc[3]) - in.vdc[1]);
  place.per_unit = 4 * std::min(o.w / vw, o.h / vh);
  place.left = std::min(in.vdc[0], in.vdc[2]), place.top = std::max(in.vdc[1], in.vdc[3]);
  place.cx = double(in.cx), place.cy = double(in.cy), place.half = double(in.half);
}

// Draws the picture into a w x h index image, tile by tile.
std::vector<uint8_t> draw(const cgm_picture *pic, int w, int h) {
  std::vector<uint8_t> image(size_t(w) * h);
  std::vector<uint8_t> frame(64000);
  for (int ty = 0; ty < h; ty += 200)
    for (int tx = 0; tx < w; tx += 320) {
      place.tile_x = int64_t(tx) * 4, place.tile_y = int64_t(ty) * 4;
      std::memset(frame.data(), BACKGROUND, frame.size());
      cgm_render(pic, frame.data(), tile_xform);
      for (int y = ty; y < h && y < ty + 200; y++)
        std::memcpy(&image[size_t(y) * w + tx], &frame[size_t(y - ty) * 320], size_t(std::min(320, w - tx)));
    }
  return image;
}

uint32_t colour_of(const cgm_picture *pic, int index, bool grey) {
  if (grey) {
    int i = index == BACKGROUND ? 0 : index;
    return uint32_t(pal_grey[3 * i]) << 16 | uint32_t(pal_grey[3 * i + 1]) << 8 | pal_grey[3 * i + 2];
  }
  if (index == BACKGROUND) return pic->backcolr;
  if (index <= pic->ncolours) return pic->colrtable[index];
  return uint32_t(index) * 0x010101u;  // beyond the table: its grey
}

// On the page, widths grow with the page as the drawing does: the reader
// counts 15 drawing units to a pixel (1200 units to the inch at 80 pixels).
void scale_widths(cgm_picture *pic) {
  const double per_pixel = place.per_unit / 4 * 15;
  for (cgm_element *e = pic->elements; e; e = e->next)
    if (e->linewidth > 0) e->linewidth = std::max(1, int(std::lround(e->linewidth * per_pixel)));
}

// A thick line whose points all coincide is a dot as wide as the line
// (drawing programs draw it with round ends); the rasteriser plots such a
// segment as one pixel, so the dot gets a filled 16-sided disc of that
// diameter at the image's scale (`pixels` per 65536 picture units).
void dots_to_discs(cgm_picture *pic, double pixels) {
  constexpr int SIDES = 16;
  for (cgm_element *e = pic->elements; e; e = e->next) {
    if (!(e->flags & CGM_OUTLINE) || (e->flags & CGM_FILL) || e->linewidth < 2 || e->npoints < 1) continue;
    bool dot = true;
    for (int i = 1; i < e->npoints && dot; i++)
      dot = e->points[2 * i] == e->points[0] && e->points[2 * i + 1] == e->points[1];
    if (!dot) continue;
    const double r = e->linewidth / 2.0 * 65536 / pixels;
    int32_t ring[2 * SIDES];
    for (int i = 0; i < SIDES; i++) {
      ring[2 * i] = e->points[0] + int32_t(std::lround(r * std::cos(2 * M_PI * i / SIDES)));
      ring[2 * i + 1] = e->points[1] + int32_t(std::lround(r * std::sin(2 * M_PI * i / SIDES)));
    }
    e->triangles = static_cast<int32_t *>(std::malloc(sizeof(int32_t) * 6 * (SIDES - 2)));
    if (!e->triangles) continue;
    for (int i = 1; i + 1 < SIDES; i++) {
      const int32_t t[6] = {ring[0], ring[1], ring[2 * i], ring[2 * i + 1], ring[2 * i + 2], ring[2 * i + 3]};
      std::memcpy(e->triangles + 6 * (i - 1), t, sizeof t);
    }
    e->ntriangles = SIDES - 2;
    e->flags |= CGM_FILL;
    e->fillcolr = e->linecolr;
  }
}

void write_png(const Options &o, cgm_picture *pic, bool text) {
  if (!text) pic->backcolr = 0xFFFFFF;
  set_placement(o, text);
  if (place.page) scale_widths(pic);
  dots_to_discs(pic, place.page ? place.half * place.per_unit / 4 : place.scale / 4.0);
  std::vector<uint8_t> image = draw(pic, o.w, o.h);
  std::vector<uint8_t> rgb(image.size() * 3);
  for (size_t i = 0; i < image.size(); i++) {
    uint32_t c = colour_of(pic, image[i], o.grey);
    rgb[3 * i] = uint8_t(c >> 16), rgb[3 * i + 1] = uint8_t(c >> 8), rgb[3 * i + 2] = uint8_t(c);
  }
  tw_png(o.png_out, o.w, o.h, 3, rgb.data());
}

// One warning line for what the compact form cannot hold.
void report_compact_losses(const std::string &file, const cgm_picture *pic) {
  int lines = 0, outlines = 0, split = 0;
  for (const cgm_element *e = pic->elements; e; e = e->next) {
    bool outline = (e->flags & CGM_OUTLINE) && e->npoints >= 2 && e->linewidth > 0;
    if (outline && !(e->flags & CGM_FILL)) lines++;
    if (outline && (e->flags & CGM_FILL)) outlines++;
    if ((e->flags & CGM_FILL) && e->ntriangles > 255) split++;
  }
  std::string parts;
  if (lines) parts += "dropped " + std::to_string(lines) + " outline-only elements";
  if (outlines)
    parts += (parts.empty() ? "dropped " : ", ") + std::string("the outlines of ") + std::to_string(outlines) +
             " filled elements";
  if (split)
    parts += (parts.empty() ? "" : "; ") + std::string("split ") + std::to_string(split) +
             " elements of more than 255 triangles";
  if (!parts.empty())
    std::fprintf(stderr, "cgmtool: %s: the compact form holds fills only: %s\n", file.c_str(), parts.c_str());
}

void write_compact(const Options &o, const cgm_picture *pic) {
  size_t n = cgm_put(pic, nullptr, 0);
  if (n == 0)
    fail(o.file, "cannot be written in the compact form (more than 199 colours or a coordinate out of range)");
  std::vector<uint8_t> bytes(n);
  cgm_put(pic, bytes.data(), n);
  report_compact_losses(o.file, pic);
  tw_file out;
  tw_open(out, o.compact_out);
  tw_write(out, bytes.data(), n);
  tw_commit({&out});
}

void print_info(const std::string &file, const cgm_picture *pic) {
  std::printf("%s: %d colours, background %06X\n", file.c_str(), pic->ncolours, pic->backcolr);
  int n = 0, points = 0, tris = 0;
  int64_t minx = INT64_MAX, maxx = INT64_MIN, miny = INT64_MAX, maxy = INT64_MIN;
  auto widen = [&](int32_t x, int32_t y) {
    minx = std::min<int64_t>(minx, x), maxx = std::max<int64_t>(maxx, x);
    miny = std::min<int64_t>(miny, y), maxy = std::max<int64_t>(maxy, y);
  };
  for (const cgm_element *e = pic->elements; e; e = e->next, n++) {
    std::printf("  element %d: flags %d (%s%s%s), fill %d", n, e->flags, e->flags & CGM_FILL ? "fill" : "",
                (e->flags & 3) == 3 ? "+" : "", e->flags & CGM_OUTLINE ? "outline" : "", e->fillcolr);
    if (e->flags & CGM_FILL) {
      std::printf(", %d triangles", e->ntriangles);
      tris += e->ntriangles;
      for (int i = 0; i < 3 * e->ntriangles; i++) widen(e->triangles[2 * i], e->triangles[2 * i + 1]);
    }
    if (e->flags & CGM_OUTLINE) {
      std::printf(", line %d width %d, %d points", e->linecolr, e->linewidth, e->npoints);
      points += e->npoints;
      for (int i = 0; i < e->npoints; i++) widen(e->points[2 * i], e->points[2 * i + 1]);
    }
    std::printf("\n");
  }
  std::printf("  %d elements, %d outline points, %d triangles\n", n, points, tris);
  if (minx <= maxx)
    std::printf("  bounding box x %lld..%lld, y %lld..%lld\n", (long long)minx, (long long)maxx, (long long)miny,
                (long long)maxy);
  else
    std::printf("  bounding box empty\n");
}

}  // namespace

int main(int argc, char **argv) {
  tw_program("cgmtool");
  const Options o = parse_args(argc, argv);
  check_outputs(o);
  bool text = false;
  cgm_picture *pic = load(o, &text);
  if (o.info) print_info(o.file, pic);
  tw_catch_signals();
  if (!o.compact_out.empty()) write_compact(o, pic);
  if (!o.png_out.empty()) write_png(o, pic, text);
  cgm_free(pic);
  return 0;
}
