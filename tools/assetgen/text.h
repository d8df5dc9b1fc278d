// Text rendering for the art jobs: FreeType's anti-aliased grey glyphs
// drawn into 8-bit coverage buffers. Each TextFont owns its own FreeType
// library handle, so jobs on different threads never share FreeType state.
#pragma once

#include <cstdint>
#include <string>

// Debian's font packages (SIL Open Font License).
constexpr const char *FONT_SERIF = "/usr/share/fonts/opentype/ebgaramond/EBGaramond12-Regular.otf";
constexpr const char *FONT_SERIF_ITALIC = "/usr/share/fonts/opentype/ebgaramond/EBGaramond12-Italic.otf";
constexpr const char *FONT_SERIF_BOLD = "/usr/share/fonts/opentype/ebgaramond/EBGaramond12-Bold.otf";
constexpr const char *FONT_BLACKLETTER = "/usr/share/fonts/truetype/blankenburg/Blankenburg_UNZ1A.ttf";

struct TextFont {
  void *lib = nullptr;   // FT_Library
  void *face = nullptr;  // FT_Face
  int px = 0;            // nominal pixel height (em size)
};

// Opens `path` at an em size of `px` pixels; stops the generator when the
// font cannot be read (the art would silently lose its text otherwise).
void text_open(TextFont &f, const char *path, int px);
void text_close(TextFont &f);

// Ascender and descender of the face at its size, in pixels (descender
// is positive, measured downwards from the baseline).
int text_ascent(const TextFont &f);
int text_descent(const TextFont &f);

// Advance width of the UTF-8 string `s` in pixels, with `track` extra
// pixels after every glyph but the last.
int text_width(const TextFont &f, const std::string &s, int track = 0);

// Ink bounds of `s` drawn with its pen at (0, 0), baseline at y = 0 and y
// growing downwards: columns x0..x1-1, rows y0..y1-1. Empty ink gives
// x0 == x1.
struct TextBox {
  int x0, y0, x1, y1;
};
TextBox text_bounds(const TextFont &f, const std::string &s, int track = 0);

// Draws `s` with its pen starting at column x on baseline row `base` of a
// w x h buffer (pitch w). Each pixel becomes the larger of its value and
// coverage * level / 255, so overlapping glyphs never wrap. Pixels outside
// the buffer are dropped.
void text_draw(const TextFont &f, uint8_t *buf, int w, int h, int x, int base, const std::string &s,
               int level = 255, int track = 0);
