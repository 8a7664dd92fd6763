// The "Options and Utilities" window: a modeless dialog filled entirely by the working
// sheet. It is made once and lives as long as the main frame; closing it only hides it.
#pragma once
#include <QDialog>

#include "app/GridFun.h"

// Dialog units of the "Options and Utilities" template in pixels, for its 10-point font.
QSize DialogUnitsToPixels(const QFont& font, int cx, int cy);

class CDlgOper : public QDialog {
 public:
  static constexpr unsigned IDD = 192;
  static constexpr unsigned kGridId = 123;

  explicit CDlgOper(QWidget* parent = nullptr);
  ~CDlgOper() override;

  // Makes the dialog's window and the working sheet inside it; false when the sheet's
  // window could not be made.
  bool Create();

  CGridFun m_Grid;

 protected:
  // The sheet is made as a child covering the whole client area.
  int OnCreate();
  void resizeEvent(QResizeEvent* e) override;
  // The first time it is shown with its tabs laid out, the dialog widens (within the
  // screen) to show every tab and the widest tab's columns.
  void showEvent(QShowEvent* e) override;

 private:
  bool m_bFitted = false;
};
