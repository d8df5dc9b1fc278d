// The generator's own calls between its plumbing (plumbing.cpp), its
// command line (main.cpp) and its contact sheet (contact.cpp). The jobs use
// gen.h only.
#pragma once

#include <string>

#include "jobs.h"

// Sets the output folder and zero-fills every asset buffer to its catalogue
// size; called once, before anything else.
void set_output_dir(const std::string &dir);
// Runs the jobs named in `only` (",a,b,"; empty: every job, then the
// embedding and all previews) and writes their files. Exits 2 on an unknown
// job name, 1 with the reason on a failed write.
void generate(const std::string &only);
// Reads OUTDIR/<sym>.bin into the asset's buffer; exits 1 when it cannot be
// read or its size is not the catalogue size.
void load_asset(const AssetInfo &a);
// Prints "assetgen: WHAT PATH: WHY" and exits 1.
[[noreturn]] void gen_fail(const std::string &what, const std::string &path, const char *why);

// The composed previews from the assets in OUTDIR, then the contact sheet
// (contact.cpp).
void make_previews_from_disk();
// OUTDIR/preview/contact.png: every preview of OUTDIR/preview fitted into
// a 320x200 cell, in name order.
void write_contact_sheet();
