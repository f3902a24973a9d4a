// nelk-cpu: prints the machine's CPU usage, in percent, as at most five characters
// ("12.5"), and never sleeps: it compares /proc/stat with the reading it kept from its
// previous run in a small state file. The prompt runs it twice a second, so the figure
// covers the last half second (a quarter second at least); a first run (or a lost state file)
// reports the usage since boot.
//
// State file: $XDG_RUNTIME_DIR/nelk-cpu.state, else $HOME/.cache/nelk-cpu.state; one
// line "total idle usage". It is replaced by rename, so a concurrent run or a crash
// never leaves half a file, and a corrupt one is treated as missing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace {

struct Reading {
  std::uint64_t Total = 0;
  std::uint64_t Idle = 0;
};

struct State {
  Reading Last;
  double Usage = 0.0;
};

// The aggregate "cpu" line of /proc/stat; guest time is already counted in user time.
std::optional<Reading> Read_Proc_Stat() {
  std::ifstream stat("/proc/stat");
  std::string label;
  if (!(stat >> label) || label != "cpu") {
    return std::nullopt;
  }
  std::uint64_t field[8] = {};
  for (std::uint64_t& value : field) {
    if (!(stat >> value)) {
      return std::nullopt;
    }
  }
  Reading reading;
  for (const std::uint64_t value : field) {
    reading.Total += value;
  }
  reading.Idle = field[3] + field[4];  // idle and iowait
  return reading;
}

std::optional<std::string> State_Path() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime == '/') {
    return std::string(runtime) + "/nelk-cpu.state";
  }
  if (const char* home = std::getenv("HOME"); home && *home != '\0') {
    const std::string cache = std::string(home) + "/.cache";
    ::mkdir(cache.c_str(), 0700);
    return cache + "/nelk-cpu.state";
  }
  return std::nullopt;
}

std::optional<State> Load(const std::string& path) {
  std::ifstream file(path);
  State state;
  std::string rest;
  if (!(file >> state.Last.Total >> state.Last.Idle >> state.Usage) || (file >> rest) ||
      state.Last.Idle > state.Last.Total || !(state.Usage >= 0.0 && state.Usage <= 100.0)) {
    return std::nullopt;
  }
  return state;
}

void Save(const std::string& path, const State& state) {
  const std::string temporary = path + "." + std::to_string(::getpid());
  {
    std::ofstream file(temporary, std::ios::trunc);
    file << state.Last.Total << ' ' << state.Last.Idle << ' ' << state.Usage << '\n';
    if (!file.flush()) {
      std::remove(temporary.c_str());
      return;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
  }
}

// Busy share of the time between two readings, 0 to 100.
double Usage_Between(const Reading& before, const Reading& after) {
  const double total = static_cast<double>(after.Total - before.Total);
  const double idle = static_cast<double>(after.Idle - before.Idle);
  const double usage = 100.0 * (total - idle) / total;
  return usage < 0.0 ? 0.0 : (usage > 100.0 ? 100.0 : usage);
}

}  // namespace

int main() {
  const auto now = Read_Proc_Stat();
  if (!now || now->Total == 0) {
    std::puts("?");
    return 1;
  }
  const auto path = State_Path();
  const auto previous = path ? Load(*path) : std::nullopt;

  // Over fewer than a quarter second of ticks the figure says more about the rounding of
  // ticks than about the load: a burst of keys would show 0, 50 or 100. Such a run repeats
  // the last figure and keeps the older reading, so the window grows until it is enough.
  const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
  const std::uint64_t least_window =
      25 * static_cast<std::uint64_t>(processors > 0 ? processors : 1);
  State next{*now, 0.0};
  if (previous && now->Total >= previous->Last.Total && now->Idle >= previous->Last.Idle &&
      now->Total - previous->Last.Total < least_window) {
    std::printf("%.1f\n", previous->Usage);
    return 0;
  }
  if (previous && now->Total > previous->Last.Total && now->Idle >= previous->Last.Idle) {
    next.Usage = Usage_Between(previous->Last, *now);
  } else {
    next.Usage = Usage_Between(Reading{}, *now);
  }
  if (path) {
    Save(*path, next);
  }
  // "100.0" is the widest figure: five characters.
  std::printf("%.1f\n", next.Usage);
  return 0;
}
