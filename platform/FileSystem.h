// Paths, folders and folder listings with the behaviour the program expects of the
// Windows file system:
// - "\" and "/" are both separators;
// - an existing file or folder is found whatever the case of the name asked for
//   (component by component; the exact name wins, then the first match in
//   case-insensitive order); names not found keep the case given, so new files are
//   created as named;
// - listings follow the Windows wildcard rules and come sorted case-insensitively (so
//   "the first five" are the same on every run);
// - a rename never replaces an existing file.
// Folder listings are cached because event stepping probes many missing names; a cached
// listing is dropped when this program changes the folder and re-read when the folder's
// modification time moves, so files written by other programs are still found.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plat {

// Path text.
std::string NormalizeSeparators(const std::string& path);  // "\" becomes "/"
std::string JoinPath(const std::string& folder, const std::string& name);

// The path of the existing file or folder `path` names without regard to case, or, when
// it does not exist, the path with its existing leading folders resolved and the rest as
// given. Always uses "/" separators.
std::string ResolvePath(const std::string& path);
bool FileExists(const std::string& path);    // an existing regular file
bool FolderExists(const std::string& path);  // an existing folder
std::optional<std::uint64_t> FileSize(const std::string& path);

// Windows wildcard match of a file name: "*" any run, "?" one character, letters without
// regard to case; a pattern ending in ".*" also matches names without a dot ("*.*"
// matches every name) and one ending in "." matches names without a dot only.
bool MatchesWildcard(const std::string& pattern, const std::string& name);

struct FindData {
  std::string name;  // as on disk
  bool isFolder = false;
};
// The entries of the folder part of `pattern` (e.g. "D:\\exp\\T_*.*") whose names match
// its last component, sorted case-insensitively; "." and ".." are never listed.
std::vector<FindData> FindFiles(const std::string& pattern);

// Renames `from` to `to`. Fails, changing nothing, when `from` does not exist or `to`
// names another existing file or folder (in any case); renaming a file to its own name
// in another case is allowed.
bool RenameFile(const std::string& from, const std::string& to);
bool DeleteFile(const std::string& path);
// Creates one folder; fails when it exists or its parent does not.
bool CreateFolder(const std::string& path);
bool RemoveFolder(const std::string& path);  // empty folders only

// Bytes free for this user on the file system holding `folder` (nothing on failure).
std::optional<std::uint64_t> FreeBytes(const std::string& folder);

std::string GetCurrentFolder();
bool SetCurrentFolder(const std::string& path);

// The folder for temporary files (TMPDIR, else /tmp), without a trailing separator.
std::string TempFolder();
// Creates a new empty file "<prefix>XXXX.TMP" in `folder` with a unique hex number and
// returns its path (GetTempFileName with unique 0); empty on failure.
std::string TempFileName(const std::string& folder, const std::string& prefix);

// An exclusive lock on a file, shared with other processes that lock the same file (they
// wait until it is released). The file is created when missing; the lock is held until
// the object goes. Held() is false when the file cannot be opened.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Forgets every cached folder listing.
void InvalidateFolderCache();
// Tells the cache that this program changed the folder holding `path`.
void NoteFolderChanged(const std::string& path);

}  // namespace plat
