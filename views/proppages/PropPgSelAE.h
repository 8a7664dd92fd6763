// The "Selection" property page: a range of event numbers and the least location index
// (arrival count) an event needs. Its caller fills the fields, runs the sheet and takes
// the fields back only after OK.
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
};

// A modal property sheet of `pages` captioned `caption`: IDOK or IDCANCEL.
int PropSheet_DoModal(const std::string& caption, const std::vector<CPropPage*>& pages,
                      QWidget* parent = nullptr);

class CPropPgSelAE : public CPropPage {
 public:
  unsigned m_nFrom = 0;      // "From(AE#) :"
  unsigned m_nLocIndex = 0;  // "Location Index M>=?:"
  unsigned m_nTo = 0;        // "To(AE#) :"

  std::string Caption() const override { return "Selection"; }
  QWidget* Create() override;
  bool Save() override;

 private:
  QWidget* m_pPage = nullptr;
};
