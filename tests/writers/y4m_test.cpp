// The YUV4MPEG2 writer: the stream's bytes for known colours, the
// enlargement, and the 16-bit table path against the RGB one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/writers/writers.h"

namespace {

// A private folder under the test's working folder, removed at the end.
class Y4m : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[] = "y4m_test.XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir = name;
  }
  void TearDown() override {
    std::remove((dir + "/v.y4m").c_str());
    rmdir(dir.c_str());
  }

  // The whole file a writer callback produces, header included.
  template <class F>
  std::string stream(int w, int h, F frames) {
    tw_file f;
    tw_y4m_open(f, dir + "/v.y4m", w, h, 25);
    frames(f);
    tw_commit({&f});
    std::ifstream in(dir + "/v.y4m", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string dir;
  std::vector<uint8_t> planes;
};

// The window's 5:6:5 widening, as the capture tool makes it.
void rgb565(uint16_t p, uint8_t o[3]) {
  const int r = p >> 11, g = (p >> 5) & 63, b = p & 31;
  o[0] = uint8_t((r << 3) | (r >> 2));
  o[1] = uint8_t((g << 2) | (g >> 4));
  o[2] = uint8_t((b << 3) | (b >> 2));
}

// Black, white and the primaries land on BT.601's studio-range values,
// the negative sums of U and V rounded down (red's U is 90, not 91).
TEST_F(Y4m, KnownColoursAndLayout) {
  const uint8_t rgb[] = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255};
  const std::string s = stream(5, 1, [&](tw_file &f) { tw_y4m_frame(f, rgb, 5, 1, 1, planes); });
  const std::string header = "YUV4MPEG2 W5 H1 F25:1 Ip A1:1 C444\n";
  ASSERT_EQ(s.size(), header.size() + tw_y4m_frame_bytes(5, 1));
  EXPECT_EQ(s.substr(0, header.size() + 6), header + "FRAME\n");
  std::vector<int> bytes;
  for (size_t i = header.size() + 6; i < s.size(); i++) bytes.push_back(uint8_t(s[i]));
  const std::vector<int> want = {16,  235, 82,  144, 41,   // Y
                                 128, 128, 90,  54,  240,  // U
                                 128, 128, 240, 34,  110};  // V
  EXPECT_EQ(bytes, want);
}

// Enlarged 3 times, each source pixel is a 3x3 block of its own value in
// each plane, rows and columns in order.
TEST_F(Y4m, EnlargedByBlocks) {
  const uint8_t rgb[] = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255, 0, 255, 0, 128, 128, 128};
  stream(9, 6, [&](tw_file &f) { tw_y4m_frame(f, rgb, 3, 2, 3, planes); });
  ASSERT_EQ(planes.size(), size_t(9 * 6 * 3));
  std::vector<uint8_t> small;
  stream(3, 2, [&](tw_file &f) { tw_y4m_frame(f, rgb, 3, 2, 1, small); });
  for (int p = 0; p < 3; p++)
    for (int y = 0; y < 6; y++)
      for (int x = 0; x < 9; x++)
        ASSERT_EQ(planes[size_t(p) * 54 + size_t(y) * 9 + size_t(x)], small[size_t(p) * 6 + size_t(y / 3) * 3 + size_t(x / 3)])
            << "plane " << p << " at " << x << "," << y;
}

// Through the table, 16-bit pixels give the very bytes of their widened
// RGB picture, at every scale; the rows' padding (pitch) is skipped. Every
// one of the 65536 values appears.
TEST_F(Y4m, TablePathMatchesRgb) {
  std::vector<uint32_t> table;
  tw_y4m_table(table, rgb565);
  const int w = 256, h = 256, pitch = 260;
  std::vector<uint16_t> px(size_t(pitch) * h, 0xFFFF);
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const uint16_t v = uint16_t(y * w + x);
      px[size_t(y) * pitch + x] = v;
      rgb565(v, &rgb[(size_t(y) * w + x) * 3]);
    }
  for (int scale : {1, 2, 3}) {
    const std::string a = stream(w * scale, h * scale, [&](tw_file &f) { tw_y4m_frame(f, rgb.data(), w, h, scale, planes); });
    const std::string b = stream(w * scale, h * scale, [&](tw_file &f) {
      tw_y4m_frame16(f, px.data(), pitch, w, h, scale, table, planes);
    });
    ASSERT_EQ(a.size(), b.size()) << "scale " << scale;
    EXPECT_TRUE(a == b) << "scale " << scale;
  }
}

}  // namespace
