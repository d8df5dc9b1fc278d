// The composition: a dark piece in D minor at 136 BPM, four rows to the
// beat, a bar of 16 rows, a pattern of four bars (about 7.05 s).
//
// Channel 0 drums (just left of centre, cymbals panned off it), 1 bass
// (centre), 2 chords (well to the left), 3 lead (well to the right). The picture changes on the music's rows, so the
// plan of the piece is the demo's timeline: the section table below names
// every row where the picture flashes or changes, and the build checks that
// the pattern at that order carries an accent on that row.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "music.h"

namespace music {

namespace {

enum Channel { DR = 0, BS = 1, CH = 2, LD = 3 };

const std::vector<Sample> *instruments;  // for the volumes of fades, set by compose

constexpr uint8_t CMD_ARP = 0x0, CMD_OFFSET = 0x9, CMD_PAN = 0x8, CMD_PORTA = 0x3, CMD_VIB = 0x4, CMD_VIBSLIDE = 0x6, CMD_VOLSLIDE = 0xA, CMD_VOL = 0xC,
                  CMD_EXT = 0xE, CMD_SPEED = 0xF;

// ---- the plan ---------------------------------------------------------------------

// The song in sections, in playing order. Each section names the patterns of
// its song positions and the positions (order x 100 + row) where the picture
// flashes or changes, which must carry a hit. The order list is these
// patterns one after another.
struct Section {
  const char *name;
  std::vector<uint8_t> patterns;  // one per song position
  std::vector<int> accents;
};

const Section kSections[] = {
    {"intro: texts at 100, 132 and 200, black at 220, title hit at 232, swell to white from 250", {0, 1, 2}, {232}},
    {"skull: the theme drops at 300, flashes, flicker-out from 648 into a break at 662",
     {3, 4, 5, 6},
     {300, 332, 400, 432, 500, 532, 600, 632, 662}},
    {"spinning shapes: calmer, flashes at 900 and 1000, fading at 1050", {7, 8, 7, 9}, {900, 1000}},
    {"worms: a new groove rising from black, flash at 1248, black at 1254", {10, 11}, {1248}},
    {"gargoyle: a hit with each half of each text burst, flashes, flicker-out from 1748",
     {12, 13, 14, 13, 15},
     {1300, 1316, 1400, 1416, 1432, 1500, 1516, 1600, 1616, 1632, 1700, 1732}},
    {"letters (the march twice), halftone from 2000", {16, 16, 18, 19}, {}},
    {"portraits, changing at 2242 and 2320", {20, 21}, {2242, 2320}},
    {"church, flash at 2462", {22}, {2462}},
    {"greetings: the theme returns, its climb a tone higher", {3, 4, 17}, {2500, 2532, 2600, 2632, 2700, 2732}},
    {"outro, fading over 4 s from 2920; the demo ends at 3000", {23, 24}, {}},
    {"coda, heard only when the module plays on its own, back to the start", {7, 9}, {3000}},
};

// ---- cell writing -------------------------------------------------------------------

int chord_root_pc(const std::string &c) {
  static const char *const letters = "C D EF G A B";
  const char *p = c.empty() || c[0] == ' ' ? nullptr : std::strchr(letters, c[0]);
  if (!p) {
    std::fprintf(stderr, "assetgen: music: bad chord %s\n", c.c_str());
    std::abort();
  }
  int pc = int(p - letters);
  if (c.size() > 1 && c[1] == '#') pc++;
  if (c.size() > 1 && c[1] == 'b') pc--;
  return (pc + 12) % 12;
}

bool chord_minor(const std::string &c) { return c.back() == 'm'; }

// Written note of a chord sample (the sample's C-3 holds the voicing on C3):
// roots C to F go up from C-3, F# to B down from it.
int chord_note(int pc) { return pc <= 5 ? 48 + pc : 36 + pc; }

// Written bass root: A-1 to G#-2.
int bass_root(int pc) { return pc >= 9 ? 24 + pc : 36 + pc; }

void set(Pattern &p, int row, int ch, int sample, int note, int cmd = 0, int param = 0) {
  Cell &c = p.cell[row][ch];
  c.sample = uint8_t(sample);
  c.note = uint8_t(note);
  c.cmd = uint8_t(cmd);
  c.param = uint8_t(param);
}

void fx(Pattern &p, int row, int ch, int cmd, int param) {
  p.cell[row][ch].cmd = uint8_t(cmd);
  p.cell[row][ch].param = uint8_t(param);
}

// "name len name len ...": a sequence of tokens, each held for len rows.
struct Token {
  std::string name;
  int len;
};
std::vector<Token> tokens(const char *s) {
  std::istringstream in(s);
  std::vector<Token> t;
  std::string name;
  int len;
  while (in >> name >> len) t.push_back({name, len});
  return t;
}

// Drums, one character per row from `row`: K kick, S snare, s ghost snare,
// h hat, o open hat, x crash, B boom, u sub hit, c clap, r roll (rim),
// R ride, H/M/L toms high, mid, low, '.' nothing.
void drums(Pattern &p, int row, const char *s, int ch = DR) {
  for (int i = 0; s[i] && row + i < kRows; i++) {
    const int r = row + i;
    switch (s[i]) {
      case 'K': set(p, r, ch, S_KICK, 48); break;
      case 'S': set(p, r, ch, S_SNARE, 57); break;
      case 's': set(p, r, ch, S_SNARE, 57, CMD_VOL, 22); break;
      case 'h': set(p, r, ch, S_HAT, 57); break;
      case 'o': set(p, r, ch, S_OPENHAT, 57); break;
      case 'x': set(p, r, ch, S_CRASH, 57); break;
      case 'B': set(p, r, ch, S_BOOM, 48); break;
      case 'u': set(p, r, ch, S_SUB, 48); break;
      case 'c': set(p, r, ch, S_CLAP, 48); break;
      case 'r': set(p, r, ch, S_RIM, 48, CMD_VOL, 30); break;
      case 'R': set(p, r, ch, S_RIDE, 57); break;
      case 'H': set(p, r, ch, S_TOM, 52); break;
      case 'M': set(p, r, ch, S_TOM, 47); break;
      case 'L': set(p, r, ch, S_TOM, 42); break;
      default: break;
    }
  }
}

// The same bar of drums four times, with an optional fill in the last bar
// and an optional variation in the third.
void drum_bars(Pattern &p, const char *bar, const char *last = nullptr, const char *third = nullptr) {
  for (int b = 0; b < 4; b++) drums(p, 16 * b, b == 3 && last ? last : b == 2 && third ? third : bar);
}

// Accents and ghost notes through the volume column, on every drum hit of
// channel `ch` that has no command of its own. Closed hats: the eighth
// after each half bar's downbeat (rows 2 and 10 of a bar) strong at the
// sample's volume, keeping its panning; the other off-beat eighths lighter
// (the third bar of a pattern pushes them a little), hats on the beat
// lighter still and sixteenths as ghosts, alternating two levels. Snares
// off the backbeat are lighter; a run of snares swells towards the
// downbeat that follows it. `seed` shifts the ghosts' alternation from
// pattern to pattern.
void dynamics(Pattern &p, int seed, int ch = DR) {
  for (int r = 0; r < kRows; r++) {
    Cell &c = p.cell[r][ch];
    if (!c.sample || c.cmd || c.param) continue;
    const int in_bar = r % 16;
    int vol = -1;
    if (c.sample == S_HAT) {
      if (r % 8 == 2) vol = -1;
      else if (r % 8 == 6) vol = r / 16 == 2 ? 54 : 46;
      else if (r % 4 == 0) vol = 40;
      else vol = (r / 2 + seed) % 2 ? 30 : 22;
    } else if (c.sample == S_SNARE && in_bar != 4 && in_bar != 12) {
      const bool run = (r > 0 && p.cell[r - 1][ch].sample == S_SNARE) ||
                       (r + 1 < kRows && p.cell[r + 1][ch].sample == S_SNARE);
      vol = run ? 30 + 34 * in_bar / 15 : 44;
    }
    if (vol >= 0) {
      c.cmd = CMD_VOL;
      c.param = uint8_t(vol);
    }
  }
}

// Softer drums for the quiet sections: every hit of rows [from, to) without
// a command of its own gets `gain` of its sample's volume.
void soften(Pattern &p, double gain, int from = 0, int to = kRows, int ch = DR) {
  for (int r = from; r < to; r++) {
    Cell &c = p.cell[r][ch];
    if (c.sample && c.cmd == 0 && c.param == 0) {
      c.cmd = CMD_VOL;
      c.param = uint8_t(std::lround(instruments->at(c.sample - 1).volume * gain));
    }
  }
}

struct ChordSet {
  uint8_t minor, major;
};
const ChordSet ORGAN = {S_ORGAN_MIN, S_ORGAN_MAJ}, CHOIR = {S_CHOIR_MIN, S_CHOIR_MAJ},
               STRINGS = {S_STRINGS_MIN, S_STRINGS_MAJ};

// Chords "Dm 16 Bb 16 ...": each chord sample starts on its first row, at
// volume `vol` (-1: the sample's) or, with `offset` (in 256-byte steps)
// and no volume, that far into the sample: past a slow attack, so the
// chord lands on its beat.
void chords(Pattern &p, ChordSet set_, const char *seq, int row = 0, int vol = -1, int offset = 0) {
  for (const Token &t : tokens(seq)) {
    if (t.name != "-") {
      set(p, row, CH, chord_minor(t.name) ? set_.minor : set_.major, chord_note(chord_root_pc(t.name)));
      if (vol >= 0) fx(p, row, CH, CMD_VOL, vol);
      else if (offset > 0) fx(p, row, CH, CMD_OFFSET, offset);
    }
    row += t.len;
  }
}

// Driving eighths under "Dm 16 Bb 16 ...": root, root, octave, root, fifth,
// root, seventh, then a step into the next chord's root.
void bass_drive(Pattern &p, const char *seq, uint8_t sample = S_BASS, int row = 0) {
  auto ts = tokens(seq);
  for (size_t i = 0; i < ts.size(); i++) {
    const int root = bass_root(chord_root_pc(ts[i].name));
    const int next = bass_root(chord_root_pc(ts[(i + 1) % ts.size()].name));
    const bool minor = chord_minor(ts[i].name);
    for (int k = 0; k < ts[i].len / 2; k++) {
      static const int shape[8] = {0, 0, 12, 0, 7, 0, 10, -1};
      int step = shape[k % 8];
      int n = root + step;
      if (step == 10 && !minor) n = root + 7;
      if (k == ts[i].len / 2 - 1) n = next == root ? root + 7 : (std::abs(next - root) <= 2 ? root + (minor ? 3 : 4) : next - 1);
      set(p, row + 2 * k, BS, sample, n);
    }
    row += ts[i].len;
  }
}

// Walking quarters: root, third, fifth, a step into the next root.
void bass_walk(Pattern &p, const char *seq, int row = 0) {
  auto ts = tokens(seq);
  for (size_t i = 0; i < ts.size(); i++) {
    const int root = bass_root(chord_root_pc(ts[i].name));
    const int next = bass_root(chord_root_pc(ts[(i + 1) % ts.size()].name));
    const int third = chord_minor(ts[i].name) ? 3 : 4;
    const int steps[4] = {0, third, 7, 0};
    for (int k = 0; k < ts[i].len / 4; k++) {
      int n = root + steps[k % 4];
      if (k == ts[i].len / 4 - 1 && k > 0) n = next > root ? next - 1 : (next < root ? next + 2 : root + 12);
      set(p, row + 4 * k, BS, S_BASS, n);
    }
    row += ts[i].len;
  }
}

// A melody "A-2 6 D-3 2 --- 4 ...": '---' rests (the note is released, with
// two quiet echoes when echo is set and the rest is long enough), '~' after a name glides
// to the note with tone portamento. Notes of `vib_after` rows or more get
// vibrato `vib` from their third row on, up to the next note.
struct Voice {
  uint8_t sample = S_LEAD;
  int vib = 0x62;
  int vib_after = 4;
  bool echo = true;
  int porta = 0x0C;
  int ch = LD;
  bool fade = true;  // long notes fade a little under their vibrato
  bool accents = true;  // the volume column shapes the phrase (see note_volume)
};

// The level of a note of `len` rows starting on `row`, as a set-volume
// parameter, or -1 for the sample's own volume: a bar's downbeat and long
// notes sing out, the half bar's downbeat and notes on the beat a little
// less, off-beat eighths and sixteenths lighter, so the line has a pulse of
// its own.
int note_volume(uint8_t sample, int row, int len) {
  const int full = instruments->at(sample - 1).volume;
  if (row % 16 == 0 || len >= 8) return -1;
  if (row % 8 == 0) return full - 4;
  if (row % 4 == 0) return full - 9;
  if (row % 2 == 0) return full - 15;
  return full - 21;
}

// The singing voice, without vibrato.
Voice sung() {
  Voice v;
  v.sample = S_VOICE;
  v.vib = 0;
  return v;
}

// A plucked or struck instrument: no vibrato, no echoes.
Voice plucked(uint8_t sample) {
  Voice v;
  v.sample = sample;
  v.vib = 0;
  v.echo = false;
  return v;
}

void melody(Pattern &p, const char *seq, Voice v = Voice(), int row = 0) {
  int last = -1;
  for (const Token &t : tokens(seq)) {
    if (t.name == "---") {
      // A rest releases the note over a few ticks rather than cutting it.
      if (v.echo && last >= 0 && t.len >= 4) {
        // The note's last row already slides down, so the step to the
        // echo's level is small; the echoes restart the note quietly.
        Cell &prev = p.cell[std::max(row - 1, 0)][v.ch];
        if (row > 0 && (prev.cmd == CMD_VIB || (prev.cmd == 0 && prev.param == 0))) {
          prev.cmd = prev.cmd == CMD_VIB ? CMD_VIBSLIDE : CMD_VOLSLIDE;
          prev.param = 0x05;
        }
        fx(p, row, v.ch, CMD_VOL, 18);
        if (row + 3 < kRows) {
          set(p, row + 1, v.ch, 0, last, CMD_EXT, 0xD3);
          fx(p, row + 2, v.ch, CMD_VOL, 8);
          set(p, row + 3, v.ch, 0, last, CMD_EXT, 0xD3);
        }
        if (t.len >= 6 && row + 5 < kRows) fx(p, row + 5, v.ch, CMD_VOLSLIDE, 0x0F);
      } else {
        fx(p, row, v.ch, CMD_VOLSLIDE, 0x0F);
      }
      last = -1;
    } else {
      bool glide = t.name.size() == 4 && t.name[3] == '~';
      int n = note_index(t.name.substr(0, 3).c_str());
      if (glide && last >= 0) {
        set(p, row, v.ch, 0, n, CMD_PORTA, v.porta);
        for (int r = row + 1; r < row + t.len && r < kRows; r++) fx(p, r, v.ch, CMD_PORTA, 0);
      } else {
        set(p, row, v.ch, v.sample, n);
        if (v.accents && v.vib) {
          const int vol = note_volume(v.sample, row, t.len);
          if (vol >= 0) fx(p, row, v.ch, CMD_VOL, vol);
        }
        // The depth is in period units, so the same depth is wider on high
        // notes (short periods): one step less from E-3 up.
        const int vib = n >= 52 && (v.vib & 15) > 1 ? v.vib - 1 : v.vib;
        // Long notes also fade a little: every third vibrato row after the
        // first slides the volume down by 5 (6x1: vibrato goes on).
        if (vib && t.len >= v.vib_after)
          for (int r = row + 2; r < row + t.len && r < kRows; r++) {
            const bool fade = v.fade && r > row + 2 && (r - row) % 3 == 0;
            fx(p, r, v.ch, fade ? CMD_VIBSLIDE : CMD_VIB, fade ? 0x01 : vib);
          }
      }
      last = n;
    }
    row += t.len;
  }
}

// A hit on `row`: the boom on the drums, a crash on the bass channel and a
// stab (an open fifth) on the chords channel, rooted on `chord`; the chord
// that was playing comes back `back` rows later (0: it does not). The bass
// gives the crash its moment: it rests for the `ring` rows from the hit
// (the boom carries the low end) and comes back on the note after them.
void accent(Pattern &p, int row, const char *chord, int back = 4, int ring = 6) {
  set(p, row, DR, S_BOOM, 48);
  set(p, row, BS, S_CRASH, 57);
  for (int r = row + 1; r < row + ring && r < kRows; r++) p.cell[r][BS] = Cell();
  int prev = -1;
  for (int r = row; r >= 0 && prev < 0; r--)
    if (p.cell[r][CH].note != kNoNote) prev = r;
  Cell held = prev >= 0 ? p.cell[prev][CH] : Cell();
  set(p, row, CH, S_STAB, chord_note(chord_root_pc(chord)));
  if (back && row + back < kRows && held.note != kNoNote && p.cell[row + back][CH].note == kNoNote &&
      held.sample != S_STAB)
    p.cell[row + back][CH] = held;
}

// An arpeggio chord (effect 0) on channel `ch` over rows [from, to): the
// held note, then `up1` and `up2` semitones above it, a tick each. The last
// row before `to` stays free for the release of the next note.
void arp_chord(Pattern &p, int ch, int from, int to, int up1, int up2) {
  for (int r = from; r < to - 1 && r < kRows; r++) fx(p, r, ch, CMD_ARP, up1 << 4 | up2);
}

// A copy of `seq` on channel `ch` from `row`, in `v`'s voice at volume
// `vol`: an echo where a channel is free, or a second line.
void quiet_copy(Pattern &p, const char *seq, Voice v, int row, int ch, int vol) {
  v.ch = ch;
  v.echo = false;
  v.accents = false;
  melody(p, seq, v, row);
  for (int r = row; r < kRows; r++)
    if (p.cell[r][ch].sample == v.sample && p.cell[r][ch].cmd == 0) fx(p, r, ch, CMD_VOL, vol);
}

// Volume ramp over rows [from, to]: from gain g0 to g1 of each channel's
// sample volume, written as set-volume commands where a cell has no other
// command. `cur` is the sample each channel holds when the pattern starts.
void ramp(Pattern &p, int from, int to, double g0, double g1, std::array<int, 4> cur) {
  std::array<int, 4> last{-1, -1, -1, -1};
  for (int r = 0; r < kRows; r++)
    for (int c = 0; c < kChannels; c++) {
      Cell &cell = p.cell[r][c];
      if (cell.sample) cur[c] = cell.sample;
      if (r < from || cur[c] <= 0) continue;
      double u = r >= to ? 1.0 : double(r - from) / (to - from);
      int v = int(std::lround(instruments->at(cur[c] - 1).volume * (g0 + (g1 - g0) * u)));
      bool fresh = cell.sample != 0;
      if ((cell.cmd == 0 && cell.param == 0) && (v != last[c] || fresh)) {
        cell.cmd = CMD_VOL;
        cell.param = uint8_t(v);
        last[c] = v;
      } else if (cell.cmd == CMD_VOL) {
        cell.param = uint8_t(std::lround(cell.param * (g0 + (g1 - g0) * u)));
        last[c] = cell.param;
      }
    }
}

// ---- the patterns ----------------------------------------------------------------------

// The hook: one bar over D minor that the lead brings back in the theme,
// the gargoyle, the letters, the outro and the reprise.
#define MOTIF "A-2 2 D-3 2 F-3 3 E-3 1 D-3 2 C-3 2 D-3 4  "
const char *const THEME_A = MOTIF "A#2 6 A-2 2 G-2 4 F-2 4  G-2 6 A-2 2 A#2 4 C-3 4  A-2 12 --- 4";
const char *const THEME_B = "D-3 4 E-3 2 F-3 4 E-3 2 D-3 4  A#2 6 A-2 2 G-2 4 A#2 4  D-3 4 F-3 4 E-3 4 C-3 4  A-2 8 C#3 4 E-3 4";
const char *const THEME_C = "F-3 6 E-3 2 D-3 4 A-2 4  A#2 6 C-3 2 D-3 4 F-3 4  G-3 6 F-3 2 E-3 4 D-3 4  C#3 8 A-2 4 --- 4";
// The climb a tone higher, in E minor, turning back to A for the outro.
const char *const THEME_C_UP = "G-3 6 F#3 2 E-3 4 B-2 4  C-3 6 D-3 2 E-3 4 G-3 4  A-3 6 G-3 2 E-3 4 C-3 4  C#3 8 A-2 4 --- 4";

const char *const GROOVE = "K.hhS.hhK.hKS.o.";

// Order 0: thunder, a low drone, a bell; light comes up at row 32.
void intro_a(Pattern &p) {
  set(p, 0, DR, S_THUNDER, 36);
  fx(p, 0, CH, CMD_EXT, 0x81);  // chords well to the left
  fx(p, 0, LD, CMD_EXT, 0x8E);  // lead well to the right
  fx(p, 1, DR, CMD_EXT, 0x87);  // drums and bass near the centre
  fx(p, 1, BS, CMD_EXT, 0x88);
  set(p, 2, BS, S_DRONE, 38);
  // The breathing voices (about 6 s) swell while the light comes up at 32
  // and have died away when the choir takes the channel at 100.
  set(p, 6, CH, S_ATMOS, 38);
  set(p, 16, LD, S_BELL, 50);
  set(p, 32, LD, S_BELL, 50);
  set(p, 48, LD, S_BELL, 45);
  drums(p, 48, "L.......L...L.L.");
}

// Order 1: the choir comes in with the first text (100), turns at 132.
void intro_b(Pattern &p) {
  chords(p, CHOIR, "Dm 32 Bb 16 Gm 16");
  melody(p, "--- 8 A-2 8  D-3 12 C-3 4  D-3 8 F-3 4 D-3 4  D-3 8 A#2 8", sung(), 0);
  // Its echo three rows behind, quiet, on the drum channel between the
  // bells (the bell at 32 rings on in the echo's gap).
  quiet_copy(p, "A-2 8  D-3 12", sung(), 11, DR, 16);
  quiet_copy(p, "F-3 4 D-3 4 D-3 8 A#2 5", sung(), 43, DR, 16);
  set(p, 0, DR, S_BELL, 50);
  set(p, 32, DR, S_BELL, 46);
  set(p, 32, BS, S_BASS, bass_root(10));
  set(p, 48, BS, S_BASS, bass_root(7));
}

// Order 2: the third text (200), black at 220, the title hit at 232 and a
// swell to white from 250 that peaks on the drop at 300.
void intro_title(Pattern &p) {
  chords(p, CHOIR, "- 16 A 4");  // the G minor of the last bar goes on
  set(p, 0, DR, S_BELL, 43);
  melody(p, "A#2 8 A-2 8  C#3 4 --- 12", sung(), 0);
  set(p, 0, BS, S_BASS, bass_root(7));
  set(p, 16, BS, S_BASS, bass_root(9));
  fx(p, 20, BS, CMD_VOLSLIDE, 0x02);
  fx(p, 20, CH, CMD_VOLSLIDE, 0x04);
  fx(p, 21, BS, CMD_VOLSLIDE, 0x02);
  fx(p, 21, CH, CMD_VOLSLIDE, 0x04);
  fx(p, 22, BS, CMD_VOL, 0);
  fx(p, 22, CH, CMD_VOL, 0);
  drums(p, 24, "K...K.K.");  // heartbeat in the dark
  accent(p, 32, "D", 0);
  set(p, 38, CH, S_CHOIR_MIN, chord_note(2));
  set(p, 32, BS, S_GROWL, bass_root(2));
  melody(p, "D-3 8 C-3 4 A#2 2 C#3~ 4", Voice(), 32);
  set(p, 46, BS, S_GROWL, bass_root(9));
  drums(p, 40, "L...L...L.L.");
  set(p, 48, CH, S_CHOIR_MAJ, chord_note(9));
  set(p, 50, DR, S_SWELL, 52);
  drums(p, 52, "r.r.r.r.rrrrrr", LD);
  for (int r = 52; r < 64; r++) fx(p, r, LD, CMD_VOL, 18 + 3 * (r - 52));
  for (int r = 48; r < 64; r += 2) set(p, r, BS, S_GROWL, bass_root(9) + (r >= 56 ? 12 : 0));
}

// A pattern of the theme: the groove under `bar` with `fill` in the last
// bar and `third` (when set) in the third, chords of `voices` and driving
// bass on `bass` over `prog`, the tune, a hit on D at row 0 and one on
// `second` at 32 (on `first` at 0), with a snare after it. The choir's
// chords start past their attack.
void theme(Pattern &p, const char *bar, const char *fill, const char *third, ChordSet voices, uint8_t bass,
           const char *prog, const char *tune, const char *second, const char *first = "D") {
  drum_bars(p, bar, fill, third);
  chords(p, voices, prog, 0, -1, voices.minor == S_CHOIR_MIN ? 0x10 : 0);
  bass_drive(p, prog, bass);
  melody(p, tune);
  accent(p, 0, first);
  accent(p, 32, second);
  set(p, 34, DR, S_SNARE, 57);
}

// Orders 3 and 25: the main theme drops.
void theme_drop(Pattern &p) {
  theme(p, GROOVE, "K.hhS.hhK.SSMMLL", nullptr, ORGAN, S_BASS, "Dm 16 Bb 16 Gm 8 C 8 A 16", THEME_A, "G");
}

// Orders 4 and 26.
void theme_b(Pattern &p) {
  theme(p, GROOVE, "K.hhS.hKSsSsHHMM", "K.hhS.hKK.hhS.oh", ORGAN, S_BASS, "Dm 16 Gm 16 Bb 8 C 8 A 16", THEME_B, "A#");
}

// Order 5: the climb; choir takes over the chords (the reprise lifts it, below).
void theme_c(Pattern &p) {
  theme(p, "K.hhS.hKK.hhS.hh", "KhhhS.hKK.SSSSSS", "K.hhS.hKK.hKSshh", CHOIR, S_GROWL, "Dm 16 Bb 16 Gm 16 A 16",
        THEME_C, "G");
}

// Order 27: the reprise's climb, a tone higher, back to A for the outro.
void theme_lift(Pattern &p) {
  theme(p, "K.hhS.hKK.hhS.hh", "KhhhS.hKK.SSMMLL", "K.hhS.hKK.hKSshh", CHOIR, S_GROWL, "Em 16 C 16 Am 16 A 16",
        THEME_C_UP, "A", "E");
}

// Order 6: the last verse, the flicker-out from 48 and the break at 62.
void theme_break(Pattern &p) {
  const char *prog = "Dm 16 Bb 16 Gm 16 A 16";
  drum_bars(p, GROOVE);
  drums(p, 48, "S.s.S.s.SsSsSSSS");
  chords(p, ORGAN, prog);
  bass_drive(p, "Dm 16 Bb 16 Gm 16");
  for (int r = 48; r < 62; r++) set(p, r, BS, S_GROWL, bass_root(9) + (r % 2 ? 12 : 0));
  melody(p, "D-3 6 C-3 2 A#2 4 A-2 4  F-2 6 G-2 2 A#2 8  G-2 8 A#2 4 D-3 4  C#3 14");
  arp_chord(p, LD, 48, 62, 3, 8);  // C#, E, A: the A major chord on one channel
  accent(p, 0, "D");
  accent(p, 32, "G");
  set(p, 34, DR, S_SNARE, 57);
  accent(p, 62, "D", 0);  // its crash rings on into the break
  fx(p, 62, LD, CMD_VOL, 0);
}

// The slower sections' backing: the drum `bar` four times with `fill` in
// the last, chords of `voices` over `prog` and a walking bass over `bass`
// (`prog` when null).
void walking_backing(Pattern &p, const char *bar, const char *fill, ChordSet voices, const char *prog,
                     const char *bass = nullptr) {
  drum_bars(p, bar, fill);
  chords(p, voices, prog);
  bass_walk(p, bass ? bass : prog);
}

// The calm pulse: soft half-time drums ending in `fill`, strings and a
// soft walking bass over `prog`.
void calm_common(Pattern &p, const char *prog, const char *fill) {
  walking_backing(p, "K...R...S...R.R.", fill, STRINGS, prog);
  soften(p, 0.85);
  soften(p, 0.95, 0, kRows, BS);
}

// Orders 7, 9 and 30: calm, half-time, harp over strings.
void calm_a(Pattern &p) {
  calm_common(p, "Dm 16 F 16 C 16 Gm 16", "K...R...S..HM.LL");
  melody(p,
         "D-2 2 F-2 2 A-2 2 D-3 2 A-2 2 F-2 2 A-2 2 F-2 2  F-2 2 A-2 2 C-3 2 F-3 2 C-3 2 A-2 2 C-3 2 A-2 2 "
         "E-2 2 G-2 2 C-3 2 E-3 2 C-3 2 G-2 2 C-3 2 G-2 2  D-2 2 G-2 2 A#2 2 D-3 2 A#2 2 G-2 2 A-2 2 A#2 2",
         plucked(S_HARP));
  accent(p, 0, "D");
}

// Order 8: the voice sings over the same pulse.
void calm_b(Pattern &p) {
  calm_common(p, "Bb 16 F 16 Gm 16 A 16", "K...R...S.s.S.ss");
  melody(p, "D-3 8 C-3 8  C-3 8 A-2 8  A#2 8 A-2 4 G-2 4  A-2 12 --- 4", sung());
}

// Orders 10 and 31: accent at 0, fading out from row 50.
void calm_fade(Pattern &p) {
  calm_common(p, "Dm 16 Bb 16 Gm 16 A 16", "K...R...R...R...");
  melody(p, "F-3 8 E-3 8  D-3 8 F-3 8  D-3 8 A#2 8  A-2 16", sung());
  accent(p, 0, "D");
  ramp(p, 48, 63, 1.0, 0.0, {S_RIDE, S_BASS, S_STRINGS_MIN, S_VOICE});
}

// Order 11: a new groove rising from black.
void worm_rise(Pattern &p) {
  const char *prog = "Dm 16 Bb 16 Eb 16 Dm 16";
  drum_bars(p, "K.hK.hc.K.Kh.hc.", "K..K..c.K.K.c.cc");
  drums(p, 0, "u");
  drums(p, 32, "u");
  chords(p, ORGAN, prog);
  const char *seq = "D-2 2 D-3 2 A-2 2 D-2 2 F-2 2 D-3 2 A-2 2 F-2 2 ";
  std::string s = seq;
  s += "D-2 2 D-3 2 A#2 2 D-2 2 F-2 2 D-3 2 A#2 2 F-2 2 ";
  s += "D#2 2 D#3 2 A#2 2 D#2 2 G-2 2 D#3 2 A#2 2 G-2 2 ";
  s += seq;
  melody(p, s.c_str(), plucked(S_PLUCK));
  bass_drive(p, prog, S_GROWL);
  ramp(p, 0, 18, 0.15, 1.0, {0, 0, 0, 0});
}

// Order 12: accent at 48, black at 54, the build into the gargoyle.
void worm_accent(Pattern &p) {
  drum_bars(p, "K.hK.hc.K.Kh.hc.");
  drums(p, 48, "B...............");
  drums(p, 56, "SSSSSSSS");
  for (int r = 56; r < 64; r++) fx(p, r, DR, CMD_VOL, 20 + 5 * (r - 56));
  chords(p, ORGAN, "Dm 16 Bb 16 C 16");
  const char *seq = "D-2 2 D-3 2 A-2 2 D-2 2 F-2 2 D-3 2 A-2 2 F-2 2 ";
  std::string s = std::string(seq) + "D-2 2 D-3 2 A#2 2 D-2 2 F-2 2 D-3 2 A#2 2 F-2 2 " +
                  "E-2 2 C-3 2 G-2 2 E-2 2 G-2 2 C-3 2 G-2 2 E-2 2";
  melody(p, s.c_str(), plucked(S_PLUCK));
  bass_drive(p, "Dm 16 Bb 16 C 16", S_GROWL);
  accent(p, 48, "A", 0);
  set(p, 48, LD, S_STAB, chord_note(9) + 12);  // the hit doubled an octave up, into the black
  set(p, 50, LD, S_RISER, 48);
  for (int r = 52; r < 64; r += 4) set(p, r, BS, S_GROWL, bass_root(9));
}

// The gargoyle's groove: driving kicks, claps on the backbeat, growl bass,
// choir chords, the lead wailing above.
void garg_common(Pattern &p, const char *prog, const char *tune, const char *fill) {
  drum_bars(p, "K.hKS.hKK.hKS.hh", fill, "K.hKS.hKK.hKSshh");
  chords(p, CHOIR, prog);
  bass_drive(p, prog, S_GROWL);
  melody(p, tune);
}

// Order 13: hits at 0 and 16 with the text bursts.
void garg_a(Pattern &p) {
  garg_common(p, "Dm 16 F 16 Bb 16 C 16", MOTIF "D-3 8 C-3 4 A-2~ 4  A#2 6 C-3 2 D-3 4 F-3 4  E-3 12 --- 4",
              "K.hKS.hKK.SSMMLL");
  accent(p, 0, "D");
  accent(p, 16, "D");  // D and A over the F chord
}

// Orders 14 and 16: hits at 0, 16 and 32.
void garg_b(Pattern &p) {
  garg_common(p, "Gm 16 Dm 16 Eb 16 A 16",
              "G-3 8 F-3 4 D-3 4  A-3 8 G-3 4 F-3 4  G-3 6 F-3 2 D#3 4 A#2 4  C#3 12 --- 4", "K.hKS.hKSsSsSSSS");
  accent(p, 0, "G");
  accent(p, 16, "D");
  accent(p, 32, "D#");
}

// Order 15: hits at 0 and 16, the second gargoyle.
void garg_c(Pattern &p) {
  garg_common(p, "Dm 16 Bb 16 Gm 16 A 16",
              "A-3 8 G-3 4 F-3~ 4  F-3 8 D-3 4 C-3~ 4  D-3 6 E-3 2 F-3 4 G-3~ 4  E-3 12 --- 4", "K.hKHHMMK.LLMMLL");
  accent(p, 0, "D");
  accent(p, 16, "A#");
}

// Order 17: hits at 0 and 32, then the flicker-out from 48.
void garg_out(Pattern &p) {
  garg_common(p, "Dm 16 Eb 16 Dm 16 A 16", MOTIF "G-3 8 D#3 4 C-3 4  D-3 16  A-2 8 --- 8", nullptr);
  arp_chord(p, LD, 32, 48, 3, 7);  // D minor
  arp_chord(p, LD, 48, 56, 4, 7);  // A major
  drums(p, 48, "KSKSKSKSKSKSKS..");
  for (int r = 48; r < 62; r++) fx(p, r, DR, CMD_VOL, 64 - 3 * (r - 48));
  accent(p, 0, "D");
  accent(p, 32, "D");
  fx(p, 60, BS, CMD_VOL, 0);
  fx(p, 60, CH, CMD_VOLSLIDE, 0x0F);
}

// Orders 18 and 19: the letters, a march on the organ.
void letters_a(Pattern &p) {
  walking_backing(p, "K.hhS.h.K.K.S.hh", "K.hhS.h.K.K.SsMM", ORGAN, "Dm 16 C 16 Bb 16 A 16");
  melody(p, MOTIF "C-3 4 E-3 4 G-3 8  F-3 4 D-3 4 A#2 4 C-3 4  C#3 12 --- 4");
  set(p, 0, DR, S_CRASH, 57);
}


// Orders 20 and 21: the halftone: a sequencer line of plucks and claps.
void halftone(Pattern &p, const char *prog, const char *seq) {
  drum_bars(p, "K.hhc.hKK.hhc.hh", "K.hhc.hKK.c.c.cc");
  chords(p, STRINGS, prog);
  bass_drive(p, prog);
  melody(p, seq, plucked(S_CELESTA));
}

void halftone_a(Pattern &p) {
  halftone(p, "Dm 16 Bb 16 F 16 C 16",
           "D-3 2 A-2 2 F-3 2 A-2 2 E-3 2 A-2 2 D-3 2 C-3 2  D-3 2 A#2 2 F-3 2 A#2 2 D-3 2 A#2 2 C-3 2 D-3 2 "
           "C-3 2 A-2 2 F-3 2 A-2 2 C-3 2 A-2 2 G-3 2 A-2 2  E-3 2 C-3 2 G-3 2 C-3 2 E-3 2 D-3 2 C-3 2 G-2 2");
  set(p, 0, DR, S_CRASH, 57);
}

void halftone_b(Pattern &p) {
  halftone(p, "Gm 16 Bb 16 C 16 A 16",
           "D-3 2 A#2 2 G-3 2 A#2 2 D-3 2 A#2 2 G-2 2 A#2 2  F-3 2 D-3 2 A#2 2 D-3 2 F-3 2 D-3 2 A#2 2 F-2 2 "
           "E-3 2 C-3 2 G-3 2 C-3 2 E-3 2 C-3 2 G-2 2 C-3 2  E-3 2 C#3 2 A-2 2 C#3 2 E-3 2 A-3 2 G-3 2 E-3 2");
}

// Orders 22 and 23: portraits; the picture changes at 2242 and 2320.
void portrait_a(Pattern &p) {
  walking_backing(p, "K.....h.S.....h.", "K.....h.S...K...", STRINGS, "Dm 16 Gm 16 Dm 8 Bb 8 A 16");
  soften(p, 0.9);
  melody(p, "D-3 8 F-3 8  D-3 8 A#2 8  A-2 8 F-2 2 --- 6 E-2 16", sung());
  accent(p, 42, "D");
}

void portrait_b(Pattern &p) {
  walking_backing(p, "K.....h.S.....h.", "K.....h.S.s.SsSS", STRINGS, "Bb 16 Gm 16 A 16 A 16", "Bb 16 Gm 16 A 32");
  soften(p, 0.9);
  melody(p, "D-3 12 C-3 4  A#2 4 --- 4 D-3 8  C#3 16 E-3 16", sung());
  accent(p, 20, "G");
}

// Order 24: the church: bells, full organ, the choir; a hit at 62.
void church(Pattern &p) {
  chords(p, ORGAN, "Dm 16 Gm 16 A 16 Dm 16");
  bass_walk(p, "Dm 16 Gm 16 A 16 Dm 16");
  melody(p, "A-2 8 D-3 8  D-3 8 A#2 8  C#3 8 E-3 8  D-3 14 --- 2", sung());
  arp_chord(p, LD, 50, 62, 3, 7);  // the last note opens into the D minor chord
  // A counter-melody on the harp between the bells, against the voice's
  // line: falling where it rises and rising where it falls.
  quiet_copy(p, "--- 4 F-2 4 E-2 4 D-2 4  --- 4 D-2 4 F-2 4 G-2 4  --- 4 A-2 4 G-2 4 E-2 4  --- 4 F-2 4",
             plucked(S_HARP), 0, DR, 40);
  for (int r = 0; r < 64; r += 16) set(p, r, DR, S_BELL, r == 16 ? 43 : r == 32 ? 45 : 50);
  drums(p, 56, "L.L.M.H.");
  accent(p, 62, "D", 0);
}

// Order 28: the outro, choir and voice over a slow pulse.
void outro_a(Pattern &p) {
  walking_backing(p, "K.......S.......", "K.......S...L.L.", CHOIR, "Dm 16 Bb 16 F 16 A 16");
  soften(p, 0.8);
  melody(p, THEME_A, sung());
  set(p, 0, DR, S_CRASH, 57);
}

// Order 29: the last bars, fading from row 20 to silence by row 56; a bell
// tolls into the quiet.
void outro_end(Pattern &p) {
  walking_backing(p, "K.......S.......", nullptr, CHOIR, "Dm 16 Gm 16 A 16 Dm 16");
  soften(p, 0.6);
  melody(p, "F-3 8 E-3 8  D-3 8 A#2 8  A-2 16 D-3 16", sung());
  ramp(p, 20, 56, 1.0, 0.0, {S_CRASH, S_BASS, S_CHOIR_MIN, S_VOICE});
  for (int r = 57; r < kRows; r++)
    for (int c = 0; c < kChannels; c++) p.cell[r][c] = Cell();
  set(p, 56, DR, S_BELL, 38, CMD_VOL, 14);
}

struct PatternDef {
  const char *name;
  void (*build)(Pattern &);
};

const PatternDef kPatternDefs[kPatterns] = {
    {"intro drone", intro_a},      {"intro choir", intro_b},   {"title and swell", intro_title},
    {"theme: drop", theme_drop},   {"theme: answer", theme_b}, {"theme: climb", theme_c},
    {"theme: break", theme_break}, {"calm harp", calm_a},      {"calm voice", calm_b},
    {"calm fade", calm_fade},      {"worms rise", worm_rise},  {"worms hit", worm_accent},
    {"gargoyle 1", garg_a},        {"gargoyle 2", garg_b},     {"gargoyle 3", garg_c},
    {"gargoyle out", garg_out},    {"letters", letters_a},     {"theme: climb lifted", theme_lift},
    {"halftone 1", halftone_a},    {"halftone 2", halftone_b}, {"portrait 1", portrait_a},
    {"portrait 2", portrait_b},    {"church", church},         {"outro", outro_a},
    {"outro end", outro_end},
};

// Our mixer does not ramp volumes, so a note that restarts a sample while
// the last one still sounds clicks by the last one's level. The row before
// each fresh note (one that names its sample) slides that level down by
// `step` per tick where the row has no command of its own, or keeps its
// vibrato going while it slides (6xy).
bool fresh_note(const Cell &c) { return c.sample && c.note != kNoNote; }

void release(Cell &prev, int step) {
  if (prev.cmd == 0 && prev.param == 0) {
    prev.cmd = CMD_VOLSLIDE;
    prev.param = uint8_t(step);
  } else if (prev.cmd == CMD_VIB || (prev.cmd == CMD_VIBSLIDE && prev.param < step)) {
    prev.cmd = CMD_VIBSLIDE;
    prev.param = uint8_t(step);
  }
}

void release_before_notes(Pattern &p, int ch, int step) {
  for (int r = 1; r < kRows; r++)
    if (fresh_note(p.cell[r][ch])) release(p.cell[r - 1][ch], step);
}

// The same across pattern ends: the last row of a pattern releases when
// every pattern that follows it in the song starts with a fresh note.
void release_across_patterns(Song &song, int ch, int step) {
  for (int pat = 0; pat < kPatterns; pat++) {
    bool all = true, any = false;
    for (int o = 0; o < kSongLength; o++)
      if (song.order[o] == pat) {
        any = true;
        all = all && fresh_note(song.patterns[song.order[(o + 1) % kSongLength]].cell[0][ch]);
      }
    if (any && all) release(song.patterns[pat].cell[kRows - 1][ch], step);
  }
}

// Release steps per tick, per channel that releases.
struct Release {
  int ch, step;
};
constexpr Release kReleases[] = {{BS, 0x08}, {CH, 0x04}, {LD, 0x05}};

// Cymbals off the centre so the kit has width: each hat, ride or crash hit
// without a command of its own gets a set-panning (0 left .. 255 right)
// that lasts until the channel's next sample.
void pan_cymbals(Pattern &p) {
  for (int r = 0; r < kRows; r++)
    for (int c : {DR, BS}) {
      Cell &cell = p.cell[r][c];
      if (cell.cmd || cell.param) continue;
      if (cell.sample == S_HAT || cell.sample == S_OPENHAT) cell.cmd = CMD_PAN, cell.param = 0x58;
      if (cell.sample == S_RIDE) cell.cmd = CMD_PAN, cell.param = 0xA8;
      if (cell.sample == S_CRASH) cell.cmd = CMD_PAN, cell.param = c == BS ? 0xC0 : 0x40;
    }
}

bool has_accent(const Pattern &p, int row) {
  return p.cell[row][DR].sample == S_BOOM || p.cell[row][CH].sample == S_STAB;
}

}  // namespace

Song compose(const std::vector<Sample> &samples) {
  instruments = &samples;
  Song song;
  for (int i = 0; i < kPatterns; i++) {
    kPatternDefs[i].build(song.patterns[i]);
    for (const Release &rel : kReleases) release_before_notes(song.patterns[i], rel.ch, rel.step);
    dynamics(song.patterns[i], i);
    pan_cymbals(song.patterns[i]);
  }
  int pos = 0;
  for (const Section &sec : kSections)
    for (uint8_t pat : sec.patterns) {
      if (pos == kSongLength) {
        std::fprintf(stderr, "assetgen: music: the sections are longer than the song\n");
        std::exit(1);
      }
      song.order[pos++] = pat;
    }
  if (pos != kSongLength) {
    std::fprintf(stderr, "assetgen: music: the sections fill %d of %d song positions\n", pos, kSongLength);
    std::exit(1);
  }
  for (const Release &rel : kReleases) release_across_patterns(song, rel.ch, rel.step);
  // Speed and tempo for the whole song, once, on the first row.
  Pattern &first = song.patterns[song.order[0]];
  if (first.cell[0][DR].cmd || first.cell[0][DR].param || first.cell[0][BS].cmd || first.cell[0][BS].param) {
    std::fprintf(stderr, "assetgen: music: the first row needs free commands for speed and tempo\n");
    std::exit(1);
  }
  fx(first, 0, DR, CMD_SPEED, kSpeed);
  fx(first, 0, BS, CMD_SPEED, kTempo);
  for (const Section &sec : kSections)
    for (int at : sec.accents) {
      const int o = (at / 100) % kSongLength, r = at % 100;
      if (!has_accent(song.patterns[song.order[o]], r)) {
        std::fprintf(stderr, "assetgen: music: no accent at %d (%s)\n", at, sec.name);
        std::exit(1);
      }
    }
  return song;
}

}  // namespace music
