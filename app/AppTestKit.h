// The program started once in-process on a copy of the sample experiment, shared by the
// application's tests.
#pragma once
#include <filesystem>
#include <string>

#include "app/MainFrm.h"
#include "app/TremviaApp.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"

namespace apptest {

// A copy of the sample experiment, so that nothing the program writes reaches the repo.
inline std::string SamplePad() {
  namespace fs = std::filesystem;
  static const std::string pad = [] {
    const fs::path dst = fs::path(TV_TEST_TMPDIR) / "SynthCube";
    fs::remove_all(dst);
    fs::copy(fs::path(TV_SOURCE_DIR) / "examples/SynthCube", dst, fs::copy_options::recursive);
    return (dst / "Cube.pad").string();
  }();
  return pad;
}

// The application, started once with the sample's parameter file on the command line.
inline CTremviaApp& App() {
  static CTremviaApp* app = [] {
    plat::testing::EnsureQtApp();
    auto* a = new CTremviaApp;
    a->SetProfileFile(std::string(TV_TEST_TMPDIR) + "/settings.ini");
    a->SetCommandLine({SamplePad()});
    plat::testing::ScriptedUi ui;
    EXPECT_TRUE(a->InitInstance());
    return a;
  }();
  return *app;
}

inline CMainFrame& Frame() {
  auto* f = dynamic_cast<CMainFrame*>(App().m_pMainWnd);
  EXPECT_NE(f, nullptr);
  return *f;
}

}  // namespace apptest
