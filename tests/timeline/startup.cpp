// Start-up that may only happen once per process: the model conversion
// reverses bytes in place, so a second run would undo it.
#include "timeline/startup.h"

#include <SDL.h>

namespace {

class StartUp : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_EQ(screen_offscreen(), 1);
    ASSERT_EQ(demo_start(demo_sound::offline), 1);
  }
};

[[maybe_unused]] ::testing::Environment *const start_up = ::testing::AddGlobalTestEnvironment(new StartUp);

// Word k of a converted model, read in the machine's order.
int32_t word(const uint8_t *model, int k) {
  int32_t w;
  std::memcpy(&w, model + 4 * k, 4);
  return w;
}

TEST(StartUp, ModelsReadInTheMachinesOrder) {
  // Vertex count, then after 3 words per vertex the triangle count.
  EXPECT_EQ(word(model1, 0), 329);
  EXPECT_EQ(word(model1, 1 + 3 * 329), 654);
  EXPECT_EQ(word(ch_e, 0), 24);
  EXPECT_EQ(word(ch_e, 1 + 3 * 24), 44);
  // The counts fill each model exactly, so every other word was turned too.
  EXPECT_EQ(4 * (2 + 3 * 329 + 3 * 654), int(sizeof model1));
  EXPECT_EQ(4 * (2 + 3 * 24 + 3 * 44), int(sizeof ch_e));
}

// The scenes read models as int32_t and UV maps as uint16_t straight from
// the embedded arrays; ARMv5 loads from a misaligned address rotate the
// word instead of failing, so the alignment is checked here.
TEST(StartUp, AssetsReadAsWordsAreAligned) {
  auto aligned = [](const uint8_t *p, size_t to) { return reinterpret_cast<uintptr_t>(p) % to == 0; };
  for (const uint8_t *m : {static_cast<const uint8_t *>(model1), static_cast<const uint8_t *>(ch_u),
                           static_cast<const uint8_t *>(ch_r), static_cast<const uint8_t *>(ch_e),
                           static_cast<const uint8_t *>(ch_t)})
    EXPECT_TRUE(aligned(m, alignof(int32_t)));
  for (const uint8_t *uv : {skulletc, skulle2tc, gargoyletc, gargoyle2tc, kirkkotc, kirkko2tc})
    EXPECT_TRUE(aligned(uv, alignof(uint16_t)));
}

}  // namespace
