#include "platform/testing/ScriptedUi.h"

#include <gtest/gtest.h>

namespace plat::testing {
namespace {

const char* KindName(Prompt k) {
  switch (k) {
    case Prompt::Message: return "message box";
    case Prompt::OpenFile: return "open dialog";
    case Prompt::SaveFile: return "save dialog";
    case Prompt::Folder: return "folder dialog";
  }
  return "?";
}

}  // namespace

ScriptedUi::ScriptedUi() { previous_ = InstallUi(this); }

ScriptedUi::~ScriptedUi() {
  InstallUi(previous_);
  for (const auto& e : expected_)
    ADD_FAILURE() << "expected " << KindName(e.kind) << " \"" << e.pattern << "\" was never shown";
  if (waitDepth_ != 0) ADD_FAILURE() << "wait cursor left unbalanced (depth " << waitDepth_ << ")";
}

ScriptedUi& ScriptedUi::ExpectMessage(const std::string& pattern, int answer) {
  expected_.push_back({Prompt::Message, pattern, answer, std::nullopt});
  return *this;
}

ScriptedUi& ScriptedUi::ExpectFileDialog(Prompt kind, const std::string& titlePattern,
                                         std::optional<std::string> path) {
  expected_.push_back({kind, titlePattern, path ? IDOK : IDCANCEL, std::move(path)});
  return *this;
}

ScriptedUi& ScriptedUi::ExpectFolder(const std::string& titlePattern, std::optional<std::string> path) {
  return ExpectFileDialog(Prompt::Folder, titlePattern, std::move(path));
}

void ScriptedUi::InputPendingAfter(int n) { inputAt_ = polls_ + n + 1; }

std::vector<std::string> ScriptedUi::MessageTexts() const {
  std::vector<std::string> out;
  for (const auto& s : shown_)
    if (s.kind == Prompt::Message) out.push_back(s.text);
  return out;
}

std::optional<ScriptedUi::Expectation> ScriptedUi::Take(Prompt kind, const std::string& text,
                                                        bool mustMatch) {
  bool matches = !expected_.empty() && expected_.front().kind == kind &&
                 text.find(expected_.front().pattern) != std::string::npos;
  if (matches) {
    Expectation e = expected_.front();
    expected_.pop_front();
    return e;
  }
  if (mustMatch) {
    if (expected_.empty())
      ADD_FAILURE() << "unexpected " << KindName(kind) << ": \"" << text << "\"";
    else
      ADD_FAILURE() << "unexpected " << KindName(kind) << ": \"" << text << "\" while expecting "
                    << KindName(expected_.front().kind) << " \"" << expected_.front().pattern << "\"";
  }
  return std::nullopt;
}

int ScriptedUi::MessageBox(const std::string& text, UINT type, const std::string& caption) {
  bool question = (type & MB_TYPEMASK) != MB_OK;
  auto e = Take(Prompt::Message, text, question);
  int answer = e ? e->answer : DefaultButton(type);
  shown_.push_back({Prompt::Message, text, caption, type, std::string(), answer, std::nullopt});
  return answer;
}

void ScriptedUi::MessageBeep(UINT type) { beeps_.push_back(type); }

std::optional<std::string> ScriptedUi::FileDialog(const FileDialogOptions& o) {
  Prompt kind = o.open ? Prompt::OpenFile : Prompt::SaveFile;
  auto e = Take(kind, o.title, true);
  std::optional<std::string> path = e ? e->path : std::nullopt;
  shown_.push_back({kind, o.title, std::string(), o.flags, o.filter, path ? IDOK : IDCANCEL, path});
  return path;
}

std::optional<std::string> ScriptedUi::BrowseFolder(const std::string& title) {
  auto e = Take(Prompt::Folder, title, true);
  std::optional<std::string> path = e ? e->path : std::nullopt;
  shown_.push_back({Prompt::Folder, title, std::string(), 0, std::string(), path ? IDOK : IDCANCEL, path});
  return path;
}

void ScriptedUi::BeginWaitCursor() {
  ++waitDepth_;
  ++waitBegins_;
}

void ScriptedUi::EndWaitCursor() {
  if (waitDepth_ == 0) ADD_FAILURE() << "EndWaitCursor without BeginWaitCursor";
  else --waitDepth_;
}

void ScriptedUi::SetPaneText(int pane, const std::string& text, bool update) {
  panes_.push_back({pane, text, update});
}

bool ScriptedUi::GetInputState() {
  ++polls_;
  return polls_ == inputAt_;
}

}  // namespace plat::testing
