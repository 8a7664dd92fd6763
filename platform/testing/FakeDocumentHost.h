// Test double of the document host: records every UpdateAllViews call and keeps the
// title and modified flag.
#pragma once
#include <string>
#include <vector>

#include "platform/DocumentHost.h"

namespace plat::testing {

class FakeDocumentHost : public DocumentHost {
 public:
  struct Update {
    void* sender;
    LONG hint;
    void* object;
  };

  void UpdateAllViews(void* sender, LONG hint, void* object) override {
    updates.push_back({sender, hint, object});
  }
  void SetTitle(const std::string& t) override {
    title = t;
    titles.push_back(t);
  }
  std::string GetTitle() const override { return title; }
  void SetModifiedFlag(bool m) override { modified = m; }
  bool IsModified() const override { return modified; }

  std::vector<LONG> Hints() const {
    std::vector<LONG> h;
    for (const auto& u : updates) h.push_back(u.hint);
    return h;
  }

  std::vector<Update> updates;
  std::vector<std::string> titles;
  std::string title;
  bool modified = false;
};

}  // namespace plat::testing
