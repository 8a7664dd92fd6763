// An AVI video of 24-bit frames: one 'vids' stream, every frame a key frame, an index at
// the end. Frames are stored as they come ("Full frames": handler "DIB ", chunks "00db")
// or through a compressor that turns each frame into a chunk of its own size (chunks
// "00dc"). The headers are written with placeholder sizes when the file is opened and
// completed by Close, so a closed file is always a valid RIFF file; frames that would
// take the file past the plain RIFF limit (1 GB) are refused, so the limit is never
// crossed.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace plat {

// A frame compressor: its four-character handler (also the frames' compression code) and
// the function that turns one frame (bottom-up BGR rows padded to 4 bytes) into its
// compressed bytes, false when it cannot.
struct AviCompressor {
  char handler[4] = {'D', 'I', 'B', ' '};
  int quality = -1;  // the stream header's quality, 0 to 10000; -1 the default
  std::function<bool(const BYTE* rows, std::vector<BYTE>* out)> encode;
};

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
  // Without a compressor (or one without an encode function) frames are stored as they
  // come.
  bool Open(const std::string& path, int width, int height, int rate, int expectedFrames,
            const AviCompressor* compressor = nullptr);
  bool IsOpen() const { return f_ != nullptr; }
  // Bytes of one frame as handed in: bottom-up BGR rows padded to 4 bytes.
  std::size_t FrameBytes() const { return frameBytes_; }
  // Appends one frame of FrameBytes() bytes as a key frame. False when no file is open,
  // when the compressor or the write fails, or when the frame would take the file past
  // the limit (the frame is then not written and the file stays valid).
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
  bool compressed_ = false;
  AviCompressor compressor_;
  std::vector<BYTE> packed_;  // the current frame compressed
  std::uint32_t largest_ = 0;  // the largest chunk so far
  struct Entry {
    std::uint32_t offset;  // from the 'movi' fourcc
    std::uint32_t size;
  };
  std::vector<Entry> index_;
};

}  // namespace plat
