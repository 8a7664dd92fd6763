#include "views/proppages/PropPgSelAE.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "platform/UiServices.h"

int PropSheet_DoModal(const std::string& caption, const std::vector<CPropPage*>& pages,
                      QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle(QString::fromStdString(caption));
  auto* layout = new QVBoxLayout(&dlg);
  auto* tabs = new QTabWidget;
  for (CPropPage* p : pages) tabs->addTab(p->Create(), QString::fromStdString(p->Caption()));
  layout->addWidget(tabs);
  auto* box = new QDialogButtonBox;
  box->addButton("OK", QDialogButtonBox::AcceptRole)->setObjectName("1");
  box->addButton("Cancel", QDialogButtonBox::RejectRole)->setObjectName("2");
  QObject::connect(box, &QDialogButtonBox::accepted, &dlg, [&] {
    for (int i = 0; i < static_cast<int>(pages.size()); ++i) {
      if (!pages[i]->Save()) {
        tabs->setCurrentIndex(i);
        return;
      }
    }
    dlg.accept();
  });
  QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
  layout->addWidget(box);
  return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

namespace {

QLineEdit* AddRow(QFormLayout* form, const char* label, int id, unsigned value) {
  auto* edit = new QLineEdit(QString::number(value));
  edit->setObjectName(QString::number(id));
  form->addRow(label, edit);
  return edit;
}

bool ReadUint(QWidget* page, int id, unsigned* out) {
  auto* edit = page->findChild<QLineEdit*>(QString::number(id));
  bool ok = false;
  const unsigned long v = edit ? edit->text().trimmed().toULong(&ok) : 0;
  if (!ok || v > 0xFFFFFFFFul) {
    plat::AfxMessageBox("Please enter a positive integer.", MB_ICONEXCLAMATION);
    if (edit) edit->setFocus();
    return false;
  }
  *out = static_cast<unsigned>(v);
  return true;
}

}  // namespace

QWidget* CPropPgSelAE::Create() {
  m_pPage = new QWidget;
  auto* form = new QFormLayout(m_pPage);
  AddRow(form, "From(AE#) :", 1145, m_nFrom);
  AddRow(form, "Location Index M>=?:", 1465, m_nLocIndex);
  AddRow(form, "To(AE#) :", 1434, m_nTo);
  return m_pPage;
}

bool CPropPgSelAE::Save() {
  unsigned from, loc, to;
  if (!m_pPage || !ReadUint(m_pPage, 1145, &from) || !ReadUint(m_pPage, 1465, &loc) ||
      !ReadUint(m_pPage, 1434, &to))
    return false;
  m_nFrom = from;
  m_nLocIndex = loc;
  m_nTo = to;
  return true;
}
