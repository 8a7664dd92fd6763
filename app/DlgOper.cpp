#include "app/DlgOper.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <algorithm>

#include "wincomp/grid/qt/SGQtWindows.h"

QSize DialogUnitsToPixels(const QFont& font, int cx, int cy) {
  // A dialog unit is a quarter of the font's average character width across and an
  // eighth of its height down.
  const QFontMetrics fm(font);
  const QString sample = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  const int avg = (fm.horizontalAdvance(sample) / 26 + 1) / 2;
  return QSize(cx * avg / 4, cy * fm.height() / 8);
}

CDlgOper::CDlgOper(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Options and Utilities");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  setModal(false);
  // The sheet covers the client area, so there is no background to erase.
  setAttribute(Qt::WA_OpaquePaintEvent);
  QFont f = font();
  f.setPointSize(10);
  setFont(f);
  move(0, 0);
  resize(DialogUnitsToPixels(f, 319, 262));
}

CDlgOper::~CDlgOper() = default;

bool CDlgOper::Create() { return OnCreate() == 0; }

int CDlgOper::OnCreate() {
  if (m_Grid.IsWindow()) return 0;
  return SGCreateGrid(m_Grid, this, rect(), kGridId) ? 0 : -1;
}

void CDlgOper::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (m_bFitted || !m_Grid.IsWindow() || m_Grid.GetSheetCount() < CGridFun::kSheets) return;
  if (m_Grid.GetRowCount() < 1) return;  // not laid out yet
  m_bFitted = true;
  int w = m_Grid.NeededWidth();
  if (const QScreen* s = screen())
    w = std::min(w, s->availableGeometry().width() - (frameGeometry().width() - width()));
  if (w > width()) resize(w, height());
}

void CDlgOper::resizeEvent(QResizeEvent* e) {
  QDialog::resizeEvent(e);
  if (m_Grid.IsWindow()) {
    m_Grid.MoveWindow(RECT{0, 0, width(), height()});
    m_Grid.RedrawAll();
  }
}
