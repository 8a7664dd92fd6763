// Compiled into every test binary: before anything runs, the settings folder becomes one
// inside the binary's own scratch folder, so that no test reads or writes the user's
// settings (the recent-file list, window places) and runs of two build trees never meet.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct IsolatedSettings {
  IsolatedSettings() {
    const std::string config = std::string(TV_TEST_TMPDIR) + "/config";
    std::error_code ec;
    std::filesystem::create_directories(config, ec);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  }
};

const IsolatedSettings g_isolatedSettings;

}  // namespace
