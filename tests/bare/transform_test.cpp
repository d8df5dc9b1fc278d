#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "vector/bare.h"

namespace {

using Matrix = int32_t[4][4];

bool matrix_is(const Matrix &want) { return std::memcmp(bare_matrix, want, sizeof want) == 0; }

const Matrix kIdentity = {{4096, 0, 0, 0}, {0, 4096, 0, 0}, {0, 0, 4096, 0}, {0, 0, 0, 4096}};

TEST(BareTransform, IdentityAndZeroRotation) {
  bare_rotatex(0.3f);
  bare_translate(1.0f, 2.0f, 3.0f);
  bare_loadidentity();
  EXPECT_TRUE(matrix_is(kIdentity));

  bare_rotatex(0.7f);
  bare_rotatez(-1.1f);
  bare_translate(0.5f, -2.0f, -13.0f);
  Matrix before;
  std::memcpy(before, bare_matrix, sizeof before);
  bare_rotatey(0.0f);  // c = 4096, s = 0: every term is exact
  EXPECT_TRUE(matrix_is(before));
}

TEST(BareTransform, QuarterTurnTruncatesTheSineTo4095) {
  bare_loadidentity();
  bare_rotatez(static_cast<float>(M_PI / 2));
  const Matrix want = {{0, -4095, 0, 0}, {4095, 0, 0, 0}, {0, 0, 4096, 0}, {0, 0, 0, 4096}};
  EXPECT_TRUE(matrix_is(want));
}

TEST(BareTransform, EachProductTermRoundsTowardZero) {
  bare_loadidentity();
  bare_rotatez(1.047f);  // cos * 4096 = 2048.7, sin * 4096 = 3546.8
  EXPECT_EQ(bare_matrix[0][0], 2048);
  EXPECT_EQ(bare_matrix[1][0], 3546);

  bare_loadidentity();
  bare_matrix[0][0] = -1;
  bare_matrix[1][1] = -3;
  bare_rotatez(1.047f);
  EXPECT_EQ(bare_matrix[0][0], 0);   // -1 * 2048 / 4096 = -0.5 -> 0, not -1
  EXPECT_EQ(bare_matrix[1][1], -1);  // -3 * 2048 / 4096 = -1.5 -> -1, not -2
  EXPECT_EQ(bare_matrix[1][0], -2);  // -3 * 3546 / 4096 = -2.6 -> -2
}

TEST(BareTransform, TranslationAddsToTheColumnInSinglePrecision) {
  bare_loadidentity();
  bare_translate(1.5f, 0.0f, -19.0f);
  EXPECT_EQ(bare_matrix[0][3], 6144);
  EXPECT_EQ(bare_matrix[1][3], 0);
  EXPECT_EQ(bare_matrix[2][3], -77824);
  bare_loadidentity();
  bare_translate(0.25f, 0.0f, 0.0f);
  bare_translate(0.25f, 0.0f, 0.0f);
  EXPECT_EQ(bare_matrix[0][3], 2048);
  bare_translate(0.0001f, 0.0f, 0.0f);  // 0.4096 truncates away
  EXPECT_EQ(bare_matrix[0][3], 2048);
  // Beyond 32 bits the column saturates instead of being undefined.
  bare_translate(1e9f, -1e9f, 0.0f);
  EXPECT_EQ(bare_matrix[0][3], INT32_MAX);
  EXPECT_EQ(bare_matrix[1][3], INT32_MIN);
}

TEST(BareTransform, TranslationCommutesWithRotations) {
  bare_loadidentity();
  bare_translate(2.5f, -1.25f, -18.5f);
  bare_rotatex(0.9f);
  bare_rotatey(-2.2f);
  Matrix translated_first;
  std::memcpy(translated_first, bare_matrix, sizeof translated_first);
  bare_loadidentity();
  bare_rotatex(0.9f);
  bare_rotatey(-2.2f);
  bare_translate(2.5f, -1.25f, -18.5f);
  EXPECT_TRUE(matrix_is(translated_first));
  EXPECT_EQ(bare_matrix[0][3], 10240);
  EXPECT_EQ(bare_matrix[2][3], -75776);
  EXPECT_EQ(bare_matrix[3][3], 4096);
}

TEST(BareTransform, TheRotationCalledLastActsFirst) {
  // Quarter turns: about y, then about x. The vertex (0, 1, 0) goes to
  // (0, 0, 1) about x first, then to (1, 0, 0) about y; the other order
  // would leave it at z = +1.
  const int32_t model[] = {1, 0, 65536, 0, 0};
  bare_loadidentity();
  bare_translate(0.0f, 0.0f, -10.0f);
  bare_rotatey(static_cast<float>(M_PI / 2));
  bare_rotatex(static_cast<float>(M_PI / 2));
  uint8_t frame[64000] = {};
  uint8_t colours[256] = {};
  bare_render(model, frame, colours);
  // Eye x = 65536 * q(4095 * 4095) / 4096 = 65504 -> 65504 * 600 / 655360 = 59.
  EXPECT_EQ(bare_verts[0][0], 160 + 59);
  EXPECT_EQ(bare_verts[0][1], 100);
  EXPECT_EQ(bare_verts[0][2], -655360);
}

}  // namespace
