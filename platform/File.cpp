#include "platform/File.h"

#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace plat {

File::~File() { Close(); }

File::File(File&& o) noexcept
    : f_(o.f_), text_(o.text_), path_(std::move(o.path_)), memory_(std::move(o.memory_)), last_(o.last_) {
  o.f_ = nullptr;
}

File& File::operator=(File&& o) noexcept {
  if (this != &o) {
    Close();
    f_ = o.f_;
    text_ = o.text_;
    path_ = std::move(o.path_);
    memory_ = std::move(o.memory_);
    last_ = o.last_;
    o.f_ = nullptr;
  }
  return *this;
}

bool File::Open(const std::string& path, const char* mode) {
  Close();
  std::string m(mode ? mode : "");
  if (m.empty() || (m[0] != 'r' && m[0] != 'w' && m[0] != 'a')) return false;
  std::string clean(1, m[0]);
  if (m.find('+') != std::string::npos) clean += '+';
  clean += 'b';
  std::string resolved = ResolvePath(path);
  struct stat st {};
  bool existed = ::stat(resolved.c_str(), &st) == 0;
  f_ = std::fopen(resolved.c_str(), clean.c_str());
  if (!f_) return false;
  if (!existed) NoteFolderChanged(resolved);
  text_ = m.find('b') == std::string::npos;
  path_ = resolved;
  last_ = LastOp::None;
  return true;
}

bool File::OpenMemory(std::vector<BYTE> bytes, bool text) {
  Close();
  memory_.assign(bytes.begin(), bytes.end());
  // fmemopen refuses a zero-sized buffer: an empty file reads as /dev/null does.
  f_ = memory_.empty() ? std::fopen("/dev/null", "rb") : fmemopen(memory_.data(), memory_.size(), "rb");
  if (!f_) return false;
  text_ = text;
  path_.clear();
  last_ = LastOp::None;
  return true;
}

void File::Close() {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  memory_.clear();
}

void File::Before(LastOp op) {
  // The C library needs a positioning call between reading and writing.
  if (last_ != LastOp::None && last_ != op) std::fseek(f_, 0, SEEK_CUR);
  last_ = op;
}

int File::Getc() {
  if (!f_) return EOF;
  Before(LastOp::Read);
  int c = getc_unlocked(f_);
  if (c == '\r' && text_) {
    int next = getc_unlocked(f_);
    if (next == '\n') return '\n';
    if (next != EOF) ungetc(next, f_);
  }
  return c;
}

std::size_t File::Read(void* buf, std::size_t n) {
  if (!f_ || n == 0) return 0;
  if (!text_) {
    Before(LastOp::Read);
    return std::fread(buf, 1, n, f_);
  }
  auto out = static_cast<char*>(buf);
  std::size_t i = 0;
  for (; i < n; ++i) {
    int c = Getc();
    if (c == EOF) break;
    out[i] = static_cast<char>(c);
  }
  return i;
}

std::size_t File::Write(const void* buf, std::size_t n) {
  if (!f_ || n == 0) return 0;
  Before(LastOp::Write);
  return std::fwrite(buf, 1, n, f_);
}

char* File::Gets(char* buf, int n) {
  if (!f_ || n <= 0) return nullptr;
  int i = 0;
  while (i < n - 1) {
    int c = Getc();
    if (c == EOF) break;
    buf[i++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buf[i] = '\0';
  return i == 0 ? nullptr : buf;
}

bool File::ReadLine(std::string& line) {
  line.clear();
  int c = Getc();
  if (c == EOF) return false;
  while (c != EOF && c != '\n') {
    line += static_cast<char>(c);
    c = Getc();
  }
  return true;
}

bool File::Puts(const std::string& s) { return Write(s.data(), s.size()) == s.size(); }

int File::Printf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = FormatV(fmt, args);
  va_end(args);
  return Puts(s) ? static_cast<int>(s.size()) : -1;
}

long long File::Tell() { return f_ ? static_cast<long long>(ftello(f_)) : -1; }

bool File::Seek(long long offset, int origin) {
  if (!f_) return false;
  last_ = LastOp::None;
  return fseeko(f_, static_cast<off_t>(offset), origin) == 0;
}

long long File::GetLength() {
  if (!f_) return -1;
  std::fflush(f_);
  off_t pos = ftello(f_);
  fseeko(f_, 0, SEEK_END);
  off_t end = ftello(f_);
  fseeko(f_, pos, SEEK_SET);
  last_ = LastOp::None;
  return static_cast<long long>(end);
}

bool File::Eof() { return !f_ || std::feof(f_) != 0; }

bool File::Flush() { return f_ && std::fflush(f_) == 0; }

}  // namespace plat
