#include "wincomp/grid/SGCell.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "wincomp/grid/SGDefs.h"

CSGCell::CSGCell(const CSGCell& other) { CopyInfoFrom(other); }

CSGCell& CSGCell::operator=(const CSGCell& other) {
  if (this != &other) CopyInfoFrom(other);
  return *this;
}

int CSGCell::SetText(const char* text) {
  text_ = text ? text : "";
  dataType_ = SG_TEXT_DATA;
  mask_ |= SGCELL_TEXT | SGCELL_DATATYPE;
  return 0;
}

const char* CSGCell::GetText() const { return (mask_ & SGCELL_TEXT) ? text_.c_str() : nullptr; }

int CSGCell::GetTextLength() const {
  return (mask_ & SGCELL_TEXT) ? static_cast<int>(text_.size()) : 0;
}

int CSGCell::SetNumber(double number) {
  // "%lf" gives six decimals; with a number of decimals n, "%1.<n>lf". Formatting goes
  // through to_chars, which never looks at the locale.
  int decimals = (mask_ & SGCELL_NUMBERDECIMALS) ? decimals_ : 6;
  if (decimals < 0) decimals = 0;
  char buf[512];
  auto res = std::to_chars(buf, buf + sizeof buf, number, std::chars_format::fixed, decimals);
  std::string s = res.ec == std::errc() ? std::string(buf, res.ptr) : std::string("0");
  if (std::isnan(number)) s = std::signbit(number) ? "-nan" : "nan";
  if (std::isinf(number)) s = number < 0 ? "-inf" : "inf";
  text_ = s;
  dataType_ = SG_NUMBER_DATA;
  mask_ |= SGCELL_TEXT | SGCELL_DATATYPE;
  return 0;
}

int CSGCell::SetNumberDecimals(short decimals) {
  decimals_ = decimals;
  mask_ |= SGCELL_NUMBERDECIMALS;
  return 0;
}

namespace {

// The leading number of a text as atof reads it, in the C locale.
double LeadingNumber(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const char* first = s.data() + i;
  const char* last = s.data() + s.size();
  double value = 0.0;
  auto fmt = std::chars_format::general;
  if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
    first += 2;
    fmt = std::chars_format::hex;
  }
  auto res = std::from_chars(first, last, value, fmt);
  if (res.ec == std::errc::result_out_of_range) {
    // atof saturates to infinity (or underflows to 0).
    value = HUGE_VAL;
    std::size_t k = i;
    while (k < s.size() && (std::isdigit(static_cast<unsigned char>(s[k])) || s[k] == '.')) ++k;
    if (k < s.size() && (s[k] == 'e' || s[k] == 'E') && k + 1 < s.size() && s[k + 1] == '-')
      value = 0.0;
  } else if (res.ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

double CSGCell::GetNumber() const {
  if (!(mask_ & SGCELL_TEXT)) return 0.0;
  return LeadingNumber(text_);
}

int CSGCell::GetBool() const {
  if (!(mask_ & SGCELL_TEXT) || text_.empty()) return 0;
  if (text_[0] == 'T' || text_[0] == 't') return 1;
  // Whether the leading integer (as atol reads it) is non-zero.
  std::size_t i = 0;
  while (i < text_.size() && std::isspace(static_cast<unsigned char>(text_[i]))) ++i;
  if (i < text_.size() && (text_[i] == '+' || text_[i] == '-')) ++i;
  for (; i < text_.size() && std::isdigit(static_cast<unsigned char>(text_[i])); ++i)
    if (text_[i] != '0') return 1;
  return 0;
}

int CSGCell::SetLabel(const char* label) {
  label_ = label ? label : "";
  mask_ |= SGCELL_LABEL;
  return 0;
}

const char* CSGCell::GetLabel() const { return (mask_ & SGCELL_LABEL) ? label_.c_str() : nullptr; }

int CSGCell::GetLabelCopy(std::string* out) const {
  if (!(mask_ & SGCELL_LABEL)) return 1;
  if (out) *out = label_;
  return 0;
}

short CSGCell::GetDataType() const { return (mask_ & SGCELL_DATATYPE) ? dataType_ : SG_TEXT_DATA; }

int CSGCell::SetTextColor(COLORREF c) {
  textColor_ = c;
  mask_ |= SGCELL_TEXTCOLOR;
  return 0;
}
COLORREF CSGCell::GetTextColor() const {
  return (mask_ & SGCELL_TEXTCOLOR) ? textColor_ : sgw::GetSysColor(sgw::COLOR_WINDOWTEXT);
}
int CSGCell::SetBackColor(COLORREF c) {
  backColor_ = c;
  mask_ |= SGCELL_BACKCOLOR;
  return 0;
}
COLORREF CSGCell::GetBackColor() const {
  return (mask_ & SGCELL_BACKCOLOR) ? backColor_ : sgw::GetSysColor(sgw::COLOR_WINDOW);
}
COLORREF CSGCell::GetHighlightTextColor() const {
  return (mask_ & SGCELL_HTEXTCOLOR) ? hTextColor_ : sgw::GetSysColor(sgw::COLOR_HIGHLIGHTTEXT);
}
COLORREF CSGCell::GetHighlightBackColor() const {
  return (mask_ & SGCELL_HBACKCOLOR) ? hBackColor_ : sgw::GetSysColor(sgw::COLOR_HIGHLIGHT);
}

int CSGCell::SetBorderStyle(short style) {
  borderStyle_ = style;
  mask_ |= SGCELL_BORDERSTYLE;
  return 0;
}
short CSGCell::GetBorderStyle() const { return (mask_ & SGCELL_BORDERSTYLE) ? borderStyle_ : 0; }
const plat::CPen* CSGCell::GetBorderPen() const {
  return (mask_ & SGCELL_BORDERPEN) ? borderPen_ : nullptr;
}
int CSGCell::SetFont(const plat::CFont* font) {
  font_ = font;
  mask_ |= SGCELL_FONT;
  return 0;
}
const plat::CFont* CSGCell::GetFont() const { return (mask_ & SGCELL_FONT) ? font_ : nullptr; }
const plat::CBitmap* CSGCell::GetBitmap() const {
  return (mask_ & SGCELL_BITMAP) ? bitmap_ : nullptr;
}
int CSGCell::SetAlignment(short align) {
  alignment_ = align;
  mask_ |= SGCELL_ALIGNMENT;
  return 0;
}
short CSGCell::GetAlignment() const { return (mask_ & SGCELL_ALIGNMENT) ? alignment_ : 0; }
int CSGCell::SetCellType(int index) {
  typeIndex_ = index;
  mask_ |= SGCELL_CELLTYPE;
  return 0;
}
int CSGCell::GetCellType() const { return (mask_ & SGCELL_CELLTYPE) ? typeIndex_ : 0; }
int CSGCell::SetCellTypeStyle(long style) {
  typeStyle_ = style;
  mask_ |= SGCELL_CELLTYPESTYLE;
  return 0;
}
long CSGCell::GetCellTypeStyle() const { return (mask_ & SGCELL_CELLTYPESTYLE) ? typeStyle_ : 0; }
int CSGCell::GetReadOnly() const { return (mask_ & SGCELL_READONLY) ? readOnly_ : 0; }

int CSGCell::SetJoinInfo(short origin, int colOffset, int rowOffset) {
  joinOrigin_ = origin;
  joinColOffset_ = colOffset;
  joinRowOffset_ = rowOffset;
  mask_ |= SGCELL_JOININFO;
  return 0;
}

int CSGCell::GetJoinInfo(short* origin, int* colOffset, int* rowOffset) const {
  if (!(mask_ & SGCELL_JOININFO)) return 1;
  if (origin) *origin = joinOrigin_;
  if (colOffset) *colOffset = joinColOffset_;
  if (rowOffset) *rowOffset = joinRowOffset_;
  return 0;
}

void CSGCell::ClearAll() {
  mask_ = 0;
  text_.clear();
  memory_.clear();
  memory_.shrink_to_fit();
}

void CSGCell::CopyProperties(const CSGCell& s) {
  const std::uint32_t m = s.mask_;
  if (m & SGCELL_FORMATCLASS) format_ = s.format_;
  if (m & SGCELL_STYLECELL) styleCell_ = s.styleCell_;
  if (m & SGCELL_TEXT) text_ = s.text_;
  if (m & SGCELL_STRING2) string2_ = s.string2_;
  if (m & SGCELL_LABEL) label_ = s.label_;
  if (m & SGCELL_DATATYPE) dataType_ = s.dataType_;
  if (m & SGCELL_READONLY) readOnly_ = s.readOnly_;
  if (m & SGCELL_VALUE) value_ = s.value_;
  if (m & SGCELL_NUMBERDECIMALS) decimals_ = s.decimals_;
  if (m & SGCELL_CELLTYPE) typeIndex_ = s.typeIndex_;
  if (m & SGCELL_CELLTYPESTYLE) typeStyle_ = s.typeStyle_;
  if (m & SGCELL_TEXTCOLOR) textColor_ = s.textColor_;
  if (m & SGCELL_BACKCOLOR) backColor_ = s.backColor_;
  if (m & SGCELL_HTEXTCOLOR) hTextColor_ = s.hTextColor_;
  if (m & SGCELL_HBACKCOLOR) hBackColor_ = s.hBackColor_;
  if (m & SGCELL_BORDERSTYLE) borderStyle_ = s.borderStyle_;
  if (m & SGCELL_BORDERPEN) borderPen_ = s.borderPen_;
  if (m & SGCELL_FONT) font_ = s.font_;
  if (m & SGCELL_BITMAP) bitmap_ = s.bitmap_;
  if (m & SGCELL_ALIGNMENT) alignment_ = s.alignment_;
  if (m & SGCELL_EXTRAMEMORY) memory_ = s.memory_;  // a deep copy; empty when it had none
  if (m & SGCELL_JOININFO) {
    joinOrigin_ = s.joinOrigin_;
    joinRowOffset_ = s.joinRowOffset_;
    joinColOffset_ = s.joinColOffset_;
  }
}

void CSGCell::CopyInfoFrom(const CSGCell& source) {
  if (&source == this) return;
  mask_ = source.mask_;
  CopyProperties(source);
}

void CSGCell::AddInfoFrom(const CSGCell& source) {
  if (&source == this) return;
  mask_ |= source.mask_;
  CopyProperties(source);
}
