// The frame: what every scene and effect draws into, and the layout every
// indexed picture shares. 320 columns by 200 rows of palette indices,
// row-major, pitch 320: pixel (x, y) is byte FRAME_W * y + x.
#pragma once

constexpr int FRAME_W = 320;
constexpr int FRAME_H = 200;
constexpr int FRAME_BYTES = FRAME_W * FRAME_H;
