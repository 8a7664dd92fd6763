// What the reading and the writing half of the TIFF codec share: the lock, the state of
// one image file directory, and the reader of headers, directories and tag values over a
// stream binding. Every offset and count taken from a file is checked against its length.
#pragma once
#include <cstdint>
#include <vector>

#include "imagefiles/img_stream.h"
#include "imagefiles/tiff_codec.h"
#include "platform/Runtime.h"

plat::CriticalSection& TiffLock();

// Field types.
constexpr int kTiffByte = 1, kTiffAscii = 2, kTiffShort = 3, kTiffLong = 4, kTiffRational = 5;

// The codec state of one directory.
struct TiffDirectory {
  TiffInfo info{};
  int fillOrder = 1;
  std::uint32_t rowsPerStrip = 0;  // 0: the whole image
  std::uint32_t t4Options = 0;
  std::uint32_t resolutionUnit = 2;
  std::uint32_t predictor = 1;
  std::uint32_t xResolution = 0, yResolution = 0;
  int depth = 1;  // the bits per pixel that pick the row mode
  bool photometricPresent = false;
  // StripOffsets and StripByteCounts: type, count and where their values lie.
  bool haveStrips = false;
  int stripType = 0;
  std::uint32_t stripCount = 0;
  std::int64_t stripValues = 0;
  bool haveCounts = false;
  int countType = 0;
  std::uint32_t countCount = 0;
  std::int64_t countValues = 0;
  // ColorMap.
  std::uint32_t colorMapCount = 0;
  std::int64_t colorMapValues = 0;
  // PageNumber.
  bool hasPageNumber = false;
  std::uint32_t pageNumber = 0;
  std::int64_t pageNumberEntry = -1;  // file position of the entry
  // Where the next-directory offset of this directory lies, and its value.
  std::int64_t nextField = 0;
  std::uint32_t nextOffset = 0;
};

class TiffReader {
 public:
  explicit TiffReader(StreamBinding* b);
  std::int64_t Length() const { return length_; }
  bool BigEndian() const { return bigEndian_; }

  // Reads the 8-byte header; the first directory's offset. 0 or -6.
  int tiff_read_header(std::uint32_t* firstIfd);
  // Reads the directory at `offset` into `dir`. 0, -6, or -9 for dimensions beyond the
  // library's limits.
  int tiff_read_ifd(std::uint32_t offset, TiffDirectory* dir);
  // Walks every directory; `dirs` receives them in order, with page numbers resolved
  // (PageNumber when present, else the previous page's number + 1). 0 or -6.
  int tiff_walk_pages(std::vector<TiffDirectory>* dirs);
  // The directory of a page: -1 the first, else by page number or by position. 0, -6, -51.
  int tiff_find_page(int page, bool byIndex, TiffDirectory* dir);
  // `count` values of a SHORT, LONG or BYTE array (RATIONAL: numerators and denominators)
  // at `position`, widened to 32 bits. False when they do not lie within the file.
  bool ReadValues(int type, std::uint32_t count, std::int64_t position, std::vector<std::uint32_t>* out);
  // Strip offsets and byte counts of a directory (offsets gets one more entry: the end
  // of the file), counts recomputed and cut to the file as needed. 0, -6, -14.
  int tiff_read_strip_tables(const TiffDirectory& dir, std::vector<std::uint32_t>* offsets,
                      std::vector<std::uint32_t>* counts);
  std::uint16_t U16(const BYTE* p) const;
  std::uint32_t U32(const BYTE* p) const;

 private:
  StreamBinding* b_;
  std::int64_t length_ = 0;
  bool bigEndian_ = false;
};

// Row modes, chosen from the depth and the compression.
enum TiffMode {
  kModeNone1, kModeNone4, kModeNone8, kModeNone16, kModeNone24,
  kModeLzw1, kModeLzw8, kModeLzw24,
  kModePackBits1, kModePackBits4, kModePackBits8,
  kModeCcittRle, kModeCcittG3, kModeCcittG4,
  kModeNotHandled
};
// The row mode of a depth and a compression; `reading` admits Group 3.
TiffMode tiff_select_mode(int depth, int compression, std::uint32_t t4Options, bool reading);
