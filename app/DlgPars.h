// The modal "Parameters" dialog through which an operation asks a few numbers before it
// runs: the opener fills the sheet's records, runs DoModal and, on IDOK only, reads them.
// Enter closes it with OK and Escape with Cancel, except while a cell is being edited.
#pragma once
#include <QDialog>
#include <string>

#include "app/KZ_GridPars.h"

class CDlgPars : public QDialog {
 public:
  static constexpr unsigned IDD = 313;
  static constexpr unsigned kGridId = 123;

  explicit CDlgPars(QWidget* parent = nullptr);
  ~CDlgPars() override;

  // Lays the sheet out from its records, shows the dialog and waits; IDOK or IDCANCEL.
  int DoModal();

  KZ_GridPars m_Grid;
  std::string m_strCaption;

 protected:
  int OnCreate();
  bool OnInitDialog();
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // Enter or Escape pressed while the sheet has the focus and no cell is being edited.
  bool CloseOnKey(int key);
};
