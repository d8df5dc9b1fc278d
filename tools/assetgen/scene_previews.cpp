// Previews of what the texture scenes show: each shading picture and UV map
// composed with its texture through the scene's own pixel formula
// (fx/scene_pixels.h) at three moments. They read several jobs' assets,
// so they are made once every job has run (the whole run) or from the
// assets already built (--previews).
#include <cmath>
#include <string>
#include <vector>

#include "assets/frame.h"
#include "fx/scene_pixels.h"
#include "gen.h"
#include "sdf.h"

namespace {

// Three moments of a scene stacked into one 320x600 preview: pixel(k, u,
// img) is the index of a covered pixel at moment k; uncovered pixels are 0.
template <class Pixel>
void stacked_preview(const std::string &name, const uint8_t *pic, const uint8_t *uv, Pixel pixel) {
  std::vector<uint8_t> out(3 * FRAME_BYTES);
  for (int k = 0; k < 3; k++)
    for (int i = 0; i < FRAME_BYTES; i++) {
      const uint32_t u = uv_at(uv, i);
      out[k * FRAME_BYTES + i] = u == UV_UNCOVERED ? 0 : pixel(k, u, pic[i]);
    }
  preview_grey(name, FRAME_W, 3 * FRAME_H, out.data());
}

// The skull with its texture 1, 2 and 3 seconds in, at three divisors.
void compose_skull(const char *pic_sym, const char *uv_sym) {
  const int ds[3] = {170, 100, 30};
  skull_pixels f[3];
  for (int k = 0; k < 3; k++) f[k] = skull_frame(asset("kiehkura"), uint32_t(256 * (1000 * (k + 1) / 20)), ds[k]);
  stacked_preview(std::string(pic_sym) + "_composed", asset(pic_sym), asset(uv_sym),
                  [&](int k, uint32_t u, uint8_t img) { return skull_pixel(f[k], u, img); });
}

// The gargoyle 3, 6 and 9 seconds in, with the pulse factors even and at
// either extreme.
void compose_gargoyle(const char *pic_sym, const char *uv_sym) {
  const int c1s[3] = {120, 204, 36}, c2s[3] = {120, 36, 204};
  std::vector<gargoyle_pixels> f(3);
  for (int k = 0; k < 3; k++) {
    const int now = 3000 * (k + 1);
    const int A = 256 * (now / 9) + int(40 * std::sin(now * (1.0 / 700)));
    const int B = 256 * (now / 11) + int(40 * std::sin(now * (1.0 / 771)));
    gargoyle_frame(f[k], asset("kiehkura"), uint32_t(A), uint32_t(B), c1s[k], c2s[k]);
  }
  stacked_preview(std::string(pic_sym) + "_composed", asset(pic_sym), asset(uv_sym),
                  [&](int k, uint32_t u, uint8_t img) { return gargoyle_pixel(f[k], u, img); });
}

// The church animation with one `dracula` frame, and the greetings over
// both church pictures at one scroll position (rain left out).
void compose_church() {
  church_pixels anim;
  church_frame(anim, asset("dracula") + 65536 * 7, 120);
  greets_pixels gr;
  greets_frame(gr, asset("greets"), uint32_t(asset_size("greets")), 256 * 300, 256 * 290, 120, 160);
  const char *names[3] = {"kirkko_dracula", "kirkko_greets", "kirkko2_greets"};
  for (int k = 0; k < 3; k++) {
    const uint8_t *img = asset(k == 2 ? "kirkko2" : "kirkko");
    const uint8_t *uv = asset(k == 2 ? "kirkko2tc" : "kirkkotc");
    std::vector<uint8_t> f(FRAME_BYTES);
    for (int i = 0; i < FRAME_BYTES; i++) {
      const uint32_t u = uv_at(uv, i);
      f[i] = u == UV_UNCOVERED ? 0 : k == 0 ? church_pixel(anim, u, img[i]) : greets_pixel(gr, u, img[i]);
    }
    preview_grey(names[k], FRAME_W, FRAME_H, f.data());
  }
}

}  // namespace

void compose_scene_previews() {
  compose_skull("skulle", "skulletc");
  compose_skull("skulle2", "skulle2tc");
  compose_gargoyle("gargoyle", "gargoyletc");
  compose_gargoyle("gargoyle2", "gargoyle2tc");
  compose_church();
}
