// Test double of the address reader: answers from a table of canned contents (anything
// else fails) and records the addresses asked for. Installs itself while it lives.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/UrlFetcher.h"

namespace plat::testing {

class FakeUrlFetcher : public UrlFetcher {
 public:
  FakeUrlFetcher() { previous_ = InstallUrlFetcher(this); }
  ~FakeUrlFetcher() override { InstallUrlFetcher(previous_); }
  FakeUrlFetcher(const FakeUrlFetcher&) = delete;
  FakeUrlFetcher& operator=(const FakeUrlFetcher&) = delete;

  void Serve(const std::string& url, const std::string& content) {
    contents[url] = std::vector<BYTE>(content.begin(), content.end());
  }
  std::optional<std::vector<BYTE>> Fetch(const std::string& url) override {
    requested.push_back(url);
    auto it = contents.find(url);
    if (it == contents.end()) return std::nullopt;
    return it->second;
  }

  std::map<std::string, std::vector<BYTE>> contents;
  std::vector<std::string> requested;

 private:
  UrlFetcher* previous_ = nullptr;
};

}  // namespace plat::testing
