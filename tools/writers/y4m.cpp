// YUV4MPEG2 4:4:4 from RGB pictures.
#include <cstdio>
#include <cstring>

#include "tools/writers/writers.h"

namespace {

// One colour's Y, U and V bytes, packed Y | U << 8 | V << 16: BT.601
// studio range in 8.8 fixed point, rounded by adding half before the
// (arithmetic) shift.
uint32_t yuv_of(int r, int g, int b) {
  const uint32_t Y = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
  const uint32_t U = uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
  const uint32_t V = uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
  return Y | U << 8 | V << 16;
}

// One row of w RGB pixels into its Y, U and V bytes.
void rgb_row(const uint8_t *rgb, int w, uint8_t *Y, uint8_t *U, uint8_t *V) {
  for (int x = 0; x < w; x++) {
    const uint32_t c = yuv_of(rgb[3 * x], rgb[3 * x + 1], rgb[3 * x + 2]);
    Y[x] = uint8_t(c);
    U[x] = uint8_t(c >> 8);
    V[x] = uint8_t(c >> 16);
  }
}

// One row of w 16-bit pixels into its Y, U and V bytes, by table.
void table_row(const uint16_t *px, int w, const uint32_t *table, uint8_t *Y, uint8_t *U, uint8_t *V) {
  for (int x = 0; x < w; x++) {
    const uint32_t c = table[px[x]];
    Y[x] = uint8_t(c);
    U[x] = uint8_t(c >> 8);
    V[x] = uint8_t(c >> 16);
  }
}

// The first w0 bytes of `row` spread in place over w0 * scale bytes, each
// repeated `scale` times. From the right, so no byte is overwritten before
// it is read (pixel x lands at x * scale >= x).
void widen_row(uint8_t *row, int w0, int scale) {
  for (int x = w0 - 1; x >= 0; x--) std::memset(row + size_t(x) * scale, row[x], size_t(scale));
}

// Source row y0, already converted into the first w0 bytes of plane row
// y0 * scale, enlarged: across by repeating bytes, down by copying that
// row into the scale - 1 rows under it.
void enlarge_row(uint8_t *const plane[3], size_t W, int w0, int y0, int scale) {
  if (scale == 1) return;
  for (int i = 0; i < 3; i++) {
    uint8_t *first = plane[i] + size_t(y0) * scale * W;
    widen_row(first, w0, scale);
    for (int k = 1; k < scale; k++) std::memcpy(first + k * W, first, W);
  }
}

// The frame's three planes in `planes`, sized for w0 x h0 enlarged.
void size_planes(std::vector<uint8_t> &planes, size_t W, size_t H, uint8_t *plane[3]) {
  planes.resize(W * H * 3);
  for (int i = 0; i < 3; i++) plane[i] = planes.data() + i * W * H;
}

void write_frame(tw_file &file, const std::vector<uint8_t> &planes) {
  tw_write(file, "FRAME\n", 6);
  tw_write(file, planes.data(), planes.size());
}

}  // namespace

void tw_y4m_open(tw_file &file, const std::string &path, int w, int h, int fps) {
  tw_open(file, path);
  char header[80];
  const int n = std::snprintf(header, sizeof header, "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C444\n", w, h, fps);
  tw_write(file, header, size_t(n));
}

// Each source row is converted once, at its own width, then enlarged.
void tw_y4m_frame(tw_file &file, const uint8_t *rgb, int w0, int h0, int scale, std::vector<uint8_t> &planes) {
  const size_t W = size_t(w0) * scale;
  uint8_t *plane[3];
  size_planes(planes, W, size_t(h0) * scale, plane);
  for (int y0 = 0; y0 < h0; y0++) {
    const size_t at = size_t(y0) * scale * W;
    rgb_row(rgb + size_t(y0) * w0 * 3, w0, plane[0] + at, plane[1] + at, plane[2] + at);
    enlarge_row(plane, W, w0, y0, scale);
  }
  write_frame(file, planes);
}

void tw_y4m_table(std::vector<uint32_t> &table, void (*rgb_of)(uint16_t pixel, uint8_t rgb[3])) {
  table.resize(65536);
  for (uint32_t p = 0; p < 65536; p++) {
    uint8_t c[3];
    rgb_of(uint16_t(p), c);
    table[p] = yuv_of(c[0], c[1], c[2]);
  }
}

void tw_y4m_frame16(tw_file &file, const uint16_t *pixels, size_t pitch, int w0, int h0, int scale,
                    const std::vector<uint32_t> &table, std::vector<uint8_t> &planes) {
  tw_y4m_planes16(pixels, pitch, w0, h0, scale, table, planes);
  write_frame(file, planes);
}

void tw_y4m_planes16(const uint16_t *pixels, size_t pitch, int w0, int h0, int scale,
                     const std::vector<uint32_t> &table, std::vector<uint8_t> &planes) {
  const size_t W = size_t(w0) * scale;
  uint8_t *plane[3];
  size_planes(planes, W, size_t(h0) * scale, plane);
  for (int y0 = 0; y0 < h0; y0++) {
    const size_t at = size_t(y0) * scale * W;
    table_row(pixels + size_t(y0) * pitch, w0, table.data(), plane[0] + at, plane[1] + at, plane[2] + at);
    enlarge_row(plane, W, w0, y0, scale);
  }
}
