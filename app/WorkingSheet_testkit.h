// Test kit of the working sheet: a main frame opened in-process on a fresh copy of the
// sample experiment, made the application's main window while a test uses it, with the
// working sheet shown and notifications sent to its cells as the grid sends them.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/DlgOper.h"
#include "app/MainFrm.h"
#include "app/TremviaApp.h"
#include "app/TremviaDocument.h"
#include "app/TremviaResources.h"
#include "platform/qt/testing/QtTestApp.h"
#include "platform/testing/ScriptedUi.h"
#include "views/graph/GraphView.h"
#include "wincomp/grid/SGCtrl.h"

namespace wstest {

// A fresh copy of the sample experiment under the test folder, so that nothing written
// reaches the repository.
inline std::filesystem::path CopyExperiment(const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path dst = fs::path(TV_TEST_TMPDIR) / name;
  fs::remove_all(dst);
  fs::copy(fs::path(TV_SOURCE_DIR) / "examples/SynthCube", dst, fs::copy_options::recursive);
  return dst;
}

// Records the hints the document sends.
class HintRecorder : public plat::CView {
 public:
  std::vector<LONG> hints;
  void OnUpdate(plat::CView*, LONG hint, void*) override { hints.push_back(hint); }
};

// A main frame with its document opened on a file; `pad` answers the question for the
// parameter file when the file is not one.
struct Session {
  Session(const std::string& file, const std::string& pad) {
    plat::testing::EnsureQtApp();
    RegisterTremviaResources();
    if (!plat::AfxGetApp()) new CTremviaApp;  // kept for the whole run
    plat::testing::ScriptedUi ui;
    if (!pad.empty()) ui.ExpectFileDialog(plat::testing::Prompt::OpenFile, "Load parameters", pad);
    plat::CWinApp* app = plat::AfxGetApp();
    plat::CFrameWnd* previous = app->m_pMainWnd;
    app->m_pMainWnd = nullptr;
    tmpl = new plat::CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CTremviaDocument),
                                        RUNTIME_CLASS(CMainFrame), CTremviaApp::WaveViewClass());
    EXPECT_NE(tmpl->OpenDocumentFile(file, FALSE), nullptr);
    app->m_pMainWnd = previous;
    frame = dynamic_cast<CMainFrame*>(tmpl->GetFrame());
    host = frame ? dynamic_cast<CTremviaDocument*>(frame->GetGraphView(FALSE)->GetDocument())
                 : nullptr;
  }
  plat::CSingleDocTemplate* tmpl = nullptr;  // kept for the whole run
  CMainFrame* frame = nullptr;
  CTremviaDocument* host = nullptr;
};

// Makes the session's frame the main window for one test and opens the working sheet.
class Use {
 public:
  explicit Use(Session& s) : s_(s) {
    app_ = plat::AfxGetApp();
    previous_ = app_->m_pMainWnd;
    app_->m_pMainWnd = s.frame;
    s.host->AddView(&recorder);
    EXPECT_TRUE(s.frame->SendCommand(ID_WORKING_SHEET));
  }
  ~Use() {
    s_.host->RemoveView(&recorder);
    app_->m_pMainWnd = previous_;
  }
  CGridFun& Grid() { return s_.frame->m_pDlgOper->m_Grid; }
  CDlgOper* Dialog() { return s_.frame->m_pDlgOper.get(); }
  CAEHypo& Hypo() { return *s_.host->m_pHypo; }
  std::string Text(int col, long row) {
    const char* t = Grid().GetCellText(col, row);
    return t ? t : "";
  }
  // What the user's finished edit of a cell does: the sheet hears of it, then stores it.
  void Type(int sheet, int col, long row, const char* text) {
    Grid().SetCurrentSheet(sheet);
    if (Grid().OnEditFinish(col, row, nullptr, text, 0)) Grid().SetCellText(col, row, text);
  }
  int Notify(int col, long row, long msg, long param = 0) {
    return Grid().OnCellTypeNotify(Grid().m_nButtonIndex, col, row, msg, param);
  }
  // A button of the current sheet pressed and released on the same cell.
  int Press(int col, long row) {
    Notify(col, row, SGN_BUTTON_DOWN);
    const int r = Notify(col, row, SGN_BUTTON_UP);
    Notify(col, row, SGN_BUTTON_CLICK);
    return r;
  }
  void PressRedraw() {
    Grid().SetCurrentSheet(CGridFun::kDrawOpt);
    Press(0, 3);
  }
  // A line chosen in the drop list of a cell of `sheet`.
  void Choose(int col, long row, const std::string& line, int sheet = CGridFun::kDrawOpt) {
    Grid().SetCurrentSheet(sheet);
    std::string chosen = line;
    Grid().OnCellTypeNotify(1, col, row, SGN_DROPLIST_SELECTED,
                            static_cast<long>(reinterpret_cast<std::intptr_t>(&chosen)));
  }
  HintRecorder recorder;

 private:
  Session& s_;
  plat::CWinApp* app_ = nullptr;
  plat::CFrameWnd* previous_ = nullptr;
};

}  // namespace wstest
