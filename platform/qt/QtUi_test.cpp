#include "platform/qt/QtUi.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/qt/Framework.h"
#include "platform/qt/testing/QtTestApp.h"

namespace plat {
namespace {

class QtUiTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::EnsureQtApp(); }
};

TEST_F(QtUiTest, FileFiltersAndDefaultExtensions) {
  struct {
    const char* mfc;
    const char* qt;
  } filters[] = {
      {"Tremvia File(*.pad;*.wav;*.aew)|*.pad;*.wav;*.aew|",
       "Tremvia File(*.pad;*.wav;*.aew) (*.pad *.wav *.aew)"},
      {"Picture(*.wmf;*.emf;*.bmp)|*.wmf;*.emf;*.bmp||",
       "Picture(*.wmf;*.emf;*.bmp) (*.wmf *.emf *.bmp)"},
      {"Text|*.txt|All|*.*||", "Text (*.txt);;All (*.*)"},
      {"", ""},
  };
  for (const auto& f : filters) EXPECT_EQ(ConvertFileFilter(f.mfc).toStdString(), f.qt) << f.mfc;
  struct {
    const char* path;
    const char* defExt;
    const char* out;
  } exts[] = {
      {"/d/out", "txt", "/d/out.txt"},
      {"/d/out", "dat file", "/d/out.dat"},  // the first three characters only
      {"/d/out.csv", "txt", "/d/out.csv"},
      {"/d.x/out", "txt", "/d.x/out.txt"},
      {"/d/out", "", "/d/out"},
  };
  for (const auto& e : exts) EXPECT_EQ(ApplyDefaultExtension(e.path, e.defExt), e.out) << e.path;
}

// A save dialog's initial name that is a pattern ("*.kv0") leaves the name field empty;
// a real name is offered as it is.
TEST_F(QtUiTest, SaveDialogsOfferNamesNotPatterns) {
  QtUiServices ui;
  for (const auto& [initial, shown] :
       {std::pair{"*.kv0", ""}, std::pair{"*.kvp;*.kv0", ""}, std::pair{"rates.kv0", "rates.kv0"}}) {
    SCOPED_TRACE(initial);
    FileDialogOptions o;
    o.open = false;
    o.fileName = initial;
    o.defExt = "kv0";
    o.filter = "(*.kv0)|*.kv0||";
    QString name = "not shown";
    QTimer::singleShot(0, [&] {
      auto* dlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dlg) return;
      if (auto* edit = dlg->findChild<QLineEdit*>("fileNameEdit")) name = edit->text();
      dlg->reject();
    });
    EXPECT_FALSE(ui.FileDialog(o).has_value());
    EXPECT_EQ(name.toStdString(), shown);
  }
}

// Answers the next modal box with a key press (Return = its default button).
void PressInNextBox(int key, QMessageBox::Icon* icon = nullptr, QString* title = nullptr) {
  QTimer::singleShot(0, [=] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (icon) *icon = box->icon();
    if (title) *title = box->windowTitle();
    QTest::keyClick(box, static_cast<Qt::Key>(key));
  });
}

TEST_F(QtUiTest, MessageBoxesAnswerWithTheClassLibraryIds) {
  QtUiServices ui;
  QApplication::setApplicationName("Tremvia");
  struct {
    UINT type;
    int key;
    int answer;
  } cases[] = {
      {MB_OK, Qt::Key_Return, IDOK},
      {MB_OK, Qt::Key_Escape, IDOK},
      {MB_OKCANCEL, Qt::Key_Return, IDOK},
      {MB_OKCANCEL, Qt::Key_Escape, IDCANCEL},
      {MB_YESNO, Qt::Key_Return, IDYES},
      {MB_YESNO | MB_DEFBUTTON2, Qt::Key_Return, IDNO},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, Qt::Key_Return, IDCANCEL},
      {MB_YESNOCANCEL, Qt::Key_Escape, IDCANCEL},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " key " << c.key);
    PressInNextBox(c.key);
    EXPECT_EQ(ui.MessageBox("Are you sure?", c.type, ""), c.answer);
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title;
  PressInNextBox(Qt::Key_Return, &icon, &title);
  ui.MessageBox("Failed on creating file!", MB_OK | MB_ICONEXCLAMATION, "");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(title.toStdString(), "Tremvia");
}

class KeySink : public QWidget {
 public:
  void keyPressEvent(QKeyEvent* e) override { keys.push_back(e->key()); }
  std::vector<int> keys;
};

class TickView : public CView {
 public:
  void OnTimer(UINT) override { ++ticks; }
  int ticks = 0;
};

// The probe reports a key or mouse press without handling it (nor a timer tick that
// comes due meanwhile); both are handled once the busy loop gives control back.
TEST_F(QtUiTest, InputProbeNotesPressesAndDefersThem) {
  QtUiServices ui;
  KeySink sink;
  sink.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&sink));
  EXPECT_FALSE(ui.GetInputState());

  QCoreApplication::postEvent(
      &sink, new QMouseEvent(QEvent::MouseMove, QPointF(3, 3), QPointF(3, 3), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier));
  EXPECT_FALSE(ui.GetInputState());  // movement is no input that stops a loop

  TickView ticker;
  ticker.SetTimer(7, 1);
  QTest::qWait(5);
  const int ticks = ticker.ticks;
  QTest::qSleep(10);
  QCoreApplication::postEvent(&sink, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
  EXPECT_TRUE(ui.GetInputState());
  EXPECT_TRUE(sink.keys.empty());
  EXPECT_EQ(ticker.ticks, ticks);
  // A loop that polls on: the press stays pending, ticks do not pile up.
  for (int i = 0; i < 5; ++i) {
    QTest::qSleep(3);
    EXPECT_TRUE(ui.GetInputState());
  }
  EXPECT_EQ(ticker.ticks, ticks);
  ticker.KillTimer(7);
  QCoreApplication::processEvents();
  EXPECT_EQ(sink.keys, std::vector<int>{Qt::Key_A});
  EXPECT_LE(ticker.ticks, ticks + 1);
}

TEST_F(QtUiTest, StatusPaneTextAndWaitCursor) {
  CWinApp app("Tremvia");
  QtServicesInstaller installed;
  auto* frame = new CFrameWnd;
  app.m_pMainWnd = frame;
  CStatusBar bar;
  ASSERT_TRUE(bar.Create(frame));
  const UINT panes[] = {ID_SEPARATOR, ID_SEPARATOR};
  ASSERT_TRUE(bar.SetIndicators(panes, 2));
  bar.SetPaneInfo(1, ID_SEPARATOR, SBPS_NORMAL, 200);
  frame->show();
  Ui().SetPaneText(0, "Loading 12/100", true);
  Ui().SetPaneText(1, "x = 3.5", false);
  EXPECT_EQ(bar.GetPaneText(0), "Loading 12/100");
  EXPECT_EQ(bar.GetPaneText(1), "x = 3.5");
  // Bytes that are no UTF-8 are shown as Windows-1252 ("\xB0" is a degree sign).
  Ui().SetPaneText(1, "Az 45\xB0", false);
  EXPECT_EQ(bar.Pane(1)->text(), QString::fromUtf8("Az 45\u00B0"));
  EXPECT_EQ(bar.Pane(1)->width(), 200);

  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  {
    CWaitCursor outer;
    { CWaitCursor inner; }
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  app.m_pMainWnd = nullptr;
  delete frame;
}

// Programs start detached and report only whether they could be started; a Windows
// program name is looked for beside the program.
TEST_F(QtUiTest, ShellStartsProgramsAndRefusesOtherVerbs) {
  QtShell shell;
  EXPECT_TRUE(shell.ShellExecute("open", "/bin/true", "a;00001;00002;", SW_SHOW));
  EXPECT_FALSE(shell.ShellExecute("open", "NoSuchHelper_Quintar.exe", "", SW_SHOW));
  EXPECT_FALSE(shell.ShellExecute("print", "/bin/true", "", SW_SHOW));
  EXPECT_FALSE(shell.ShellExecute("open", "", "", SW_SHOW));
}

// Without an audio device (or with bytes that are no WAV file) playing does nothing
// and returns; a real sound returns once played.
TEST_F(QtUiTest, SoundPlaysQuietlyOrNotAtAll) {
  QtSoundPlayer player;
  std::vector<BYTE> wav = {'R',  'I',  'F', 'F', 0, 0, 0,  0, 'W', 'A', 'V',  'E',  'f', 'm',
                           't',  ' ',  16,  0,   0, 0, 1,  0, 1,   0,   0x40, 0x1F, 0,   0,
                           0x80, 0x3E, 0,   0,   2, 0, 16, 0, 'd', 'a', 't',  'a'};
  const std::uint32_t samples = 400;  // 50 ms at 8000 Hz
  for (int i = 0; i < 4; ++i) wav.push_back(static_cast<BYTE>(((samples * 2) >> (8 * i)) & 0xFF));
  wav.resize(wav.size() + samples * 2, 0);
  QElapsedTimer clock;
  clock.start();
  player.Play({}, false);
  player.Play({1, 2, 3, 4, 5}, false);
  player.Play(wav, false);
  player.Play(wav, true);
  EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(QtUiTest, ClipboardRoundTrips) {
  // A 3 x 2 picture with distinct pixels.
  QImage img(3, 2, QImage::Format_RGB32);
  const QRgb px[2][3] = {{0xFF0000, 0x00FF00, 0x0000FF}, {0x123456, 0xFFFFFF, 0x000000}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) img.setPixel(x, y, px[y][x] | 0xFF000000u);
  MemBlock dib = ImageToPackedDib(img);
  ASSERT_TRUE(SetClipboardDib(dib));
  const QMimeData* m = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(m->hasFormat("image/png"));
  ASSERT_TRUE(m->hasFormat("image/bmp"));
  QImage bmp;
  ASSERT_TRUE(bmp.loadFromData(m->data("image/bmp"), "BMP"));
  EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), img);
  MemBlock back = GetClipboardDib();
  EXPECT_EQ(PackedDibToImage(back.data(), back.Size()), img);

  const std::vector<BYTE> emf = {1, 0, 0, 0, 'E', 'M', 'F'};
  ASSERT_TRUE(SetClipboardEnhMetafile(emf, dib));
  EXPECT_EQ(GetClipboardEnhMetafile(), emf);
  EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"));

  ASSERT_TRUE(SetClipboardText("1\t2.5\n3\t4"));
  EXPECT_EQ(GetClipboardText(), std::optional<std::string>("1\t2.5\n3\t4"));
  EXPECT_TRUE(GetClipboardEnhMetafile().empty());
}

}  // namespace
}  // namespace plat
