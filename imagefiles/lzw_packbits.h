// The compression engines of the TIFF and GIF codecs: PackBits rows, TIFF LZW strips
// (codes of 9 to 12 bits, most significant bit first, early change of width) and GIF LZW
// (codes least significant bit first, late change). They work on byte buffers; the codecs
// own the files, strips and blocks around them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/WinTypes.h"

// Decodes PackBits packets from `in` (at most `inLen` bytes) until `count` bytes are made.
// Returns the input bytes consumed. When the input runs out first, the rest of `out` is
// left as it was; `produced`, when given, receives the bytes made.
int packbits_decode_row(BYTE* out, const BYTE* in, std::size_t inLen, int count,
                        int* produced = nullptr);

// Encodes `count` bytes as PackBits packets; returns the bytes written. `out` needs room
// for count + (count + 126) / 127 bytes.
int packbits_encode_row(BYTE* out, const BYTE* in, int count);

// Decodes one TIFF LZW strip into `out`, stopping at the end code, at the end of the input
// or when `outCap` bytes are made. `produced` receives the bytes made, `endSeen` whether
// the end code was met. Returns 0, or -62 for corrupt data (a code beyond the next free
// one, a string code with no string before it, a table that would outgrow 4096 entries).
int tiff_lzw_decode_strip(const BYTE* in, std::size_t inLen, BYTE* out, std::size_t outCap,
                          std::size_t* produced, bool* endSeen = nullptr);

// TIFF LZW encoder of one strip at a time; codes are packed most significant bit first.
class TiffLzwEncoder {
 public:
  TiffLzwEncoder();
  // Starts a strip: resets the table and writes the clear code.
  void StartStrip(std::vector<BYTE>& sink);
  void Encode(const BYTE* data, std::size_t n);
  // Writes the pending string, the end code and the last partial byte.
  void FinishStrip();

 private:
  void Reset();
  void PutCode(int code);

  struct Node {
    std::int16_t child;
    std::int16_t sibling;
    BYTE suffix;
  };
  std::vector<Node> table_;
  std::vector<BYTE>* sink_ = nullptr;
  int current_ = -1;  // code of the string being extended, -1 before the first byte
  int next_ = 258;    // next free table entry
  int width_ = 9;
  int counter_ = 258;
  int limit_ = 512;
  std::uint32_t acc_ = 0;
  int accBits_ = 0;
};

// Decodes GIF LZW codes from the joined data of the sub-blocks. Every `width` bytes of
// output are handed to `row`, which answers true when the image is complete.
// Returns 0 (image complete, end code or end of data) or -62 for corrupt codes; a
// `minCodeSize` outside 1 to 8 is corrupt too.
int gif_lzw_decode(const BYTE* data, std::size_t len, int minCodeSize, int width,
                   const std::function<bool(const BYTE* row)>& row);

// GIF LZW encoder: packs codes least significant bit first with the decoder's width rule.
// With `literal` every pixel is its own code, with a clear code before the first pixel and
// after every 2^codeSize - 2 pixels, so that the width never grows.
class GifLzwEncoder {
 public:
  GifLzwEncoder(int minCodeSize, bool literal, std::vector<BYTE>& sink);
  void Encode(const BYTE* pixels, std::size_t n);
  void Finish();

 private:
  void PutCode(int code);
  void ResetTable();

  std::vector<BYTE>& sink_;
  int minCodeSize_;
  bool literal_;
  int clear_, end_;
  int width_, counter_, limit_;
  int next_;
  int current_ = -1;
  long literalCount_ = 0;
  std::uint32_t acc_ = 0;
  int accBits_ = 0;
  std::vector<std::int16_t> hashCode_;
  std::vector<std::int32_t> hashKey_;
};
