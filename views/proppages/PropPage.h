// Property pages of the plot views and the modal sheet that shows them. A page keeps its
// values in plain members: its user fills them before the sheet opens and takes them back
// only when the sheet ends with OK. Controls carry their resource ids as object names
// ("1002", "1640", ...) so that tests and the layout can find them.
#pragma once
#include <string>
#include <vector>

class QWidget;

// One page of a modal property sheet: builds its controls and reads them back.
class CPropPage {
 public:
  virtual ~CPropPage() = default;
  virtual std::string Caption() const = 0;
  virtual QWidget* Create() = 0;
  // Reads the controls into the fields; false (after the range message) keeps the sheet
  // open.
  virtual bool Save() = 0;
  // The page's closing work, run only after every page of the sheet has read its fields
  // without a refusal.
  virtual void OnOK() {}
};

// A modal property sheet of `pages` captioned `caption`: IDOK or IDCANCEL.
int PropSheet_DoModal(const std::string& caption, const std::vector<CPropPage*>& pages,
                      QWidget* parent = nullptr);

// Kinds of fields of the table-driven pages.
enum class PPType { Uint, Int, Byte, Float, Double, Check, Text };

// One field: its control id, the label beside it, where its value lives, and its range
// (checked right after the field is read). Text fields hold at most maxLen characters.
struct PPField {
  int id;
  const char* label;
  PPType type;
  void* value;
  bool ranged = false;
  double lo = 0;
  double hi = 0;
  int maxLen = 0;
};

// The framework's messages for a field that does not parse or lies outside its range.
std::string PP_ParseMessage(PPType type);
std::string PP_RangeMessage(PPType type, double lo, double hi);

// A page laid out from a table of fields, exchanged in the table's order.
class CPropPageFields : public CPropPage {
 public:
  QWidget* Create() override;
  bool Save() override { return UpdateData(true); }
  // Writes the fields into the controls (save false) or reads them back in table order;
  // a field that does not parse or lies outside its range stops the reading with the
  // framework's message and the focus on its control, and the fields keep their values.
  bool UpdateData(bool save);
  QWidget* Page() const { return m_pPage; }

 protected:
  virtual std::vector<PPField> Fields() = 0;
  // Fields laid out side by side after one label, in the order given, at the place of the
  // first of them in the table; the exchange still runs in the table's order.
  struct SharedRow {
    const char* label;
    std::vector<int> ids;
  };
  virtual std::vector<SharedRow> SharedRows() { return {}; }
  // Extra work once the controls exist and hold the fields.
  virtual void OnInitPage() {}
  QWidget* m_pPage = nullptr;
};
