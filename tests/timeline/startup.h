// Shared set-up for the timeline tests: an off-screen 565 surface stands in
// for the window (only its pixel format is read), and the demo's own
// start-up (demo_start, offline) runs once per process.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "assets/assets.h"
#include "driver/demo.h"
#include "driver/scenes.h"
#include "driver/timeline.h"

namespace tl {

using Frame = std::vector<uint8_t>;

inline Frame snapshot(const uint8_t *buf) { return Frame(buf, buf + FRAME_BYTES); }

inline bool all_zero(const uint8_t *buf) {
  for (int i = 0; i < FRAME_BYTES; i++)
    if (buf[i]) return false;
  return true;
}

inline const uint16_t *uv_map(const uint8_t *bytes) { return reinterpret_cast<const uint16_t *>(bytes); }

// Every test starts from the state the frame loop starts from.
class Timeline : public ::testing::Test {
 protected:
  void SetUp() override {
    demo_reset();
    std::memset(vbuf, 0, FRAME_BYTES);
  }
};

}  // namespace tl
