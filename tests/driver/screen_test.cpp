// The scaled window and the command line: nearest-neighbour enlargement,
// the fitting scale, full screen on and off, the options, frame pacing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/loop.h"
#include "driver/options.h"
#include "driver/screen.h"
#include "driver/sdl2_window.h"

namespace {

void fill_frame(std::vector<uint8_t> &frame) {
  frame.resize(FRAME_BYTES);
  for (int i = 0; i < FRAME_BYTES; i++) frame[i] = uint8_t(i * 7 + i / 320 * 13);
  for (int k = 0; k < 256; k++) pixtab[k] = uint16_t(0x8001 + k * 251);
}

// Every window pixel of the scaled area is the 1x pixel it covers; the
// bands, the border around the area and the row padding stay untouched.
void check_scaled(int scale, int left, int top, int pad) {
  std::vector<uint8_t> frame;
  fill_frame(frame);
  std::vector<uint8_t> one(640 * 240, 0);
  convert_frame(frame.data(), one.data(), 640);
  const int w = 320 * scale + 2 * left, h = 240 * scale + 2 * top, pitch = w * 2 + pad;
  std::vector<uint8_t> win(size_t(pitch) * h, 0xAB);
  convert_frame_scaled(frame.data(), win.data() + size_t(top) * pitch + left * 2, pitch, scale);
  for (int y = 0; y < h; y++)
    for (int x = 0; x < pitch / 2; x++) {
      uint16_t got;
      std::memcpy(&got, &win[size_t(y) * pitch + 2 * x], 2);
      const int ax = x - left, ay = y - top;  // in the scaled area
      const bool inside = ax >= 0 && ax < 320 * scale && ay >= 20 * scale && ay < 220 * scale;
      uint16_t want = 0xABAB;
      if (inside) std::memcpy(&want, &one[size_t(ay / scale) * 640 + 2 * (ax / scale)], 2);
      ASSERT_EQ(got, want) << "scale " << scale << " at " << x << "," << y;
    }
}

TEST(ScaledPresent, EqualsTheOneTimesPictureEnlarged) {
  check_scaled(2, 0, 0, 0);
  check_scaled(3, 0, 0, 12);
  check_scaled(3, 37, 5, 0);  // centred in a larger full screen
  check_scaled(8, 1, 0, 6);
}

// The 32-bit window: each frame pixel becomes a block of its table value.
TEST(ScaledPresent, WidePixelsAreBlocksOfTheirTableValue) {
  std::vector<uint8_t> frame;
  fill_frame(frame);
  uint32_t tab[256];
  for (int k = 0; k < 256; k++) tab[k] = 0xFF000000u | uint32_t(k) * 0x010203u;
  const int s = 4, pitch = 320 * s * 4 + 16;
  std::vector<uint8_t> win(size_t(pitch) * 240 * s, 0xCD);
  convert_frame_scaled_wide(frame.data(), tab, win.data(), pitch, s);
  for (int y = 0; y < 240 * s; y++)
    for (int x = 0; x < pitch / 4; x++) {
      uint32_t got;
      std::memcpy(&got, &win[size_t(y) * pitch + 4 * x], 4);
      const bool inside = x < 320 * s && y >= 20 * s && y < 220 * s;
      const uint32_t want = inside ? tab[frame[(y / s - 20) * 320 + x / s]] : 0xCDCDCDCDu;
      ASSERT_EQ(got, want) << x << "," << y;
    }
}

TEST(ScaledPresent, ScaleOneIsThePlainConversion) {
  std::vector<uint8_t> frame;
  fill_frame(frame);
  std::vector<uint8_t> a(640 * 240, 1), b(640 * 240, 1);
  convert_frame(frame.data(), a.data(), 640);
  convert_frame_scaled(frame.data(), b.data(), 640, 1);
  EXPECT_EQ(a, b);
}

TEST(FitScale, LargestWholeScaleThatFits) {
  EXPECT_EQ(screen_fit_scale(1920, 1080), 4);  // 1280x960
  EXPECT_EQ(screen_fit_scale(1280, 1024), 4);
  EXPECT_EQ(screen_fit_scale(2560, 1440), 6);  // height decides
  EXPECT_EQ(screen_fit_scale(959, 720), 2);    // width decides
  EXPECT_EQ(screen_fit_scale(960, 720), 3);
  EXPECT_EQ(screen_fit_scale(3840, 2160), SCREEN_MAXSCALE);  // 9 would fit
  EXPECT_EQ(screen_fit_scale(320, 240), 1);
  EXPECT_EQ(screen_fit_scale(200, 100), 1);  // too small: still scale 1
  EXPECT_EQ(screen_fit_scale(0, 0), 1);
}

class Screen : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError(); }  // dummy video
  void TearDown() override { SDL_Quit(); }
};

TEST_F(Screen, WindowAtScaleAndFullScreenBackAndForth) {
  const SDL_VideoInfo *info = SDL_GetVideoInfo();
  const int bits = info->vfmt->BitsPerPixel == 32 ? 32 : 16;  // a scaled window takes a 32-bit display's depth
  ASSERT_EQ(screen_open(3, false), 1) << SDL_GetError();
  EXPECT_EQ(scr->w, 960);
  EXPECT_EQ(scr->h, 720);
  EXPECT_EQ(scr->format->BitsPerPixel, bits);
  EXPECT_EQ(screen_scale, 3);
  EXPECT_FALSE(screen_fullscreen);
  map_palette(pal_white);
  const uint16_t white = pixtab[7];
  pixtab[7] = 0;
  ASSERT_EQ(screen_toggle_fullscreen(), 1);
  EXPECT_TRUE(screen_fullscreen);
  EXPECT_EQ(pixtab[7], white);  // mapped again for the new surface
  // The area fits and is centred in whatever the mode is.
  EXPECT_LE(screen_left * 2 + 320 * screen_scale, scr->w);
  EXPECT_LE(screen_top * 2 + 240 * screen_scale, scr->h);
  EXPECT_LE(scr->w - (screen_left * 2 + 320 * screen_scale), 1);
  std::vector<uint8_t> frame(FRAME_BYTES, 7);
  present(frame.data());  // must stay inside the surface
  ASSERT_EQ(screen_toggle_fullscreen(), 1);
  EXPECT_FALSE(screen_fullscreen);
  EXPECT_EQ(scr->w, 960);
  EXPECT_EQ(screen_scale, 3);
  EXPECT_EQ(screen_left, 0);
  EXPECT_EQ(screen_top, 0);
}

TEST_F(Screen, PlainWindowByDefault) {
  ASSERT_EQ(screen_open(1, false), 1) << SDL_GetError();
  EXPECT_EQ(scr->w, 320);
  EXPECT_EQ(scr->h, 240);
  EXPECT_EQ(scr->format->BitsPerPixel, 16);
  EXPECT_EQ(scr->flags & SDL_FULLSCREEN, 0u);
}

// The environment that SDL 1.2 over SDL 2 reads (screen_sdl2_environment),
// unset for a test and put back as it was when the test ends.
class Sdl2EnvironmentKept {
 public:
  Sdl2EnvironmentKept() {
    for (const char *n : names)
      if (const char *v = std::getenv(n)) saved.emplace_back(n, v);
    for (const char *n : names) unsetenv(n);
  }
  ~Sdl2EnvironmentKept() {
    for (const char *n : names) unsetenv(n);
    for (const auto &[n, v] : saved) setenv(n.c_str(), v.c_str(), 1);
  }

 private:
  static constexpr const char *names[] = {"SDL_RENDER_DRIVER", "SDL_FRAMEBUFFER_ACCELERATION",
                                          "SDL12COMPAT_SCALE_METHOD", "SDL12COMPAT_WINDOW_SCALING"};
  std::vector<std::pair<std::string, std::string>> saved;
};

// What the window shows, row by row without padding: SDL 2's window
// surface, the image its display is sent (empty when there is none).
std::vector<uint8_t> window_image() {
  sdl2_view v;
  if (!sdl2_window_surface(&v)) return {};
  std::vector<uint8_t> rows;
  for (int y = 0; y < v.h; y++)
    rows.insert(rows.end(), v.pixels + size_t(y) * v.pitch, v.pixels + size_t(y) * v.pitch + size_t(v.w) * v.bytes);
  return rows;
}

size_t first_difference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) i++;
  return i;
}

// Over sdl12-compat (the suite runs on it as driver_screen_compat) every
// mode is drawn straight into SDL 2's window surface, and the window shows
// exactly what sdl12-compat itself shows of the same frame, bands and all:
// the plain window, a window that SDL 2 enlarges 3 times, full screen, and
// full screen again after F11 out and back. On classic SDL 1.2 there is no
// such path.
TEST_F(Screen, StraightIntoSdl2IsWhatSdl12CompatShows) {
  const bool compat = SDL_Linked_Version()->patch >= 50;
  if (std::getenv("ULV_WANT_SDL12_COMPAT")) {
    ASSERT_TRUE(compat) << "classic SDL 1.2 was loaded";
  }
  if (!compat) {
    ASSERT_EQ(screen_open(1, true), 1) << SDL_GetError();
    EXPECT_FALSE(screen_presents_direct());
    EXPECT_TRUE(window_image().empty());
    return;
  }
  const Sdl2EnvironmentKept kept;
  static uint8_t pal[768];
  for (int i = 0; i < 768; i++) pal[i] = uint8_t(i * 37 + i / 3);
  std::vector<uint8_t> frame;
  fill_frame(frame);
  // What the window shows of the frame in a fresh mode of `scale` (0: full
  // screen), drawn straight or by sdl12-compat.
  auto shown = [&](int scale, bool straight) {
    unsetenv("SDL12COMPAT_WINDOW_SCALING");
    screen_sdl2_environment(scale);
    screen_sdl2_direct = straight;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    EXPECT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    EXPECT_EQ(screen_open(scale ? scale : 1, scale == 0), 1) << SDL_GetError();
    EXPECT_EQ(screen_presents_direct(), straight);
    map_palette(pal);
    present(frame.data());
    // sdl12-compat shows an update at most once a display refresh, the
    // rest when events are next read.
    if (!straight) {
      SDL_Delay(50);
      SDL_PumpEvents();
    }
    return window_image();
  };
  for (int scale : {1, 3, 0}) {
    const std::vector<uint8_t> theirs = shown(scale, false), ours = shown(scale, true);
    ASSERT_FALSE(theirs.empty()) << "scale " << scale;
    sdl2_view v;
    ASSERT_TRUE(sdl2_window_surface(&v));
    EXPECT_EQ(v.w, scale ? 320 * scale : scr->w) << "scale " << scale;
    size_t lit = 0;
    for (uint8_t b : ours) lit += b != 0;
    EXPECT_GT(lit, ours.size() / (scale ? 2 : 4)) << "scale " << scale;
    EXPECT_TRUE(ours == theirs) << "scale " << scale << ": the window differs from what sdl12-compat shows from byte "
                                << first_difference(ours, theirs) << " of " << ours.size();
    if (scale) continue;
    EXPECT_GT(scr->w, 320 * screen_scale);  // a display wider than the area: bands left and right too
    ASSERT_EQ(screen_toggle_fullscreen(), 1);
    EXPECT_TRUE(screen_presents_direct());
    EXPECT_FALSE(screen_fullscreen);
    ASSERT_EQ(screen_toggle_fullscreen(), 1);
    EXPECT_TRUE(screen_presents_direct());
    present(frame.data());
    const std::vector<uint8_t> again = window_image();
    EXPECT_TRUE(again == theirs) << "after F11 twice the window differs from byte "
                                 << first_difference(again, theirs) << " of " << again.size();
  }
  screen_sdl2_direct = true;
}

// The environment for SDL 1.2 over SDL 2: set where the user left it
// unset, the user's own values kept, the window factor only for a scaled
// window. The variables are restored afterwards.
TEST(Sdl2Environment, SetsOnlyWhatTheUserLeftUnset) {
  const Sdl2EnvironmentKept kept;
  auto value = [](const char *n) { return std::string(std::getenv(n) ? std::getenv(n) : "(unset)"); };
  screen_sdl2_environment(1);
  EXPECT_EQ(value("SDL_RENDER_DRIVER"), "software");
  EXPECT_EQ(value("SDL_FRAMEBUFFER_ACCELERATION"), "0");
  EXPECT_EQ(value("SDL12COMPAT_SCALE_METHOD"), "nearest");
  EXPECT_EQ(value("SDL12COMPAT_WINDOW_SCALING"), "(unset)");  // the plain window is not enlarged
  screen_sdl2_environment(SCREEN_MAXSCALE);
  EXPECT_EQ(value("SDL12COMPAT_WINDOW_SCALING"), "8");
  setenv("SDL_RENDER_DRIVER", "opengl", 1);
  setenv("SDL12COMPAT_SCALE_METHOD", "linear", 1);
  setenv("SDL12COMPAT_WINDOW_SCALING", "2.5", 1);
  screen_sdl2_environment(3);
  EXPECT_EQ(value("SDL_RENDER_DRIVER"), "opengl");
  EXPECT_EQ(value("SDL12COMPAT_SCALE_METHOD"), "linear");
  EXPECT_EQ(value("SDL12COMPAT_WINDOW_SCALING"), "2.5");
}

struct Parsed {
  demo_action action;
  demo_options opt;
  std::string err;
};

Parsed parse(std::vector<const char *> args) {
  args.insert(args.begin(), "ulvenor");
  std::vector<char *> argv;
  for (const char *a : args) argv.push_back(const_cast<char *>(a));
  Parsed p;
  FILE *err = std::tmpfile();
  p.action = parse_options(int(argv.size()), argv.data(), p.opt, err);
  std::rewind(err);
  char buf[256];
  while (std::fgets(buf, sizeof buf, err)) p.err += buf;
  std::fclose(err);
  return p;
}

TEST(Options, AcceptedArguments) {
  Parsed p = parse({});
  EXPECT_EQ(p.action, demo_action::run);
  EXPECT_EQ(p.opt.scale, 1);
  EXPECT_FALSE(p.opt.fullscreen);
  p = parse({"--scale", "3"});
  EXPECT_EQ(p.action, demo_action::run);
  EXPECT_EQ(p.opt.scale, 3);
  p = parse({"--scale=8", "--fullscreen"});
  EXPECT_EQ(p.action, demo_action::run);
  EXPECT_EQ(p.opt.scale, 8);
  EXPECT_TRUE(p.opt.fullscreen);
  p = parse({"--scale", "1"});
  EXPECT_EQ(p.opt.scale, 1);
  EXPECT_EQ(parse({"--help"}).action, demo_action::help);
  EXPECT_EQ(parse({"--version", "--bogus"}).action, demo_action::version);
  EXPECT_TRUE(parse({"--help"}).err.empty());
}

TEST(Options, WrongArgumentsSayWhatIsWrongInOneLine) {
  const std::vector<std::vector<const char *>> wrong = {
      {"--scale", "0"}, {"--scale", "9"},  {"--scale", "3x"}, {"--scale", "-1"}, {"--scale", ""},
      {"--scale=10"},   {"--scale"},       {"--scale", "+2"}, {"--fullscreen", "x"}, {"-s"},
      {"--Scale", "2"}, {"--scale=", "2"},
      // Given twice: which one was meant is not for the demo to guess.
      {"--scale", "2", "--scale", "3"}, {"--scale=2", "--scale", "2"}, {"--fullscreen", "--fullscreen"},
  };
  for (const auto &args : wrong) {
    Parsed p = parse(args);
    EXPECT_EQ(p.action, demo_action::usage_error) << args[0];
    EXPECT_EQ(p.err.rfind("ulvenor: ", 0), 0u) << p.err;
    EXPECT_EQ(p.err.find('\n'), p.err.size() - 1) << p.err;
  }
}

TEST(Pacing, OneFramePeriodApartUnlessBehind) {
  EXPECT_EQ(loop_next_due(1000, 1003), 1000 + LOOP_FRAME_MS);   // drawn early: sleep
  EXPECT_EQ(loop_next_due(1000, 1000 + LOOP_FRAME_MS), 1000 + LOOP_FRAME_MS);
  EXPECT_EQ(loop_next_due(1000, 1030), 1030u);  // behind: at once, no burst after
  EXPECT_EQ(loop_next_due(0xFFFFFFFCu, 0xFFFFFFFEu), uint32_t(0xFFFFFFFCu + LOOP_FRAME_MS));  // wraps
  EXPECT_EQ(loop_next_due(0xFFFFFFF0u, 5), 5u);
  // At least 120 frames per second, at most one per millisecond of `now`.
  EXPECT_LE(LOOP_FRAME_MS, 1000u / 120);
  EXPECT_GE(LOOP_FRAME_MS, 1u);
}

}  // namespace
