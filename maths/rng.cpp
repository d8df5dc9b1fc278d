// The demo's random sequence (see rng.h).
#include "maths/rng.h"

namespace {

constexpr int DEGREE = 31;  // words of state
constexpr int SEP = 3;      // x[i] = x[i - DEGREE] + x[i - SEP]
constexpr int DISCARD = 10 * DEGREE;

uint32_t state[DEGREE];
int front, rear;  // state[front] += state[rear] at every step
bool started = false;

uint32_t step() {
  state[front] += state[rear];
  const uint32_t r = state[front] >> 1;
  front = front + 1 == DEGREE ? 0 : front + 1;
  rear = rear + 1 == DEGREE ? 0 : rear + 1;
  return r;
}

// Seed 1. 16807 x mod (2^31 - 1) without overflow of 32 bits (Schrage's
// method), as the generator has always been started.
void start() {
  int32_t x = 1;
  state[0] = uint32_t(x);
  for (int i = 1; i < DEGREE; i++) {
    const int32_t hi = x / 127773, lo = x % 127773;
    x = 16807 * lo - 2836 * hi;
    if (x < 0) x += 2147483647;
    state[i] = uint32_t(x);
  }
  front = SEP;
  rear = 0;
  for (int i = 0; i < DISCARD; i++) step();
  started = true;
}

}  // namespace

int rng_next() {
  if (!started) start();
  return int(step());
}

void rng_reset() { started = false; }
