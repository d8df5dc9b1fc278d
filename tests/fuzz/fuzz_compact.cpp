// libFuzzer target: the compact readers from memory and from a stream must
// agree, and a decoded picture must draw and survive the writer.
#include <cstring>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  cgm_picture *mem = cgm_getn(data, size);
  FILE *f = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  cgm_picture *file = size ? cgm_getf(f) : nullptr;
  if (f) fclose(f);
  if ((mem == nullptr) != (file == nullptr)) abort();
  if (mem) {
    if (mem->ncolours != file->ncolours) abort();
    fuzzcheck::render(mem);
    if (!fuzzcheck::compact_round_trip(mem)) abort();
    // Input that decodes within its bounds also decodes unbounded.
    cgm_picture *trusted = cgm_get(data);
    if (!trusted || !fuzzcheck::compact_round_trip(trusted)) abort();
    cgm_free(trusted);
  }
  cgm_free(mem);
  cgm_free(file);
  return 0;
}
