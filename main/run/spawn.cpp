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

extern char** environ;

namespace nk::main {

int Status_Of(int wait_status) {
  if (WIFEXITED(wait_status)) {
    return WEXITSTATUS(wait_status);
  }
  if (WIFSIGNALED(wait_status)) {
    return 128 + WTERMSIG(wait_status);
  }
  return No_Process;
}

namespace {

std::vector<char*> Argv_Of(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  return argv;
}

// posix_spawn's error, 0 when `child` started. The child starts with every signal at its
// default action and none blocked.
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
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  if (own_group) {
    posix_spawnattr_setpgroup(&attributes, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  posix_spawnattr_setflags(&attributes, flags);
  const auto argv = Argv_Of(program, arguments);
  const int error =
      posix_spawn(&child, program.c_str(), actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  return error;
}

// The process handle of a child; invalid on a kernel without process handles. By
// number: the C library of this system declares pidfd_open without C linkage.
Descriptor Process_Handle(pid_t child) {
  return Descriptor(static_cast<int>(::syscall(SYS_pidfd_open, child, 0)));
}

}  // namespace

int Run_Program(const std::string& program, const std::vector<std::string>& arguments,
                void (*on_child)(pid_t)) {
  pid_t child = 0;
  const int error = Spawn(child, program, arguments, nullptr, false);
  if (error != 0) {
    return error == EACCES || error == ENOEXEC || error == EISDIR ? Cannot_Run : No_Process;
  }
  if (on_child != nullptr) {
    on_child(child);
  }
  int wait_status = 0;
  const pid_t ended = Restarted([&] { return ::waitpid(child, &wait_status, 0); });
  if (on_child != nullptr) {
    on_child(0);
  }
  return ended == child ? Status_Of(wait_status) : No_Process;
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
  return Bounded_Child{child, Process_Handle(child)};
}

bool Wait_Within(const Bounded_Child& child, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int wait_status = 0;
    const pid_t ended = ::waitpid(child.Pid, &wait_status, WNOHANG);
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
