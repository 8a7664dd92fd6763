#include "platform/Shell.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fcntl.h>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Runtime.h"
#include "platform/Strings.h"

namespace plat {
namespace {

// Starts argv[0] detached (double fork, own session) so that it outlives us and never
// becomes a zombie; true when the program could be executed.
bool SpawnDetached(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) return false;
  pid_t child = fork();
  if (child < 0) {
    close(pipefd[0]);
    close(pipefd[1]);
    return false;
  }
  if (child == 0) {
    setsid();
    pid_t grandchild = fork();
    if (grandchild == 0) {
      execvp(argv[0], argv.data());
      char fail = 1;  // exec failed: tell the parent through the close-on-exec pipe
      (void)!write(pipefd[1], &fail, 1);
      _exit(127);
    }
    _exit(grandchild < 0 ? 1 : 0);
  }
  close(pipefd[1]);
  int status = 0;
  waitpid(child, &status, 0);
  char fail = 0;
  ssize_t n = read(pipefd[0], &fail, 1);  // EOF when exec succeeded
  close(pipefd[0]);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && n == 0;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

class PosixShell final : public Shell {
 public:
  bool ShellExecute(const std::string&, const std::string& file, const std::string& parameters,
                    int) override {
    std::string resolved = ResolvePath(file);
    if (IsExecutableFile(resolved)) {
      std::vector<std::string> args{resolved};
      if (!parameters.empty()) args.push_back(parameters);
      return SpawnDetached(args);
    }
    bool isAddress = file.find("://") != std::string::npos;
    return SpawnDetached({"xdg-open", isAddress ? file : resolved});
  }
};

PosixShell g_posix;
std::atomic<Shell*> g_shell{nullptr};

}  // namespace

Shell& GetShell() {
  Shell* s = g_shell.load();
  return s ? *s : g_posix;
}

Shell* InstallShell(Shell* shell) { return g_shell.exchange(shell); }

std::optional<std::string> FindSiblingProgram(const std::string& exeName) {
  return FindSiblingProgram(exeName, ProgramFolder());
}

std::optional<std::string> FindSiblingProgram(const std::string& exeName, const std::string& folder) {
  std::string base = exeName;
  if (EndsWithNoCase(base, ".exe")) base.resize(base.size() - 4);
  for (const std::string& name : {base, base + ".exe"}) {
    std::string path = ResolvePath(JoinPath(folder, name));
    if (FileExists(path)) return path;
  }
  return std::nullopt;
}

}  // namespace plat
