#include "wincomp/maskededit/WCMaskedEdit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>

#include "platform/UiServices.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsPrintable(char c) { return c >= 32 && c <= 126; }

// Text bytes of the widget: Latin-1, with characters beyond it made a byte that no
// position accepts.
std::string ToBytes(const QString& s) {
  std::string out;
  out.reserve(static_cast<std::size_t>(s.size()));
  for (QChar c : s) out += c.unicode() < 256 ? static_cast<char>(c.unicode()) : '\x7f';
  return out;
}
QString FromBytes(const std::string& s) {
  return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

// The first character of `format` that is neither a field letter nor blank nor quoted:
// the separator the locale puts between its fields.
char SeparatorOf(const QString& format, char fallback) {
  for (QChar c : format) {
    if (c.isLetter() || c.isSpace() || c == QLatin1Char('\'')) continue;
    return c.unicode() < 256 ? static_cast<char>(c.unicode()) : fallback;
  }
  return fallback;
}
char FirstChar(const QString& s, char fallback) {
  if (s.isEmpty() || s.at(0).unicode() >= 256) return fallback;
  return static_cast<char>(s.at(0).unicode());
}

}  // namespace

BOOL CMaskData::IsValidChar(char ch) const {
  switch (m_eType) {
    case Digit:
      return IsDigit(ch);
    case AlphaNumeric:
      return IsDigit(ch) || IsAlpha(ch);
    case Alpha:
    case AlphaUpper:
    case AlphaLower:
      return IsAlpha(ch);
    case Character:
      return IsPrintable(ch);
    default:
      return FALSE;
  }
}

char CMaskData::ConvertChar(char ch) const {
  if (m_eType == AlphaUpper && ch >= 'a' && ch <= 'z') return static_cast<char>(ch - 'a' + 'A');
  if (m_eType == AlphaLower && ch >= 'A' && ch <= 'Z') return static_cast<char>(ch - 'A' + 'a');
  return ch;
}

CWCMaskedEdit::CWCMaskedEdit(QWidget* parent) : QLineEdit(parent) {
  // Separators of the user's locale (its first character each).
  const QLocale loc;
  m_chDecimal = FirstChar(loc.decimalPoint(), m_chDecimal);
  m_chThousands = FirstChar(loc.groupSeparator(), m_chThousands);
  m_chTime = SeparatorOf(loc.timeFormat(QLocale::ShortFormat), m_chTime);
  m_chDate = SeparatorOf(loc.dateFormat(QLocale::ShortFormat), m_chDate);
  // Dropped text would bypass the mask.
  setAcceptDrops(false);
}

CWCMaskedEdit::~CWCMaskedEdit() = default;

void CWCMaskedEdit::OnInvalidInput() { plat::MessageBeep(MB_ICONEXCLAMATION); }

BOOL CWCMaskedEdit::OnValidate() { return TRUE; }

void CWCMaskedEdit::SetMask(const std::string& mask) {
  m_arrMask.clear();
  for (std::size_t i = 0; i < mask.size(); ++i) {
    CMaskData d;
    const char c = mask[i];
    switch (c) {
      case '.':
        d.m_eType = CMaskData::DecimalSeparator, d.m_chValue = m_chDecimal;
        break;
      case ',':
        d.m_eType = CMaskData::ThousandsSeparator, d.m_chValue = m_chThousands;
        break;
      case ':':
        d.m_eType = CMaskData::TimeSeparator, d.m_chValue = m_chTime;
        break;
      case '/':
        d.m_eType = CMaskData::DateSeparator, d.m_chValue = m_chDate;
        break;
      case '#':
        d.m_eType = CMaskData::Digit;
        break;
      case 'A':
        d.m_eType = CMaskData::AlphaNumeric;
        break;
      case '?':
        d.m_eType = CMaskData::Alpha;
        break;
      case '>':
        d.m_eType = CMaskData::AlphaUpper;
        break;
      case '<':
        d.m_eType = CMaskData::AlphaLower;
        break;
      case '&':
        d.m_eType = CMaskData::Character;
        break;
      case '\\':
        if (i + 1 < mask.size()) {
          d.m_eType = CMaskData::LiteralEscaped;
          d.m_chValue = mask[++i];
        } else {
          // Nothing follows to fix: the backslash stands for itself.
          d.m_eType = CMaskData::Literal;
          d.m_chValue = '\\';
        }
        break;
      default:
        d.m_eType = CMaskData::Literal, d.m_chValue = c;
        break;
    }
    if (d.IsInputPosition()) d.m_chValue = m_chPrompt;
    m_arrMask.push_back(d);
  }
  Update(0);
  setModified(false);
}

BOOL CWCMaskedEdit::FillInput(const std::string& text, int keepFirst, BOOL promptAllowed) {
  std::string s = GetInputData();
  s.resize(std::min<std::size_t>(s.size(), static_cast<std::size_t>(std::max(keepFirst, 0))));
  for (char c : text)
    if (promptAllowed || c != m_chPrompt) s += c;
  BOOL ok = TRUE;
  std::size_t j = 0;
  for (CMaskData& d : m_arrMask) {
    if (!d.IsInputPosition()) continue;
    d.m_chValue = m_chPrompt;
    while (j < s.size()) {
      const char c = s[j++];
      if (c == m_chPrompt) {
        d.m_chValue = c;
        break;
      }
      if (d.IsValidChar(c)) {
        d.m_chValue = d.ConvertChar(c);
        break;
      }
      ok = FALSE;
    }
  }
  return ok;
}

BOOL CWCMaskedEdit::SetInputData(const std::string& text, int keepFirst, BOOL promptAllowed) {
  const BOOL ok = FillInput(text, keepFirst, promptAllowed);
  Update(0);
  return ok;
}

std::string CWCMaskedEdit::GetInputData() const {
  if (!HasMask()) return ToBytes(text());
  std::string s;
  for (const CMaskData& d : m_arrMask)
    if (d.IsInputPosition()) s += d.m_chValue;
  return s;
}

std::string CWCMaskedEdit::GetMaskedText() const {
  std::string s;
  for (const CMaskData& d : m_arrMask) s += d.m_chValue;
  return s;
}

void CWCMaskedEdit::EmptyData() {
  if (HasMask())
    m_arrMask.clear();
  else
    SetWindowText(std::string());
}

BOOL CWCMaskedEdit::IsInputPosition(int pos) const {
  if (pos < 0) return FALSE;
  if (!HasMask()) return TRUE;
  return pos < static_cast<int>(m_arrMask.size()) && m_arrMask[pos].IsInputPosition();
}

BOOL CWCMaskedEdit::IsInputEmpty() const {
  if (!HasMask()) return text().isEmpty();
  for (const CMaskData& d : m_arrMask)
    if (d.IsInputPosition() && d.m_chValue != m_chPrompt) return FALSE;
  return TRUE;
}

void CWCMaskedEdit::Update(int caret) {
  ++m_nUpdateDepth;
  SetWindowText(GetMaskedText());
  --m_nUpdateDepth;
  setModified(true);
  if (caret >= 0) SetCaretToInput(caret);
}

int CWCMaskedEdit::DeleteRange(int first, int end) {
  const int n = static_cast<int>(m_arrMask.size());
  first = std::max(first, 0);
  end = std::min(end, n);
  std::string rest;
  int count = 0;
  for (int i = 0; i < n; ++i) {
    if (!m_arrMask[i].IsInputPosition()) continue;
    if (i >= first && i < end)
      ++count;
    else
      rest += m_arrMask[i].m_chValue;
  }
  if (count > 0) FillInput(rest, 0, TRUE);
  return count;
}

int CWCMaskedEdit::InsertAt(int pos, char ch) {
  const int n = static_cast<int>(m_arrMask.size());
  int at = std::max(pos, 0);
  while (at < n && !m_arrMask[at].IsInputPosition()) ++at;
  if (at >= n) return -1;
  int index = 0;  // the input character's index in the input data
  for (int i = 0; i < at; ++i)
    if (m_arrMask[i].IsInputPosition()) ++index;
  const std::string before = GetInputData();
  std::string s = before;
  s.insert(static_cast<std::size_t>(index), 1, ch);
  s.resize(before.size());
  if (FillInput(s, 0, TRUE)) return at;
  FillInput(before, 0, TRUE);
  return -1;
}

int CWCMaskedEdit::SetInputChar(int pos, char ch) {
  if (pos < 0 || !HasMask() || pos >= static_cast<int>(m_arrMask.size()) ||
      !m_arrMask[pos].IsInputPosition())
    return pos;
  CMaskData& d = m_arrMask[pos];
  if (ch != m_chPrompt && !d.IsValidChar(ch)) return -1;
  d.m_chValue = d.ConvertChar(ch);
  return pos;
}

void CWCMaskedEdit::SetCaret(int pos) { setCursorPosition(pos); }

void CWCMaskedEdit::SetCaretToInput(int pos) {
  const int n = static_cast<int>(m_arrMask.size());
  int at = std::max(pos, 0);
  while (at < n && !m_arrMask[at].IsInputPosition()) ++at;
  at = std::min(at, n);
  if (m_bAutoTab && at == n) {
    // Past the last input position the focus moves on to the next control, when there
    // is another one.
    QWidget* next = nextInFocusChain();
    while (next && next != this &&
           !(next->focusPolicy() & Qt::TabFocus && next->isEnabled() && next->isVisible()))
      next = next->nextInFocusChain();
    if (next && next != this) {
      next->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  SetCaret(at);
}

void CWCMaskedEdit::SetCaretBackward(int pos) {
  const int n = static_cast<int>(m_arrMask.size());
  if (IsInputPosition(pos) && pos < n) {
    SetCaret(pos);
    return;
  }
  for (int i = std::min(pos, n) - 1; i >= 0; --i)
    if (m_arrMask[i].IsInputPosition()) {
      SetCaret(i + 1);
      return;
    }
  int at = std::max(pos, 0);
  while (at < n && !m_arrMask[at].IsInputPosition()) ++at;
  SetCaret(std::min(at, n));
}

int CWCMaskedEdit::GetNextPromptPosition(int pos) const {
  const int n = static_cast<int>(m_arrMask.size());
  for (int i = std::max(pos, 0); i < n; ++i)
    if (m_arrMask[i].IsInputPosition() && m_arrMask[i].m_chValue == m_chPrompt) return i;
  return n;
}

void CWCMaskedEdit::NotifyParent(UINT code) {
  if (m_fnCommand) m_fnCommand(m_nID, code);
}

std::string CWCMaskedEdit::StripLiterals(const std::string& text) const {
  const int n = static_cast<int>(m_arrMask.size());
  std::vector<bool> drop(text.size(), false);
  int i = 0;
  while (i < n) {
    if (m_arrMask[i].IsInputPosition()) {
      ++i;
      continue;
    }
    const int runStart = i;
    while (i < n && !m_arrMask[i].IsInputPosition()) ++i;
    if (i >= n) break;  // the run does not end before an input position
    bool same = i <= static_cast<int>(text.size());
    for (int k = runStart; same && k < i; ++k) same = text[k] == m_arrMask[k].m_chValue;
    if (same)
      for (int k = runStart; k < i; ++k) drop[k] = true;
  }
  std::string out;
  for (std::size_t k = 0; k < text.size(); ++k)
    if (!drop[k]) out += text[k];
  return out;
}

BOOL CWCMaskedEdit::SetWindowText(const std::string& text) {
  if (!Masked() || m_nUpdateDepth > 0) {
    setText(FromBytes(text));
    NotifyParent(EN_UPDATE);
    if (m_bChangeNotify) NotifyParent(EN_CHANGE);
    return TRUE;
  }
  m_bChangeNotify = FALSE;
  SetInputData(StripLiterals(text), 0, TRUE);
  m_bChangeNotify = TRUE;
  return TRUE;
}

std::string CWCMaskedEdit::GetWindowText() const { return ToBytes(text()); }

void CWCMaskedEdit::GetSel(int* start, int* end) const {
  if (hasSelectedText()) {
    *start = selectionStart();
    *end = *start + static_cast<int>(selectionLength());
  } else {
    *start = *end = cursorPosition();
  }
}

void CWCMaskedEdit::OnChar(char ch) {
  int s = 0, e = 0;
  GetSel(&s, &e);
  const int n = static_cast<int>(m_arrMask.size());
  if (ch == '\b') {
    if (s == e && s == 0) return;
    int a = s == e ? s - 1 : s;
    int b = s == e ? s : e;
    bool grow = s != e;
    while (a >= 0) {
      if (DeleteRange(a, b) > 0) {
        Update(a);
        return;
      }
      if (grow)
        grow = false;
      else
        --b;
      --a;
    }
    return;
  }
  if (!IsPrintable(ch)) return;
  int at = s;
  if (s != e) {
    bool hasInput = false;
    for (int i = s; i < e && i < n; ++i) hasInput = hasInput || m_arrMask[i].IsInputPosition();
    if (!hasInput) {
      OnInvalidInput();
      SetCaretToInput(s);
      return;
    }
    DeleteRange(s, e);
    at = InsertAt(s, ch);
  } else if (IsInputPosition(s)) {
    at = m_bInsertMode ? InsertAt(s, ch) : SetInputChar(s, ch);
  } else {
    OnInvalidInput();
    SetCaretToInput(s);
    return;
  }
  if (at < 0) {
    OnInvalidInput();
    Update(-1);
    SetCaret(s);
    return;
  }
  Update(at + 1);
}

void CWCMaskedEdit::OnCut() {
  int s = 0, e = 0;
  GetSel(&s, &e);
  if (s != e) copy();
  DeleteRange(s, e);
  Update(s);
}

void CWCMaskedEdit::OnClear() {
  int s = 0, e = 0;
  GetSel(&s, &e);
  DeleteRange(s, e);
  Update(s);
}

void CWCMaskedEdit::OnPaste() {
  int s = 0, e = 0;
  GetSel(&s, &e);
  QLineEdit::paste();
  // The pasted text with the rest of the line fills the input again; literals and
  // characters a position rejects are skipped, so the input closes up.
  FillInput(ToBytes(text()), 0, FALSE);
  Update(-1);
  SetCaret(GetNextPromptPosition(s));
}

void CWCMaskedEdit::keyPressEvent(QKeyEvent* e) {
  if (!Masked()) {
    QLineEdit::keyPressEvent(e);
    return;
  }
  e->accept();
  if (e->matches(QKeySequence::Cut)) return OnCut();
  if (e->matches(QKeySequence::Paste)) return OnPaste();
  if (e->matches(QKeySequence::Copy)) return copy();
  if (e->matches(QKeySequence::Undo) || e->matches(QKeySequence::Redo)) return;
  const bool shift = e->modifiers() & Qt::ShiftModifier;
  int s = 0, end = 0;
  switch (e->key()) {
    case Qt::Key_Delete: {
      GetSel(&s, &end);
      const int n = static_cast<int>(m_arrMask.size());
      if (s >= n) return;
      int a = s, b = s == end ? s + 1 : end;
      while (true) {
        if (DeleteRange(a, b) > 0) {
          Update(a);
          return;
        }
        if (b >= n) return;
        ++a, ++b;
      }
    }
    case Qt::Key_Insert:
      m_bInsertMode = !m_bInsertMode;
      return;
    case Qt::Key_Home:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Up: {
      // A single-line edit moves along its line for Up and Down too.
      const bool forward =
          e->key() == Qt::Key_Home || e->key() == Qt::Key_Right || e->key() == Qt::Key_Down;
      int key = e->key();
      if (key == Qt::Key_Down) key = Qt::Key_Right;
      if (key == Qt::Key_Up) key = Qt::Key_Left;
      QKeyEvent moved(QEvent::KeyPress, key, e->modifiers(), e->text());
      QLineEdit::keyPressEvent(&moved);
      if (shift) return;
      GetSel(&s, &end);
      if (forward)
        SetCaretToInput(s);
      else
        SetCaretBackward(s);
      return;
    }
    case Qt::Key_Backspace:
      return OnChar('\b');
    default:
      break;
  }
  const QString t = e->text();
  if (t.size() == 1 && t.at(0).unicode() >= 32 && t.at(0).unicode() != 127 &&
      !(e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
    const std::string b = ToBytes(t);
    // A character outside 32..126 is offered too: every position rejects it.
    if (IsPrintable(b[0]))
      OnChar(b[0]);
    else {
      OnInvalidInput();
      int s2 = 0, e2 = 0;
      GetSel(&s2, &e2);
      SetCaretToInput(s2);
    }
    return;
  }
  // Anything else is the line edit's (movement, selection, Enter and Escape for the
  // dialog); an editing key of its own must not change the text behind the mask's back.
  e->ignore();
  QLineEdit::keyPressEvent(e);
  if (ToBytes(text()) != GetMaskedText()) {
    const int caret = cursorPosition();
    Update(-1);
    SetCaret(std::min(caret, static_cast<int>(m_arrMask.size())));
  }
}

void CWCMaskedEdit::inputMethodEvent(QInputMethodEvent* e) {
  if (!Masked()) {
    QLineEdit::inputMethodEvent(e);
    return;
  }
  // Composed text arrives as typed characters.
  for (char c : ToBytes(e->commitString())) OnChar(c);
  e->accept();
}

void CWCMaskedEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  if (!Masked()) return;
  // Tabbing in selects the whole text: the caret goes to the first input position.
  if (hasSelectedText() && selectionStart() == 0 && selectionLength() == text().size())
    SetCaretToInput(0);
}

void CWCMaskedEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  // A popup (the context menu) takes the focus only for a moment.
  if (!Masked() || e->reason() == Qt::PopupFocusReason) return;
  MaskedEditValidateNotify n;
  n.hdr.hwndFrom = this;
  n.hdr.idFrom = m_nID;
  n.hdr.code = MEN_VALIDATE;
  if (m_fnValidate) m_fnValidate(&n);
  if (n.bValid && !n.bDefaultValidation) return;
  if (n.bValid && OnValidate()) return;
  setFocus(Qt::OtherFocusReason);
  OnInvalidInput();
  SetCaretToInput(n.nPosition);
}

void CWCMaskedEdit::mousePressEvent(QMouseEvent* e) {
  if (Masked() && !hasFocus() && IsInputEmpty()) {
    setFocus(Qt::MouseFocusReason);
    SetCaretToInput(0);
    e->accept();
    return;
  }
  QLineEdit::mousePressEvent(e);
}

void CWCMaskedEdit::contextMenuEvent(QContextMenuEvent* e) {
  if (!Masked()) {
    QLineEdit::contextMenuEvent(e);
    return;
  }
  // The menu's editing commands go through the mask; undo would bring back text the
  // mask no longer holds, so it is not offered.
  QMenu* menu = createStandardContextMenu();
  for (QAction* a : menu->actions()) {
    const QString name = a->objectName();
    if (name == QLatin1String("edit-cut")) {
      QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
      connect(a, &QAction::triggered, this, [this] { OnCut(); });
    } else if (name == QLatin1String("edit-paste")) {
      QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
      connect(a, &QAction::triggered, this, [this] { OnPaste(); });
    } else if (name == QLatin1String("edit-delete")) {
      QObject::disconnect(a, &QAction::triggered, nullptr, nullptr);
      connect(a, &QAction::triggered, this, [this] { OnClear(); });
    } else if (name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo")) {
      a->setVisible(false);
    }
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(e->globalPos());
}
