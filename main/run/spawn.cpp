#include "run/spawn.hpp"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>

#include "nk-descriptor.hpp"
#include "terminal/tty.hpp"

extern char** environ;

namespace nk::main {
namespace {

// posix_spawn's error, 0 when `child` started.
int Spawn(pid_t& child, const std::string& program, const std::vector<std::string>& arguments,
          const posix_spawn_file_actions_t* actions, bool own_group) {
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    return EAGAIN;
  }
  // The shell ignores SIGINT and SIGQUIT while a child runs; without these resets the
  // child would inherit that and Control-C could not stop it.
  sigset_t all;
  sigset_t none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attributes, &all);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK |
                                            (own_group ? POSIX_SPAWN_SETPGROUP : 0));
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  const int error =
      posix_spawn(&child, program.c_str(), actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return error;
}

}  // namespace

int Run_Program(const std::string& program, const std::vector<std::string>& arguments) {
  pid_t child = 0;
  const int error = Spawn(child, program, arguments, nullptr, false);
  if (error != 0) {
    return error == EACCES || error == ENOEXEC || error == EISDIR ? Cannot_Run : No_Process;
  }
  tty::Note_Program(child);
  int status = 0;
  const pid_t ended = Restarted([&] { return ::waitpid(child, &status, 0); });
  tty::Note_Program(0);
  if (ended != child) {
    return No_Process;
  }
  return WIFEXITED(status)     ? WEXITSTATUS(status)
         : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                               : No_Process;
}

std::optional<Bounded_Child> Start_Bounded(const std::string& program,
                                           const std::vector<std::string>& arguments,
                                           const std::string& folder) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    return std::nullopt;
  }
  // Descriptor 2 first: a shell that cannot start in its folder, or cannot open a
  // redirection, writes its complaint there, which would land on the prompt.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t child = 0;
  const int error = Spawn(child, program, arguments, &actions, true);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    return std::nullopt;
  }
  // By number: this system's C library declares pidfd_open without C linkage.
  return Bounded_Child{child, Descriptor(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)))};
}

bool Wait_Within(const Bounded_Child& child, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const pid_t ended = ::waitpid(child.Pid, nullptr, WNOHANG);
    if (ended == child.Pid || ended < 0) {  // WNOHANG: never waits, so never interrupted
      return true;
    }
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return false;
    }
    // Without a process handle (an old kernel), a look every 5 ms.
    const bool handle = child.Handle.Valid();
    pollfd ready{child.Handle.Get(), POLLIN, 0};
    ::poll(&ready, handle ? 1 : 0,
           static_cast<int>(handle ? left.count() : std::min<std::int64_t>(5, left.count())));
  }
}

void Kill_Group(const Bounded_Child& child) {
  ::kill(-child.Pid, SIGKILL);
}

}  // namespace nk::main
