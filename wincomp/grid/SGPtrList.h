// A small growable table of pointers with ids: the grid's registered cell types. An
// entry's index is its id; the table grows by 10 entries when full.
#pragma once
#include <vector>

class CSGPtrList {
 public:
  struct Entry {
    int inUse = 0;
    void* pointer = nullptr;
    int value = 0;
    int words[4] = {0, 0, 0, 0};
  };

  // The entry's index, or -1 when no entry could be had.
  int Add(void* pointer, int value = 0, const int* words = nullptr);
  void* GetPointer(int index) const;
  int GetCount() const { return count_; }
  int GetCapacity() const { return static_cast<int>(entries_.size()); }

 private:
  std::vector<Entry> entries_;
  int count_ = 0;
};
