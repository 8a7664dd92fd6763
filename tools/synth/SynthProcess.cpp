// Processes a written experiment on the program's own road: the document opens the first
// event file with the experiment's parameter file, then processes, saves and steps event
// after event, as auto-loading with location and store does.
#include <cstdio>
#include <optional>
#include <string>

#include "aecore/document/TremviaDoc.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "platform/UiServices.h"
#include "tools/synth/SynthCube.h"

namespace synthcube {
namespace {

// Answers "Load parameters" with the experiment's parameter file and every question
// with its default button; messages go to the standard error stream.
class BatchUi final : public plat::UiServices {
 public:
  explicit BatchUi(std::string pad) : pad_(std::move(pad)) {}
  int MessageBox(const std::string& text, UINT type, const std::string&) override {
    std::fprintf(stderr, "tv_synth: %s\n", text.c_str());
    return plat::DefaultButton(type);
  }
  void MessageBeep(UINT) override {}
  std::optional<std::string> FileDialog(const plat::FileDialogOptions&) override { return pad_; }
  std::optional<std::string> BrowseFolder(const std::string&) override { return std::nullopt; }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  void SetPaneText(int, const std::string&, bool) override {}
  bool GetInputState() override { return false; }

 private:
  std::string pad_;
};

class NoViews final : public plat::DocumentHost {
 public:
  void UpdateAllViews(void*, LONG, void*) override {}
  void SetTitle(const std::string& title) override { title_ = title; }
  std::string GetTitle() const override { return title_; }
  void SetModifiedFlag(bool modified) override { modified_ = modified; }
  bool IsModified() const override { return modified_; }

 private:
  std::string title_;
  bool modified_ = false;
};

}  // namespace

int Process(const std::string& folder, const std::string& name, int keepFiles,
            std::string* error) {
  const std::string pad = folder + "/" + name + ".pad";
  const std::string setFolder = folder + "/" + plat::ToUpper(name) + ".00";
  BatchUi ui(pad);
  plat::UiServices* previous = plat::InstallUi(&ui);
  int located = 0, events = 0;
  {
    NoViews host;
    CTremviaDoc doc(host);
    if (!doc.OnOpenDocument(setFolder + "/000000.WAV") || !doc.m_pHypo->m_fpAEH) {
      plat::InstallUi(previous);
      if (error) *error = "cannot open the experiment " + pad;
      return -1;
    }
    do {
      ++events;
      doc.ProcessCurrentEvent(3, true, 0, -1, 0, 0);
      located += doc.m_pHypo->m_Rec.nArrivals > 4;
    } while (doc.StepEvent(1));
  }
  plat::InstallUi(previous);
  for (int i = std::max(keepFiles, 0); keepFiles >= 0 && i < events; ++i)
    std::remove(plat::Format("%s/%06d.WAV", setFolder.c_str(), i).c_str());
  plat::InvalidateFolderCache();
  return located;
}

}  // namespace synthcube
