// Starting another program or opening a document or address with its usual viewer
// (ShellExecute with the "open" verb). Windows programs named "X.exe" are looked for in
// the program's folder as "X", then "X.exe". Results mean only "could be started"; the
// started program is never waited for.
#pragma once
#include <optional>
#include <string>

namespace plat {

// Show commands as ShellExecute takes them.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOW = 5;

class Shell {
 public:
  virtual ~Shell() = default;
  // verb is "open"; `file` is a program, a document or an address; `parameters` goes to
  // a program as one argument (not split at blanks); empty parameters pass none.
  virtual bool ShellExecute(const std::string& verb, const std::string& file,
                            const std::string& parameters, int showCmd) = 0;
};

// The installed shell (a POSIX one that starts programs detached and opens documents
// and addresses with xdg-open, when nothing is installed).
Shell& GetShell();
Shell* InstallShell(Shell* shell);  // nullptr restores the default; returns the previous

// "X.exe" (or "X") in `folder` (default: the program's folder): the path of "X" when it
// exists there, else of "X.exe", else nothing. Names are matched without regard to case.
std::optional<std::string> FindSiblingProgram(const std::string& exeName);
std::optional<std::string> FindSiblingProgram(const std::string& exeName, const std::string& folder);

}  // namespace plat
