#include "views/timeseries/TSDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "platform/UiServices.h"
#include "views/proppages/PropPage.h"
#include "wincomp/maskededit/WChhmmssEdit.h"

namespace {

QLineEdit* AddEdit(QFormLayout* form, const char* label, int id, unsigned value) {
  auto* edit = new QLineEdit(QString::number(value));
  edit->setObjectName(QString::number(id));
  form->addRow(label, edit);
  return edit;
}

// An unsigned field, optionally within [lo, hi]; false after the framework's message.
bool ReadUint(QLineEdit* edit, unsigned* out, bool ranged = false, unsigned lo = 0,
              unsigned hi = 0) {
  bool ok = false;
  const long long v = edit->text().trimmed().toLongLong(&ok);
  if (!ok || v < 0 || v > 0xFFFFFFFFll) {
    plat::AfxMessageBox(PP_ParseMessage(PPType::Uint), MB_ICONEXCLAMATION);
    edit->setFocus();
    return false;
  }
  if (ranged && (v < lo || v > hi)) {
    plat::AfxMessageBox(PP_RangeMessage(PPType::Uint, lo, hi), MB_ICONEXCLAMATION);
    edit->setFocus();
    return false;
  }
  *out = static_cast<unsigned>(v);
  return true;
}

void AddButtons(QDialog* dlg, QLayout* layout, const char* cancelText,
                std::function<bool()> accept) {
  auto* box = new QDialogButtonBox;
  QPushButton* ok = box->addButton("OK", QDialogButtonBox::AcceptRole);
  ok->setObjectName("1");
  ok->setDefault(true);
  box->addButton(cancelText, QDialogButtonBox::RejectRole)->setObjectName("2");
  QObject::connect(box, &QDialogButtonBox::accepted, dlg, [dlg, accept] {
    if (accept()) dlg->accept();
  });
  QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
  layout->addWidget(box);
}

}  // namespace

int CDlgSetPeakTime::DoModal(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle("Asigne time to PEAK data ");
  auto* layout = new QVBoxLayout(&dlg);
  layout->addWidget(new QLabel("Asigne time to PEAK data from AE counter"));
  auto* form = new QFormLayout;
  layout->addLayout(form);
  QLineEdit* peak = AddEdit(form, "Start event number of PEAK:", 1038, m_nFirstPeak);
  QLineEdit* counter = AddEdit(form, "Start event number of AE count:", 1040, m_nFirstCounter);
  QLineEdit* choice = AddEdit(form, "AE counter (1 or 2):", 1024, m_nCounter);
  AddButtons(&dlg, layout, "Cancel", [&] {
    unsigned p, c, k;
    if (!ReadUint(peak, &p) || !ReadUint(counter, &c) || !ReadUint(choice, &k, true, 1, 2))
      return false;
    m_nFirstPeak = p;
    m_nFirstCounter = c;
    m_nCounter = k;
    return true;
  });
  return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

int CDlgCorrectPK::DoModal(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle("Correct dis-ordered PK data");
  auto* layout = new QVBoxLayout(&dlg);
  layout->addWidget(new QLabel("Corrects dis-odered PK data due to RESET by Tremvia"));
  auto* form = new QFormLayout;
  layout->addLayout(form);
  QLineEdit* index = AddEdit(form, "Index of the first disordered event:", 934, m_nIndex);
  auto* time1 = new CWChhmmssEdit;
  time1->setObjectName("906");
  form->addRow("Reset Time-1:", time1);
  auto* time2 = new CWChhmmssEdit;
  time2->setObjectName("918");
  form->addRow("Reset Time-2:", time2);
  QLineEdit* base = AddEdit(form, "Base Time (1/2):", 922, m_nBase);
  time1->SetTime(m_nHour1, m_nMinute1, m_nSecond1);
  time2->SetTime(m_nHour2, m_nMinute2, m_nSecond2);
  AddButtons(&dlg, layout, "Cancel", [&] {
    unsigned b, i;
    if (!ReadUint(base, &b, true, 1, 2) || !ReadUint(index, &i)) return false;
    m_nBase = b;
    m_nIndex = i;
    return true;
  });
  const int result = dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
  // The times are taken back however the dialog closed.
  time1->GetTime(m_nHour1, m_nMinute1, m_nSecond1);
  time2->GetTime(m_nHour2, m_nMinute2, m_nSecond2);
  return result;
}
