#include "views/wave/WaveDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "platform/Strings.h"
#include "platform/UiServices.h"

std::string WaveDlg_RangeMessage(double lo, double hi, bool integer) {
  return integer ? plat::Format("Please enter an integer between %.0f and %.0f.", lo, hi)
                 : plat::Format("Please enter a number between %g and %g.", lo, hi);
}

namespace {

QLineEdit* AddEdit(QFormLayout* form, const char* label, int id, const QString& value) {
  auto* edit = new QLineEdit(value);
  edit->setObjectName(QString::number(id));
  form->addRow(label, edit);
  return edit;
}

// Reads an integer or a number from an edit within [lo, hi]; on failure shows the range
// message and puts the focus on the edit.
bool ReadInt(QLineEdit* edit, int lo, int hi, int* out) {
  bool ok = false;
  const long long v = edit->text().trimmed().toLongLong(&ok);
  if (!ok || v < lo || v > hi) {
    plat::AfxMessageBox(WaveDlg_RangeMessage(lo, hi, true), MB_ICONEXCLAMATION);
    edit->setFocus();
    return false;
  }
  *out = static_cast<int>(v);
  return true;
}

bool ReadFloat(QLineEdit* edit, double lo, double hi, float* out) {
  bool ok = false;
  const double v = edit->text().trimmed().toDouble(&ok);
  if (!ok || v < lo || v > hi) {
    plat::AfxMessageBox(WaveDlg_RangeMessage(lo, hi, false), MB_ICONEXCLAMATION);
    edit->setFocus();
    return false;
  }
  *out = static_cast<float>(v);
  return true;
}

// OK runs `accept` and closes only when it returns true; the other button cancels.
void AddButtons(QDialog* dlg, QLayout* layout, const char* okText, const char* cancelText,
                std::function<bool()> accept) {
  auto* box = new QDialogButtonBox;
  QPushButton* ok = box->addButton(okText, QDialogButtonBox::AcceptRole);
  ok->setObjectName("1");
  ok->setDefault(true);
  if (cancelText) box->addButton(cancelText, QDialogButtonBox::RejectRole)->setObjectName("2");
  QObject::connect(box, &QDialogButtonBox::accepted, dlg, [dlg, accept] {
    if (accept()) dlg->accept();
  });
  QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
  layout->addWidget(box);
}

QString Num(float v) { return QString::number(static_cast<double>(v), 'g', 6); }

}  // namespace

int CDlgAEno::DoModal(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle("Specfy AE number");
  auto* layout = new QVBoxLayout(&dlg);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  QLineEdit* number = AddEdit(form, "AE number:", 902, QString::number(m_nAE));
  AddButtons(&dlg, layout, "OK", "CANCEL", [&] {
    int v;
    if (!ReadInt(number, 0, 1000000, &v)) return false;
    m_nAE = v;
    return true;
  });
  return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

int CDlgFind::DoModal(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle("Find Special Event");
  auto* layout = new QVBoxLayout(&dlg);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  QLineEdit* level1 = AddEdit(form, "Trg. Level:", 1091, QString::number(m_nLevel1));
  QLineEdit* count1 = AddEdit(form, "Trg. Num.:", 1092, QString::number(m_nCount1));
  QLineEdit* trace1 = AddEdit(form, "Trg.Trace(1-)", 1080, QString::number(m_nTrace1));
  auto* combine = new QComboBox;
  combine->setObjectName("1097");
  combine->addItems({"OR", "AND"});
  combine->setEditable(true);
  combine->setCurrentText(QString::fromStdString(m_strCombine));
  form->addRow("", combine);
  QLineEdit* level2 = AddEdit(form, "Trg. Level:", 1094, QString::number(m_nLevel2));
  QLineEdit* count2 = AddEdit(form, "Trg. Num.:", 1096, QString::number(m_nCount2));
  QLineEdit* trace2 = AddEdit(form, "Trg.Trace(1-)", 1093, QString::number(m_nTrace2));
  AddButtons(&dlg, layout, "OK", "Cancel", [&] {
    int l1, l2, c1, c2, t1, t2;
    if (!ReadInt(level1, 0, 65535, &l1) || !ReadInt(level2, 0, 65535, &l2) ||
        !ReadInt(count1, 1, 100, &c1) || !ReadInt(count2, 1, 100, &c2) ||
        !ReadInt(trace1, 1, 100, &t1) || !ReadInt(trace2, 1, 100, &t2))
      return false;
    const std::string word = combine->currentText().left(4).toStdString();
    m_nLevel1 = l1;
    m_nLevel2 = l2;
    m_nCount1 = c1;
    m_nCount2 = c2;
    m_nTrace1 = t1;
    m_nTrace2 = t2;
    m_strCombine = word;
    return true;
  });
  return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

CDlgFft::Visible CDlgFft::VisibleFields(int type) {
  return {type == 1, type != 0, type != 1, type != 1};
}

int CDlgFft::DoModal(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle("Filter design");
  auto* layout = new QVBoxLayout(&dlg);
  auto* group = new QGroupBox("Buterworth Filter");
  layout->addWidget(group);
  auto* form = new QFormLayout(group);
  auto* type = new QComboBox;
  type->setObjectName("1003");
  type->addItems({"Low-Pass", "High-Pass", "Band-Pass", "Band-Stop"});
  form->addRow(type);
  // The picture of the response: the edges fP < fL < fH < fS and the ripples Ap, As.
  auto* picture = new QPushButton("FILT");
  picture->setObjectName("1098");
  picture->setToolTip("fP < fL < fH < fS; Ap: pass-band ripple, As: stop-band attenuation");
  form->addRow(picture);
  QLineEdit* fP = AddEdit(form, "fP:", 1005, Num(m_fP));
  QLineEdit* fL = AddEdit(form, "fL:", 1042, Num(m_fL));
  QLineEdit* fH = AddEdit(form, "fH:", 1052, Num(m_fH));
  QLineEdit* fS = AddEdit(form, "fS:", 1056, Num(m_fS));
  QLineEdit* ap = AddEdit(form, "Ap:", 1060, Num(m_fAp));
  QLineEdit* as = AddEdit(form, "As:", 1068, Num(m_fAs));
  const auto applyVisibility = [=](int s) {
    const Visible v = VisibleFields(s);
    form->setRowVisible(fP, v.fP);
    form->setRowVisible(fL, v.fL);
    form->setRowVisible(fH, v.fH);
    form->setRowVisible(fS, v.fS);
  };
  type->setCurrentIndex(m_nType >= 0 && m_nType < 4 ? m_nType : 0);
  applyVisibility(type->currentIndex());
  QObject::connect(type, &QComboBox::currentIndexChanged, &dlg, [&, applyVisibility](int s) {
    m_nType = s;
    applyVisibility(s);
  });
  AddButtons(&dlg, layout, "OK", nullptr, [&] {
    float vAp, vAs, vH, vL, vP, vS;
    const double nyq = m_fNyq;
    if (!ReadFloat(ap, 0, 0.5, &vAp) || !ReadFloat(as, 1, 20, &vAs) ||
        !ReadFloat(fH, 0, nyq, &vH) || !ReadFloat(fL, 0, nyq, &vL) || !ReadFloat(fP, 0, nyq, &vP) ||
        !ReadFloat(fS, 0, nyq, &vS))
      return false;
    m_fAp = vAp;
    m_fAs = vAs;
    m_fH = vH;
    m_fL = vL;
    m_fP = vP;
    m_fS = vS;
    m_nType = type->currentIndex();
    return true;
  });
  return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CDlgLoad::DoModal(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle("Options for Waveform files");
  auto* layout = new QVBoxLayout(&dlg);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  QLineEdit* id = AddEdit(form, "Identifier Code:", 770, QString::fromStdString(m_strIdentifier));
  id->setMaxLength(8);
  QLineEdit* path = AddEdit(form, "Path for data file:", 771, QString::fromStdString(m_strPath));
  path->setMaxLength(64);
  QLineEdit* ae = AddEdit(form, "Starting AE Number:", 773, QString::number(m_nStartAE));
  QLineEdit* vel = AddEdit(form, "Starting VEL Number:", 774, QString::number(m_nStartVEL));
  QLineEdit* mc = AddEdit(form, "Saving  Mc(0-15):", 775, QString::number(m_nMc));
  AddButtons(&dlg, layout, "Ok", nullptr, [&] {
    int vAE, vVEL, vMc;
    if (!ReadInt(ae, -2147483647, 2147483647, &vAE) ||
        !ReadInt(vel, -2147483647, 2147483647, &vVEL) || !ReadInt(mc, 0, 15, &vMc))
      return false;
    m_nStartAE = vAE;
    m_nStartVEL = vVEL;
    m_nMc = vMc;
    return true;
  });
  dlg.exec();
  m_strIdentifier = id->text().toStdString();
  m_strPath = path->text().toStdString();
}

int CDlgShootRun::DoModal(QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle("Rename file as shooting runs");
  auto* layout = new QVBoxLayout(&dlg);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  auto* scan = new QCheckBox("Scan all following files in current folder ");
  scan->setObjectName("1074");
  scan->setChecked(m_bScanAll != 0);
  form->addRow(scan);
  QLineEdit* list = AddEdit(form, "Shooting PZTs:", 1070, QString::fromStdString(m_strPZT));
  QLineEdit* shoot = AddEdit(form, "Number of shoot:", 1072, QString::number(m_nShoot));
  AddButtons(&dlg, layout, "OK", "Cancel", [&] {
    int v;
    if (!ReadInt(shoot, 0, 10000, &v)) return false;
    m_nShoot = v;
    m_bScanAll = scan->isChecked() ? 1 : 0;
    m_strPZT = list->text().toStdString();
    return true;
  });
  return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
