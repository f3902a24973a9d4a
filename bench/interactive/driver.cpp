// Interactive cost of a shell behind a pseudo-terminal: keystroke-to-echo latency, a
// 10,000-character paste, Tab with one match among 100,001 names, idle CPU of the shell's
// own threads and of the processes it started, wake-ups (and, with NK_BENCH_STRACE=1,
// futex calls) per idle redraw, and memory: peak, and the growth from a full history of
// 2048 lines of 1,000 characters. Prints one Markdown table row.
//
//   driver NAME -- PROGRAM [ARGS...]
//
// The shell runs with HOME set to a fresh directory whose bin/cpu is $NK_BENCH_CPU (a
// sampler binary), or else a script that prints 1.0; TERM=xterm, PS1='$ ' and
// HISTSIZE=2048. Keys are lower-case letters typed 40 ms apart; the echo of a key is the
// first output after the write that contains that letter. NK_BENCH_NO_TAB=1 leaves Tab out.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto Key_Gap = std::chrono::milliseconds(40);
constexpr auto Idle_Span = std::chrono::seconds(10);
constexpr int Rounds_Of_Keys = 4;

struct Shell {
  pid_t Pid = -1;
  int Master = -1;
};

// Reads what arrives within `wait` into `into`; true when something came.
bool Read_For(int fd, std::string& into, std::chrono::milliseconds wait) {
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) {
    return false;
  }
  char buffer[4096];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n <= 0) {
    return false;
  }
  into.append(buffer, static_cast<std::size_t>(n));
  return true;
}

// Reads until nothing has come for `quiet`, for at most one second: nelk redraws its
// status line twice a second, so it is never quiet for long.
void Settle(int fd, std::chrono::milliseconds quiet, std::string* into = nullptr) {
  std::string ignored;
  const auto end = Clock::now() + std::chrono::seconds(1);
  while (Clock::now() < end && Read_For(fd, into ? *into : ignored, quiet)) {
  }
}

// Keys for the shell; one that cannot go shows as a missing echo in the figures.
void Type(int master, const void* keys, std::size_t size) {
  [[maybe_unused]] const ssize_t written = ::write(master, keys, size);
}

Shell Start(const std::vector<std::string>& command, const std::string& home) {
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& word : command) {
    argv.push_back(const_cast<char*>(word.c_str()));
  }
  argv.push_back(nullptr);
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 200;
  Shell shell;
  shell.Pid = ::forkpty(&shell.Master, nullptr, nullptr, &size);
  if (shell.Pid > 0) {
    // Keys are written while the output is read: a full input queue must not block.
    ::fcntl(shell.Master, F_SETFL, ::fcntl(shell.Master, F_GETFL) | O_NONBLOCK);
  }
  if (shell.Pid == 0) {
    if (::chdir(home.c_str()) != 0) {
      ::_exit(127);
    }
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("TERM", "xterm", 1);
    ::setenv("PS1", "$ ", 1);
    ::setenv("USER", "bench", 1);
    ::setenv("HISTSIZE", "2048", 1);  // bash keeps 500 lines, zsh 30, unless told
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  return shell;
}

std::vector<pid_t> Threads_Of(pid_t pid) {
  std::vector<pid_t> threads;
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    threads.push_back(std::stoi(entry.path().filename()));
  }
  return threads;
}

// CPU time (ns) and voluntary context switches of the process's own threads; the
// sampler processes it starts are other processes and are not counted.
struct Usage {
  double Cpu_Ns = 0;
  long Wakeups = 0;
  double Children_Ms = 0;  // of the children waited for, in clock ticks (10 ms)
};

Usage Own_Usage(pid_t pid) {
  Usage usage;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));  // after the name
  std::string field;
  for (int n = 3; n <= 17 && fields >> field; ++n) {
    if (n == 16 || n == 17) {  // cutime, cstime
      usage.Children_Ms += std::stod(field) * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
  }
  for (const pid_t tid : Threads_Of(pid)) {
    const std::string base = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
    std::ifstream schedstat(base + "/schedstat");
    double ns = 0;
    if (schedstat >> ns) {
      usage.Cpu_Ns += ns;
    }
    std::ifstream status(base + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
        usage.Wakeups += std::stol(line.substr(line.find(':') + 1));
      }
    }
  }
  return usage;
}

// A "VmHWM:" or "VmRSS:" figure of /proc/PID/status, in KiB.
long Status_Kb(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) {
      return std::stol(line.substr(key.size()));
    }
  }
  return -1;
}

// How often `needle` occurs in `text`.
std::size_t Count(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

// Milliseconds from writing `keys` until the output holds `shown`, or -1; the output read
// is left in `seen`. A writer thread
// types while this reads: a shell that echoes each key would otherwise block on a full output queue
// while the driver blocks on its input.
double Time_Until(const Shell& shell, const std::string& keys, const std::string& shown,
                  std::string& seen,
                  std::chrono::milliseconds patience = std::chrono::milliseconds(3000)) {
  seen.clear();
  const auto start = Clock::now();
  std::atomic<bool> written{false};
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    for (std::size_t at = 0; at < keys.size() && !stop;) {
      const ssize_t n = ::write(shell.Master, keys.data() + at, keys.size() - at);
      if (n > 0) {
        at += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EAGAIN) {
        pollfd p{shell.Master, POLLOUT, 0};
        ::poll(&p, 1, 50);
      } else {
        break;
      }
    }
    written = true;
  });
  double ms = -1;
  // A shell that never gets there, busy; at least half a minute for a slow one to catch up.
  const auto give_up = start + std::max<Clock::duration>(3 * patience, std::chrono::seconds(30));
  while (seen.find(shown) == std::string::npos && Clock::now() < give_up) {
    // A shell that skips its output while keys wait may be quiet until they are all read.
    if (!Read_For(shell.Master, seen, patience) && written) {
      break;
    }
    // Only the recent output can hold the needle for the first time.
    if (seen.size() > (1 << 20)) {
      seen.erase(0, seen.size() - 4096);
    }
  }
  if (seen.find(shown) != std::string::npos) {
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    ms = took.count();
  }
  stop = true;  // a shell that takes no more keys (dash's line is full at 4095 bytes)
  writer.join();
  return ms;
}

struct Paste {
  double Ms = -1;
  std::size_t Frames = 0;  // nelk's status-line redraws until the paste showed
};

// A paste of 10,000 characters into an empty line, median of `rounds`: lower-case
// letters in words of 9, and an upper-case Q at the end. A shell that wraps the line
// redraws its end in pieces, so only that one letter is looked for.
Paste Paste_Line(const Shell& shell, int rounds) {
  std::string line = "echo ";
  for (int i = 0; line.size() < 10000 - 1; ++i) {
    line += i % 10 == 9 ? ' ' : static_cast<char>('a' + i % 26);
  }
  line += 'Q';
  std::vector<double> times;
  Paste paste;
  for (int round = 0; round < rounds; ++round) {
    Settle(shell.Master, std::chrono::milliseconds(50));
    std::string seen;
    times.push_back(Time_Until(shell, line, "Q", seen));
    paste.Frames =
        std::max(paste.Frames, Count(seen, "\rXTERM:") / 2 + Count(seen, "\rXTERM:") % 2);
    const std::string erase(line.size(), '\x7f');
    Time_Until(shell, erase, "\x01never", seen, std::chrono::milliseconds(300));
  }
  std::sort(times.begin(), times.end());
  paste.Ms = times[times.size() / 2];
  return paste;
}

// KiB the resident set of a shell started for this alone grows by while 2048 lines of
// 1,000 characters are run and kept in its history; -1 when it did not finish them within
// three minutes.
long History_Growth_Kb(const std::vector<std::string>& command, const std::string& home) {
  const Shell shell = Start(command, home);
  Settle(shell.Master, std::chrono::milliseconds(700));
  const long before = Status_Kb(shell.Pid, "VmRSS:");
  std::string lines;
  for (int n = 0; n < 2048; ++n) {
    std::string line = "true " + std::to_string(n) + " ";
    for (int i = 0; line.size() < 1000; ++i) {
      line += i % 10 == 9 ? ' ' : static_cast<char>('a' + (n + i) % 26);
    }
    lines += line + "\r";
  }
  lines += "echo DONE'_'MARK\r";  // its output, not its echo, holds DONE_MARK
  std::string seen;
  long growth = -1;
  if (Time_Until(shell, lines, "DONE_MARK", seen, std::chrono::milliseconds(60000)) >= 0) {
    Settle(shell.Master, std::chrono::milliseconds(200));
    growth = Status_Kb(shell.Pid, "VmRSS:") - before;
  }
  ::kill(shell.Pid, SIGKILL);
  ::waitpid(shell.Pid, nullptr, 0);
  return growth;
}

// Tab after "ls zuniq" in `folder` (100,000 names and zunique_target): milliseconds until
// the completed name shows, median of `rounds`; -1 when the shell does not complete.
double Tab_Ms(const Shell& shell, const std::string& folder, int rounds) {
  const std::string cd = "cd " + folder + "\n";
  Type(shell.Master, cd.data(), cd.size());
  Settle(shell.Master, std::chrono::milliseconds(300));
  std::vector<double> times;
  for (int round = 0; round < rounds; ++round) {
    Type(shell.Master, "ls zuniq", 8);
    Settle(shell.Master, std::chrono::milliseconds(100));
    std::string seen;
    const double ms = Time_Until(shell, "\t", "_target", seen);
    if (ms < 0) {
      return -1;
    }
    times.push_back(ms);
    // As many as the completed line holds ("ls " and the absolute path at most): a shell
    // that redraws per key must not still be working through them when the next Tab is timed.
    const std::string erase(folder.size() + 24, '\x7f');
    Type(shell.Master, erase.data(), erase.size());
    Settle(shell.Master, std::chrono::milliseconds(200));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Futex calls of the shell's own threads while idle for `span`, traced by strace: all of
// them, and the wakes that found nobody. Both -1 without strace.
struct Futex_Count {
  long Calls = -1;
  long Wasted = -1;
};

Futex_Count Trace_Futex(pid_t pid, std::chrono::seconds span, const std::string& log) {
  const std::vector<pid_t> own = Threads_Of(pid);
  const pid_t tracer = ::fork();
  if (tracer == 0) {
    // Each thread by itself and no -f: the sampler processes are not the shell's own.
    std::vector<std::string> words = {"strace", "-qq", "-e", "trace=futex", "-o", log};
    for (const pid_t tid : own) {
      words.push_back("-p");
      words.push_back(std::to_string(tid));
    }
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    ::execvp("strace", argv.data());
    ::_exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // attached by then
  std::this_thread::sleep_for(span);
  ::kill(tracer, SIGINT);
  int status = 0;
  ::waitpid(tracer, &status, 0);
  Futex_Count count;
  std::ifstream in(log);
  if (!in) {
    return count;
  }
  count = {0, 0};
  std::string line;
  while (std::getline(in, line)) {
    const pid_t tid = std::atoi(line.c_str());
    if (std::find(own.begin(), own.end(), tid) == own.end() ||
        line.find("futex(") == std::string::npos) {
      continue;
    }
    ++count.Calls;
    if (line.find("FUTEX_WAKE") != std::string::npos && line.size() >= 4 &&
        line.compare(line.size() - 4, 4, " = 0") == 0) {
      ++count.Wasted;
    }
  }
  return count;
}

// Milliseconds from writing each key to the first output that shows it.
std::vector<double> Echo_Latencies(const Shell& shell) {
  std::vector<double> samples;
  for (int round = 0; round < Rounds_Of_Keys; ++round) {
    for (char key = 'a'; key <= 'z'; ++key) {
      Settle(shell.Master, std::chrono::milliseconds(1));
      std::this_thread::sleep_for(Key_Gap);
      std::string seen;
      const auto start = Clock::now();
      Type(shell.Master, &key, 1);
      while (seen.find(key) == std::string::npos) {
        if (!Read_For(shell.Master, seen, std::chrono::milliseconds(2000))) {
          break;
        }
      }
      const std::chrono::duration<double, std::milli> took = Clock::now() - start;
      if (seen.find(key) != std::string::npos) {
        samples.push_back(took.count());
      }
    }
    const std::string erase(26, '\x7f');
    Type(shell.Master, erase.data(), erase.size());
    Settle(shell.Master, std::chrono::milliseconds(200));
  }
  return samples;
}

// The value below which `share` of the samples lie.
double Percentile(std::vector<double> values, double share) {
  if (values.empty()) {
    return -1;
  }
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(share * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || std::string(argv[2]) != "--") {
    std::fprintf(stderr, "usage: driver NAME -- PROGRAM [ARGS...]\n");
    return 2;
  }
  const std::string name = argv[1];
  std::vector<std::string> command(argv + 3, argv + argc);
  // The shell starts in its own home directory: a relative program path must not move.
  if (command[0].find('/') != std::string::npos) {
    command[0] = std::filesystem::absolute(command[0]).string();
  }

  char pattern[] = "/tmp/nk-bench-XXXXXX";
  const std::string home = ::mkdtemp(pattern);
  std::filesystem::create_directories(home + "/bin");
  if (const char* sampler = std::getenv("NK_BENCH_CPU"); sampler != nullptr && *sampler != '\0') {
    std::filesystem::create_symlink(std::filesystem::absolute(sampler), home + "/bin/cpu");
  } else {
    std::ofstream(home + "/bin/cpu") << "#!/bin/sh\necho 1.0\n";
    ::chmod((home + "/bin/cpu").c_str(), 0755);
  }
  const char* no_tab = std::getenv("NK_BENCH_NO_TAB");
  const bool tab = no_tab == nullptr || *no_tab != '1';

  // The folder for Tab: 100,000 names and the one that matches.
  const std::string folder = home + "/big";
  std::filesystem::create_directories(folder);
  for (int i = 0; tab && i < 100000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/f%06d", i);
    ::close(::open((folder + name).c_str(), O_CREAT | O_WRONLY, 0644));
  }
  ::close(::open((folder + "/zunique_target").c_str(), O_CREAT | O_WRONLY, 0644));

  const Shell shell = Start(command, home);
  std::string greeting;
  Settle(shell.Master, std::chrono::milliseconds(700), &greeting);
  int status = 0;
  if (::waitpid(shell.Pid, &status, WNOHANG) == shell.Pid) {
    std::fprintf(stderr, "%s ended at start-up (wait status %d): %s\n", name.c_str(), status,
                 greeting.c_str());
    std::filesystem::remove_all(home);
    return 1;
  }

  // The paste alone, for A/B rounds of the same builds in one busy minute.
  if (const char* only = std::getenv("NK_BENCH_PASTE_ONLY"); only != nullptr && *only == '1') {
    const Paste paste = Paste_Line(shell, 3);
    ::kill(shell.Pid, SIGKILL);
    ::waitpid(shell.Pid, nullptr, 0);
    std::filesystem::remove_all(home);
    std::printf("| %s | - | - | - | %.1f | %zu | - | - | - | - | - | - | - | - |\n", name.c_str(),
                paste.Ms, paste.Frames);
    return 0;
  }

  // Idle first, untouched by typing.
  const Usage before = Own_Usage(shell.Pid);
  const auto idle_start = Clock::now();
  const auto idle_end = idle_start + Idle_Span;
  std::string idle_output;
  while (Clock::now() < idle_end) {
    Read_For(shell.Master, idle_output, std::chrono::milliseconds(100));
  }
  const Usage after = Own_Usage(shell.Pid);
  const std::chrono::duration<double> idle_seconds = Clock::now() - idle_start;
  const std::size_t idle_frames = Count(idle_output, "\rXTERM:") / 2;

  Futex_Count futex;
  std::size_t traced_frames = 0;
  if (const char* trace = std::getenv("NK_BENCH_STRACE"); trace != nullptr && *trace == '1') {
    std::string traced;
    std::thread reader([&] {
      const auto end = Clock::now() + std::chrono::milliseconds(5500);
      while (Clock::now() < end) {
        Read_For(shell.Master, traced, std::chrono::milliseconds(100));
      }
    });
    futex = Trace_Futex(shell.Pid, std::chrono::seconds(5), home + "/strace.log");
    reader.join();
    traced_frames = Count(traced, "\rXTERM:") / 2;
  }

  const std::vector<double> latencies = Echo_Latencies(shell);
  const Paste paste = Paste_Line(shell, 3);
  const double tab_ms = tab ? Tab_Ms(shell, folder, 7) : -1;
  const long peak_kb = Status_Kb(shell.Pid, "VmHWM:");
  if (::waitpid(shell.Pid, &status, WNOHANG) == shell.Pid) {
    std::fprintf(stderr, "%s ended during the measurement (wait status %d)\n", name.c_str(),
                 status);
    std::filesystem::remove_all(home);
    return 1;
  }

  ::kill(shell.Pid, SIGKILL);
  ::waitpid(shell.Pid, nullptr, 0);
  // On a shell of its own: its growth from start-up, not from what typing left behind.
  const long growth_kb = History_Growth_Kb(command, home);
  std::filesystem::remove_all(home);

  const double own_ms_per_s = (after.Cpu_Ns - before.Cpu_Ns) / 1e6 / idle_seconds.count();
  const double children_ms_per_s = (after.Children_Ms - before.Children_Ms) / idle_seconds.count();
  const double wakeups_per_s =
      static_cast<double>(after.Wakeups - before.Wakeups) / idle_seconds.count();
  auto per_frame = [](double value, std::size_t frames) {
    return frames == 0 ? std::string("-")
                       : std::to_string(value / static_cast<double>(frames)).substr(0, 4);
  };
  const std::string futex_text =
      futex.Calls < 0 ? "-"
                      : per_frame(static_cast<double>(futex.Calls), traced_frames) + " (" +
                            per_frame(static_cast<double>(futex.Wasted), traced_frames) + ")";
  std::printf(
      "| %s | %.3f | %.3f | %zu | %.1f | %zu | %s | %.3f | %.1f | %.1f | %s | %s | %ld | %ld |\n",
      name.c_str(), Percentile(latencies, 0.5), Percentile(latencies, 0.9), latencies.size(),
      paste.Ms, paste.Frames, tab_ms < 0 ? "-" : std::to_string(tab_ms).substr(0, 5).c_str(),
      own_ms_per_s, children_ms_per_s, wakeups_per_s,
      per_frame(static_cast<double>(after.Wakeups - before.Wakeups), idle_frames).c_str(),
      futex_text.c_str(), peak_kb, growth_kb);
  return 0;
}
