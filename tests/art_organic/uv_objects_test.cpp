// The skull and gargoyle shading pictures with their UV maps, as embedded:
// coverage, continuity and scale of the texture mapping, and brightness
// suited to how the scenes combine shading and texture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "assets/assets.h"

namespace {

struct UvObject {
  const char *name;
  const uint8_t *pic;
  const uint8_t *uv;
  int min_mean, max_mean;  // range for the mean shading of covered pixels
  double crowding;         // least ratio of texel steps at the outline to steps inside
};

// The skull member multiplies the dark texture into the shading over D
// (30..170) and adds a quarter of it, so its bone sits above the middle;
// the gargoyle member adds half its shading to a small texture difference.
// Both maps wrap round the object, so texels crowd towards the outline.
const UvObject kObjects[] = {
    {"skulle", skulle, skulletc, 130, 190, 2.2},
    {"skulle2", skulle2, skulle2tc, 130, 190, 2.2},
    {"gargoyle", gargoyle, gargoyletc, 100, 180, 1.9},
    {"gargoyle2", gargoyle2, gargoyle2tc, 100, 180, 1.9},
};

void PrintTo(const UvObject &o, std::ostream *os) { *os << o.name; }

uint16_t uv_entry(const uint8_t *uv, int i) { return uint16_t(uv[2 * i] | (uv[2 * i + 1] << 8)); }

// Distance between two texel coordinates on the 256-periodic texture.
int wrapped_step(int a, int b) {
  int d = std::abs(a - b) & 255;
  return std::min(d, 256 - d);
}

class UvObjectTest : public ::testing::TestWithParam<UvObject> {};

TEST_P(UvObjectTest, CoverageIsOneSizeableObjectOnBlack) {
  const UvObject &o = GetParam();
  std::vector<int> label(64000, -1);
  int covered = 0;
  for (int i = 0; i < 64000; i++) {
    if (uv_entry(o.uv, i) == 0xFFFF) {
      EXPECT_EQ(o.pic[i], 0) << o.name << " pixel " << i << " is shaded but not covered";
      continue;
    }
    covered++;
  }
  double frac = covered / 64000.0;
  EXPECT_GT(frac, 0.10) << o.name;
  EXPECT_LT(frac, 0.60) << o.name;
  // The largest 4-connected component holds nearly all covered pixels:
  // one object, not scattered specks.
  int largest = 0;
  std::vector<int> stack;
  for (int s = 0; s < 64000; s++) {
    if (uv_entry(o.uv, s) == 0xFFFF || label[s] >= 0) continue;
    int size = 0;
    stack.push_back(s);
    label[s] = s;
    while (!stack.empty()) {
      int i = stack.back();
      stack.pop_back();
      size++;
      int x = i % 320, y = i / 320;
      const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
      for (const auto &n : nb) {
        if (n[0] < 0 || n[0] >= 320 || n[1] < 0 || n[1] >= 200) continue;
        int j = n[1] * 320 + n[0];
        if (label[j] < 0 && uv_entry(o.uv, j) != 0xFFFF) {
          label[j] = s;
          stack.push_back(j);
        }
      }
    }
    largest = std::max(largest, size);
  }
  EXPECT_GT(largest, covered * 97 / 100) << o.name;
}

// Distance of every pixel to the nearest uncovered pixel, in 4-neighbour
// steps (0 for uncovered pixels).
std::vector<int> outline_distance(const uint8_t *uv) {
  std::vector<int> dist(64000, 1 << 20), queue;
  for (int i = 0; i < 64000; i++)
    if (uv_entry(uv, i) == 0xFFFF) dist[i] = 0, queue.push_back(i);
  for (size_t h = 0; h < queue.size(); h++) {
    const int i = queue[h], x = i % 320, y = i / 320;
    const int nb[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    for (const auto &n : nb) {
      if (n[0] < 0 || n[0] >= 320 || n[1] < 0 || n[1] >= 200) continue;
      const int j = n[1] * 320 + n[0];
      if (dist[j] > dist[i] + 1) dist[j] = dist[i] + 1, queue.push_back(j);
    }
  }
  return dist;
}

// Texel step (|du| + |dv|, wrapped) from pixel i to its right and lower
// neighbours, averaged; -1 when one of them is uncovered.
double texel_step(const uint8_t *uv, int i) {
  if (i % 320 == 319 || i / 320 == 199) return -1;
  const uint16_t a = uv_entry(uv, i), r = uv_entry(uv, i + 1), d = uv_entry(uv, i + 320);
  if (a == 0xFFFF || r == 0xFFFF || d == 0xFFFF) return -1;
  return (wrapped_step(a & 255, r & 255) + wrapped_step(a >> 8, r >> 8) + wrapped_step(a & 255, d & 255) +
          wrapped_step(a >> 8, d >> 8)) / 2.0;
}

TEST_P(UvObjectTest, TextureCoordinatesAreContinuousAndAboutPixelSized) {
  const UvObject &o = GetParam();
  const std::vector<int> dist = outline_distance(o.uv);
  int inner = 0, jumps = 0, distinct = 0, covered = 0;
  double steps = 0;
  std::vector<uint8_t> seen(65536, 0);
  for (int i = 0; i < 64000; i++) {
    const uint16_t a = uv_entry(o.uv, i);
    if (a == 0xFFFF) continue;
    covered++;
    distinct += !seen[a];
    seen[a] = 1;
    const double s = texel_step(o.uv, i);
    if (s < 0 || dist[i] < 4) continue;  // at the outline the texels crowd on purpose
    inner++;
    steps += s;
    jumps += s > 8;  // only where one part hides another
  }
  ASSERT_GT(inner, 0) << o.name;
  EXPECT_LT(jumps, inner / 50) << o.name << ": " << jumps << " jumps in " << inner << " inner pixels";
  // Inside the outline about one to two texels per pixel, so the
  // texture's detail shows.
  EXPECT_GT(steps / inner, 0.6) << o.name;
  EXPECT_LT(steps / inner, 2.5) << o.name;
  // Not a near-constant map: the object shows a large part of the texture.
  EXPECT_GT(distinct, covered / 5) << o.name;
}

// A checker through the map must not stay an undistorted grid: the map
// wraps the texture round the object, so the texels crowd together
// towards its outline (the surface turning away) against the inside.
TEST_P(UvObjectTest, TexelsCrowdTowardsTheOutline) {
  const UvObject &o = GetParam();
  const std::vector<int> dist = outline_distance(o.uv);
  double near = 0, far = 0;
  int n_near = 0, n_far = 0;
  for (int i = 0; i < 64000; i++) {
    const double s = texel_step(o.uv, i);
    if (s < 0) continue;
    if (dist[i] <= 3) near += s, n_near++;
    if (dist[i] >= 10) far += s, n_far++;
  }
  ASSERT_GT(n_near, 0) << o.name;
  ASSERT_GT(n_far, 0) << o.name;
  EXPECT_GE((near / n_near) / (far / n_far), o.crowding) << o.name;
}

TEST_P(UvObjectTest, ShadingIsBrightEnoughAndHasForm) {
  const UvObject &o = GetParam();
  std::vector<int> v;
  for (int i = 0; i < 64000; i++)
    if (uv_entry(o.uv, i) != 0xFFFF) v.push_back(o.pic[i]);
  ASSERT_FALSE(v.empty()) << o.name;
  long long sum = 0;
  for (int x : v) sum += x;
  double mean = double(sum) / v.size();
  EXPECT_GE(mean, o.min_mean) << o.name;
  EXPECT_LE(mean, o.max_mean) << o.name;
  // Light and shade over the whole range: occluded hollows near black,
  // the rim light near white, the 5th and 95th percentiles well apart.
  std::sort(v.begin(), v.end());
  int p5 = v[v.size() * 5 / 100], p95 = v[v.size() * 95 / 100];
  EXPECT_GT(p95 - p5, 120) << o.name << " p5 " << p5 << " p95 " << p95;
  EXPECT_LE(v[v.size() / 100], 16) << o.name;
  EXPECT_GE(v.back(), 245) << o.name;
}

INSTANTIATE_TEST_SUITE_P(Art, UvObjectTest, ::testing::ValuesIn(kObjects),
                         [](const auto &p) { return std::string(p.param.name); });

// The two pictures of one object alternate in the demo, so they must show
// the same object in about the same place: their covered areas overlap.
TEST(UvObjectPairs, BothViewsShowTheSameObjectInPlace) {
  const std::pair<const uint8_t *, const uint8_t *> pairs[] = {{skulletc, skulle2tc}, {gargoyletc, gargoyle2tc}};
  for (const auto &p : pairs) {
    int both = 0, either = 0;
    for (int i = 0; i < 64000; i++) {
      bool a = uv_entry(p.first, i) != 0xFFFF, b = uv_entry(p.second, i) != 0xFFFF;
      both += a && b;
      either += a || b;
    }
    ASSERT_GT(either, 0);
    EXPECT_GT(double(both) / either, 0.6);
    // ...but they are not the same picture.
    EXPECT_NE(0, std::memcmp(p.first, p.second, 128000));
  }
}

}  // namespace
