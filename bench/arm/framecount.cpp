// ulvenor-framecount: the demo's frames with their boundaries marked, for an
// instruction counter outside the program (bench/arm-instructions.sh runs it
// under qemu with the insncount plugin).
//
// Runs the demo's start-up, frame code and audio callback on a virtual
// clock, like ulvenor-capture, and calls ulv_mark() three times per frame:
// before the music is advanced to the frame's time, before the frame is
// drawn and before it is presented (converted to 16 bits), and once after
// the last frame. The counter records its total at every call, so the
// differences come in threes: sound, drawing, presentation. At the end,
// standard output has a line "frame POS SCENE" for every frame, then
// "sound FRAMES RATE" for the sound made.
//
// Given a scene's name, only that scene's frames are marked (the frames
// before it run unmarked), and the run stops after its last frame.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "driver/demo.h"
#include "driver/timeline.h"
#include "music/mzx.h"

// The marker the counter watches for by name: it must stay a real call.
extern "C" __attribute__((noinline, used)) void ulv_mark() { asm volatile("" ::: "memory"); }

namespace {

constexpr int RATE = MZX_RATE;

int32_t positions[1 << 18];  // every frame's music position: 212 s at 1000 fps fit

// Every block the device would have asked for by `played` frames.
void advance_music(int64_t played) { mzx_render(played, nullptr); }

void startup() {
  if (!screen_offscreen()) {
    std::fprintf(stderr, "ulvenor-framecount: cannot make a surface: %s\n", SDL_GetError());
    std::exit(1);
  }
  if (!demo_start(demo_sound::offline)) {
    std::fprintf(stderr, "ulvenor-framecount: the embedded module does not load\n");
    std::exit(1);
  }
}

}  // namespace

// ulvenor-framecount [FPS [SCENE]]: frames at FPS frames per second of
// virtual time (default 50, as ulvenor-capture), of the whole demo or of
// the scene named SCENE.
int main(int argc, char **argv) {
  const int fps = argc > 1 ? std::atoi(argv[1]) : 50;
  int only = -1;
  if (argc > 2)
    for (int s = 0; s < SCENES; s++)
      if (std::strcmp(argv[2], scene_table[s].name) == 0) only = s;
  if (fps < 1 || fps > 1000 || argc > 3 || (argc > 2 && only < 0)) {
    std::fprintf(stderr, "usage: ulvenor-framecount [FPS 1..1000 [SCENE]]\n");
    return 2;
  }
  startup();
  int64_t frames = 0;
  int64_t sound_start = 0, sound_end = 0;  // sound made between the first and last marks
  bool closed = false;  // the last mark has been made
  for (int64_t k = 0; k < int64_t(sizeof positions / sizeof positions[0]); k++) {
    const int32_t now = int32_t(k * 1000 / fps);
    int32_t pos;
    if (only >= 0 && frames == 0) {
      // Before the scene: its frames are played and drawn unmarked (the
      // scenes' state carries over). The scene's first frame's share of the
      // sound is not counted (two marks with nothing between).
      advance_music(int64_t(now) * RATE / 1000);
      pos = mzx_position();
      if (scene_of(pos) != only) {
        convert_frame(demo_frame(pos, now), static_cast<uint8_t *>(scr->pixels), scr->pitch);
        continue;
      }
      sound_start = mzx_rendered();
      ulv_mark();
      ulv_mark();
    } else {
      sound_end = mzx_rendered();
      ulv_mark();
      advance_music(int64_t(now) * RATE / 1000);
      pos = mzx_position();
      if (only >= 0 && scene_of(pos) != only) {
        closed = true;  // the mark above ends the scene's last frame
        break;
      }
      ulv_mark();
    }
    const uint8_t *out = demo_frame(pos, now);
    ulv_mark();
    convert_frame(out, static_cast<uint8_t *>(scr->pixels), scr->pitch);
    positions[frames++] = pos;
    if (demo_done(pos, 0)) break;
  }
  if (!closed) {
    sound_end = mzx_rendered();
    ulv_mark();
  }
  for (int64_t k = 0; k < frames; k++)
    std::printf("frame %d %s\n", int(positions[k]), scene_table[scene_of(positions[k])].name);
  std::printf("sound %lld %d\n", static_cast<long long>(sound_end - sound_start), RATE);
  return std::fclose(stdout) == 0 ? 0 : 1;
}
