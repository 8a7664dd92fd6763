// A benchmark's own working folder: a fresh folder under the system's temporary folder
// (mkdtemp), removed with everything in it when the object goes, so that runs write
// nowhere near the build and never into each other's files.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace tv_bench {

class TempFolder {
 public:
  explicit TempFolder(const char* name = "tv_bench") {
    std::error_code ec;
    std::string pattern =
        (std::filesystem::temp_directory_path(ec) / (std::string(name) + ".XXXXXX")).string();
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Empty when the folder could not be made.
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The program's own working folder, made on first use and removed when the program ends.
inline const std::string& WorkDir() {
  static const TempFolder folder("tv_bench");
  return folder.Path();
}

}  // namespace tv_bench
