#include "imagefiles/img_memory.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

struct ImgMemBlock {
  BYTE* data = nullptr;
  std::size_t size = 0;
  int locks = 0;
};

namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
// Live blocks by the address of their first byte.
std::map<const BYTE*, ImgMemBlock*>& Registry() {
  static std::map<const BYTE*, ImgMemBlock*> r;
  return r;
}

// Live handles, so that a stale handle is recognised without touching its memory.
std::set<const ImgMemBlock*>& Handles() {
  static std::set<const ImgMemBlock*> h;
  return h;
}

}  // namespace

ImgMem ImgMemAlloc(std::size_t size) {
  auto* b = new (std::nothrow) ImgMemBlock;
  if (!b) return nullptr;
  // At least one byte so that every block has a distinct address.
  b->data = static_cast<BYTE*>(std::calloc(size ? size : 1, 1));
  if (!b->data) {
    delete b;
    return nullptr;
  }
  b->size = size;
  std::lock_guard<std::mutex> g(RegistryMutex());
  Registry()[b->data] = b;
  Handles().insert(b);
  return b;
}

static bool Live(ImgMem block) { return block && Handles().count(block) != 0; }

BYTE* ImgMemLock(ImgMem block) {
  std::lock_guard<std::mutex> g(RegistryMutex());
  if (!Live(block)) return nullptr;
  ++block->locks;
  return block->data;
}

bool ImgMemUnlock(ImgMem block) {
  std::lock_guard<std::mutex> g(RegistryMutex());
  if (!Live(block)) return false;
  if (block->locks > 0) --block->locks;
  return block->locks > 0;
}

ImgMem ImgMemFree(ImgMem block) {
  std::lock_guard<std::mutex> g(RegistryMutex());
  if (!Live(block)) return block;
  Registry().erase(block->data);
  Handles().erase(block);
  std::free(block->data);
  delete block;
  return nullptr;
}

std::size_t ImgMemSize(ImgMem block) {
  std::lock_guard<std::mutex> g(RegistryMutex());
  return Live(block) ? block->size : 0;
}

ImgMem ImgMemHandle(const void* first) {
  std::lock_guard<std::mutex> g(RegistryMutex());
  auto& r = Registry();
  auto it = r.find(static_cast<const BYTE*>(first));
  return it == r.end() ? nullptr : it->second;
}

ImgMem ImgMemContaining(const void* p, std::size_t* offset) {
  std::lock_guard<std::mutex> g(RegistryMutex());
  auto& r = Registry();
  auto q = static_cast<const BYTE*>(p);
  auto it = r.upper_bound(q);
  if (it == r.begin()) return nullptr;
  --it;
  ImgMemBlock* b = it->second;
  // Pointer comparison across unrelated objects is done on integers.
  auto base = reinterpret_cast<std::uintptr_t>(b->data);
  auto addr = reinterpret_cast<std::uintptr_t>(q);
  if (addr < base || addr >= base + b->size) return nullptr;
  if (offset) *offset = addr - base;
  return b;
}
