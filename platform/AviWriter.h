// An uncompressed AVI video of 24-bit frames ("Full frames"): one 'vids' stream with
// the "DIB " handler, every frame a key frame, an index at the end. The headers are
// written with placeholder sizes when the file is opened and completed by Close, so a
// closed file is always a valid RIFF file; frames that would take the file past the
// plain RIFF limit (1 GB) are refused, so the limit is never crossed.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace plat {

class AviWriter {
 public:
  static constexpr std::uint64_t kRiffLimit = 1024ull * 1024 * 1024;

  // `limit`: the largest file size allowed (the RIFF limit unless a test wants less).
  explicit AviWriter(std::uint64_t limit = kRiffLimit) : limit_(limit) {}
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Creates the file for frames of width x height pixels at `rate` frames per second;
  // `expectedFrames` is only the stream's initial length. False when it cannot be
  // created (then nothing is left open).
  bool Open(const std::string& path, int width, int height, int rate, int expectedFrames);
  bool IsOpen() const { return f_ != nullptr; }
  // Bytes of one frame: bottom-up BGR rows padded to 4 bytes.
  std::size_t FrameBytes() const { return frameBytes_; }
  // Appends one frame of FrameBytes() bytes as a key frame. False when no file is open,
  // when the write fails, or when the frame would take the file past the limit (the
  // frame is then not written and the file stays valid).
  bool AddFrame(const BYTE* rows);
  int Frames() const { return static_cast<int>(index_.size()); }
  // Writes the index and the final sizes and closes the file; false when a write failed.
  bool Close();

 private:
  bool Put(const void* p, std::size_t n);
  bool PutU32(std::uint32_t v);

  std::uint64_t limit_;
  std::FILE* f_ = nullptr;
  int width_ = 0, height_ = 0, rate_ = 30;
  std::size_t frameBytes_ = 0;
  long moviStart_ = 0;  // offset of the 'movi' list's size field
  std::uint64_t size_ = 0;
  bool failed_ = false;
  std::vector<std::uint32_t> index_;  // frame offsets from the 'movi' fourcc
};

}  // namespace plat
