#include "views/wave/DlgInverse.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "aecore/catalogue/AEHypo.h"
#include "platform/UiServices.h"

namespace {
constexpr int kX = 904, kY = 916, kZ = 924, kVx = 926, kVy = 936, kVz = 940, kT0 = 956,
              kIndex = 984;
}

CDlgInverse::CDlgInverse(QWidget* parent) : QDialog(parent) {
  setWindowTitle("(fX, fY, fZ) <====>(Vx, Vy, Vz)");
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  layout->addLayout(row);
  const auto group = [&](const char* title, std::initializer_list<std::pair<const char*, int>> f) {
    auto* box = new QGroupBox(title);
    auto* form = new QFormLayout(box);
    for (const auto& [label, id] : f) {
      auto* e = new QLineEdit("0");
      e->setObjectName(QString::number(id));
      form->addRow(label, e);
    }
    row->addWidget(box);
  };
  group("Source", {{"X:", kX}, {"Y:", kY}, {"Z:", kZ}, {"T0:", kT0}});
  group("Velocity", {{"Vx:", kVx}, {"Vy:", kVy}, {"Vz:", kVz}});
  auto* buttons = new QHBoxLayout;
  layout->addLayout(buttons);
  const auto button = [&](const char* text, int id, void (CDlgInverse::*fn)()) {
    auto* b = new QPushButton(text);
    b->setObjectName(QString::number(id));
    buttons->addWidget(b);
    connect(b, &QPushButton::clicked, this, [this, fn] { (this->*fn)(); });
  };
  button("<", 962, &CDlgInverse::OnPrevious);
  auto* index = new QLineEdit("0");
  index->setObjectName(QString::number(kIndex));
  buttons->addWidget(index);
  button(">", 973, &CDlgInverse::OnNext);
  button("==>", 946, &CDlgInverse::OnInvert);
  button("<==", 950, &CDlgInverse::OnRelocate);
  button("Application", 957, &CDlgInverse::OnApply);
  auto* ok = new QPushButton("OK");
  ok->setObjectName("1");
  buttons->addWidget(ok);
  connect(ok, &QPushButton::clicked, this, [this] {
    ReadControls();
    hide();
  });
}

QLineEdit* CDlgInverse::Edit(int id) const { return findChild<QLineEdit*>(QString::number(id)); }

bool CDlgInverse::ReadControls() {
  float v[7];
  const int ids[7] = {kX, kY, kZ, kVx, kVy, kVz, kT0};
  for (int i = 0; i < 7; ++i) {
    bool ok = false;
    v[i] = Edit(ids[i])->text().trimmed().toFloat(&ok);
    if (!ok) {
      plat::AfxMessageBox("Please enter a number.", MB_ICONEXCLAMATION);
      return false;
    }
  }
  bool ok = false;
  const int index = Edit(kIndex)->text().trimmed().toInt(&ok);
  if (!ok) {
    plat::AfxMessageBox("Please enter an integer.", MB_ICONEXCLAMATION);
    return false;
  }
  m_fX = v[0], m_fY = v[1], m_fZ = v[2], m_fVx = v[3], m_fVy = v[4], m_fVz = v[5], m_fT0 = v[6];
  m_nIndex = index;
  return true;
}

void CDlgInverse::WriteControls() {
  const auto set = [this](int id, double v) { Edit(id)->setText(QString::number(v, 'g', 7)); };
  set(kX, m_fX), set(kY, m_fY), set(kZ, m_fZ), set(kVx, m_fVx), set(kVy, m_fVy), set(kVz, m_fVz),
      set(kT0, m_fT0);
  Edit(kIndex)->setText(QString::number(m_nIndex));
}

void CDlgInverse::ShowEvent() {
  AEHRecord* r = m_pHypo ? m_pHypo->GetCalibEvent(m_nIndex) : nullptr;
  if (!r) return;
  m_fX = r->fX, m_fY = r->fY, m_fZ = r->fZ, m_fT0 = r->fT0;
  m_fVx = r->fVx, m_fVy = r->fVy, m_fVz = r->fVz;
  WriteControls();
}

void CDlgInverse::StoreEvent() {
  AEHRecord* r = m_pHypo ? m_pHypo->GetCalibEvent(m_nIndex) : nullptr;
  if (!r || !ReadControls()) return;
  r = m_pHypo->GetCalibEvent(m_nIndex);  // the index field may have been edited
  if (!r) return;
  r->fX = m_fX, r->fY = m_fY, r->fZ = m_fZ, r->fT0 = m_fT0;
  r->fVx = m_fVx, r->fVy = m_fVy, r->fVz = m_fVz;
}

void CDlgInverse::ShowLastModel() {
  if (!m_pHypo) return;
  m_nEvents = static_cast<int>(m_pHypo->m_CalibList.size());
  m_nIndex = m_nEvents - 1;
  ShowEvent();
}

void CDlgInverse::OnInvert() {
  if (!m_pHypo || !m_pHypo->GetCalibEvent(m_nIndex) || !ReadControls()) return;
  StoreEvent();
  double v[3];
  if (!m_pHypo->InvertVelocity(v)) return;
  m_fVx = static_cast<float>(v[0]), m_fVy = static_cast<float>(v[1]),
  m_fVz = static_cast<float>(v[2]);
  WriteControls();
  plat::MessageBeep(0);
}

void CDlgInverse::OnRelocate() {
  if (!m_pHypo || !m_pHypo->GetCalibEvent(m_nIndex) || !ReadControls()) return;
  StoreEvent();
  AEHRecord* r = m_pHypo->GetCalibEvent(m_nIndex);
  if (!r) return;
  m_pHypo->m_Rec = *r;
  if (!m_pHypo->LocateCurrent()) return;
  *r = m_pHypo->m_Rec;
  ShowEvent();
  plat::MessageBeep(0);
}

void CDlgInverse::OnNext() {
  if (!m_pHypo || !m_pHypo->GetCalibEvent(m_nIndex)) return;
  StoreEvent();
  m_nIndex = m_nIndex + 1 >= m_nEvents ? 0 : m_nIndex + 1;
  ShowEvent();
}

void CDlgInverse::OnPrevious() {
  if (!m_pHypo || !m_pHypo->GetCalibEvent(m_nIndex)) return;
  StoreEvent();
  m_nIndex = m_nIndex - 1 < 0 ? m_nEvents - 1 : m_nIndex - 1;
  ShowEvent();
}

void CDlgInverse::OnApply() {
  if (!m_pHypo) return;
  // The members as they stand: an edit not yet taken by another button is not applied.
  m_pHypo->m_dVCalib[0] = m_fVx;
  m_pHypo->m_dVCalib[1] = m_fVy;
  m_pHypo->m_dVCalib[2] = m_fVz;
  plat::MessageBeep(0);
}
