#include "views/proppages/PropPage.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/Strings.h"
#include "platform/UiServices.h"

int PropSheet_DoModal(const std::string& caption, const std::vector<CPropPage*>& pages,
                      QWidget* parent) {
  QDialog dlg(parent);
  dlg.setWindowTitle(QString::fromStdString(caption));
  auto* layout = new QVBoxLayout(&dlg);
  auto* tabs = new QTabWidget;
  tabs->setObjectName("tabs");
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
    // Closing work only once no page refuses, so that a refusal on a later page leaves
    // what the earlier pages write untouched.
    for (CPropPage* p : pages) p->OnOK();
    dlg.accept();
  });
  QObject::connect(box, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
  layout->addWidget(box);
  return dlg.exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

std::string PP_ParseMessage(PPType type) {
  switch (type) {
    case PPType::Uint:
      return "Please enter a positive integer.";
    case PPType::Byte:
      return "Please enter an integer between 0 and 255.";
    case PPType::Int:
      return "Please enter an integer.";
    default:
      return "Please enter a number.";
  }
}

std::string PP_RangeMessage(PPType type, double lo, double hi) {
  if (type == PPType::Float || type == PPType::Double) {
    const int digits = type == PPType::Float ? 6 : 15;
    return plat::Format("Please enter a number between %.*g and %.*g.", digits, lo, digits, hi);
  }
  return plat::Format("Please enter an integer between %.0f and %.0f.", lo, hi);
}

namespace {

QString FieldText(const PPField& f) {
  switch (f.type) {
    case PPType::Uint:
      return QString::number(*static_cast<unsigned*>(f.value));
    case PPType::Int:
      return QString::number(*static_cast<int*>(f.value));
    case PPType::Byte:
      return QString::number(*static_cast<std::uint8_t*>(f.value));
    case PPType::Float:
      return QString::number(static_cast<double>(*static_cast<float*>(f.value)), 'g', 6);
    case PPType::Double:
      return QString::number(*static_cast<double*>(f.value), 'g', 15);
    case PPType::Text:
      return QString::fromStdString(*static_cast<std::string*>(f.value));
    case PPType::Check:
      break;
  }
  return {};
}

// Reads one field from its control; false after the message.
bool ReadField(QWidget* page, const PPField& f) {
  const QString name = QString::number(f.id);
  if (f.type == PPType::Check) {
    auto* box = page->findChild<QCheckBox*>(name);
    if (!box) return false;
    *static_cast<int*>(f.value) = box->isChecked() ? 1 : 0;
    return true;
  }
  auto* edit = page->findChild<QLineEdit*>(name);
  if (!edit) return false;
  const QString text = edit->text().trimmed();
  if (f.type == PPType::Text) {
    std::string s = edit->text().toStdString();
    if (f.maxLen > 0 && static_cast<int>(s.size()) > f.maxLen) s.resize(f.maxLen);
    *static_cast<std::string*>(f.value) = s;
    return true;
  }
  bool ok = false;
  double v = 0;
  if (f.type == PPType::Float || f.type == PPType::Double) {
    v = text.toDouble(&ok);
  } else {
    const long long i = text.toLongLong(&ok);
    v = static_cast<double>(i);
    if (ok && f.type == PPType::Uint) ok = i >= 0 && i <= 0xFFFFFFFFll;
    if (ok && f.type == PPType::Byte) ok = i >= 0 && i <= 255;
    if (ok && f.type == PPType::Int) ok = i >= INT32_MIN && i <= INT32_MAX;
  }
  if (!ok) {
    plat::AfxMessageBox(PP_ParseMessage(f.type), MB_ICONEXCLAMATION);
    edit->setFocus();
    return false;
  }
  switch (f.type) {
    case PPType::Uint:
      *static_cast<unsigned*>(f.value) = static_cast<unsigned>(v);
      break;
    case PPType::Int:
      *static_cast<int*>(f.value) = static_cast<int>(v);
      break;
    case PPType::Byte:
      *static_cast<std::uint8_t*>(f.value) = static_cast<std::uint8_t>(v);
      break;
    case PPType::Float:
      *static_cast<float*>(f.value) = static_cast<float>(v);
      break;
    default:
      *static_cast<double*>(f.value) = v;
      break;
  }
  if (f.ranged) {
    // The value as stored is checked, as the framework checks the member.
    const double stored = f.type == PPType::Float ? static_cast<double>(static_cast<float>(v)) : v;
    const double lo =
        f.type == PPType::Float ? static_cast<double>(static_cast<float>(f.lo)) : f.lo;
    const double hi =
        f.type == PPType::Float ? static_cast<double>(static_cast<float>(f.hi)) : f.hi;
    if (!(stored >= lo && stored <= hi)) {
      plat::AfxMessageBox(PP_RangeMessage(f.type, f.lo, f.hi), MB_ICONEXCLAMATION);
      edit->setFocus();
      return false;
    }
  }
  return true;
}

}  // namespace

QWidget* CPropPageFields::Create() {
  m_pPage = new QWidget;
  auto* form = new QFormLayout(m_pPage);
  const std::vector<PPField> fields = Fields();
  const std::vector<SharedRow> shared = SharedRows();
  auto makeEdit = [](const PPField& f) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::number(f.id));
    if (f.maxLen > 0) edit->setMaxLength(f.maxLen);
    return edit;
  };
  std::vector<bool> placed(shared.size(), false);
  for (const PPField& f : fields) {
    std::size_t row = 0;
    while (row < shared.size() && std::find(shared[row].ids.begin(), shared[row].ids.end(),
                                            f.id) == shared[row].ids.end())
      ++row;
    if (row < shared.size()) {
      if (placed[row]) continue;
      placed[row] = true;
      auto* box = new QWidget;
      auto* line = new QHBoxLayout(box);
      line->setContentsMargins(0, 0, 0, 0);
      for (int id : shared[row].ids) {
        auto it = std::find_if(fields.begin(), fields.end(),
                               [id](const PPField& g) { return g.id == id; });
        if (it != fields.end()) line->addWidget(makeEdit(*it));
      }
      form->addRow(shared[row].label, box);
    } else if (f.type == PPType::Check) {
      auto* box = new QCheckBox(f.label);
      box->setObjectName(QString::number(f.id));
      form->addRow(box);
    } else {
      form->addRow(f.label, makeEdit(f));
    }
  }
  UpdateData(false);
  OnInitPage();
  return m_pPage;
}

namespace {

// The value of a field, kept so that a refused exchange can put it back.
struct Saved {
  double number = 0;
  std::string text;
};

Saved Keep(const PPField& f) {
  Saved s;
  switch (f.type) {
    case PPType::Uint:
      s.number = *static_cast<unsigned*>(f.value);
      break;
    case PPType::Int:
    case PPType::Check:
      s.number = *static_cast<int*>(f.value);
      break;
    case PPType::Byte:
      s.number = *static_cast<std::uint8_t*>(f.value);
      break;
    case PPType::Float:
      s.number = *static_cast<float*>(f.value);
      break;
    case PPType::Double:
      s.number = *static_cast<double*>(f.value);
      break;
    case PPType::Text:
      s.text = *static_cast<std::string*>(f.value);
      break;
  }
  return s;
}

void Restore(const PPField& f, const Saved& s) {
  switch (f.type) {
    case PPType::Uint:
      *static_cast<unsigned*>(f.value) = static_cast<unsigned>(s.number);
      break;
    case PPType::Int:
    case PPType::Check:
      *static_cast<int*>(f.value) = static_cast<int>(s.number);
      break;
    case PPType::Byte:
      *static_cast<std::uint8_t*>(f.value) = static_cast<std::uint8_t>(s.number);
      break;
    case PPType::Float:
      *static_cast<float*>(f.value) = static_cast<float>(s.number);
      break;
    case PPType::Double:
      *static_cast<double*>(f.value) = s.number;
      break;
    case PPType::Text:
      *static_cast<std::string*>(f.value) = s.text;
      break;
  }
}

}  // namespace

bool CPropPageFields::UpdateData(bool save) {
  if (!m_pPage) return false;
  const std::vector<PPField> fields = Fields();
  if (save) {
    // A refused field stops the reading; the fields read before it are put back, so that
    // a refused page holds what it was filled with.
    std::vector<Saved> kept;
    for (const PPField& f : fields) kept.push_back(Keep(f));
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (ReadField(m_pPage, fields[i])) continue;
      for (std::size_t j = 0; j <= i; ++j) Restore(fields[j], kept[j]);
      return false;
    }
    return true;
  }
  for (const PPField& f : fields) {
    const QString name = QString::number(f.id);
    if (f.type == PPType::Check) {
      if (auto* box = m_pPage->findChild<QCheckBox*>(name))
        box->setChecked(*static_cast<int*>(f.value) != 0);
    } else if (auto* edit = m_pPage->findChild<QLineEdit*>(name)) {
      edit->setText(FieldText(f));
    }
  }
  return true;
}
