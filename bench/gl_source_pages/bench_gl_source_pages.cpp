// Times the 3-D page (the Foc page is timed by bench_source_page).
// 3-D page with 10,000 or 100,000 events in the window, each size in a process of its own
// (the program starts itself once per size, so one page's memory and GL state do not
// weigh on the other's): a spin tick reported per frame it draws (the frames counted),
// target under 100 ms a frame on the software renderer; the scene rebuilt after an update, target under 1 s;
// resident memory after both, target under 1 GB; processor time while the page is shown
// and left alone, target none (under 20 ms in a second). The picture is checked against
// the same scene drawn call by call with a quadric per sphere, and against the page's own
// picture with every cross drawn.
// Every time is the median of three repetitions.
//
//   xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb
//       LIBGL_ALWAYS_SOFTWARE=1 bench_gl_source_pages [benchmark options]
#include <GL/gl.h>
#include <GL/glu.h>
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "aecore/catalogue/AEHypo.h"
#include "aecore/waveform/AEWave.h"
#include "base/plot/glview/KZ_glText.h"
#include "common/RatioReporter.h"
#include "platform/testing/FakeDocumentHost.h"
#include "platform/testing/ScriptedUi.h"
#include "views/gl/GLview.h"
#include "views/gl/GLview_testkit.h"

namespace {

class CountingGLview : public CGLview {
 public:
  int frames = 0;
  void RenderScene(int mode) override {
    ++frames;
    CGLview::RenderScene(mode);
  }
};

struct GLPage {
  plat::testing::FakeDocumentHost host;
  CTremviaDoc doc{host};
  CountingGLview view;

  explicit GLPage(int events) {
    doc.m_pHypo = std::make_unique<CAEHypo>();
    CAEHypo& h = *doc.m_pHypo;
    h.m_fDiameter = h.m_fSizeX = h.m_fSizeY = 50;
    h.m_fSizeZ = 100;
    h.m_nSensors = 16;
    for (int i = 0; i < 16; ++i) {
      const double a = i * 2 * M_PI / 8;
      h.m_pSensorXYZ[i] = {25 * std::cos(a), 25 * std::sin(a), i < 8 ? -20.0 : 20.0};
    }
    h.m_nMinArrivals = 1;
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> pos(-20, 20), mw(-1, 4);
    doc.m_fTimeStart = 0;
    doc.m_fTimeSpan = events + 1.0;
    for (int i = 0; i < events; ++i) {
      auto e = std::make_unique<AEEventEntry>();
      e->x = pos(rng) / 2;
      e->y = pos(rng) / 2;
      e->z = pos(rng) * 2;
      e->Mw = mw(rng);
      e->arrivals = 10;
      e->time = i;
      doc.m_EventList.push_back(std::move(e));
    }
    view.SetData(&doc);
    view.resize(800, 600);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) std::fprintf(stderr, "window not shown\n");
    QCoreApplication::processEvents();
    view.OnInitialUpdate();
    view.OnUpdate(nullptr, 0, nullptr);
  }
};

std::unique_ptr<GLPage> g_gl;

long g_ticks = 0, g_tickFrames = 0;  // spin ticks timed and the frames they drew

void BM_SpinTick(benchmark::State& state) {
  for (auto _ : state) {
    const int before = g_gl->view.frames;
    g_gl->view.OnTimer(CGLview::TIMER_ROTATE);
    g_tickFrames += g_gl->view.frames - before;
    ++g_ticks;
  }
}

// A spin tick and the window's compose that shows its frame (the surface's framebuffer
// drawn into the window and sent to the display), as the running program does.
void BM_SpinTickShown(benchmark::State& state) {
  for (auto _ : state) {
    g_gl->view.OnTimer(CGLview::TIMER_ROTATE);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

void BM_UpdateRebuild(benchmark::State& state) {
  for (auto _ : state) g_gl->view.OnUpdate(nullptr, 0, nullptr);
}

double ResidentBytes() {
  std::ifstream in("/proc/self/status");
  std::string key;
  while (in >> key) {
    if (key == "VmRSS:") {
      double kb = 0;
      in >> kb;
      return kb * 1024;
    }
    std::getline(in, key);
  }
  return 0;
}

double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec + 1e-9 * t.tv_nsec;
}

// The page's frame against the scene drawn call by call, each sphere a quadric of 8 slices
// and 4 stacks: the share of inked pixels that differ by more than 40 in a channel.
double DifferenceFromQuadrics(CGLview& view) {
  view.RenderScene(1);
  view.MakeCurrent();
  int w = 0, h = 0;
  const std::vector<unsigned char> ours = KZ_glReadFrame(&w, &h);
  const std::vector<unsigned char> ref = gl_test::QuadricsFrame(view, false, &w, &h);
  std::size_t inked = 0, differ = 0;
  for (std::size_t i = 0; i + 2 < ref.size() && i + 2 < ours.size(); i += 3) {
    const bool white = ref[i] == 255 && ref[i + 1] == 255 && ref[i + 2] == 255;
    inked += !white;
    bool d = false;
    for (int c = 0; c < 3; ++c) d |= std::abs(int(ref[i + c]) - int(ours[i + c])) > 40;
    differ += d;
  }
  view.RenderScene(1);
  return inked ? static_cast<double>(differ) / static_cast<double>(inked) : 1.0;
}

// The page's frame against the same frame with every cross drawn, also those that the
// spheres hide: the share of inked pixels that differ by more than 40 in a channel.
double DifferenceFromAllCrosses(CGLview& view) {
  auto frame = [&view](bool all) {
    view.DrawAllCrosses(all);
    view.RenderScene(1);
    view.MakeCurrent();
    int w = 0, h = 0;
    return KZ_glReadFrame(&w, &h);
  };
  const std::vector<unsigned char> all = frame(true), ours = frame(false);
  std::size_t inked = 0, differ = 0;
  for (std::size_t i = 0; i + 2 < all.size() && i + 2 < ours.size(); i += 3) {
    inked += !(all[i] == 255 && all[i + 1] == 255 && all[i + 2] == 255);
    bool d = false;
    for (int c = 0; c < 3; ++c) d |= std::abs(int(all[i + c]) - int(ours[i + c])) > 40;
    differ += d;
  }
  return inked ? static_cast<double>(differ) / static_cast<double>(inked) : 1.0;
}

// One page size in this process: its benchmarks, goals and checks.
int RunGLPage(int events, int argc, char** argv) {
  plat::testing::ScriptedUi ui;  // status-bar texts go nowhere
  g_gl = std::make_unique<GLPage>(events);
  const std::string label = events == 10000 ? "10,000" : "100,000";
  benchmark::RegisterBenchmark("BM_SpinTick", BM_SpinTick)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3);
  benchmark::RegisterBenchmark("BM_SpinTickShown", BM_SpinTickShown)
      ->Unit(benchmark::kMillisecond)
      ->Repetitions(3);
  benchmark::RegisterBenchmark("BM_UpdateRebuild", BM_UpdateRebuild)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1)
      ->Repetitions(3);
  tv_bench::Initialize(&argc, argv);
  tv_bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  // Left alone: let pending paints finish, then watch a second in a plain event loop (the
  // test library's wait polls, which costs time of its own).
  auto idleFor = [](int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  };
  idleFor(300);
  g_gl->view.frames = 0;
  const double cpu0 = ProcessSeconds();
  idleFor(1000);
  const double idle = ProcessSeconds() - cpu0;
  const int idleFrames = g_gl->view.frames;
  const double difference = DifferenceFromQuadrics(g_gl->view);
  const double crossDifference = DifferenceFromAllCrosses(g_gl->view);
  tv_bench::Check(crossDifference < 0.02,
                  "3-D page at " + label + " events draws what it drew with every cross",
                  std::to_string(crossDifference * 100) + " % of inked pixels differ");
  tv_bench::Check(difference < 0.15,
                  "3-D page at " + label + " events draws the quadrics' picture",
                  std::to_string(difference * 100) + " % of inked pixels differ");
  tv_bench::Check(g_gl->view.Scene().spheres.size() == static_cast<std::size_t>(events),
                  "3-D page at " + label + " events holds every sphere",
                  std::to_string(g_gl->view.Scene().spheres.size()));
  const double framesPerTick =
      g_ticks ? static_cast<double>(g_tickFrames) / static_cast<double>(g_ticks) : 0.0;
  std::printf("3-D page at %s events: a spin tick %.1f ms, %.2f frames drawn per tick\n",
              label.c_str(), reporter.Seconds("BM_SpinTick") * 1e3, framesPerTick);
  std::printf("3-D page at %s events: a spin tick with the compose that shows it %.1f ms\n",
              label.c_str(), reporter.Seconds("BM_SpinTickShown") * 1e3);
  tv_bench::Check(framesPerTick >= 1, "3-D page at " + label + " events draws every tick",
                  std::to_string(framesPerTick) + " frames per tick");
  tv_bench::Goal("3-D page at " + label + " events, a spin frame under 100 ms",
                 reporter.Seconds("BM_SpinTick") / std::max(framesPerTick, 1.0), 0.1);
  tv_bench::Goal("3-D page at " + label + " events, a scene rebuild under 1 s",
                 reporter.Seconds("BM_UpdateRebuild"), 1.0);
  const double rss = ResidentBytes();
  std::printf("goal 3-D page at %s events under 1 GB resident: %.0f MB: %s\n", label.c_str(),
              rss / 1048576, rss < 1024.0 * 1048576 ? "met" : "missed");
  std::printf("goal 3-D page at %s events, no processor time while unchanged: %.1f ms in 1 s, "
              "%d frames: %s\n",
              label.c_str(), idle * 1e3, idleFrames, idle < 0.02 && idleFrames == 0 ? "met" : "missed");
  g_gl.reset();
  return tv_bench::ExitCode();
}

}  // namespace

int main(int argc, char** argv) {
  // "--page=10000" or "--page=100000" runs one page; without it the
  // program runs itself once per page and passes on the other arguments.
  std::string page;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--page=", 7) == 0)
      page = argv[i] + 7;
    else
      rest.push_back(argv[i]);
  }
  int n = static_cast<int>(rest.size());
  if (!page.empty()) {
    QApplication app(n, rest.data());
    return RunGLPage(std::atoi(page.c_str()), n, rest.data());
  }
  int status = 0;
  for (const char* which : {"10000", "100000"}) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      std::vector<char*> args(rest);
      std::string flag = std::string("--page=") + which;
      args.insert(args.begin() + 1, flag.data());
      args.push_back(nullptr);
      execv("/proc/self/exe", args.data());
      _exit(127);
    }
    int st = 0;
    waitpid(child, &st, 0);
    if (!WIFEXITED(st) || WEXITSTATUS(st) != 0) status = 1;
  }
  return status;
}
