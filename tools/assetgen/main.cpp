// Asset generator entry.
//
//   assetgen OUTDIR                 every job, then everything made from them
//   assetgen OUTDIR --only=JOB,...  only those jobs (the build runs one job
//                                   per rule); nothing else in OUTDIR is touched
//   assetgen OUTDIR --catalogue     OUTDIR/assets.S, OUTDIR/assets-wasm.S (the
//                                   web build's) and
//                                   OUTDIR/include/assets/assets.h from the table
//   assetgen OUTDIR --previews      the composed previews from the assets in
//                                   OUTDIR, and the contact sheet
//
// A job writes each of its catalogue entries as OUTDIR/<symbol>.bin, its
// further files, its PNG previews into OUTDIR/preview/ and the stamp
// OUTDIR/jobs/<job>.done. Every file is written whole under a temporary
// name and renamed; an unchanged file keeps its time stamp, so the build
// redoes only what depends on bytes that changed.
#include <cstdio>
#include <cstring>
#include <string>

#include "gen.h"
#include "plumbing.h"
#include "tools/writers/outfile.h"

int main(int argc, char **argv) {
  tw_program("assetgen");
  const std::string mode = argc == 3 ? argv[2] : "";
  const bool only = mode.rfind("--only=", 0) == 0;
  static const char usage[] = "usage: assetgen OUTDIR [--only=JOB,JOB... | --catalogue | --previews]\n";
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  // An OUTDIR that starts with '-' is a mistyped option, not a folder to
  // fill with every asset.
  if (argc < 2 || argc > 3 || argv[1][0] == '-' ||
      (argc == 3 && !only && mode != "--catalogue" && mode != "--previews")) {
    std::fputs(usage, stderr);
    return 2;
  }
  set_output_dir(argv[1]);
  if (mode == "--catalogue") {
    write_catalogue(output_dir());
  } else if (mode == "--previews") {
    make_previews_from_disk();
  } else {
    generate(only ? "," + mode.substr(7) + "," : "");
  }
  return 0;
}
