// CCITT bilevel coding for TIFF: Modified Huffman rows (compression 2), T.4
// one-dimensional rows with EOL codes (compression 3, reading only) and T.6 "Group 4"
// rows (compression 4). In every row buffer bit 7 of byte 0 is the first pixel and a
// 1 bit is white.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/WinTypes.h"

// The bit accumulator shared by the reader and the writer (one is used at a time).
struct CcittBits {
  std::uint32_t acc = 0;  // valid bits at the top
  int count = 0;          // number of valid bits
  // Reader: the unread input and a hook that supplies more (false when there is none).
  const BYTE* in = nullptr;
  const BYTE* inEnd = nullptr;
  std::function<bool(const BYTE*& in, const BYTE*& inEnd)> more;
  bool ended = false;  // the data ran out with no bit pending
  // Writer: completed bytes go here.
  std::vector<BYTE>* out = nullptr;
};

// The next `count` bits (1 to 24) without consuming them; zero bits stand in for data
// beyond the end.
std::uint32_t tiff_peek_bits(CcittBits& bits, int count);
void ccitt_drop_bits(CcittBits& bits, int count);
// Appends the low `count` bits of `value`, most significant first.
void tiff_put_bits(CcittBits& bits, int count, std::uint32_t value);
// Pushes out the last partial byte (zero bits behind it) and clears the accumulator.
void ccitt_flush_bits(CcittBits& bits);

// Changing-element lists of the Group 4 coder: 16-bit pixel positions.
struct CcittLines {
  std::vector<std::uint16_t> ref;
  std::vector<std::uint16_t> cur;
  int refCount = 0;
  int curCount = 0;
  int capacity = 0;
  int width = 0;
};
// Capacity min(width + 1, 8192) each; the reference line starts all white.
int ccitt_lines_alloc(CcittLines& lines, int width);
void ccitt_lines_reset(CcittLines& lines);

// Number of consecutive pixels of `colour` (1 white, 0 black) from `position`, never
// beyond `width`.
int ccitt_run_length(int colour, int position, const BYTE* row, int width);
// Fills the current list with the end of every run (runs alternate from white; the last
// element is `width`). Returns 0, or -44 when the row has more changes than the list holds.
int ccitt_changes(const BYTE* row, int width, CcittLines& lines);

// Encoders. They return 0, or -44 (Group 4: too many changes in a row).
int ccitt_encode_mh_row(CcittBits& bits, const BYTE* row, int width);
int ccitt_encode_g4_row(CcittBits& bits, const BYTE* row, int width, CcittLines& lines);
// Ends a Group 4 strip: EOFB, then zero bits to the byte boundary.
void ccitt_g4_strip_end(CcittBits& bits);

// Decoder settings taken from the TIFF directory.
struct CcittDecodeSetup {
  int compression = 2;    // 2 Modified Huffman, 3 T.4 with EOLs, 4 T.6
  int t4Options = 0;
  int rowsPerStrip = 0;   // 0: one strip
};

// Decode one row of `width` pixels into `row` ((width + 7) / 8 bytes, cleared first).
// Return 0, -6 when the data ran out (or, Group 4, a mode code is invalid), -44 when a
// Group 4 row has more changes than the list holds.
int ccitt_decode_mh_row(BYTE* row, int width, CcittBits& bits, const CcittDecodeSetup& setup,
                        int rowIndex);
int ccitt_decode_g4_row(BYTE* row, CcittLines& lines, int width, CcittBits& bits,
                        const CcittDecodeSetup& setup, int rowIndex);
// The decoder's step at the start of every Group 4 strip after the first.
void ccitt_g4_strip_start(CcittBits& bits, CcittLines& lines);
