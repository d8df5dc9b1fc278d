// Shared by the parts of ulvenor-artfigures.
#pragma once

// One row of the module: 6 ticks of 2.5 / 136 s, in ms.
constexpr double ROW_MS = 6 * 2500.0 / 136;

// Rows of music from position a to the later position b (64 rows a
// pattern).
inline int rows_between(int a, int b) { return (b / 100 - a / 100) * 64 + (b % 100 - a % 100); }

// The spinning stars' crack and sliver counts over their whole scene, and
// how far the two copies read as two objects.
void star_figures();
// The greetings' letter sizes, stroke widths and strokes lost to the scroll.
void greets_figures();
