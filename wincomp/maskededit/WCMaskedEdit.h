// A single-line edit that accepts input only where its mask allows it. The text always
// has the mask's length: literal characters stand fixed, and every input position holds
// an accepted character or the prompt character. Typing inserts (moving later input
// right) or overtypes; Delete and Backspace close the input up over the literals; cut,
// clear and paste refill the input positions, so that the text on screen always mirrors
// the input held by the positions.
//
// Mask characters: "." "," ":" "/" are the user's decimal, thousands, time and date
// separators; "#" a digit, "A" a letter or digit, "?" a letter, ">" a letter stored in
// upper case, "<" one stored in lower case, "&" any printable character; "\" fixes the
// character after it (a final single "\" stands for itself); anything else is a literal.
//
// Characters are 8-bit; only the ASCII digits and letters count as such, and no
// character from 128 up is accepted anywhere. Without a mask, or read-only, the control
// is a plain line edit.
#pragma once
#include <QLineEdit>
#include <functional>
#include <string>
#include <vector>

#include "platform/WinTypes.h"
#include "platform/qt/CmdTarget.h"

// Notification codes of edit controls.
constexpr UINT EN_KILLFOCUS = 0x0200;
constexpr UINT EN_CHANGE = 0x0300;
constexpr UINT EN_UPDATE = 0x0400;
// The validation notification a masked edit sends its parent when it loses the focus.
constexpr UINT MEN_VALIDATE = 0x8136;

class CWCMaskedEdit;

// The common notification header: who sends, its id and the code.
struct NMHDR {
  CWCMaskedEdit* hwndFrom = nullptr;
  UINT idFrom = 0;
  UINT code = 0;
};

// Sent on focus loss. The parent clears bValid to reject the input, or clears
// bDefaultValidation to accept it without the control's own check; on rejection the
// caret goes to the input position at or after nPosition.
struct MaskedEditValidateNotify {
  NMHDR hdr;
  BOOL bValid = TRUE;
  BOOL bDefaultValidation = TRUE;
  int nPosition = 0;
};

// One position of a mask: its type code and its character (an input position's current
// character or the prompt; any other position's fixed character).
class CMaskData : public plat::CObject {
 public:
  enum Type : int {
    DecimalSeparator = 0,
    ThousandsSeparator = 1,
    TimeSeparator = 2,
    DateSeparator = 3,
    Digit = 4,
    AlphaNumeric = 5,
    Alpha = 6,
    AlphaUpper = 7,
    AlphaLower = 8,
    Character = 9,
    LiteralEscaped = 10,
    Literal = 11,
  };

  bool IsInputPosition() const { return m_eType >= Digit && m_eType <= Character; }
  // Whether an input position of this type accepts `ch`.
  BOOL IsValidChar(char ch) const;
  // `ch` in upper or lower case for the case-changing types, else unchanged.
  char ConvertChar(char ch) const;

  int m_eType = Literal;
  char m_chValue = 0;
};

class CWCMaskedEdit : public QLineEdit {
 public:
  explicit CWCMaskedEdit(QWidget* parent = nullptr);
  ~CWCMaskedEdit() override;

  // Called on every rejected key: beeps with the exclamation sound.
  virtual void OnInvalidInput();
  // The control's own check when it loses the focus.
  virtual BOOL OnValidate();

  // Replaces the mask; every input position starts with the prompt.
  void SetMask(const std::string& mask);
  // Fills the input positions: the current input cut to its first `keepFirst`
  // characters, then `text` (its prompt characters left out unless `promptAllowed`).
  // Rejected characters are skipped (the result is then FALSE); positions left over get
  // the prompt, characters left over are dropped. Shows the text with the caret on the
  // first input position.
  BOOL SetInputData(const std::string& text, int keepFirst = 0, BOOL promptAllowed = TRUE);
  // The characters of the input positions (prompts included), or the text without a mask.
  std::string GetInputData() const;
  // Every position's character: the text shown.
  std::string GetMaskedText() const;
  // With a mask, deletes every position (the control is then unmasked); without one,
  // empties the text.
  void EmptyData();
  BOOL IsInputPosition(int pos) const;
  BOOL IsInputEmpty() const;
  bool HasMask() const { return !m_arrMask.empty(); }

  // Shows the masked text; with caret >= 0 puts the caret on the first input position
  // at or after it.
  void Update(int caret = -1);
  // Deletes the input positions in [first, end), closing the later input up; returns
  // how many input positions lay in the range.
  int DeleteRange(int first, int end);
  // Inserts `ch` before the first input position at or after `pos`, the last input
  // character falling off. Returns where `ch` went, or -1 (nothing changes then).
  int InsertAt(int pos, char ch);
  // Stores `ch` at `pos`. A position that is no input position is returned unchanged;
  // -1 when the position rejects `ch`.
  int SetInputChar(int pos, char ch);
  void SetCaretToInput(int pos);
  void SetCaretBackward(int pos);
  int GetNextPromptPosition(int pos) const;
  // Sends `code` (EN_UPDATE, EN_CHANGE) to the parent's command handler.
  void NotifyParent(UINT code);
  // `text` without the mask's literal runs where it holds them at their own place.
  std::string StripLiterals(const std::string& text) const;

  // Sets the text from outside: with a mask, literal runs are stripped and the rest
  // fills the input positions.
  BOOL SetWindowText(const std::string& text);
  std::string GetWindowText() const;

  BOOL GetInsertMode() const { return m_bInsertMode; }
  void SetInsertMode(BOOL on) { m_bInsertMode = on; }
  char GetPromptChar() const { return m_chPrompt; }
  void SetAutoTab(BOOL on) { m_bAutoTab = on; }
  UINT GetDlgCtrlID() const { return m_nID; }
  void SetDlgCtrlID(UINT id) { m_nID = id; }
  // The separators the mask characters "." "," ":" "/" stand for.
  char GetDecimalSeparator() const { return m_chDecimal; }
  char GetThousandsSeparator() const { return m_chThousands; }
  char GetTimeSeparator() const { return m_chTime; }
  char GetDateSeparator() const { return m_chDate; }

  // The parent's side: EN_* codes with the control's id, and the validation record.
  std::function<void(UINT id, UINT code)> m_fnCommand;
  std::function<void(MaskedEditValidateNotify*)> m_fnValidate;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void inputMethodEvent(QInputMethodEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

  // The edit's typed-character handling (Backspace and printable characters).
  void OnChar(char ch);
  void OnCut();
  void OnClear();
  void OnPaste();

  std::vector<CMaskData> m_arrMask;
  BOOL m_bInsertMode = TRUE;
  char m_chPrompt = ' ';
  char m_chDecimal = '.';
  char m_chThousands = ',';
  char m_chTime = ':';
  char m_chDate = '/';
  BOOL m_bAutoTab = FALSE;
  int m_nUpdateDepth = 0;
  BOOL m_bChangeNotify = TRUE;
  UINT m_nID = 0;

 private:
  bool Masked() const { return HasMask() && !isReadOnly(); }
  // Fills the input positions as SetInputData does, without showing the text.
  BOOL FillInput(const std::string& text, int keepFirst, BOOL promptAllowed);
  void GetSel(int* start, int* end) const;
  void SetCaret(int pos);
};
