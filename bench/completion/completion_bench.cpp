// Times Complete_Last_Word in a directory of 100,000 entries against the floor (one bare
// opendir/readdir pass over the same directory) and against bash's own completion.
//
// Usage: completion_bench [ENTRIES [RUNS]]; prints one Markdown table row per case.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "nk-shell.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
  std::string Name;
  std::string Matches;
  std::function<void()> Work;
  std::vector<double> Times;
};

double Ms_Of(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs the cases in turn, `runs` rounds, so that a burst of load on the machine
// weighs on all of them alike; the first round only warms caches.
void Measure(std::vector<Case>& cases, int runs) {
  for (int round = 0; round <= runs; ++round) {
    for (Case& c : cases) {
      const double ms = Ms_Of(c.Work);
      if (round > 0) c.Times.push_back(ms);
    }
  }
}

double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// The floor: every entry read once, each name looked at, nothing else.
std::size_t Bare_Pass() {
  DIR* dir = opendir(".");
  if (dir == nullptr) std::abort();
  std::size_t bytes = 0;
  while (const dirent* entry = readdir(dir)) bytes += entry->d_name[0];
  closedir(dir);
  return bytes;
}

std::size_t Matches_Of(std::string_view line) {
  const auto answer = nk::shell::Complete_Last_Word(line);
  return answer.Result->Found_Names->size() - 1;
}

std::size_t Bash_Count(const std::string& word) {
  const std::string command = "bash -c 'compgen -f " + word + "' | wc -l";
  FILE* pipe = popen(command.c_str(), "r");
  unsigned long count = 0;
  if (pipe == nullptr || std::fscanf(pipe, "%lu", &count) != 1) std::abort();
  pclose(pipe);
  return count;
}

void Run_Bash(const std::string& script) {
  const std::string command = "bash -c '" + script + "' >/dev/null";
  // compgen fails when it finds nothing; only a shell that cannot start is fatal.
  if (std::system(command.c_str()) == -1) std::abort();
}

}  // namespace

int main(int argc, char** argv) {
  const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
  if (entries < 1 || runs < 1) {
    std::printf("usage: completion_bench [ENTRIES [RUNS]], both at least 1\n");
    return 2;
  }
  char templ[] = "/tmp/nkbenchXXXXXX";
  if (mkdtemp(templ) == nullptr || chdir(templ) != 0) return 1;
  for (int i = 0; i < entries; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "file_%06d.dat", i);
    const int fd = open(name, O_CREAT | O_WRONLY, 0644);
    if (fd < 0) return 1;
    close(fd);
  }

  const std::string one = "e_054321.";  // file_054321.dat only
  const std::string many = "e_012";     // file_012000.dat .. file_012999.dat
  std::vector<Case> cases;
  cases.push_back({"bare opendir/readdir pass", std::to_string(entries), [] { Bare_Pass(); }, {}});
  for (const std::string& word : {one, many}) {
    const std::string line = "ls " + word;
    cases.push_back({"Complete_Last_Word `" + line + "`",
                     std::to_string(Matches_Of(line)),
                     [line] { Matches_Of(line); },
                     {}});
  }
  cases.push_back({"bash -c ':' (start-up only)", "-", [] { Run_Bash(":"); }, {}});
  for (const std::string word : {"file_054321.", "file_012"}) {
    const std::string script = "compgen -f " + word;
    cases.push_back({"bash -c '" + script + "'",
                     std::to_string(Bash_Count(word)),
                     [script] { Run_Bash(script); },
                     {}});
  }
  Measure(cases, runs);

  const double floor = Median(cases.front().Times);
  std::printf("| case | matches | median ms | vs bare pass |\n|---|---:|---:|---:|\n");
  for (const Case& c : cases) {
    const double ms = Median(c.Times);
    std::printf("| %s | %s | %.2f | %.2f |\n", c.Name.c_str(), c.Matches.c_str(), ms, ms / floor);
  }

  if (chdir("/") != 0) return 1;
  std::filesystem::remove_all(templ);
  return 0;
}
