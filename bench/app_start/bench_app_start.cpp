// Times the program's start on the sample experiment up to the first painted "Wave"
// page: the application starts as run.sh starts it (the parameter file on the command
// line), the user opens the first event file with File > Open and names its parameter
// file, brings the "Wave" page to front, and the page paints the event. Dialogs are
// answered at once, so the time is the program's own. Then File > Load Next is timed up
// to the next painted page. Target: under 1 s to the first painted page. A start can be
// timed once per process: the program runs itself five times (with --once) and reports
// the median of the starts. The experiment (by default the README's sample,
// examples/SynthFault) is copied into a temporary folder first, where the runs also keep
// their settings file, so that nothing is written beside the sample or the build.
//
//   bench_app_start [parameter file]      (offscreen unless a display is given)
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TempFolder.h"

#include "app/MainFrm.h"
#include "app/TremviaApp.h"
#include "app/TremviaResources.h"
#include "numerics/nml_runtime.h"
#include "platform/UiServices.h"
#include "platform/qt/QtUi.h"
#include "platform/qt/View.h"

namespace {

// Answers the two file dialogs of the road and every question with its default button.
class AnsweringUi : public plat::UiServices {
 public:
  AnsweringUi(std::string event, std::string pad)
      : event_(std::move(event)), pad_(std::move(pad)) {}
  int MessageBox(const std::string&, UINT type, const std::string&) override {
    return plat::DefaultButton(type);
  }
  void MessageBeep(UINT) override {}
  std::optional<std::string> FileDialog(const plat::FileDialogOptions& o) override {
    if (o.title == "Open Tremvia File") return event_;
    if (o.title == "Load parameters") return pad_;
    return std::nullopt;
  }
  std::optional<std::string> BrowseFolder(const std::string&) override { return std::nullopt; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void SetPaneText(int, const std::string&, bool) override {}
  bool GetInputState() override { return false; }

 private:
  std::string event_, pad_;
};

}  // namespace

namespace {

constexpr char kFirstPainted[] = "program start to first painted Wave page:";

std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs this program `runs` times with --once, passes its lines on, and prints the median
// time to the first painted page with the goal.
int RunSeveral(int argc, char** argv, int runs) {
  const tv_bench::TempFolder work("tv_app_start");
  const std::filesystem::path pad = argc > 1 ? argv[1] : TV_SAMPLE_PAD;
  std::error_code ec;
  std::filesystem::copy(pad.parent_path(), work / "sample",
                        std::filesystem::copy_options::recursive, ec);
  if (work.Path().empty() || ec) {
    std::printf("check program starts and paints the first event: FAILED (no copy of %s)\n",
                pad.parent_path().c_str());
    return 1;
  }
  setenv("TV_BENCH_WORK", work.Path().c_str(), 1);
  std::string command = Quoted(argv[0]);
  command += ' ';  // appended, not inserted: g++ 12 -O3 warns on the insert
  command += Quoted(work / ("sample/" + pad.filename().string()));
  command += " --once";
  std::vector<double> starts;
  for (int r = 0; r < runs; ++r) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return 1;
    char line[512];
    while (std::fgets(line, sizeof line, p)) {
      std::fputs(line, stdout);
      if (const char* at = std::strstr(line, kFirstPainted))
        starts.push_back(std::atof(at + std::strlen(kFirstPainted)));
    }
    if (pclose(p) != 0) {
      std::printf("check program starts and paints the first event: FAILED (run %d)\n", r + 1);
      return 1;
    }
  }
  std::sort(starts.begin(), starts.end());
  const double median = starts.empty() ? 0.0 : starts[starts.size() / 2];
  std::printf("check program starts and paints the first event: %s (%zu of %d runs)\n",
              static_cast<int>(starts.size()) == runs ? "ok" : "FAILED", starts.size(), runs);
  if (median > 0)
    std::printf("goal first painted Wave page under 1000 ms: median of %d starts %.1f ms: %s\n",
                runs, median, median < 1000.0 ? "met" : "missed");
  else
    std::printf("goal first painted Wave page under 1000 ms: not measured\n");
  return static_cast<int>(starts.size()) == runs ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  if (argc > 1 && std::strcmp(argv[argc - 1], "--once") == 0)
    --argc;
  else
    return RunSeveral(argc, argv, 5);
  nml_error_set_stop_fatal(0);
  if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  const std::string pad = argc > 1 ? argv[1] : TV_SAMPLE_PAD;
  // The first event file of the experiment's first folder (FAULT.00 beside Fault.pad).
  std::string folder = std::filesystem::path(pad).stem().string();
  for (char& c : folder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string event0;
  std::error_code ec;
  for (const auto& e :
       std::filesystem::directory_iterator(std::filesystem::path(pad).parent_path() / (folder + ".00"), ec))
    if (e.path().extension() == ".WAV" && (event0.empty() || e.path().string() < event0))
      event0 = e.path().string();
  if (event0.empty()) {
    std::fprintf(stderr, "no event file beside %s\n", pad.c_str());
    return 1;
  }
  QApplication qapp(argc, argv);
  plat::ForceCNumericLocale();
  AnsweringUi ui(event0, pad);
  plat::InstallUi(&ui);
  CTremviaApp app;
  const char* work = std::getenv("TV_BENCH_WORK");
  const tv_bench::TempFolder own("tv_app_start");
  app.SetProfileFile((work ? std::string(work) : own.Path()) + "/settings.ini");
  app.SetCommandLine({pad});
  if (!app.InitInstance()) {
    std::fprintf(stderr, "the program did not start on %s\n", pad.c_str());
    return 1;
  }
  QApplication::processEvents();
  const auto tShown = Clock::now();
  auto* frame = dynamic_cast<CMainFrame*>(app.m_pMainWnd);
  if (!frame->SendCommand(ID_FILE_OPEN)) return 1;
  frame->m_tabBottomLeft.SetActivePageIndex(1);
  auto* wave = dynamic_cast<plat::CView*>(frame->m_tabBottomLeft.GetActivePage());
  frame->SetActiveView(wave, TRUE);
  while (wave->IsStale() || wave->RenderCount() == 0)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  const auto t1 = Clock::now();
  const int renders = wave->RenderCount();
  if (!frame->SendCommand(ID_LOAD_NEXT)) {
    std::fprintf(stderr, "File > Load Next reached nothing\n");
    return 1;
  }
  while (wave->RenderCount() == renders) QApplication::processEvents(QEventLoop::AllEvents, 5);
  const auto t2 = Clock::now();
  auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("program start to main window shown:            %8.1f ms\n", ms(tShown - t0));
  std::printf("%s      %8.1f ms  (target < 1000 ms)\n", kFirstPainted, ms(t1 - t0));
  std::printf("File > Load Next to the next painted Wave page: %8.1f ms\n", ms(t2 - t1));
  app.CloseAllDocuments();
  plat::InstallUi(nullptr);
  return 0;
}
