// YUV4MPEG2 4:4:4 from RGB pictures.
#include <cstdio>

#include "tools/writers/writers.h"

void tw_y4m_open(tw_file &file, const std::string &path, int w, int h, int fps) {
  tw_open(file, path);
  char header[80];
  const int n = std::snprintf(header, sizeof header, "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C444\n", w, h, fps);
  tw_write(file, header, size_t(n));
}

// BT.601 studio range in 8.8 fixed point, rounded by adding half before
// the shift.
void tw_y4m_frame(tw_file &file, const uint8_t *rgb, int w0, int h0, int scale, std::vector<uint8_t> &planes) {
  const int W = w0 * scale, H = h0 * scale;
  planes.resize(size_t(W) * H * 3);
  uint8_t *Y = planes.data(), *U = Y + size_t(W) * H, *V = U + size_t(W) * H;
  for (int y = 0; y < H; y++)
    for (int x = 0; x < W; x++) {
      const uint8_t *p = &rgb[(size_t(y / scale) * w0 + x / scale) * 3];
      const int r = p[0], g = p[1], b = p[2];
      const size_t i = size_t(y) * W + x;
      Y[i] = uint8_t(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
      U[i] = uint8_t(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
      V[i] = uint8_t(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
    }
  tw_write(file, "FRAME\n", 6);
  tw_write(file, planes.data(), planes.size());
}
