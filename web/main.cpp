// Ulvenor Tarquel in a web page: the demo's start-up, frame and sound
// block as functions the page calls (web/index.html). The page owns the
// clock: it hands the sound blocks to Web Audio, and for every display
// frame asks which position is being heard and draws that.
//
// No SDL window or sound device: the music runs on the offline mixer (as
// in the capture tool), one 4096-frame block per web_block call, and the
// frame is converted into 320x240 RGBA, the picture the native 16-bit
// window shows, widened to 8 bits a channel as the capture tool does.
#include <emscripten/emscripten.h>

#include <SDL.h>

#include <cstdint>
#include <cstring>

#include "assets/assets.h"
#include "driver/demo.h"
#include "music/mzx.h"
#include "sound/dsp16.h"
#include "tools/capture/hashes.h"

// SDL 1.2's own mapping of a colour to a pixel of a format without a
// palette. Emscripten's SDL ignores the format and returns 32-bit RGBA,
// which would not fit pixtab's 16 bits: this one takes precedence over it
// and gives the RGB565 values the native window shows.
extern "C" Uint32 SDL_MapRGB(const SDL_PixelFormat *f, Uint8 r, Uint8 g, Uint8 b) {
  return Uint32(r >> f->Rloss) << f->Rshift | Uint32(g >> f->Gloss) << f->Gshift |
         Uint32(b >> f->Bloss) << f->Bshift | f->Amask;
}

// The timer-driven tick source (mzx_mode 0) is never used here: the page
// runs the mixer-driven music only. emscripten's SDL has no SDL_SetTimer.
extern "C" int SDL_SetTimer(Uint32, SDL_OldTimerCallback) {
  SDL_SetError("no SDL timers in the page");
  return -1;
}

namespace {

constexpr int BLOCK = MZX_BLOCK;
constexpr int WIN_W = 320, WIN_H = 240;

SDL_PixelFormat rgb565;
SDL_Surface window;  // only its format is read (map_palette)

uint8_t rgba[WIN_W * WIN_H * 4];
uint32_t rgba_of[256];

// The first sound frame of each position, in the order the mixer played
// them: enough for the blocks the page keeps queued.
constexpr int ROWS = 1024;
int32_t row_frame[ROWS], row_pos[ROWS];
int rows = 0;  // records made; the last ROWS are kept

void on_tick(int frame) {
  const int32_t pos = mzx_position();
  if (rows > 0 && row_pos[(rows - 1) % ROWS] == pos) return;
  row_frame[rows % ROWS] = int32_t(mzx_rendered()) + frame;
  row_pos[rows % ROWS] = pos;
  rows++;
}

// The last block rendered, in the front-end's buffer.
const uint8_t *block = nullptr;

void keep_block(void *, const uint8_t *b, int, int64_t) { block = b; }
const mzx_sink block_sink{keep_block, nullptr};

// The frame into rgba: rows 20..219, through pixtab widened as the capture
// tool widens RGB565 (each channel's top bits repeated).
void convert_rgba(const uint8_t *out) {
  for (int k = 0; k < 256; k++) {
    const uint32_t p = pixtab[k], r = p >> 11, g = (p >> 5) & 63, b = p & 31;
    rgba_of[k] = (r << 3 | r >> 2) | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2) << 16 | 0xFF000000u;
  }
  uint32_t *dst = reinterpret_cast<uint32_t *>(rgba) + FRAME_TOP * WIN_W;
  for (int i = 0; i < FRAME_W * FRAME_H; i++) dst[i] = rgba_of[out[i]];
}

// The capture tool's virtual clock, for the page's identity test.
int32_t cap_k = 0, cap_pos = 0;
char cap_text[64 * 16];
size_t cap_used = 0;  // bytes of cap_text written by this step

// A block's hash line, after those of the step so far.
void hash_block(void *, const uint8_t *b, int bytes, int64_t first) {
  cap_used += size_t(cap_block_line(cap_text + cap_used, sizeof cap_text - cap_used, long(first / BLOCK),
                                    cap_hash(b, size_t(bytes), 1, 1)));
}

}  // namespace

extern "C" {

// Start-up: the schedules, the music, the effects' tables; the picture
// black. Returns 0 when the embedded module does not load.
EMSCRIPTEN_KEEPALIVE int web_start() {
  demo_reset();
  rgb565.BitsPerPixel = 16;
  rgb565.BytesPerPixel = 2;
  rgb565.Rmask = 0xF800, rgb565.Gmask = 0x07E0, rgb565.Bmask = 0x001F, rgb565.Amask = 0;
  rgb565.Rshift = 11, rgb565.Gshift = 5, rgb565.Bshift = 0;
  rgb565.Rloss = 3, rgb565.Gloss = 2, rgb565.Bloss = 3;
  window.format = &rgb565;
  window.w = WIN_W, window.h = WIN_H, window.pitch = WIN_W * 2;
  scr = &window;
  for (int i = 0; i < WIN_W * WIN_H; i++) reinterpret_cast<uint32_t *>(rgba)[i] = 0xFF000000u;
  if (!demo_start(demo_sound::offline)) return 0;
  mix_tickhook = on_tick;
  return 1;
}

// The picture, 320x240 RGBA, as the last web_frame left it.
EMSCRIPTEN_KEEPALIVE uint8_t *web_picture() { return rgba; }

// The next 4096 frames of sound, 16-bit stereo, interleaved.
EMSCRIPTEN_KEEPALIVE const int16_t *web_block() {
  mzx_render(mzx_rendered(), &block_sink);
  return reinterpret_cast<const int16_t *>(block);
}

// The position heard at sound frame `frame` (0 = the first frame mixed):
// the last row started at or before it, -37 before the first. Rows older
// than the records kept read as the oldest kept.
EMSCRIPTEN_KEEPALIVE int32_t web_position_at(int32_t frame) {
  const int first = rows > ROWS ? rows - ROWS : 0;
  for (int i = rows - 1; i >= first; i--)
    if (row_frame[i % ROWS] <= frame) return row_pos[i % ROWS];
  return rows > ROWS ? row_pos[first % ROWS] : -37;
}

// The sound frame at which position `pos` started, or -1 when it is not
// among the records kept.
EMSCRIPTEN_KEEPALIVE int32_t web_row_frame(int32_t pos) {
  const int first = rows > ROWS ? rows - ROWS : 0;
  for (int i = rows - 1; i >= first; i--)
    if (row_pos[i % ROWS] == pos) return row_frame[i % ROWS];
  return -1;
}

// Draws the frame for (pos, now) into the picture.
EMSCRIPTEN_KEEPALIVE void web_frame(int32_t pos, int32_t now) { convert_rgba(demo_frame(pos, now)); }

// 1 when the demo ends after the frame just drawn.
EMSCRIPTEN_KEEPALIVE int web_done(int32_t pos, int escapes) { return demo_done(pos, escapes); }

// One frame of the capture tool's virtual clock at `fps`: the sound
// advanced in whole blocks over every frame played by the frame's time,
// then the frame drawn. Returns the hash lines of the blocks and the frame
// ("a K HASH", "f K POS HASH", as ulvenor-capture --hashes writes them).
EMSCRIPTEN_KEEPALIVE const char *web_capture_step(int fps) {
  const int32_t now = int32_t(int64_t(cap_k) * 1000 / fps);
  cap_used = 0;
  const mzx_sink hash_sink{hash_block, nullptr};
  mzx_render(int64_t(now) * MZX_RATE / 1000, &hash_sink);
  const size_t n = cap_used;
  cap_pos = mzx_position();
  web_frame(cap_pos, now);
  cap_frame_line(cap_text + n, sizeof cap_text - n, cap_k, cap_pos, cap_hash(rgba, sizeof rgba, 3, 4));
  cap_k++;
  return cap_text;
}

// The position of the last capture step's frame.
EMSCRIPTEN_KEEPALIVE int32_t web_capture_pos() { return cap_pos; }

}  // extern "C"
