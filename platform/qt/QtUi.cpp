#include "platform/qt/QtUi.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTimerEvent>
#include <QUrl>
#include <clocale>
#include <deque>
#include <memory>

#include "platform/Strings.h"
#include "platform/qt/FrameWnd.h"
#include "platform/qt/QtDc.h"
#include "platform/qt/WinApp.h"

#ifdef TV_HAVE_QT_MULTIMEDIA
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QEventLoop>
#include <QMediaDevices>
#include <QTimer>
#endif

namespace plat {
namespace {

QString ToQ(const std::string& s) { return QString::fromStdString(s); }

QWidget* DialogParent() {
  if (CFrameWnd* f = AfxGetMainWnd(); f && f->isVisible()) return f;
  return QApplication::activeWindow();
}

std::string AppTitle() {
  if (CWinApp* app = AfxGetApp(); app && !app->m_pszAppName.empty()) return app->m_pszAppName;
  return QApplication::applicationName().toStdString();
}

// Holds back input and timer events while the input probe looks at the queue.
class InputProbe : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    switch (e->type()) {
      case QEvent::KeyPress:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        pressed = true;
        [[fallthrough]];
      case QEvent::KeyRelease:
      case QEvent::MouseButtonRelease:
      case QEvent::Wheel:
      case QEvent::ShortcutOverride:
        held.push_back({QPointer<QObject>(watched), std::unique_ptr<QEvent>(e->clone())});
        return true;
      case QEvent::Timer: {
        // One tick per timer is enough: ticks never pile up, however long the loop.
        const int id = static_cast<QTimerEvent*>(e)->timerId();
        for (const Held& h : held)
          if (h.target == watched && h.event->type() == QEvent::Timer &&
              static_cast<QTimerEvent*>(h.event.get())->timerId() == id)
            return true;
        held.push_back({QPointer<QObject>(watched), std::unique_ptr<QEvent>(e->clone())});
        return true;
      }
      case QEvent::MouseMove:
        return true;  // movement is no input that stops a loop
      default:
        return false;
    }
  }
  struct Held {
    QPointer<QObject> target;
    std::unique_ptr<QEvent> event;
  };
  bool pressed = false;
  std::deque<Held> held;
};

}  // namespace

// ---- locale --------------------------------------------------------------------------

void ForceCNumericLocale() {
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}

// ---- UI services ---------------------------------------------------------------------

QtUiServices::QtUiServices() = default;
QtUiServices::~QtUiServices() {
  while (waitDepth_ > 0) EndWaitCursor();
}

int QtUiServices::MessageBox(const std::string& text, UINT type, const std::string& caption) {
  if (!qApp) return DefaultButton(type);
  QMessageBox box(DialogParent());
  box.setWindowTitle(ToQ(caption.empty() ? AppTitle() : caption));
  box.setText(DisplayText(text));
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONEXCLAMATION:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  struct B {
    QMessageBox::StandardButton button;
    int id;
  };
  std::vector<B> buttons;
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
      break;
    case MB_YESNOCANCEL:
      buttons = {
          {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    default:
      buttons = {{QMessageBox::Ok, IDOK}};
      break;
  }
  for (const B& b : buttons) box.addButton(b.button);
  const int def = DefaultButton(type);
  for (const B& b : buttons)
    if (b.id == def) box.setDefaultButton(b.button);
  // Escape (or closing the box) answers Cancel where there is one, else the only or
  // the "No" button, as Windows boxes do.
  for (const B& b : buttons)
    if (b.id == IDCANCEL) box.setEscapeButton(b.button);
  if (buttons.size() == 1) box.setEscapeButton(buttons[0].button);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const B& b : buttons)
    if (clicked == box.button(b.button)) return b.id;
  return buttons.size() == 1 ? IDOK : IDCANCEL;
}

void QtUiServices::MessageBeep(UINT) { QApplication::beep(); }

QString ConvertFileFilter(const std::string& filter) {
  QStringList parts;
  for (const FileFilter& f : ParseFileFilter(filter)) {
    QStringList pats;
    for (const std::string& p : f.patterns) pats << ToQ(p);
    QString desc = ToQ(f.description);
    // The description often lists the patterns already ("Picture(*.wmf;*.emf)");
    // Qt reads the patterns from the last parentheses, so give them in its form.
    parts << QString("%1 (%2)").arg(desc, pats.join(' '));
  }
  return parts.join(";;");
}

std::string ApplyDefaultExtension(const std::string& path, const std::string& defExt) {
  if (defExt.empty() || path.empty()) return path;
  std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.find('.') != std::string::npos) return path;
  std::string ext = defExt;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  return path + "." + ext.substr(0, 3);
}

std::optional<std::string> QtUiServices::FileDialog(const FileDialogOptions& o) {
  if (!qApp) return std::nullopt;
  QFileDialog dlg(DialogParent(), ToQ(o.title));
  dlg.setAcceptMode(o.open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  dlg.setFileMode(o.open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  QString filter = ConvertFileFilter(o.filter);
  // An initial name such as "*.kv0" is a pattern, not a name: it filters the list
  // (where no filter does) and leaves the name field empty for the user's name.
  const bool pattern = o.fileName.find_first_of("*?") != std::string::npos;
  if (filter.isEmpty() && pattern) filter = ToQ(o.fileName);
  if (!filter.isEmpty()) dlg.setNameFilter(filter);
  if (!o.open && !(o.flags & OFN_OVERWRITEPROMPT))
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!DialogFolder().empty() && o.fileName.find_first_of("/\\") == std::string::npos)
    dlg.setDirectory(ToQ(DialogFolder()));
  if (!o.fileName.empty() && !pattern) dlg.selectFile(ToQ(o.fileName));
  if (o.title.empty()) dlg.setWindowTitle(o.open ? "Open" : "Save As");
  if (dlg.exec() != QDialog::Accepted) return std::nullopt;
  QStringList files = dlg.selectedFiles();
  if (files.isEmpty()) return std::nullopt;
  std::string path = files.front().toStdString();
  if (!o.open) path = ApplyDefaultExtension(path, o.defExt);
  if (std::size_t slash = path.find_last_of('/'); slash != std::string::npos)
    SetDialogFolder(path.substr(0, slash));
  return path;
}

std::optional<std::string> QtUiServices::BrowseFolder(const std::string& title) {
  if (!qApp) return std::nullopt;
  QString dir = QFileDialog::getExistingDirectory(DialogParent(), ToQ(title));
  if (dir.isEmpty()) return std::nullopt;
  return dir.toStdString();
}

void QtUiServices::BeginWaitCursor() {
  if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
  ++waitDepth_;
}

void QtUiServices::EndWaitCursor() {
  if (waitDepth_ <= 0) return;
  --waitDepth_;
  if (qApp) QApplication::restoreOverrideCursor();
}

void QtUiServices::SetPaneText(int pane, const std::string& text, bool update) {
  CFrameWnd* f = AfxGetMainWnd();
  if (!f || !f->GetMessageBar()) return;
  f->GetMessageBar()->SetPaneText(pane, text, update);
}

bool QtUiServices::GetInputState() {
  if (!qApp) return false;
  InputProbe probe;
  qApp->installEventFilter(&probe);
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  qApp->removeEventFilter(&probe);
  // Hand back what was held, in order: it is handled once the caller's loop returns
  // to the event loop.
  for (auto& h : probe.held)
    if (h.target) QCoreApplication::postEvent(h.target, h.event.release());
  return probe.pressed;
}

bool QtUiServices::ChooseFont(LOGFONT* lf) {
  if (!lf || !qApp) return false;
  QFont initial(ToQ(SubstituteFontFace(lf->lfFaceName)));
  initial.setPixelSize(std::max(1, static_cast<int>(std::abs(lf->lfHeight))));
  initial.setWeight(
      static_cast<QFont::Weight>(std::clamp<int>(lf->lfWeight ? lf->lfWeight : 400, 100, 900)));
  initial.setItalic(lf->lfItalic != 0);
  bool ok = false;
  QFont f = QFontDialog::getFont(&ok, initial, DialogParent());
  if (!ok) return false;
  std::string face = f.family().toStdString();
  if (face == "Liberation Serif")
    face = "Times New Roman";
  else if (face == "Liberation Sans")
    face = "Arial";
  else if (face == "Liberation Mono")
    face = "Courier New";
  int px = f.pixelSize() > 0 ? f.pixelSize()
                             : static_cast<int>(std::lround(f.pointSizeF() * 96.0 / 72.0));
  lf->lfHeight = -px;
  lf->lfWeight = f.weight();
  lf->lfItalic = f.italic() ? 1 : 0;
  lf->lfUnderline = f.underline() ? 1 : 0;
  lf->lfStrikeOut = f.strikeOut() ? 1 : 0;
  std::snprintf(lf->lfFaceName, LF_FACESIZE, "%s", face.c_str());
  return true;
}

// ---- shell ---------------------------------------------------------------------------

bool QtShell::ShellExecute(const std::string& verb, const std::string& file,
                           const std::string& parameters, int) {
  if (!verb.empty() && !EqualsNoCase(verb, "open")) return false;
  if (file.empty()) return false;
  // Programs: "X.exe" beside the program, or an executable path.
  if (EndsWithNoCase(file, ".exe") ||
      (QFileInfo(ToQ(file)).isExecutable() && !QFileInfo(ToQ(file)).isDir())) {
    std::string program = file;
    if (EndsWithNoCase(file, ".exe")) {
      auto found = FindSiblingProgram(file);
      if (!found) return false;
      program = *found;
    }
    QStringList args;
    if (!parameters.empty()) args << ToQ(parameters);
    return QProcess::startDetached(ToQ(program), args);
  }
  QUrl url =
      file.find("://") != std::string::npos ? QUrl(ToQ(file)) : QUrl::fromLocalFile(ToQ(file));
  return QDesktopServices::openUrl(url);
}

// ---- sound ---------------------------------------------------------------------------

struct QtSoundPlayer::Impl {
#ifdef TV_HAVE_QT_MULTIMEDIA
  struct Playing {
    std::unique_ptr<QByteArray> data;
    std::unique_ptr<QBuffer> buffer;
    std::unique_ptr<QAudioSink> sink;
  };
  std::vector<std::unique_ptr<Playing>> async;
#endif
};

QtSoundPlayer::QtSoundPlayer() : impl_(std::make_unique<Impl>()) {}
QtSoundPlayer::~QtSoundPlayer() = default;

#ifdef TV_HAVE_QT_MULTIMEDIA
namespace {

// The PCM part of a RIFF WAVE file: format and sample bytes; false when unreadable.
bool ParseWav(const std::vector<BYTE>& wav, QAudioFormat* fmt, std::size_t* offset,
              std::size_t* size) {
  auto u32 = [&](std::size_t i) {
    return static_cast<std::uint32_t>(wav[i] | (wav[i + 1] << 8) | (wav[i + 2] << 16) |
                                      (static_cast<std::uint32_t>(wav[i + 3]) << 24));
  };
  auto u16 = [&](std::size_t i) { return static_cast<std::uint16_t>(wav[i] | (wav[i + 1] << 8)); };
  if (wav.size() < 12 || std::memcmp(wav.data(), "RIFF", 4) != 0 ||
      std::memcmp(wav.data() + 8, "WAVE", 4) != 0)
    return false;
  bool haveFmt = false;
  std::size_t pos = 12;
  while (pos + 8 <= wav.size()) {
    std::uint32_t len = u32(pos + 4);
    std::size_t body = pos + 8;
    if (body + len > wav.size()) len = static_cast<std::uint32_t>(wav.size() - body);
    if (std::memcmp(wav.data() + pos, "fmt ", 4) == 0 && len >= 16) {
      if (u16(body) != 1) return false;  // PCM only
      fmt->setChannelCount(u16(body + 2));
      fmt->setSampleRate(static_cast<int>(u32(body + 4)));
      int bits = u16(body + 14);
      if (bits == 8)
        fmt->setSampleFormat(QAudioFormat::UInt8);
      else if (bits == 16)
        fmt->setSampleFormat(QAudioFormat::Int16);
      else if (bits == 32)
        fmt->setSampleFormat(QAudioFormat::Int32);
      else
        return false;
      haveFmt = true;
    } else if (std::memcmp(wav.data() + pos, "data", 4) == 0 && haveFmt) {
      *offset = body;
      *size = len;
      return true;
    }
    pos = body + len + (len & 1);
  }
  return false;
}

}  // namespace
#endif

void QtSoundPlayer::Play(const std::vector<BYTE>& wav, bool async) {
#ifdef TV_HAVE_QT_MULTIMEDIA
  if (wav.empty() || !qApp) return;
  QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return;
  QAudioFormat fmt;
  std::size_t offset = 0, size = 0;
  if (!ParseWav(wav, &fmt, &offset, &size) || !device.isFormatSupported(fmt)) return;
  // Finished asynchronous sounds are let go.
  std::erase_if(impl_->async, [](const std::unique_ptr<Impl::Playing>& p) {
    return p->sink->state() == QAudio::IdleState || p->sink->state() == QAudio::StoppedState;
  });
  auto p = std::make_unique<Impl::Playing>();
  p->data = std::make_unique<QByteArray>(reinterpret_cast<const char*>(wav.data() + offset),
                                         static_cast<qsizetype>(size));
  p->buffer = std::make_unique<QBuffer>(p->data.get());
  p->buffer->open(QIODevice::ReadOnly);
  p->sink = std::make_unique<QAudioSink>(device, fmt);
  p->sink->start(p->buffer.get());
  if (p->sink->error() != QAudio::NoError) return;
  if (async) {
    impl_->async.push_back(std::move(p));
    return;
  }
  // Synchronous: wait until the sound has ended, handling no user input meanwhile.
  const double seconds =
      static_cast<double>(size) / std::max(1, fmt.bytesPerFrame() * fmt.sampleRate());
  QEventLoop loop;
  QObject::connect(p->sink.get(), &QAudioSink::stateChanged, &loop, [&loop](QAudio::State s) {
    if (s == QAudio::IdleState || s == QAudio::StoppedState) loop.quit();
  });
  QTimer::singleShot(static_cast<int>(seconds * 1000) + 1000, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  p->sink->stop();
#else
  (void)wav;
  (void)async;
#endif
}

// ---- installer -----------------------------------------------------------------------

QtServicesInstaller::QtServicesInstaller() {
  InstallUi(&ui_);
  InstallShell(&shell_);
  InstallSoundPlayer(&sound_);
}

QtServicesInstaller::~QtServicesInstaller() {
  InstallUi(nullptr);
  InstallShell(nullptr);
  InstallSoundPlayer(nullptr);
}

}  // namespace plat
