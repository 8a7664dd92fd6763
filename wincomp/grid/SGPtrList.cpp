#include "wincomp/grid/SGPtrList.h"

int CSGPtrList::Add(void* pointer, int value, const int* words) {
  if (count_ >= GetCapacity()) entries_.resize(entries_.size() + 10);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    if (e.inUse) continue;
    e.inUse = 1;
    e.pointer = pointer;
    e.value = value;
    if (words)
      for (int k = 0; k < 4; ++k) e.words[k] = words[k];
    ++count_;
    return static_cast<int>(i);
  }
  return -1;
}

void* CSGPtrList::GetPointer(int index) const {
  if (index < 0 || index >= GetCapacity() || !entries_[index].inUse) return nullptr;
  return entries_[index].pointer;
}
