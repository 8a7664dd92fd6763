// One grid cell's properties. Every property is optional: a bit of the property mask says
// whether the cell carries it, and a getter answers a fixed default when it does not.
// Fonts, pens and bitmaps are pointed at, never owned.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Gdi.h"

// Property bits.
constexpr std::uint32_t SGCELL_TEXT = 0x1;
constexpr std::uint32_t SGCELL_STRING2 = 0x2;
constexpr std::uint32_t SGCELL_LABEL = 0x4;
constexpr std::uint32_t SGCELL_DATATYPE = 0x8;
constexpr std::uint32_t SGCELL_VALUE = 0x10;
constexpr std::uint32_t SGCELL_CELLTYPE = 0x20;
constexpr std::uint32_t SGCELL_CELLTYPESTYLE = 0x40;
constexpr std::uint32_t SGCELL_TEXTCOLOR = 0x80;
constexpr std::uint32_t SGCELL_BACKCOLOR = 0x100;
constexpr std::uint32_t SGCELL_HTEXTCOLOR = 0x200;
constexpr std::uint32_t SGCELL_HBACKCOLOR = 0x400;
constexpr std::uint32_t SGCELL_BORDERSTYLE = 0x800;
constexpr std::uint32_t SGCELL_BORDERPEN = 0x1000;
constexpr std::uint32_t SGCELL_FONT = 0x2000;
constexpr std::uint32_t SGCELL_BITMAP = 0x4000;
constexpr std::uint32_t SGCELL_ALIGNMENT = 0x8000;
constexpr std::uint32_t SGCELL_EXTRAMEMORY = 0x10000;
constexpr std::uint32_t SGCELL_JOININFO = 0x20000;
constexpr std::uint32_t SGCELL_FORMATCLASS = 0x200000;
constexpr std::uint32_t SGCELL_STYLECELL = 0x800000;
constexpr std::uint32_t SGCELL_READONLY = 0x1000000;
constexpr std::uint32_t SGCELL_NUMBERDECIMALS = 0x2000000;

// Data types.
constexpr short SG_TEXT_DATA = 1;
constexpr short SG_NUMBER_DATA = 2;

// Alignment flags.
constexpr short SG_ALIGN_LEFT = 1;
constexpr short SG_ALIGN_RIGHT = 2;
constexpr short SG_ALIGN_CENTER = 4;
constexpr short SG_ALIGN_BOTTOM = 0x10;
constexpr short SG_ALIGN_VCENTER = 0x20;

class CSGCell {
 public:
  CSGCell() = default;
  CSGCell(const CSGCell& other);  // a full copy (CopyInfoFrom)
  CSGCell& operator=(const CSGCell& other);
  ~CSGCell() = default;

  int SetText(const char* text);
  const char* GetText() const;  // null without a text
  int GetTextLength() const;
  // Numbers format and parse in the C locale whatever the user's locale.
  int SetNumber(double number);
  int SetNumberDecimals(short decimals);
  double GetNumber() const;
  int GetBool() const;
  int SetLabel(const char* label);
  const char* GetLabel() const;  // null without a label
  int GetLabelCopy(std::string* out) const;
  short GetDataType() const;

  int SetTextColor(COLORREF c);
  COLORREF GetTextColor() const;
  int SetBackColor(COLORREF c);
  COLORREF GetBackColor() const;
  COLORREF GetHighlightTextColor() const;
  COLORREF GetHighlightBackColor() const;

  int SetBorderStyle(short style);
  short GetBorderStyle() const;
  const plat::CPen* GetBorderPen() const;
  int SetFont(const plat::CFont* font);
  const plat::CFont* GetFont() const;
  const plat::CBitmap* GetBitmap() const;
  int SetAlignment(short align);
  short GetAlignment() const;
  int SetCellType(int index);
  int GetCellType() const;
  int SetCellTypeStyle(long style);
  long GetCellTypeStyle() const;
  int GetReadOnly() const;

  int SetJoinInfo(short origin, int colOffset, int rowOffset);
  int GetJoinInfo(short* origin, int* colOffset, int* rowOffset) const;

  bool IsPropertySet(std::uint32_t mask) const { return (mask_ & mask) != 0; }
  std::uint32_t GetPropertyMask() const { return mask_; }
  void SetPropertyMask(std::uint32_t mask) { mask_ = mask; }
  void ClearAll();

  void CopyInfoFrom(const CSGCell& source);
  void CopyInfoTo(CSGCell& dest) const { dest.CopyInfoFrom(*this); }
  void AddInfoFrom(const CSGCell& source);
  void AddInfoTo(CSGCell& dest) const { dest.AddInfoFrom(*this); }

 private:
  void CopyProperties(const CSGCell& source);

  std::uint32_t mask_ = 0;
  const void* format_ = nullptr;
  const CSGCell* styleCell_ = nullptr;
  std::string text_;
  std::string string2_;
  std::string label_;
  short dataType_ = SG_TEXT_DATA;
  int readOnly_ = 0;
  std::uint32_t value_ = 0;
  short decimals_ = 0;
  int typeIndex_ = 0;
  long typeStyle_ = 0;
  COLORREF textColor_ = 0;
  COLORREF backColor_ = 0;
  COLORREF hTextColor_ = 0;
  COLORREF hBackColor_ = 0;
  short borderStyle_ = 0;
  const plat::CPen* borderPen_ = nullptr;
  const plat::CFont* font_ = nullptr;
  const plat::CBitmap* bitmap_ = nullptr;
  short alignment_ = 0;
  std::vector<unsigned char> memory_;  // the extra memory block
  short joinOrigin_ = 0;
  int joinRowOffset_ = 0;
  int joinColOffset_ = 0;
};
