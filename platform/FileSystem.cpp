#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "platform/Runtime.h"
#include "platform/Strings.h"

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace plat {
namespace {

struct Entry {
  std::string name;
  bool isFolder;
};

struct Listing {
  struct timespec mtime {};
  std::vector<Entry> entries;  // sorted case-insensitively
};

std::mutex g_cacheMutex;
std::unordered_map<std::string, Listing> g_cache;

bool LessNoCase(const std::string& a, const std::string& b) {
  int c = CompareNoCase(a, b);
  return c != 0 ? c < 0 : a < b;
}

bool Exists(const std::string& p, struct stat* st = nullptr) {
  struct stat s {};
  bool ok = ::stat(p.c_str(), &s) == 0;
  if (st) *st = s;
  return ok;
}

std::string AbsoluteKey(const std::string& folder) {
  if (!folder.empty() && folder[0] == '/') return folder;
  std::string cwd = GetCurrentFolder();
  if (folder.empty() || folder == ".") return cwd;
  return JoinPath(cwd, folder);
}

double Seconds(const struct timespec& t) { return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9; }

std::vector<Entry> ReadFolder(const std::string& folder) {
  std::vector<Entry> out;
  DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!d) return out;
  while (struct dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    bool dir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st {};
      dir = Exists(JoinPath(folder, n), &st) && S_ISDIR(st.st_mode);
    }
    out.push_back({n, dir});
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) { return LessNoCase(a.name, b.name); });
  return out;
}

// The listing of `folder` (as the caller names it), from the cache when still valid.
std::vector<Entry> GetListing(const std::string& folder) {
  struct stat st {};
  if (!Exists(folder.empty() ? "." : folder, &st) || !S_ISDIR(st.st_mode)) return {};
  std::string key = AbsoluteKey(folder);
  {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    auto it = g_cache.find(key);
    if (it != g_cache.end() && it->second.mtime.tv_sec == st.st_mtim.tv_sec &&
        it->second.mtime.tv_nsec == st.st_mtim.tv_nsec)
      return it->second.entries;
  }
  double listedAt = WallClockSeconds();
  Listing l;
  l.entries = ReadFolder(folder);
  // A listing taken in the same file-system clock tick as the last change might miss a
  // file created right after it with the same time stamp: do not keep such a listing.
  if (listedAt - Seconds(st.st_mtim) > 0.05) {
    l.mtime = st.st_mtim;
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache[key] = l;
  }
  return l.entries;
}

std::vector<std::string> SplitPath(const std::string& p) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= p.size()) {
    std::size_t slash = p.find('/', start);
    if (slash == std::string::npos) slash = p.size();
    if (slash > start) parts.push_back(p.substr(start, slash - start));
    start = slash + 1;
  }
  return parts;
}

// Folder part (resolved) and last component (as given) of a path to be created.
std::pair<std::string, std::string> ResolveParent(const std::string& path) {
  std::string p = NormalizeSeparators(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  auto slash = p.rfind('/');
  if (slash == std::string::npos) return {std::string(), p};
  std::string folder = slash == 0 ? std::string("/") : ResolvePath(p.substr(0, slash));
  return {folder, p.substr(slash + 1)};
}

bool MatchFrom(const char* p, const char* n) {
  while (*p) {
    if (*p == '*') {
      while (*p == '*') ++p;
      if (!*p) return true;
      for (const char* s = n; *s; ++s)
        if (MatchFrom(p, s)) return true;
      return MatchFrom(p, n + std::char_traits<char>::length(n));
    }
    if (!*n) return false;
    if (*p != '?') {
      char a = *p, b = *n;
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b + 32);
      if (a != b) return false;
    }
    ++p;
    ++n;
  }
  return *n == 0;
}

}  // namespace

std::string NormalizeSeparators(const std::string& path) {
  std::string p = path;
  std::replace(p.begin(), p.end(), '\\', '/');
  return p;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  char last = folder.back();
  if (last == '/' || last == '\\') return folder + name;
  return folder + "/" + name;
}

std::string ResolvePath(const std::string& path) {
  std::string p = NormalizeSeparators(path);
  if (p.empty() || Exists(p)) return p;
  bool absolute = p[0] == '/';
  bool trailing = p.size() > 1 && p.back() == '/';
  std::vector<std::string> parts = SplitPath(p);
  std::string cur = absolute ? "/" : "";
  std::size_t i = 0;
  for (; i < parts.size(); ++i) {
    const std::string& comp = parts[i];
    std::string cand = JoinPath(cur, comp);
    if (comp == "." || comp == ".." || Exists(cand)) {
      cur = cand;
      continue;
    }
    const std::string* hit = nullptr;
    std::vector<Entry> listing = GetListing(cur);
    for (const Entry& e : listing)
      if (EqualsNoCase(e.name, comp)) {
        hit = &e.name;
        break;
      }
    if (!hit) break;
    cur = JoinPath(cur, *hit);
  }
  for (; i < parts.size(); ++i) cur = JoinPath(cur, parts[i]);
  if (trailing && (cur.empty() || cur.back() != '/')) cur += '/';
  return cur;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return Exists(ResolvePath(path), &st) && S_ISREG(st.st_mode);
}

bool FolderExists(const std::string& path) {
  struct stat st {};
  return Exists(ResolvePath(path), &st) && S_ISDIR(st.st_mode);
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (!Exists(ResolvePath(path), &st) || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  if (MatchFrom(pattern.c_str(), name.c_str())) return true;
  bool dotless = name.find('.') == std::string::npos;
  if (dotless && pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, ".*") == 0)
    return MatchFrom(pattern.substr(0, pattern.size() - 2).c_str(), name.c_str());
  if (dotless && !pattern.empty() && pattern.back() == '.')
    return MatchFrom(pattern.substr(0, pattern.size() - 1).c_str(), name.c_str());
  return false;
}

std::vector<FindData> FindFiles(const std::string& pattern) {
  std::string p = NormalizeSeparators(pattern);
  auto slash = p.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : p.substr(0, slash == 0 ? 1 : slash);
  std::string mask = slash == std::string::npos ? p : p.substr(slash + 1);
  std::vector<FindData> out;
  if (!folder.empty()) folder = ResolvePath(folder);
  for (const Entry& e : GetListing(folder))
    if (MatchesWildcard(mask, e.name)) out.push_back({e.name, e.isFolder});
  return out;
}

void InvalidateFolderCache() {
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  g_cache.clear();
}

void NoteFolderChanged(const std::string& path) {
  std::string p = NormalizeSeparators(path);
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  auto slash = p.rfind('/');
  std::string folder = slash == std::string::npos ? std::string() : p.substr(0, slash == 0 ? 1 : slash);
  std::string key = AbsoluteKey(folder);
  std::lock_guard<std::mutex> lock(g_cacheMutex);
  g_cache.erase(key);
}

bool RenameFile(const std::string& from, const std::string& to) {
  std::string src = ResolvePath(from);
  struct stat s {};
  if (!Exists(src, &s)) return false;
  auto [folder, name] = ResolveParent(to);
  std::string dst = JoinPath(folder, name);
  std::string existing = ResolvePath(dst);
  struct stat t {};
  if (Exists(existing, &t) && !(t.st_dev == s.st_dev && t.st_ino == s.st_ino)) return false;
  if (src == dst) return true;
  long rc = ::syscall(SYS_renameat2, AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE);
  if (rc != 0 && (errno == EINVAL || errno == ENOSYS)) {
    // File systems without the no-replace flag: a hard link fails on an existing target.
    if (S_ISDIR(s.st_mode)) {
      rc = Exists(dst) ? -1 : ::rename(src.c_str(), dst.c_str());
    } else {
      rc = ::link(src.c_str(), dst.c_str());
      if (rc == 0) ::unlink(src.c_str());
    }
  }
  NoteFolderChanged(src);
  NoteFolderChanged(dst);
  return rc == 0;
}

bool DeleteFile(const std::string& path) {
  std::string p = ResolvePath(path);
  bool ok = ::unlink(p.c_str()) == 0;
  if (ok) NoteFolderChanged(p);
  return ok;
}

bool CreateFolder(const std::string& path) {
  auto [folder, name] = ResolveParent(path);
  std::string p = JoinPath(folder, name);
  if (Exists(ResolvePath(p))) return false;
  bool ok = ::mkdir(p.c_str(), 0777) == 0;
  if (ok) NoteFolderChanged(p);
  return ok;
}

bool RemoveFolder(const std::string& path) {
  std::string p = ResolvePath(path);
  bool ok = ::rmdir(p.c_str()) == 0;
  if (ok) {
    NoteFolderChanged(p);
    InvalidateFolderCache();  // cached listings below it are gone too
  }
  return ok;
}

std::optional<std::uint64_t> FreeBytes(const std::string& folder) {
  struct statvfs v {};
  std::string p = ResolvePath(folder);
  if (::statvfs(p.empty() ? "." : p.c_str(), &v) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(v.f_bavail) * v.f_frsize;
}

std::string GetCurrentFolder() {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return std::string();
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

bool SetCurrentFolder(const std::string& path) {
  std::string p = ResolvePath(path);
  return !p.empty() && ::chdir(p.c_str()) == 0;
}

std::string TempFolder() {
  auto t = GetEnv("TMPDIR");
  std::string f = t && !t->empty() ? *t : std::string("/tmp");
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  return f;
}

std::string TempFileName(const std::string& folder, const std::string& prefix) {
  std::string dir = ResolvePath(folder);
  auto seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() ^ ::getpid());
  for (unsigned i = 0; i < 0x10000; ++i) {
    unsigned n = (seed + i) & 0xFFFF;
    if (n == 0) continue;
    std::string p = JoinPath(dir, Format("%s%X.TMP", prefix.substr(0, 3).c_str(), n));
    int fd = ::open(p.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      NoteFolderChanged(p);
      return p;
    }
    if (errno != EEXIST) return std::string();
  }
  return std::string();
}

FileLock::FileLock(const std::string& path) {
  const std::string p = ResolvePath(path);
  fd_ = ::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) return;
  NoteFolderChanged(p);
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
}

}  // namespace plat
