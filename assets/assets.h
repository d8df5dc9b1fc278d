// The embedded assets: global arrays under their catalogue symbols, made by
// the build-time generator and linked in from assets.S. Formats:
//   indexed picture  320x200 bytes, row-major, one palette index per byte
//   UV map           64000 little-endian uint16, 0xFFFF = uncovered, else
//                    texel offset (row in the high byte) into a 256x256 texture
//   texture          256x256 bytes; strip 512x80; panorama and mask 800x200
//   caption          196x120 bytes, 0 = transparent
//   model            big-endian int32 words (converted in place at start-up):
//                    N, N x (x, y, z) in 16.16, F, F x (a, b, c) indices
//   palette          256 x (r, g, b), full intensity 255
// Everything is read-only except the models and the module, which are
// converted in place at start-up.
#pragma once

#include <cstdint>

extern "C" {
extern const uint8_t ulvenor[64000];
extern const uint8_t koottikarry1[40960];
extern const uint8_t koottikarry2[40960];
extern const uint8_t koottikarry3[40960];
extern const uint8_t kiehkura[65536];
extern const uint8_t skulle[64000];
extern const uint8_t skulletc[128000];
extern const uint8_t skulle2[64000];
extern const uint8_t skulle2tc[128000];
extern const uint8_t takamehta[160000];
extern const uint8_t etumehta[160000];
extern uint8_t model1[11804];
extern const uint8_t gargoyle[64000];
extern const uint8_t gargoyletc[128000];
extern const uint8_t gargoyle2[64000];
extern const uint8_t gargoyle2tc[128000];
extern const uint8_t drose[64000];
extern const uint8_t rosic[64000];
extern uint8_t ch_u[3680];
extern uint8_t ch_r[2480];
extern uint8_t ch_e[824];
extern uint8_t ch_t[2120];
extern const uint8_t tamsk[64000];
extern const uint8_t dorl[64000];
extern const uint8_t vesk[64000];
extern const uint8_t tamsktxt[23520];
extern const uint8_t dorltxt[23520];
extern const uint8_t vesktxt[23520];
extern const uint8_t kirkko[64000];
extern const uint8_t kirkkotc[128000];
extern const uint8_t kirkko2[64000];
extern const uint8_t kirkko2tc[128000];
extern const uint8_t dracula[1900544];  // 29 textures of 256x256
extern const uint8_t greets[321536];    // 256 columns, 1256 rows
extern const uint8_t lapinaa[200960];   // 26 text lines of 320x24, then 4 unused rows
extern const uint8_t piece1[172];
extern const uint8_t piece2[222];
extern uint8_t nothing[704624];  // the music module; patterns converted in place when loaded

// The seven fixed palettes lie back to back in this order (one block).
extern const uint8_t pal_blue[768];
extern const uint8_t pal_bright[768];
extern const uint8_t pal_grey[768];
extern const uint8_t pal_green[768];
extern const uint8_t pal_red[768];
extern const uint8_t pal_white[768];
extern const uint8_t pal_sepia[768];
extern const uint8_t pal_black[768];  // all zero
}
