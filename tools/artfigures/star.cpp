// The spinning stars' figures, from the demo's own renderer: for every
// fourth millisecond the scene can be on screen, both models drawn as the scene
// draws them, their coverage read from the z-buffer.
//   cracks    background pixels that no 8-connected path of background links
//             to the frame's border, each star drawn alone (a star's solid is
//             star-shaped about its centre, so its silhouette has no holes:
//             any is a crack of the rasterised mesh)
//   between   the same with both stars drawn, as the scene shows them: the
//             panorama seen through where they overlap
//   slivers   covered pixels that no fully covered 2x2 block contains, each
//             star alone: parts of the silhouette one pixel thin
//   slivers   covered pixels that no fully covered 2x2 block contains: parts
//             of the silhouette one pixel thin (spike tips, hairline gaps)
//   outlines  how far the two stars read as two objects: of the pixels on
//             either star's own outline (covered, a 4-neighbour not), the
//             share still on the outline of the pair (a 4-neighbour shows
//             the panorama); an outline pixel inside the other star is
//             lost in one mass of the same colour while the table is flat
//   overlap   pixels covered by both stars over pixels covered by either
//   seams     in the sliding bands (from SPIN_BANDS), 4-neighbour pairs of
//             covered pixels whose nearer star differs: the share whose
//             colours differ, the seam drawn where one star crosses the other
#include "tools/artfigures/figures.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "driver/script.h"
#include "maths/cr.h"
#include "driver/timeline.h"
#include "vector/bare.h"

namespace {

constexpr int W = 320, H = 200;

bool covered(int i) { return bare_zbuf[i] != BARE_ZCLEAR; }

// Background pixels that no 8-connected path of background links to the
// frame's border. Outside the covered pixels' bounding box every background
// pixel has a straight run of background to the border, and a path into the
// box first enters it on its outermost ring, so only the box grown by one
// pixel is searched, seeded from that ring.
int enclosed_background(std::vector<int> &stack, std::vector<uint8_t> &seen) {
  int x0 = W, y0 = H, x1 = -1, y1 = -1;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++)
      if (covered(y * W + x)) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = y;
  if (x1 < 0) return 0;
  x0 = std::max(x0 - 1, 0), y0 = std::max(y0 - 1, 0), x1 = std::min(x1 + 1, W - 1), y1 = std::min(y1 + 1, H - 1);
  stack.clear();
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) {
      const int i = y * W + x;
      seen[i] = 0;
      if ((x == x0 || y == y0 || x == x1 || y == y1) && !covered(i)) seen[i] = 1, stack.push_back(i);
    }
  while (!stack.empty()) {
    const int i = stack.back();
    stack.pop_back();
    const int x = i % W, y = i / W;
    for (int yy = std::max(y - 1, y0); yy <= std::min(y + 1, y1); yy++)
      for (int xx = std::max(x - 1, x0); xx <= std::min(x + 1, x1); xx++) {
        const int j = yy * W + xx;
        if (!seen[j] && !covered(j)) seen[j] = 1, stack.push_back(j);
      }
  }
  int n = 0;
  for (int y = y0; y <= y1; y++)
    for (int x = x0; x <= x1; x++) n += !covered(y * W + x) && !seen[y * W + x];
  return n;
}

int sliver_pixels() {
  auto block = [](int x, int y) {  // the 2x2 block with top-left (x, y) all covered
    return x >= 0 && y >= 0 && x < W - 1 && y < H - 1 && covered(y * W + x) && covered(y * W + x + 1) &&
           covered((y + 1) * W + x) && covered((y + 1) * W + x + 1);
  };
  int n = 0;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++)
      if (covered(y * W + x) && !block(x - 1, y - 1) && !block(x, y - 1) && !block(x - 1, y) && !block(x, y)) n++;
  return n;
}

// Star k (0 or 1) alone, placed as the scene places it.
void one_star(int k, int now) {
  bare_clearzbuf();
  bare_loadidentity();
  if (k == 0) {
    bare_translate(float(3 * cr_sin(now * 0.0005)), 0, -19.0f);
    bare_rotatey(float(now * (1.0 / 1500)));
    bare_rotatex(float(now * (1.0 / 2013)));
  } else {
    bare_translate(float(2 * cr_sin(now * 0.0005 + 0.3)), 0, -18.5f);
    bare_rotatez(float(-now * (1.0 / 1910)));
    bare_rotatex(float(-now * 0.001));
  }
  static uint8_t frame[W * H];
  static const uint8_t table[256] = {};
  bare_render(reinterpret_cast<const int32_t *>(model1), frame, table);
}

// One star's coverage and depths, copied out of the z-buffer.
struct Alone {
  std::vector<int32_t> z = std::vector<int32_t>(W * H);
  bool at(int x, int y) const { return x >= 0 && y >= 0 && x < W && y < H && z[y * W + x] != BARE_ZCLEAR; }
};

struct Separation {
  long outline = 0, kept = 0, both = 0, either = 0, seams = 0, stepped = 0;
};

bool edge_of(const Alone &a, int x, int y) {
  return a.at(x, y) && (!a.at(x - 1, y) || !a.at(x + 1, y) || !a.at(x, y - 1) || !a.at(x, y + 1));
}

void separation(const Alone (&star)[2], Separation &s) {
  auto any = [&](int x, int y) { return star[0].at(x, y) || star[1].at(x, y); };
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      const bool a = star[0].at(x, y), b = star[1].at(x, y);
      s.both += a && b, s.either += a || b;
      if (!a && !b) continue;
      const bool open = !any(x - 1, y) || !any(x + 1, y) || !any(x, y - 1) || !any(x, y + 1);
      for (const Alone &k : star)
        if (edge_of(k, x, y)) s.outline++, s.kept += open;
    }
}

// The nearer star at a covered pixel of the pair: 0 or 1.
int nearer(const Alone (&star)[2], int i) { return star[1].z[i] > star[0].z[i] ? 1 : 0; }

void seams(const Alone (&star)[2], const uint8_t *frame, Separation &s) {
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      const int i = y * W + x;
      if (!star[0].at(x, y) && !star[1].at(x, y)) continue;
      for (const int j : {x + 1 < W ? i + 1 : -1, y + 1 < H ? i + W : -1}) {
        if (j < 0 || (star[0].z[j] == BARE_ZCLEAR && star[1].z[j] == BARE_ZCLEAR)) continue;
        if (nearer(star, i) == nearer(star, j)) continue;
        s.seams++, s.stepped += frame[i] != frame[j];
      }
    }
}

}  // namespace

void star_figures() {
  // The scene's span in ms at the module's steady speed, with half a second
  // of margin either side (a superset of the frames any clock draws).
  const int first = int(rows_between(0, scene_table[SCENE_SPINNING].first) * ROW_MS) - 500;
  const int last = int(rows_between(0, scene_table[SCENE_SPINNING].last + 1) * ROW_MS) + 500;
  std::vector<int> stack;
  std::vector<uint8_t> seen(W * H);
  long frames = 0, cracked = 0, enclosed = 0, slivers = 0, worst_sliver = 0, between = 0, between_frames = 0;
  int worst_enclosed = 0, worst_at = first, sliver_at = first;
  Alone alone[2];
  Separation sep;
  std::vector<uint8_t> banded(W * H);
  for (int now = first; now <= last; now += 4) {
    int e = 0, s = 0;
    for (int k = 0; k < 2; k++) {
      one_star(k, now);
      e += enclosed_background(stack, seen);
      s += sliver_pixels();
      std::copy(bare_zbuf, bare_zbuf + W * H, alone[k].z.begin());
    }
    separation(alone, sep);
    spin_models(SPIN_BANDS, now);
    std::copy(vbuf, vbuf + W * H, banded.begin());
    seams(alone, banded.data(), sep);
    spin_models(scene_table[SCENE_SPINNING].first, now);
    const int both = enclosed_background(stack, seen);
    between += both, between_frames += both > 0;
    frames++;
    cracked += e > 0;
    enclosed += e;
    slivers += s;
    if (e > worst_enclosed) worst_enclosed = e, worst_at = now;
    if (s > worst_sliver) worst_sliver = s, sliver_at = now;
  }
  std::printf("star     %ld frames (every 4 ms, now %d..%d): cracks (background enclosed by one star) %ld px, in %ld frames, max %d (now %d)\n",
              frames, first, last, enclosed, cracked, worst_enclosed, worst_at);
  std::printf("star     background enclosed between the two stars: %ld px, in %ld frames\n", between, between_frames);
  std::printf("star     1-pixel slivers: mean %.1f px a frame, max %ld (now %d)\n", double(slivers) / frames,
              worst_sliver, sliver_at);
  std::printf("star     two objects: outlines kept %.1f%%, overlap %.1f%% of the pair, seams stepped in the bands %.1f%%\n",
              100.0 * double(sep.kept) / double(sep.outline), 100.0 * double(sep.both) / double(sep.either),
              100.0 * double(sep.stepped) / double(std::max(sep.seams, 1L)));
}
