// The demo's script (script.def) as named positions: the switches inside
// scenes (music positions, order x 100 + row) and the rules on the row.
// The scenes' ranges are the timeline's scene_table (timeline.h), the text
// and fade records its text_table and the fades' fade_table (demo.h).
#pragma once

#include <cstdint>

#define ULV_AT(name, position, what) constexpr int32_t name = position;
#define ULV_ROWS(name, value, what) constexpr int32_t name = value;
#include "driver/script.def"
