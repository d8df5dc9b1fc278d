// The frame loop's exit rules, through SDL's own event queue.
#include <gtest/gtest.h>

#include "driver/demo.h"
#include "driver/loop.h"

namespace {

class Loop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();  // dummy video driver
    ASSERT_NE(SDL_SetVideoMode(320, 240, 16, 0), nullptr);
    while (poll_input().escapes) {
    }
  }
  void TearDown() override { SDL_Quit(); }
  static void push_key(SDLKey sym, Uint8 type = SDL_KEYDOWN, SDLMod mod = KMOD_NONE) {
    SDL_Event ev{};
    ev.type = type;
    ev.key.type = type;
    ev.key.keysym.sym = sym;
    ev.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&ev), 0);
  }
  static void push_quit() {
    SDL_Event ev{};
    ev.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&ev), 0);
  }
};

TEST_F(Loop, SeveralEscapesInOneFrameEndTheLoopOnce) {
  push_key(SDLK_ESCAPE);
  push_key(SDLK_a);
  push_key(SDLK_ESCAPE);
  push_key(SDLK_ESCAPE, SDL_KEYUP);  // a release is not a press
  push_key(SDLK_ESCAPE);
  const int escapes = poll_input().escapes;
  EXPECT_EQ(escapes, 3);
  EXPECT_TRUE(demo_done(120, escapes));
  EXPECT_EQ(poll_input().escapes, 0);  // the queue was drained: the next frame counts afresh
}

TEST_F(Loop, QuitRequestIsIgnored) {
  push_quit();
  push_key(SDLK_SPACE);
  const loop_input in = poll_input();
  const int escapes = in.escapes;
  EXPECT_EQ(escapes, 0);
  EXPECT_EQ(in.toggles, 0);
  EXPECT_FALSE(demo_done(2999, escapes));
}

// F11, and Return only with Alt held, switch full screen; neither ends it.
TEST_F(Loop, FullScreenKeys) {
  push_key(SDLK_F11);
  push_key(SDLK_RETURN);                              // plain Return: nothing
  push_key(SDLK_RETURN, SDL_KEYDOWN, KMOD_LALT);
  push_key(SDLK_RETURN, SDL_KEYDOWN, SDLMod(KMOD_RALT | KMOD_SHIFT));
  push_key(SDLK_F11, SDL_KEYUP);
  const loop_input in = poll_input();
  EXPECT_EQ(in.toggles, 3);
  EXPECT_EQ(in.escapes, 0);
}

TEST(LoopEnd, EndsAfterTheFirstFrameAtPosition3000) {
  EXPECT_FALSE(demo_done(-37, 0));
  EXPECT_FALSE(demo_done(2999, 0));
  EXPECT_TRUE(demo_done(3000, 0));
  EXPECT_TRUE(demo_done(3163, 0));
}

}  // namespace
