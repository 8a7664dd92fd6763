// Files opened with the C run time's fopen modes ("rb", "wb", "r+b", "w+b", "rt", "wt",
// "r", "w", "at", "a+t"...): a mode without "b" is a text mode. The path is resolved as
// FileSystem.h describes (case-insensitive for existing files, "\" accepted).
// Text mode differs from Windows in one deliberate way: readers accept CRLF and LF line
// ends alike (CRLF is read as LF), but writers write LF unchanged. Tell/Seek are byte
// offsets in the file in both modes, so a fixed-width line can be rewritten in place.
// Switching between reading and writing needs no Seek in between (it is done here).
#pragma once
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace plat {

class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens `path` with an fopen mode; false (and closed) on failure.
  bool Open(const std::string& path, const char* mode);
  // Reads `bytes` as if they were a file opened for reading (e.g. a downloaded address).
  bool OpenMemory(std::vector<BYTE> bytes, bool text);
  void Close();
  bool IsOpen() const { return f_ != nullptr; }
  bool IsText() const { return text_; }
  const std::string& Path() const { return path_; }  // resolved path; empty for memory files

  std::size_t Read(void* buf, std::size_t n);
  std::size_t Write(const void* buf, std::size_t n);
  // fgets: at most n - 1 characters, keeping the newline; nullptr at the end.
  char* Gets(char* buf, int n);
  // One whole line without its line end; false at the end of the file.
  bool ReadLine(std::string& line);
  int Getc();  // EOF at the end
  bool Puts(const std::string& s);
  // fprintf in the C locale; returns the number of bytes written or -1.
  int Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));

  long long Tell();
  bool Seek(long long offset, int origin);  // SEEK_SET, SEEK_CUR, SEEK_END
  long long GetLength();
  bool Eof();
  bool Flush();

 private:
  enum class LastOp { None, Read, Write };
  void Before(LastOp op);

  std::FILE* f_ = nullptr;
  bool text_ = false;
  std::string path_;
  std::vector<char> memory_;
  LastOp last_ = LastOp::None;
};

}  // namespace plat
