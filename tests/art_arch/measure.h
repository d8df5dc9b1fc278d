// Measurements on the architectural pictures shared by the tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace artm {

// Mean absolute difference between column a and column b of a w-wide
// picture over rows 0..h-1, column b taken `shift` rows further down
// (the panorama's run-on puts row y + 1 after column w - 1 of row y).
inline double column_diff(const uint8_t *pic, int w, int h, int a, int b, int shift = 0) {
  long sum = 0;
  int n = 0;
  for (int y = 0; y + shift < h; y++, n++) sum += std::abs(pic[y * w + a] - pic[(y + shift) * w + b]);
  return double(sum) / n;
}

// The q-quantile (0..1) of the differences between neighbouring columns
// inside the picture, the right one taken `shift` rows down as above.
inline double inner_column_diff(const uint8_t *pic, int w, int h, double q, int shift = 0) {
  std::vector<double> d;
  for (int x = 0; x + 1 < w; x++) d.push_back(column_diff(pic, w, h, x, x + 1, shift));
  std::sort(d.begin(), d.end());
  return d[size_t(q * (d.size() - 1))];
}

// The q-quantile of the bytes.
inline int quantile(const uint8_t *p, size_t n, double q) {
  std::vector<uint8_t> v(p, p + n);
  std::sort(v.begin(), v.end());
  return v[size_t(q * (n - 1))];
}

inline double mean(const uint8_t *p, size_t n) {
  double s = 0;
  for (size_t i = 0; i < n; i++) s += p[i];
  return s / double(n);
}

inline uint16_t uv(const uint8_t *map, int i) { return uint16_t(map[2 * i] | (map[2 * i + 1] << 8)); }

}  // namespace artm
