// Message texts of the numerical library: the message-file reader, placeholder expansion,
// the three printers and the traceback.
#include <cctype>
#include <cstring>
#include <functional>

#include "numerics/nml_runtime.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"

namespace nml {
namespace {

// The library's own locations come before the current folder: a message file dropped into
// whatever folder the program runs in must not replace the library's texts.
const char* const kDefaultDirectories = "$LIB;/lib;c:/lib;.";
constexpr int kLineWidth = 78;
const char* const kContinuation = "***         ";  // 12 characters
constexpr int kContinuationWidth = 12;

plat::CriticalSection g_messageFileLock;

// Formats one value with a conversion that came from a message file. The conversion has
// already been checked to hold exactly one conversion of the right kind.
template <class T>
std::string FormatWith(const std::string& conv, T value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int n = std::snprintf(nullptr, 0, conv.c_str(), value);
  std::string s;
  if (n > 0) {
    s.resize(static_cast<std::size_t>(n) + 1);
    std::snprintf(s.data(), s.size(), conv.c_str(), value);
    s.resize(static_cast<std::size_t>(n));
  }
#pragma GCC diagnostic pop
  return s;
}

enum class Kind { Int, Real, Complex, String, None };

Kind KindOfLetter(char c) {
  switch (c) {
    case 'I': case 'i': return Kind::Int;
    case 'D': case 'F': case 'R': case 'd': case 'f': case 'r': return Kind::Real;
    case 'C': case 'Z': case 'c': case 'z': return Kind::Complex;
    case 'L': case 'S': case 'l': case 's': return Kind::String;
    default: return Kind::None;
  }
}

// Accepts "%[flags][width][.precision][length]conversion" with at most three digits of width
// and precision, no '*', and a conversion letter that fits the argument's kind. Anything
// else would let the file's text misread an argument.
bool ValidConversion(const std::string& c, Kind kind) {
  std::size_t i = 0;
  if (c.size() < 2 || c[i++] != '%') return false;
  while (i < c.size() && std::strchr("-+ #0", c[i])) ++i;
  int digits = 0;
  while (i < c.size() && std::isdigit(static_cast<unsigned char>(c[i]))) ++i, ++digits;
  if (digits > 3) return false;
  if (i < c.size() && c[i] == '.') {
    ++i;
    digits = 0;
    while (i < c.size() && std::isdigit(static_cast<unsigned char>(c[i]))) ++i, ++digits;
    if (digits > 3) return false;
  }
  const bool realKind = kind == Kind::Real || kind == Kind::Complex;
  if (realKind && i < c.size() && c[i] == 'l') ++i;
  if (i + 1 != c.size()) return false;
  const char conv = c[i];
  switch (kind) {
    case Kind::Int: return std::strchr("diouxX", conv) != nullptr;
    case Kind::Real:
    case Kind::Complex: return std::strchr("eEfFgGaA", conv) != nullptr;
    case Kind::String: return conv == 's';
    default: return false;
  }
}

// The title of the library's message boxes: the program's file name without its folder.
std::string ProgramFileName() {
  const std::string path = plat::ProgramPath();
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

unsigned short Swap16(unsigned short v) {
  return static_cast<unsigned short>((v >> 8) | (v << 8));
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Message file

void Runtime::ReportLoadFailure(const std::string& file, const char* reason) {
  const std::string text = plat::Format("Error in reading %s\n%s.\n", file.c_str(), reason);
  if (printerKind_ == cfg_.kindBox) {
    plat::Ui().MessageBox(text, MB_OK | MB_ICONINFORMATION, ProgramFileName());
  } else {
    plat::WriteStdErr(text);
  }
}

void Runtime::LoadMessages() {
  plat::CriticalSectionLock lock(g_messageFileLock);
  if (loadStatus_ != 0) return;
  loadStatus_ = 1;
  const std::string file = messageFile_.empty() ? cfg_.messageFile : messageFile_;
  std::string list;
  if (hasMessageDir_) {
    list = messageDir_;
  } else if (auto v = plat::GetEnv(cfg_.envVar)) {
    list = *v;
  } else {
    // The program's own folder first: the library's message file is shipped beside every
    // program that uses it.
    const std::string program = plat::ProgramPath();
    const std::size_t slash = program.find_last_of("/\\");
    if (slash != std::string::npos) list = program.substr(0, slash) + ";";
    list += kDefaultDirectories;
  }
  // Drive-letter folders name nothing here (on this platform they would be relative to the
  // current folder).
  std::string search;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string element = list.substr(start, end - start);
    start = end + 1;
    if (element.size() >= 2 && std::isalpha(static_cast<unsigned char>(element[0])) &&
        element[1] == ':')
      continue;
    if (!search.empty()) search += ';';
    search += element;
  }
  auto found = plat::SearchPath(search, file);
  FILE* f = found ? std::fopen(found->c_str(), "rb") : nullptr;
  if (!f) {
    ReportLoadFailure(file, "File not found");
    return;
  }
  unsigned char head[14];
  bool ok = std::fread(head, 1, 14, f) == 14;
  unsigned short w[7] = {};
  if (ok) {
    for (int k = 0; k < 7; ++k)
      w[k] = static_cast<unsigned short>(head[2 * k] | (head[2 * k + 1] << 8));
    if (w[0] == 0x72F8) {
      swapped_ = false;
    } else if (w[0] == 0xF872) {
      swapped_ = true;
      for (auto& x : w) x = Swap16(x);
    } else {
      ok = false;
    }
  }
  const unsigned n = w[2];
  if (ok && w[6] > 15) ok = false;
  if (ok) {
    codes_.assign(n, 0);
    offsets_.assign(n + 1, 0);
    auto readWords = [&](std::vector<unsigned short>& v) {
      std::vector<unsigned char> raw(v.size() * 2);
      if (std::fread(raw.data(), 1, raw.size(), f) != raw.size()) return false;
      for (std::size_t k = 0; k < v.size(); ++k) {
        unsigned short x = static_cast<unsigned short>(raw[2 * k] | (raw[2 * k + 1] << 8));
        v[k] = swapped_ ? Swap16(x) : x;
      }
      return true;
    };
    ok = readWords(codes_) && readWords(offsets_);
  }
  if (!ok) {
    std::fclose(f);
    codes_.clear();
    offsets_.clear();
    ReportLoadFailure(file, "File is not in nmlerr.bin format");
    return;
  }
  l1_ = w[4];
  l2_ = w[5];
  shift_ = w[6];
  base_ = 4L * n + 15;
  if (shift_ > 0) {
    const long unit = 1L << shift_;
    base_ = (base_ + unit - 1) / unit * unit;
  }
  std::fclose(f);
  loadedPath_ = *found;
  loadStatus_ = 2;
}

int Runtime::FindIndex(long code) {
  if (loadStatus_ != 2 || codes_.empty()) return -1;
  const unsigned short key = static_cast<unsigned short>(code % 100000);
  std::size_t lo = 0, hi = codes_.size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (codes_[mid] < key) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo < codes_.size() && codes_[lo] == key ? static_cast<int>(lo) : -1;
}

const char* Runtime::MessageText(long code) {
  if (loadStatus_ == 0) LoadMessages();
  // The index found belongs to the code looked up last, which need not be the code read
  // last: after a code without a record, the code read before is looked up again.
  if (code != lastCodeLooked_ || lastIndex_ < 0) {
    lastIndex_ = FindIndex(code);
    lastCodeLooked_ = code;
  }
  if (lastIndex_ >= 0 && code == lastCodeRead_) return textBuf_.data();
  if (lastIndex_ >= 0) {
    // A record must fit the buffer that the file's header promises and hold its text's NUL;
    // anything else counts as unreadable and falls back to the plain text.
    const std::size_t cap = static_cast<std::size_t>(l1_) + l2_ + 2;
    const unsigned o0 = offsets_[lastIndex_];
    const unsigned o1 = offsets_[lastIndex_ + 1];
    const long len = o1 >= o0 ? static_cast<long>(o1 - o0 + 1) << shift_ : -1;
    bool ok = len > 0 && static_cast<std::size_t>(len) <= cap;
    if (ok) {
      textBuf_.assign(cap + 1, '\0');
      plat::CriticalSectionLock lock(g_messageFileLock);
      FILE* f = std::fopen(loadedPath_.c_str(), "rb");
      ok = f && std::fseek(f, base_ + (static_cast<long>(o0) << shift_), SEEK_SET) == 0;
      std::size_t got = 0;
      if (ok) got = std::fread(textBuf_.data(), 1, static_cast<std::size_t>(len), f);
      if (f) std::fclose(f);
      // The last record may end at the end of the file before its nominal length.
      ok = ok && std::memchr(textBuf_.data(), '\0', got) != nullptr;
    }
    if (ok) {
      lastCodeRead_ = code;
      return textBuf_.data();
    }
    lastIndex_ = -1;
    lastCodeRead_ = -1;
  }
  codeText_ = plat::Format("Error code %ld.", code);
  return codeText_.c_str();
}

const char* Runtime::CodeName(long code) {
  MessageText(code);
  if (lastIndex_ >= 0 && code == lastCodeRead_) {
    const char* text = textBuf_.data();
    const std::size_t n = std::strlen(text);
    if (n + 1 < textBuf_.size()) return text + n + 1;
  }
  codeName_ = plat::Format("%ld", code);
  return codeName_.c_str();
}

// ---------------------------------------------------------------------------------------
// Placeholders

void Runtime::FormatMessage(const char* source) {
  if (!source) {
    message_.clear();
    return;
  }
  // The text may be the message buffer itself (an error re-recorded with its own text).
  const std::string copy(source);
  const char* text = copy.c_str();
  message_.clear();
  const std::size_t len = std::strlen(text);
  std::size_t i = 0;
  while (i < len) {
    const char ch = text[i];
    if (ch != '%') {
      message_ += ch;
      ++i;
      continue;
    }
    if (i + 1 < len && text[i + 1] == '/') {
      message_ += '\n';
      i += 2;
      continue;
    }
    if (!(i + 3 < len && text[i + 1] == '(' &&
          std::isalpha(static_cast<unsigned char>(text[i + 2])) &&
          std::isdigit(static_cast<unsigned char>(text[i + 3])))) {
      message_ += ch;
      ++i;
      continue;
    }
    const char letter = text[i + 2];
    const char digit = text[i + 3];
    const int number = digit - '0';
    std::string conv;
    std::size_t next;
    if (i + 4 < len && text[i + 4] == ')') {
      next = i + 5;
    } else if (i + 4 < len && text[i + 4] == '%') {
      const char* close = std::strchr(text + i + 4, ')');
      if (!close) {
        message_ += ch;
        ++i;
        continue;
      }
      conv.assign(text + i + 4, close);
      next = static_cast<std::size_t>(close - text) + 1;
    } else {
      message_ += ch;
      ++i;
      continue;
    }
    i = next;
    const Kind kind = KindOfLetter(letter);
    if (kind == Kind::None || number < 1 || number > 9) {
      message_ += plat::Format("%%(%c%c)", letter, digit);
      continue;
    }
    if (!conv.empty() && !ValidConversion(conv, kind)) conv.clear();
    const int k = number - 1;
    switch (kind) {
      case Kind::Int:
        message_ += FormatWith(conv.empty() ? "%d" : conv, intArgs_[k]);
        break;
      case Kind::Real:
        message_ += FormatWith(conv.empty() ? "%e" : conv, realArgs_[k]);
        break;
      case Kind::Complex: {
        const std::string c = conv.empty() ? "%e" : conv;
        message_ += "(" + FormatWith(c, complexArgs_[k][0]) + "," +
                    FormatWith(c, complexArgs_[k][1]) + ")";
        break;
      }
      case Kind::String:
        message_ += FormatWith(conv.empty() ? "%s" : conv,
                               stringArgs_[k] ? stringArgs_[k] : "(null)");
        break;
      default:
        break;
    }
  }
}

// ---------------------------------------------------------------------------------------
// Printers

const char* Runtime::CalledRoutine() const {
  for (int i = top_; i >= 0; --i) {
    if (stack_[i].userLevel) return i == top_ ? stack_[i].name : stack_[i + 1].name;
  }
  return stack_[top_].name;
}

namespace {

// Lays an error out: the header, then the text in pieces that end at a blank (or at a
// newline of the text) so that no line passes the line width; continuation lines begin
// with the continuation prefix. `eol` is the line end of the output device.
void LayOut(const std::string& header, const char* text, const char* eol,
            const std::function<void(const std::string&)>& write) {
  write(header);
  // The column count is that of the header with its leading line end counted as one.
  int c = static_cast<int>(header.size()) - static_cast<int>(std::strlen(eol)) + 1;
  if (c >= kLineWidth) {
    write(std::string(eol) + kContinuation + " ");
    c = kContinuationWidth;
  }
  std::string r = text;
  for (;;) {
    bool fits = static_cast<int>(r.size()) + c < kLineWidth;
    std::size_t end = r.size();
    bool hardBreak = false;
    if (!fits) {
      const std::size_t room = static_cast<std::size_t>(kLineWidth - c);
      const std::size_t blank = r.rfind(' ', room - 1);
      // A word longer than the room left is cut at the margin.
      if (blank == std::string::npos || blank == 0) {
        end = room > 1 ? room - 1 : 1;
        hardBreak = true;
      } else {
        end = blank;
      }
    }
    const std::size_t nl = r.find('\n');
    if (nl != std::string::npos && nl < end) {
      end = nl;
      fits = false;
      hardBreak = false;
    }
    write(r.substr(0, end) + eol);
    if (fits) {
      write(eol);
      return;
    }
    // The rest goes on after one blank; a soft break drops the blank or newline it broke at.
    r.replace(0, hardBreak ? end : end + 1, 1, ' ');
    write(kContinuation);
    c = kContinuationWidth;
  }
}

}  // namespace

void Runtime::PrintStream(int type, int code, const char* /*name*/, const char* text) {
  if (!text || !*text) return;
  const char* routine = CalledRoutine();
  const std::string header =
      type < 5 ? plat::Format("\n*** %s Error %s from %s.  ", TypeName(type), CodeName(code), routine)
               : plat::Format("\n*** %s Error from %s.  ", TypeName(type), routine);
  LayOut(header, text, "\n", [this](const std::string& s) { WriteStream(s); });
}

void Runtime::PrintConsole(int type, int code, const char* /*name*/, const char* text) {
  if (!text || !*text) return;
  // The console of this platform is the standard-error stream; the console's line ends are
  // kept.
  const char* routine = CalledRoutine();
  const std::string header =
      type < 5 ? plat::Format("\r\n*** %s Error %s from %s.  ", TypeName(type), CodeName(code), routine)
               : plat::Format("\r\n*** %s Error from %s.  ", TypeName(type), routine);
  LayOut(header, text, "\r\n", [](const std::string& s) { plat::WriteStdErr(s); });
}

void Runtime::PrintBox(int type, int code, const char* /*name*/, const char* text) {
  if (!text || !*text) return;
  const char* routine = CalledRoutine();
  std::string typeName = TypeName(type);
  typeName = typeName.substr(0, typeName.find(' '));
  const std::string box =
      type < 5 ? plat::Format("%s Error %s from %s.  %s", typeName.c_str(), CodeName(code), routine, text)
               : plat::Format("%s Error from %s.  %s", typeName.c_str(), routine, text);
  const UINT icon = stop_[type >= 0 && type <= 8 ? type : 8] ? MB_ICONHAND : MB_ICONINFORMATION;
  plat::Ui().MessageBox(box, MB_SETFOREGROUND | icon, ProgramFileName());
}

void Runtime::Traceback() {
  WriteStream(plat::Format("%s\n%s\n%s\n", "Here is a traceback of the calls in reverse order.",
                     "  Error Type        Error Code              Routine",
                     "  ----------        ----------              -------"));
  int rememberedType = 0, rememberedCode = 0;
  bool remembered = false;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  for (int i = top_; i >= 0; --i) {
    const Entry& e = stack_[i];
    if (!remembered && e.type != 0) {
      remembered = true;
      rememberedType = e.type;
      rememberedCode = e.code;
    }
    const bool shown = i == 0 || stack_[i - 1].userLevel || fullTraceback_;
    if (!shown) continue;
    if (remembered && !e.userLevel) {
      const std::string codeName = CodeName(rememberedCode);
      WriteStream(plat::Format(cfg_.tracebackFormat, cfg_.tracebackPrefix, TypeName(rememberedType),
                         codeName.c_str(), e.name));
    } else {
      WriteStream(plat::Format(cfg_.tracebackFormat, "", "", "", e.name));
    }
    remembered = false;
  }
#pragma GCC diagnostic pop
}

}  // namespace nml

using nml::Runtime;

const char* nml_error_message_text(long code) { return Runtime::Math().MessageText(code); }
const char* nml_error_code_name(long code) { return Runtime::Math().CodeName(code); }
void nml_error_format_message(const char* text) { Runtime::Math().FormatMessage(text); }
void nml_error_print_stream(int type, int code, const char* name, const char* text) {
  Runtime::Math().PrintStream(type, code, name, text);
}
void nml_error_print_box(int type, int code, const char* name, const char* text) {
  Runtime::Math().PrintBox(type, code, name, text);
}
void nml_error_print_console(int type, int code, const char* name, const char* text) {
  Runtime::Math().PrintConsole(type, code, name, text);
}
