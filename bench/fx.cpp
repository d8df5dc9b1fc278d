// Frame costs of the raster effects and the 3D renderer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "assets/assets.h"
#include "fx/halftone.h"
#include "fx/maf.h"
#include "fx/noise.h"
#include "fx/writer.h"
#include "vector/bare.h"

namespace {

uint8_t frame[64000];
uint8_t picture[64000];

void fill_picture() {
  for (int y = 0; y < 200; y++)
    for (int x = 0; x < 320; x++) picture[320 * y + x] = static_cast<uint8_t>((x + 2 * y) ^ (x >> 2));
}

void BM_noise(benchmark::State &state) {
  fill_picture();
  int t = 0;
  for (auto _ : state) {
    noise(frame, t);
    t = (t + 37) % 12853;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_noise);

void BM_halftone(benchmark::State &state) {
  halftone_init(320, 200);
  fill_picture();
  for (auto _ : state) {
    halftone(frame, picture, static_cast<int>(state.range(0)));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_halftone)->Arg(128)->Arg(255);

void BM_writer(benchmark::State &state) {
  init_maf();
  for (auto _ : state) {
    writer(frame, 3, 40, 80, static_cast<int>(state.range(0)));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_writer)->Arg(1)->Arg(32);

void BM_sade(benchmark::State &state) {
  int t = 0;
  for (auto _ : state) {
    sade(frame, t);
    t += 20;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_sade);

// A sphere of radius 5 units: 18 slices by 19 stacks, 326 vertices and 648
// triangles, wound counter-clockwise seen from outside.
std::vector<int32_t> sphere() {
  constexpr int slices = 18, stacks = 19;
  constexpr double r = 5.0 * 65536;
  std::vector<int32_t> m{0};
  auto vertex = [&](double x, double y, double z) {
    m.push_back(static_cast<int32_t>(x));
    m.push_back(static_cast<int32_t>(y));
    m.push_back(static_cast<int32_t>(z));
  };
  vertex(0, r, 0);
  for (int i = 1; i < stacks; i++) {
    const double phi = M_PI * i / stacks;
    for (int j = 0; j < slices; j++) {
      const double th = 2 * M_PI * j / slices;
      vertex(r * std::sin(phi) * std::cos(th), r * std::cos(phi), r * std::sin(phi) * std::sin(th));
    }
  }
  vertex(0, -r, 0);
  const int n = 2 + slices * (stacks - 1);
  m[0] = n;
  std::vector<int32_t> tris;
  auto ring = [&](int i, int j) { return 1 + (i - 1) * slices + (j % slices); };
  auto tri = [&](int a, int b, int c) { tris.insert(tris.end(), {a, c, b}); };
  for (int j = 0; j < slices; j++) {
    tri(0, ring(1, j), ring(1, j + 1));
    tri(n - 1, ring(stacks - 1, j + 1), ring(stacks - 1, j));
    for (int i = 1; i < stacks - 1; i++) {
      tri(ring(i, j), ring(i + 1, j), ring(i + 1, j + 1));
      tri(ring(i, j), ring(i + 1, j + 1), ring(i, j + 1));
    }
  }
  m.push_back(static_cast<int32_t>(tris.size() / 3));
  m.insert(m.end(), tris.begin(), tris.end());
  return m;
}

// Colour map of the renders: face colour c draws palette index c.
struct IdentityColours {
  uint8_t map[256];
  IdentityColours() {
    for (int i = 0; i < 256; i++) map[i] = static_cast<uint8_t>(i);
  }
};

// The panorama's first model placement at time `now` (ms): swaying
// sideways at depth -19, turning about y and x.
void render_first(const std::vector<int32_t> &model, float now, const uint8_t *colours) {
  bare_loadidentity();
  bare_translate(3.0f * std::sin(now * 0.0005f), 0.0f, -19.0f);
  bare_rotatey(now / 1500);
  bare_rotatex(now / 2013);
  bare_render(model.data(), frame, colours);
}

void BM_bare_render(benchmark::State &state) {
  const std::vector<int32_t> model = sphere();
  const IdentityColours colours;
  float now = 0;
  for (auto _ : state) {
    bare_clearzbuf();
    render_first(model, now, colours.map);
    now += 20;
    benchmark::ClobberMemory();
  }
  state.counters["triangles"] = model[3 * model[0] + 1];
}
BENCHMARK(BM_bare_render);

// The two models of the panorama scene: model1 at -19 and at -18.5.
void BM_bare_render_model1_twice(benchmark::State &state) {
  std::vector<int32_t> model(sizeof model1 / 4);
  for (size_t i = 0; i < model.size(); i++) {
    const uint8_t *b = model1 + 4 * i;  // stored big-endian
    model[i] = static_cast<int32_t>(uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 |
                                    uint32_t{b[2]} << 8 | b[3]);
  }
  const IdentityColours colours;
  float now = 0;
  for (auto _ : state) {
    bare_clearzbuf();
    render_first(model, now, colours.map);
    bare_loadidentity();
    bare_translate(2.0f * std::sin(now * 0.0005f + 0.3f), 0.0f, -18.5f);
    bare_rotatez(-now / 1910);
    bare_rotatex(-now * 0.001f);
    bare_render(model.data(), frame, colours.map);
    now += 20;
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_bare_render_model1_twice);

void BM_bare_clearzbuf(benchmark::State &state) {
  for (auto _ : state) {
    bare_clearzbuf();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_bare_clearzbuf);

}  // namespace

BENCHMARK_MAIN();
