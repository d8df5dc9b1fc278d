// libFuzzer target: any file modtool accepts loads, is read to exactly the
// size the check computed, and plays a few hundred ticks through the mixer
// without a fault and with its position inside the order list.
#include <cstdio>

#include "mod_path.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  modpath::result r = modpath::run(data, size);
  if (!modpath::consistent(r)) {
    std::fprintf(stderr, "accepted %d loaded %d consumed %u claimed %zu ticks %d in range %d\n", r.accepted,
                 r.loaded, r.consumed, r.claimed, r.ticks, r.in_range);
    std::abort();
  }
  return 0;
}
