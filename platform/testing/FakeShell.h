// Test double of the shell: records every call and starts nothing. Installs itself
// while it lives.
#pragma once
#include <string>
#include <vector>

#include "platform/Shell.h"

namespace plat::testing {

class FakeShell : public Shell {
 public:
  struct Call {
    std::string verb;
    std::string file;
    std::string parameters;
    int showCmd;
  };
  FakeShell() { previous_ = InstallShell(this); }
  ~FakeShell() override { InstallShell(previous_); }
  FakeShell(const FakeShell&) = delete;
  FakeShell& operator=(const FakeShell&) = delete;

  bool ShellExecute(const std::string& verb, const std::string& file, const std::string& parameters,
                    int showCmd) override {
    calls.push_back({verb, file, parameters, showCmd});
    return succeed;
  }

  std::vector<Call> calls;
  bool succeed = true;  // what ShellExecute answers

 private:
  Shell* previous_ = nullptr;
};

}  // namespace plat::testing
