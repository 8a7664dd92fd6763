#include "platform/qt/DialogFit.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <vector>

#include "platform/qt/testing/QtTestApp.h"

namespace plat {
namespace {

// A property sheet as the pages build it: one column of `rows` labelled fields on the
// first page, a page of a fixed tall size on the second, OK and Cancel below.
struct Sheet {
  explicit Sheet(int rows, int tallPage) {
    auto* layout = new QVBoxLayout(&dialog);
    tabs = new QTabWidget;
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    for (int i = 0; i < rows; ++i) {
      auto* edit = new QLineEdit;
      edits.push_back(edit);
      form->addRow(QString("Field %1").arg(i), edit);
    }
    tabs->addTab(page, "Fields");
    if (tallPage > 0) {
      auto* tall = new QWidget;
      tall->setMinimumSize(300, tallPage);
      tabs->addTab(tall, "Tall");
    }
    layout->addWidget(tabs);
    auto* box = new QDialogButtonBox;
    ok = box->addButton("OK", QDialogButtonBox::AcceptRole);
    layout->addWidget(box);
  }
  QRect InDialog(QWidget* w) const { return QRect(w->mapTo(&dialog, QPoint(0, 0)), w->size()); }
  QDialog dialog;
  QTabWidget* tabs = nullptr;
  QPushButton* ok = nullptr;
  std::vector<QLineEdit*> edits;
};

TEST(DialogFit, TallPagesFlowIntoColumnsInReadingOrderOrScroll) {
  testing::EnsureQtApp();
  const QRect screen(0, 0, 1280, 800);
  {
    // Sixty fields: too tall for 800 pixels, so they flow into columns, read down each.
    Sheet s(60, 0);
    ASSERT_GT(s.dialog.sizeHint().height(), 800);
    FitDialogToScreen(&s.dialog, screen);
    s.dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s.dialog));
    EXPECT_LE(s.dialog.width(), 1280);
    EXPECT_LE(s.dialog.height(), 800 - 40);
    EXPECT_TRUE(s.dialog.rect().contains(s.InDialog(s.ok)));
    for (std::size_t i = 0; i < s.edits.size(); ++i) {
      EXPECT_TRUE(s.dialog.rect().contains(s.InDialog(s.edits[i])))
          << i << " " << s.InDialog(s.edits[i]).x() << "," << s.InDialog(s.edits[i]).y() << " in "
          << s.dialog.width() << "x" << s.dialog.height();
      if (i == 0) continue;
      const QRect a = s.InDialog(s.edits[i - 1]), b = s.InDialog(s.edits[i]);
      // The next field lies below in the same column or at the top of a column on the right.
      EXPECT_TRUE((b.left() == a.left() && b.top() > a.top()) || b.left() > a.right())
          << i << ": " << a.x() << "," << a.y() << " " << a.width() << " / " << b.x() << ","
          << b.y() << " " << b.width();
    }
    EXPECT_FALSE(qobject_cast<QScrollArea*>(s.tabs->widget(0)));
  }
  {
    // A short sheet stays as it is.
    Sheet s(5, 0);
    const QSize before = s.dialog.sizeHint();
    FitDialogToScreen(&s.dialog, screen);
    EXPECT_EQ(s.dialog.sizeHint(), before);
  }
  {
    // A page that cannot flow scrolls; the dialog keeps inside the screen.
    Sheet s(3, 2000);
    FitDialogToScreen(&s.dialog, screen);
    s.dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&s.dialog));
    EXPECT_LE(s.dialog.height(), 800 - 40);
    EXPECT_TRUE(qobject_cast<QScrollArea*>(s.tabs->widget(1)));
    EXPECT_EQ(s.tabs->tabText(1), "Tall");
    EXPECT_TRUE(s.dialog.rect().contains(s.InDialog(s.ok)));
  }
}

}  // namespace
}  // namespace plat
