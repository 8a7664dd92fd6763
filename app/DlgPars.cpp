#include "app/DlgPars.h"

#include <QKeyEvent>

#include "app/DlgOper.h"
#include "platform/UiServices.h"
#include "wincomp/grid/SGGrid.h"
#include "wincomp/grid/qt/SGQtWindows.h"

CDlgPars::CDlgPars(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  // The sheet covers the client area, so there is no background to erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  QFont f("MS Shell Dlg");
  f.setPointSize(8);
  setFont(f);
  setFixedSize(DialogUnitsToPixels(f, 444, 190));
  setWindowTitle("Parameters");
}

CDlgPars::~CDlgPars() = default;

int CDlgPars::OnCreate() {
  if (m_Grid.IsWindow()) return 0;
  if (!SGCreateGrid(m_Grid, this, rect(), kGridId)) return -1;
  if (QWidget* cells = m_Grid.m_CUGGrid ? SGWidgetOf(*m_Grid.m_CUGGrid) : nullptr)
    cells->installEventFilter(this);
  return 0;
}

bool CDlgPars::OnInitDialog() {
  setWindowTitle(QString::fromStdString(m_strCaption));
  return true;
}

int CDlgPars::DoModal() {
  if (OnCreate() != 0) return IDCANCEL;
  OnInitDialog();
  if (QWidget* cells = m_Grid.m_CUGGrid ? SGWidgetOf(*m_Grid.m_CUGGrid) : nullptr)
    cells->setFocus();
  return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CDlgPars::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  if (m_Grid.IsWindow()) {
    m_Grid.MoveWindow(RECT{0, 0, width(), height()});
    m_Grid.RedrawAll();
  }
}

bool CDlgPars::CloseOnKey(int key) {
  if (m_Grid.m_editInProgress) return false;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    accept();
    return true;
  }
  if (key == Qt::Key_Escape) {
    reject();
    return true;
  }
  return false;
}

void CDlgPars::keyPressEvent(QKeyEvent* e) {
  if (!CloseOnKey(e->key())) QDialog::keyPressEvent(e);
}

bool CDlgPars::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && CloseOnKey(static_cast<QKeyEvent*>(e)->key())) return true;
  return QDialog::eventFilter(watched, e);
}
