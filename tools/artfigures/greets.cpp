// The greetings' figures, from the tall texture as the church's window
// samples it (the scene's own pixel function, on kirkkotc): with img 0,
// c1 128 and c2 0 a pixel is the texel the scroll reads there, so a text
// pixel is one that reads a texel of 128 or more. Over every scroll row of
// the period (0..998) and sideways offsets -30..30 in steps of 6:
//   x-height  per text line of the texture, the median height of its
//             letters (8-connected pieces of ink), in texels and in screen
//             pixels at the window's median rows of texture per pixel row;
//             the smallest line is printed
//   hairline  share of the screen's text pixels that no 2x2 block of text
//             pixels contains (strokes one pixel thin)
//   lost      share of the letters wholly inside the window that show no
//             pixel, or fall apart into pieces on screen
#include "tools/artfigures/figures.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "assets/assets.h"
#include "fx/scene_pixels.h"

namespace {

constexpr int TW = 256, TH = int(sizeof greets) / TW, W = 320, H = 200;

struct Piece {
  int r0, r1, c0, c1;
};

int find(std::vector<int> &p, int i) {
  while (p[i] != i) i = p[i] = p[p[i]];
  return i;
}

// 8-connected pieces of ink (texel >= 128) of the texture: label per texel
// (-1 off ink) and each piece's bounds.
std::vector<Piece> label_ink(std::vector<int> &label) {
  std::vector<int> p(TW * TH);
  std::iota(p.begin(), p.end(), 0);
  auto ink = [](int r, int c) { return r >= 0 && c >= 0 && c < TW && r < TH && greets[r * TW + c] >= 128; };
  for (int r = 0; r < TH; r++)
    for (int c = 0; c < TW; c++) {
      if (!ink(r, c)) continue;
      const int n[4][2] = {{r, c - 1}, {r - 1, c - 1}, {r - 1, c}, {r - 1, c + 1}};
      for (auto &q : n)
        if (ink(q[0], q[1])) p[find(p, r * TW + c)] = find(p, q[0] * TW + q[1]);
    }
  std::vector<Piece> pieces;
  std::vector<int> id(TW * TH, -1);
  label.assign(TW * TH, -1);
  for (int i = 0; i < TW * TH; i++) {
    if (greets[i] < 128) continue;
    int &k = id[find(p, i)];
    if (k < 0) k = int(pieces.size()), pieces.push_back({i / TW, i / TW, i % TW, i % TW});
    Piece &b = pieces[k];
    b.r0 = std::min(b.r0, i / TW), b.r1 = std::max(b.r1, i / TW);
    b.c0 = std::min(b.c0, i % TW), b.c1 = std::max(b.c1, i % TW);
    label[i] = k;
  }
  return pieces;
}

double median(std::vector<int> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

}  // namespace

void greets_figures() {
  const uint16_t *uv = reinterpret_cast<const uint16_t *>(kirkkotc);
  auto in_window = [&](int i) { return uv[i] != UV_UNCOVERED && uv[i] != 0; };
  // The window's footprint in texture space: per window row, the columns
  // sampled; and its median texture rows per screen row.
  std::vector<int> lo(256, 256), hi(256, -1), step;
  for (int i = 0; i < W * H; i++) {
    if (!in_window(i)) continue;
    const int r = uv[i] >> 8, c = uv[i] & 255;
    lo[r] = std::min(lo[r], c), hi[r] = std::max(hi[r], c);
    if (i + W < W * H && in_window(i + W)) step.push_back((uv[i + W] >> 8) - r);
  }
  const double rows_per_px = median(step);

  std::vector<int> label;
  const std::vector<Piece> pieces = label_ink(label);
  // Text lines: runs of texture rows with ink; x-height of each, the median
  // piece height of the pieces that start in it.
  std::vector<int> row_ink(TH, 0);
  for (int i = 0; i < TW * TH; i++) row_ink[i / TW] |= greets[i] >= 128;
  double smallest = 1e9;
  int lines = 0;
  for (int r = 0; r < 999;) {
    if (!row_ink[r]) { r++; continue; }
    int e = r;
    while (e < TH && row_ink[e]) e++;
    std::vector<int> h;
    for (const Piece &p : pieces)
      if (p.r0 >= r && p.r0 < e) h.push_back(p.r1 - p.r0 + 1);
    smallest = std::min(smallest, median(h));
    lines++;
    r = e;
  }

  long text_px = 0, hair_px = 0, shown = 0, lost = 0, broken = 0;
  std::vector<int> sid(W * H), parent(W * H), roots;
  std::vector<int> seen_root(W * H, -1);
  std::vector<int> count(pieces.size());
  long frame_no = 0;
  for (int row = 0; row < 999; row++)
    for (int wob = -30; wob <= 30; wob += 6, frame_no++) {
      greets_pixels f;
      const int32_t P1 = 256 * row + wob;
      greets_frame(f, greets, sizeof greets, P1, 0, 128, 0);
      for (int i = 0; i < W * H; i++) {
        sid[i] = -1;
        if (!in_window(i) || greets_pixel(f, uv[i], 0) < 128) continue;
        sid[i] = label[uint32_t(P1) + uv[i]];
      }
      std::fill(count.begin(), count.end(), 0);
      for (int i = 0; i < W * H; i++) {
        parent[i] = i;
        if (sid[i] < 0) continue;
        const int x = i % W, y = i / W;
        text_px++;
        auto t = [&](int xx, int yy) { return xx >= 0 && yy >= 0 && xx < W && yy < H && sid[yy * W + xx] >= 0; };
        bool block = false;
        for (int dy = -1; dy <= 0; dy++)
          for (int dx = -1; dx <= 0; dx++)
            block |= t(x + dx, y + dy) && t(x + dx + 1, y + dy) && t(x + dx, y + dy + 1) && t(x + dx + 1, y + dy + 1);
        hair_px += !block;
        const int n[4] = {x > 0 ? i - 1 : -1, x > 0 && y > 0 ? i - W - 1 : -1, y > 0 ? i - W : -1,
                          x < W - 1 && y > 0 ? i - W + 1 : -1};
        for (int j : n)
          if (j >= 0 && sid[j] == sid[i]) parent[find(parent, i)] = find(parent, j);
      }
      for (int i = 0; i < W * H; i++) {
        if (sid[i] < 0) continue;
        const int r = find(parent, i);
        if (seen_root[r] != frame_no) seen_root[r] = int(frame_no), count[sid[i]]++;
      }
      for (size_t k = 0; k < pieces.size(); k++) {
        const Piece &p = pieces[k];
        const int c0 = p.c0 - wob, c1 = p.c1 - wob, r0 = p.r0 - row, r1 = p.r1 - row;
        if (c0 < 0 || c1 > 255 || r0 < 0 || r1 > 255) continue;
        if (lo[r0] > c0 || hi[r0] < c1 || lo[r1] > c0 || hi[r1] < c1) continue;
        shown++;
        lost += count[k] == 0;
        broken += count[k] > 1;
      }
    }
  std::printf("greets   %d text lines, smallest x-height %.0f texels = %.1f px (%.2f texture rows a pixel row)\n",
              lines, smallest, smallest / rows_per_px, rows_per_px);
  std::printf("greets   hairline text pixels %.1f%%; letters on screen lost %.2f%%, broken %.2f%% (%ld frames)\n",
              100.0 * hair_px / std::max(1L, text_px), 100.0 * lost / std::max(1L, shown),
              100.0 * broken / std::max(1L, shown), frame_no);
}
