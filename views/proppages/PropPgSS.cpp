#include "views/proppages/PropPgSS.h"

#include <QFormLayout>
#include <QListWidget>
#include <cstring>

#include "base/series/KZ_TSdata.h"

std::vector<PPField> CPropPgSS::Fields() {
  return {{1048, "Strain: max", PPType::Int, &m_nStrainMax, true, 100, 50000},
          {1076, "Strain: min", PPType::Int, &m_nStrainMin, true, -50000, 0},
          {1104, "Stress: max", PPType::Int, &m_nStressMax, true, 1, 20000},
          {1460, "Max AE no:", PPType::Uint, &m_nAEMax, true, 10, 1000000},
          {1630, "Offset(s):", PPType::Double, &m_fOffset},
          {1515, "Fault Dipping:", PPType::Float, &m_fFaultDip, true, 0, 90},
          {1646, "Flag(1-A,2-C, 4-V,8-M):", PPType::Uint, &m_nStrainFlags, true, 0, 15},
          {1084, "AE num.", PPType::Check, &m_bAECurve},
          {1088, "Shear St.", PPType::Check, &m_bShear},
          {1111, "P. Press.: max", PPType::Float, &m_fPPMax, true, 0.5, 100},
          {1106, "Stress: min", PPType::Int, &m_nStressMin, true, -2000, 1000},
          {1112, "P. Press.: min", PPType::Float, &m_fPPMin, true, 0, 50},
          {900, "Zero offset", PPType::Check, &m_bZeroOffset},
          {944, "C. Press.: min", PPType::Float, &m_fCPMin},
          {948, "C. Press.: max", PPType::Float, &m_fCPMax},
          {1078, "Disp.: min", PPType::Float, &m_fDispMin},
          {1050, "Disp.: max", PPType::Float, &m_fDispMax},
          {1631, "Disp correction: ", PPType::Float, &m_fDispCorrection}};
}

void CPropPgSS::OnInitPage() {
  auto* list = new QListWidget;
  list->setObjectName("1640");
  list->setSelectionMode(QAbstractItemView::MultiSelection);
  if (auto* form = qobject_cast<QFormLayout*>(m_pPage->layout())) form->addRow(list);
  if (!m_pTS || !m_pTS->m_pChannel) return;
  for (int c = 0; c < m_pTS->m_nChannels; ++c) {
    const KZ_TSchannel& ch = m_pTS->m_pChannel[c];
    auto* item = new QListWidgetItem(
        QString::fromLatin1(ch.szName, static_cast<int>(strnlen(ch.szName, sizeof ch.szName))),
        list);
    item->setSelected(ch.nPlot != 0);
  }
}

void CPropPgSS::OnOK() {
  if (!m_pTS || !m_pTS->m_pChannel || !m_pPage) return;
  auto* list = m_pPage->findChild<QListWidget*>("1640");
  if (!list) return;
  for (int c = 0; c < m_pTS->m_nChannels && c < list->count(); ++c)
    m_pTS->m_pChannel[c].nPlot = list->item(c)->isSelected() ? 1 : 0;
}
