// libFuzzer target: the clear-text reader on any bytes must refuse or give a
// picture that draws and survives the compact writer, with the demo's limits
// and with a tool's (large point lists swept, large colour indices, curves
// and hatching for a large picture).
#include "fuzz_common.h"

namespace {

void read_and_check(const uint8_t *data, size_t size, cgm_textlimits limits) {
  FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (!f) return;
  cgm_limits = limits;
  cgm_picture *pic = cgm_readtextf(f);
  cgm_limits = {500, 99, 160, 0};
  fclose(f);
  if (pic) {
    fuzzcheck::render(pic);
    if (!fuzzcheck::compact_round_trip(pic)) abort();
  }
  cgm_free(pic);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  read_and_check(data, size, {500, 99, 160, 0});
  read_and_check(data, size, {1000000, 65535, 2000, 1});
  return 0;
}
