// ulvenor-artfigures: how the textured skull and gargoyle read on screen.
//
// Reads the stills that `ulvenor-capture --out DIR --shot POS ...` wrote
// (DIR/shot-POS.png, 320x240 RGB) and, for every still of the skull or the
// gargoyle taken while the palette is settled (no fade running, not black
// or white), measures over the pixels the scene's UV map covers:
//   corr   Pearson correlation of the frame's luminance with the shading
//          picture the scene draws there;
//   clip   share of those pixels at luminance 250 or more (blown out);
//   median their median luminance.
// Prints one line per still with -v, and a summary per scene; the skull's
// first 10240 ms, while its texture is still being revealed row by row
// (untextured bone shows only img / 4), are summed up apart, with the
// luminance that untextured bone reaches at all. figures.sh
// next to this file takes the stills and runs it. With --stars-greets it
// prints instead the spinning stars' and the greetings' figures, measured
// on the embedded assets through the demo's renderer and pixel function
// (star.cpp, greets.cpp).
//
// `ulvenor-artfigures --worms` measures, without stills, how much the
// worms hide what must be read under them: the demo's music clock and its
// worms run at the capture's 50 frames per second, and for every caption
// (the worm strip's text lines, the portraits' flashing captions) and every
// bust's face, the share of its pixels a worm covers, summed over the
// frames it is on screen.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/timeline.h"
#include "music/mzx.h"
#include "sound/dsp16.h"
#include "vector/wurms.h"
#include "tools/artfigures/figures.h"
#include "tools/assetgen/portrait_frame.h"

namespace {

constexpr int STILL_W = 320, STILL_H = 240;

struct Figures {
  int pos;
  double corr, clip, median;
};

// The shading picture and UV map the timeline draws at `pos`, or false
// outside the measured part of the two scenes (rows a pattern has not,
// and the flicker-out from row 48 of each scene's last pattern).
bool scene_pictures(int pos, const uint8_t **pic, const uint8_t **uv) {
  if (pos % 100 >= 64) return false;  // no such row: the still shows the next pattern
  const scene_id scene = scene_of(pos);
  if (scene == SCENE_SKULL && pos < SKULL_FLICKER) {
    const bool second = pos >= SKULL_ALTERNATE && pos % 100 < SKULL_HALF_ROW;
    *pic = second ? skulle2 : skulle;
    *uv = second ? skulle2tc : skulletc;
    return true;
  }
  if (scene == SCENE_GARGOYLE && pos < GARGOYLE_FLICKER) {
    *pic = pos < GARGOYLE_SECOND ? gargoyle : gargoyle2;
    *uv = pos < GARGOYLE_SECOND ? gargoyletc : gargoyle2tc;
    return true;
  }
  return false;
}

// True when something that began at position `start` and lasts `ms` is
// over at `pos`, with one row of margin.
bool over_by(int start, int ms, int pos) { return rows_between(start, pos) >= int(std::ceil(ms / ROW_MS)) + 1; }

// True when the last fade begun at or before `pos` has ended (one row of
// margin) and left a palette that is neither all black nor all white.
bool palette_settled(int pos) {
  const fade_record *last = nullptr;
  for (const fade_record *f = fade_table; f->from; f++)
    if (f->start <= pos) last = f;
  if (!last) return false;
  if (last->to == pal_black || last->to == pal_white) return false;
  return over_by(last->start, last->duration, pos);
}

// Frame rows a text line may cover at `pos` (its 24 rows and one either
// side): the writer adds its letters and their blur onto the picture, so
// they are left out of the measures.
std::vector<bool> text_rows(int pos) {
  std::vector<bool> rows(FRAME_H, false);
  for (const text_record *t = text_table; t->duration != 0; t++) {
    if (t->start > pos || over_by(t->start, t->duration, pos)) continue;
    for (int y = t->y - 1; y <= t->y + 24; y++)
      if (y >= 0 && y < FRAME_H) rows[y] = true;
  }
  return rows;
}

// Luminance (0..255, Rec. 601 weights) of a 320x240 RGB still.
bool read_still(const std::string &path, std::vector<uint8_t> &lum) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
  img.format = PNG_FORMAT_RGB;
  if (img.width != STILL_W || img.height != STILL_H) {
    png_image_free(&img);
    return false;
  }
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, rgb.data(), 0, nullptr)) return false;
  lum.resize(STILL_W * STILL_H);
  for (size_t i = 0; i < lum.size(); i++)
    lum[i] = uint8_t((77 * rgb[3 * i] + 150 * rgb[3 * i + 1] + 29 * rgb[3 * i + 2]) >> 8);
  return true;
}

double correlation(const std::vector<double> &a, const std::vector<double> &b) {
  const double n = double(a.size());
  double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  for (size_t i = 0; i < a.size(); i++) {
    sa += a[i], sb += b[i];
    saa += a[i] * a[i], sbb += b[i] * b[i], sab += a[i] * b[i];
  }
  const double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
  return va > 0 && vb > 0 ? (sab - sa * sb / n) / std::sqrt(va * vb) : 0.0;
}

Figures measure(int pos, const std::vector<uint8_t> &lum, const uint8_t *pic, const uint8_t *uv) {
  std::vector<double> frame, shade;
  int clipped = 0;
  const std::vector<bool> text = text_rows(pos);
  for (int i = 0; i < FRAME_BYTES; i++) {
    if ((uv[2 * i] | (uv[2 * i + 1] << 8)) == 0xFFFF || text[i / FRAME_W]) continue;
    const int y = lum[size_t(FRAME_TOP) * STILL_W + i];
    frame.push_back(y);
    shade.push_back(pic[i]);
    clipped += y >= 250;
  }
  Figures f{pos, correlation(frame, shade), 0, 0};
  if (frame.empty()) return f;
  f.clip = double(clipped) / frame.size();
  std::nth_element(frame.begin(), frame.begin() + frame.size() / 2, frame.end());
  f.median = frame[frame.size() / 2];
  return f;
}

// Positions of the stills DIR/shot-POS.png, ascending.
std::vector<int> list_stills(const std::string &dir) {
  std::vector<int> out;
  DIR *d = opendir(dir.c_str());
  if (!d) return out;
  while (const dirent *e = readdir(d)) {
    int pos = 0;
    char tail[8] = "";
    if (std::sscanf(e->d_name, "shot-%d.%4s", &pos, tail) == 2 && std::strcmp(tail, "png") == 0) out.push_back(pos);
  }
  closedir(d);
  std::sort(out.begin(), out.end());
  return out;
}

void summarise(const char *name, std::vector<Figures> v, bool clip) {
  if (v.empty()) {
    std::printf("%-8s no settled stills\n", name);
    return;
  }
  std::sort(v.begin(), v.end(), [](const Figures &a, const Figures &b) { return a.corr < b.corr; });
  const int below = int(std::count_if(v.begin(), v.end(), [](const Figures &f) { return f.corr < 0.7; }));
  std::printf("%-8s %3zu stills  corr min %.2f (pos %d) median %.2f  below 0.7: %d\n", name, v.size(), v[0].corr,
              v[0].pos, v[v.size() / 2].corr, below);
  if (!clip) return;
  const auto worst_clip = std::max_element(v.begin(), v.end(), [](auto &a, auto &b) { return a.clip < b.clip; });
  const auto darkest = std::min_element(v.begin(), v.end(), [](auto &a, auto &b) { return a.median < b.median; });
  const int over = int(std::count_if(v.begin(), v.end(), [](const Figures &f) { return f.clip > 0.05; }));
  const int dark = int(std::count_if(v.begin(), v.end(), [](const Figures &f) { return f.median < 40; }));
  std::printf("%-8s clipped max %.1f%% (pos %d), over 5%%: %d  median min %.0f (pos %d), below 40: %d\n", name,
              100 * worst_clip->clip, worst_clip->pos, over, darkest->median, darkest->pos, dark);
}

// What the skull shows before its texture arrives: every covered pixel is
// its shading value / 4 (a texel of 0 adds nothing), drawn through
// pal_sepia, the palette of the reveal's settled stills. Prints the median
// luminance of that untextured picture and the brightest luminance any
// untextured pixel can reach (shading 255), both from the palette's own
// colours (the stills add the 16-bit screen's rounding).
void untextured_skull() {
  auto lum = [](int k) { return (77 * pal_sepia[3 * k] + 150 * pal_sepia[3 * k + 1] + 29 * pal_sepia[3 * k + 2]) >> 8; };
  std::vector<int> v;
  for (int i = 0; i < FRAME_BYTES; i++)
    if ((skulletc[2 * i] | (skulletc[2 * i + 1] << 8)) != 0xFFFF) v.push_back(lum(skulle[i] >> 2));
  if (v.empty()) return;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  std::printf("reveal   untextured bone (shading / 4): median luminance %d, brightest possible %d\n", v[v.size() / 2],
              lum(255 >> 2));
}


// ---- what the worms cover --------------------------------------------------

constexpr int COVER_FPS = 50;  // the capture's default rate
constexpr int TEXT_INK = 128;  // a text or caption value at least this is stroke, less is its soft edge

// Pixels a worm covers on this frame: the worms drawn over two different
// flat backgrounds, a pixel covered when either changed (a worm's colour
// cannot equal both).
void worm_mask(int now, bool discs, std::vector<bool> &mask) {
  static uint8_t a[FRAME_BYTES], b[FRAME_BYTES];
  std::memset(a, 0, sizeof a);
  std::memset(b, 1, sizeof b);
  if (discs) {
    wurms(a, now, 16), wurms(b, now, 16);
  } else {
    wurms2(a, now, 8), wurms2(b, now, 8);
  }
  mask.resize(FRAME_BYTES);
  for (int i = 0; i < FRAME_BYTES; i++) mask[i] = a[i] != 0 || b[i] != 1;
}

// One thing to read: its pixels and, over its frames, how many of them were
// under a worm.
struct Readable {
  std::string name;
  std::vector<int> pixels;  // frame offsets
  long shown = 0, covered = 0;
  int frames = 0, mostly_hidden = 0;  // frames it showed; of them, frames a worm covered a quarter or more
  void count(const std::vector<bool> &mask) {
    long c = 0;
    for (int i : pixels) c += mask[i];
    shown += long(pixels.size()), covered += c, frames++;
    mostly_hidden += 4 * c >= long(pixels.size());
  }
};

// Stroke pixels of text line `line` laid by writer at (x, y): line column
// u lands on frame column x + 32 + u, for u up to 287.
Readable text_line(int record) {
  const text_record &t = text_table[record];
  Readable r{"text line " + std::to_string(t.text) + " at " + std::to_string(t.start), {}};
  for (int row = 0; row < 24; row++)
    for (int u = 0; u < 288; u++)
      if (lapinaa[7680 * t.text + 320 * row + u] >= TEXT_INK && t.y + row >= 0 && t.y + row < FRAME_H &&
          t.x + 32 + u >= 0 && t.x + 32 + u < FRAME_W)
        r.pixels.push_back(FRAME_W * (t.y + row) + t.x + 32 + u);
  return r;
}

// Stroke pixels of a portrait's caption, laid by writer2 at (0, 60).
Readable caption(const char *name, const uint8_t *img) {
  Readable r{std::string("caption of ") + name, {}};
  for (int row = 0; row < 120; row++)
    for (int c = 0; c < 196; c++)
      if (img[196 * row + c] >= TEXT_INK) r.pixels.push_back(FRAME_W * (60 + row) + c);
  return r;
}

// A bust's face: the box from the brow ridge to the chin, cheekbone to
// cheekbone, where the portraits job draws it (tools/assetgen/portrait_frame.h).
Readable face(const char *name, const PortraitFrame &f) {
  const FaceBox b = portrait_face_box(f);
  Readable r{std::string("face of ") + name, {}};
  for (int y = b.y0; y <= b.y1; y++)
    for (int x = b.x0; x <= b.x1; x++) r.pixels.push_back(FRAME_W * y + x);
  return r;
}

void print_cover(const Readable &r) {
  std::printf("%-22s %5zu px %4d frames: %5.1f%% of it under worms, a quarter or more hidden on %5.1f%% of frames\n",
              r.name.c_str(), r.pixels.size(), r.frames, r.shown ? 100.0 * r.covered / r.shown : 0.0,
              r.frames ? 100.0 * r.mostly_hidden / r.frames : 0.0);
}

int worm_cover() {
  if (!screen_offscreen()) {
    std::fprintf(stderr, "ulvenor-artfigures: cannot make a surface: %s\n", SDL_GetError());
    return 1;
  }
  if (!demo_start(demo_sound::offline)) {
    std::fprintf(stderr, "ulvenor-artfigures: the embedded module does not load\n");
    return 1;
  }
  std::vector<Readable> texts;
  std::vector<int> records, started;
  for (int k = 0; text_table[k].duration != 0; k++)
    if (scene_of(text_table[k].start) == SCENE_WORMS) records.push_back(k), texts.push_back(text_line(k));
  started.assign(records.size(), -1);
  Readable captions[3] = {caption("tamsk", tamsktxt), caption("dorl", dorltxt), caption("vesk", vesktxt)};
  Readable faces[3] = {face("tamsk", kPortraitFrames[0]), face("dorl", kPortraitFrames[1]),
                       face("vesk", kPortraitFrames[2])};
  std::vector<bool> mask;
  for (int64_t f = 0;; f++) {
    const int now = int(f * 1000 / COVER_FPS);
    mzx_render(int64_t(now) * MZX_RATE / 1000, nullptr);
    const int pos = mzx_position();
    if (pos >= scene_table[SCENE_PORTRAITS].last + 1) break;
    const scene_id scene = scene_of(pos);
    if (scene == SCENE_WORMS || scene == SCENE_GARGOYLE) {
      bool any = false;
      for (size_t j = 0; j < records.size(); j++) {
        const text_record &t = text_table[records[j]];
        if (pos >= t.start && started[j] == -1) started[j] = now;
        any |= started[j] != -1 && now - started[j] < t.duration && scene == SCENE_WORMS;
      }
      if (!any) continue;
      worm_mask(now, true, mask);
      for (size_t j = 0; j < records.size(); j++)
        if (started[j] != -1 && now - started[j] < text_table[records[j]].duration) texts[j].count(mask);
    } else if (scene == SCENE_PORTRAITS) {
      const int k = pos < PORTRAIT_DORL ? 0 : pos < PORTRAIT_VESK ? 1 : 2;  // the timeline's choice of portrait
      worm_mask(now, false, mask);
      faces[k].count(mask);
      if (pos % 100 & CAPTION_ROW_BIT) captions[k].count(mask);
    }
  }
  std::printf("worms over what is read (share of stroke or face pixels under a worm, over the frames it shows)\n");
  for (const Readable &r : texts) print_cover(r);
  for (int k = 0; k < 3; k++) print_cover(captions[k]), print_cover(faces[k]);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 2 && std::strcmp(argv[1], "--worms") == 0) return worm_cover();
  if (argc == 2 && std::strcmp(argv[1], "--stars-greets") == 0) {
    demo_convert_models();
    star_figures();
    greets_figures();
    return 0;
  }
  bool verbose = argc > 2 && std::strcmp(argv[1], "-v") == 0;
  if (argc != 2 + verbose) {
    std::fprintf(stderr, "usage: ulvenor-artfigures [-v] STILLS_DIR | --worms | --stars-greets\n");
    return 2;
  }
  const std::string dir = argv[1 + verbose];
  std::vector<Figures> reveal, skull, garg;  // the skull's first 10240 ms, the rest, the gargoyle
  for (int pos : list_stills(dir)) {
    const uint8_t *pic, *uv;
    if (!scene_pictures(pos, &pic, &uv) || !palette_settled(pos)) continue;
    std::vector<uint8_t> lum;
    const std::string path = dir + "/shot-" + std::to_string(pos) + ".png";
    if (!read_still(path, lum)) {
      std::fprintf(stderr, "ulvenor-artfigures: cannot read %s as a 320x240 PNG\n", path.c_str());
      return 1;
    }
    const Figures f = measure(pos, lum, pic, uv);
    if (verbose) std::printf("%5d corr %.3f clip %5.1f%% median %3.0f\n", pos, f.corr, 100 * f.clip, f.median);
    if (scene_of(pos) == SCENE_GARGOYLE)
      garg.push_back(f);
    else
      (rows_between(scene_table[SCENE_SKULL].first, pos) * ROW_MS < 10240 ? reveal : skull).push_back(f);
  }
  summarise("reveal", reveal, true);
  untextured_skull();
  summarise("skull", skull, true);
  summarise("gargoyle", garg, false);
  return 0;
}
