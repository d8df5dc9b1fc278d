// libFuzzer target: the clear-text reader on any bytes must refuse or give a
// picture that draws and survives the compact writer.
#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (!f) return 0;
  cgm_picture *pic = cgm_readtextf(f);
  fclose(f);
  if (pic) {
    fuzzcheck::render(pic);
    if (!fuzzcheck::compact_round_trip(pic)) abort();
  }
  cgm_free(pic);
  return 0;
}
