#include "platform/CrtRand.h"

#include <atomic>

namespace plat {
namespace {
std::atomic<unsigned int> g_state{1};
}

void CrtSrand(unsigned int seed) { g_state.store(seed); }

int CrtRand() {
  unsigned int s = g_state.load();
  unsigned int next;
  do {
    next = s * 214013u + 2531011u;
  } while (!g_state.compare_exchange_weak(s, next));
  return static_cast<int>((next >> 16) & 0x7FFF);
}

}  // namespace plat
