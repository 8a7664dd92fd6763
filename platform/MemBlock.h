// The movable "global memory" block that pictures travel in (a packed DIB: header,
// colour table and rows in one piece), as GlobalAlloc(GHND)/GlobalSize/GlobalLock give
// it on Windows. Always zero-initialised; ownership moves, copies are explicit.
#pragma once
#include <cstddef>
#include <vector>

#include "platform/WinTypes.h"

namespace plat {

class MemBlock {
 public:
  MemBlock() = default;
  explicit MemBlock(std::size_t size) : bytes_(size, 0) {}
  MemBlock(const BYTE* data, std::size_t size) : bytes_(data, data + size) {}

  MemBlock(MemBlock&& other) noexcept : bytes_(std::move(other.bytes_)) { other.bytes_.clear(); }
  MemBlock& operator=(MemBlock&& other) noexcept {
    if (this != &other) {
      bytes_ = std::move(other.bytes_);
      other.bytes_.clear();
    }
    return *this;
  }
  // Copies only on request (the Windows code copies blocks explicitly).
  MemBlock(const MemBlock&) = delete;
  MemBlock& operator=(const MemBlock&) = delete;
  MemBlock Copy() const { return MemBlock(bytes_.data(), bytes_.size()); }

  bool empty() const { return bytes_.empty(); }
  explicit operator bool() const { return !bytes_.empty(); }
  std::size_t Size() const { return bytes_.size(); }  // GlobalSize
  BYTE* data() { return bytes_.data(); }
  const BYTE* data() const { return bytes_.data(); }
  // Grows with zero bytes or shrinks, keeping the leading bytes (GlobalReAlloc).
  void Resize(std::size_t size) { bytes_.resize(size, 0); }
  void Free() { std::vector<BYTE>().swap(bytes_); }
  const std::vector<BYTE>& Bytes() const { return bytes_; }

 private:
  std::vector<BYTE> bytes_;
};

}  // namespace plat
