// Effect dispatch shared by the tick (pt_play.cpp) and the effects
// (pt_effects.cpp); private to the replayer.
#pragma once

#include "replayer/pt.h"

// Effect code of a cell: command x 256, or 0xE00 + (param AND 0xF0) for the
// extended commands, which are told apart by the parameter's upper nibble.
inline int pt_effectcode(const pt_cell &cell) {
  return cell.command == 14 ? 0xE00 + (cell.param & 0xF0) : cell.command * 256;
}

// Runs the effect of `cell` on channel c, already selected with
// sd_selectchannel: on a row's tick 0 after the note handling, or on a
// later tick of the row (pt_vbcount 1..speed-1).
void pt_firsttick(int c, const pt_cell &cell);
void pt_latertick(int c, const pt_cell &cell);
