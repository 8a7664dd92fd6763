// Test double of the UI services. Questions (boxes with more than one button) and
// dialogs are answered from a queue of expected prompts; a prompt that is not the next
// expected one fails the running test. Boxes with only an OK button need no script: they
// are answered IDOK (an expected OK prompt at the head of the queue is consumed when its
// text matches). Everything shown, every beep and status text and the wait-cursor
// balance are recorded. Installs itself while it lives; unanswered expectations left at
// destruction fail the test.
#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/UiServices.h"

namespace plat::testing {

enum class Prompt { Message, OpenFile, SaveFile, Folder };

struct ShownPrompt {
  Prompt kind;
  std::string text;     // box text, or dialog title
  std::string caption;  // box caption
  UINT type = 0;        // MB_* of a box, OFN_* of a file dialog
  std::string filter;   // file dialogs
  int answer = 0;       // ID* of a box; IDOK/IDCANCEL of a dialog
  std::optional<std::string> path;  // chosen path of a dialog
};

struct PaneText {
  int pane;
  std::string text;
  bool update;
};

class ScriptedUi : public UiServices {
 public:
  ScriptedUi();
  ~ScriptedUi() override;
  ScriptedUi(const ScriptedUi&) = delete;
  ScriptedUi& operator=(const ScriptedUi&) = delete;

  // `pattern` must occur in the box text (or dialog title); an empty pattern matches all.
  ScriptedUi& ExpectMessage(const std::string& pattern, int answer);
  // A file dialog of the given kind answered with `path`, or cancelled with nothing.
  ScriptedUi& ExpectFileDialog(Prompt kind, const std::string& titlePattern,
                               std::optional<std::string> path);
  ScriptedUi& ExpectFolder(const std::string& titlePattern, std::optional<std::string> path);
  // The first n polls of GetInputState report nothing, poll n + 1 reports input; the
  // input then counts as processed.
  void InputPendingAfter(int n);

  std::size_t PendingExpectations() const { return expected_.size(); }
  const std::vector<ShownPrompt>& Shown() const { return shown_; }
  std::vector<std::string> MessageTexts() const;
  const std::vector<UINT>& Beeps() const { return beeps_; }
  const std::vector<PaneText>& PaneTexts() const { return panes_; }
  int WaitCursorDepth() const { return waitDepth_; }
  int WaitCursorBegins() const { return waitBegins_; }
  int InputPolls() const { return polls_; }

  int MessageBox(const std::string& text, UINT type, const std::string& caption) override;
  void MessageBeep(UINT type) override;
  std::optional<std::string> FileDialog(const FileDialogOptions& options) override;
  std::optional<std::string> BrowseFolder(const std::string& title) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void SetPaneText(int pane, const std::string& text, bool update) override;
  bool GetInputState() override;

 private:
  struct Expectation {
    Prompt kind;
    std::string pattern;
    int answer = 0;
    std::optional<std::string> path;
  };
  // Takes the head of the queue when it is of `kind` and matches `text`.
  std::optional<Expectation> Take(Prompt kind, const std::string& text, bool mustMatch);

  UiServices* previous_ = nullptr;
  std::deque<Expectation> expected_;
  std::vector<ShownPrompt> shown_;
  std::vector<UINT> beeps_;
  std::vector<PaneText> panes_;
  int waitDepth_ = 0;
  int waitBegins_ = 0;
  int polls_ = 0;
  int inputAt_ = -1;
};

}  // namespace plat::testing
