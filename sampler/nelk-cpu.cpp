// nelk-cpu: prints the machine's CPU usage, in percent, as at most five characters
// ("12.5"), and never sleeps: it compares /proc/stat with the reading it kept from its
// previous run in a small state file. The prompt runs it twice a second, so the figure
// covers the last half second (a quarter second at least); a first run (or a lost state file)
// reports the usage since boot.
//
// It runs for every frame, so it is written for its start-up: C library calls only (no C++
// runtime to load and relocate), one read of /proc/stat, and a state record of fixed size
// rewritten in place with a check value. A torn or foreign record fails the check and
// counts as missing, which makes concurrent runs and crashes harmless without a temporary
// file and a rename.
//
// State file: $XDG_RUNTIME_DIR/nelk-cpu.state when that can be opened for writing, else
// $HOME/.cache/nelk-cpu.state (the folder is made only when missing).
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Reading {
  uint64_t Total = 0;
  uint64_t Idle = 0;
};

// The kept reading and its figure in tenths of a percent, as written in the state file:
// "<total:20> <idle:20> <tenths:4> <check:8 hex>\n".
struct Record {
  Reading Last;
  uint32_t Tenths = 0;
};
constexpr long Record_Size = 56;
constexpr long Checked_Size = 47;  // everything before the check value

// Parses decimal digits at `*at`; false when there are none or the value overflows.
bool Take_Number(const char** at, const char* end, uint64_t* value) {
  const char* p = *at;
  uint64_t result = 0;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    const uint64_t digit = static_cast<uint64_t>(*p - '0');
    if (result > (UINT64_MAX - digit) / 10) {
      return false;
    }
    result = result * 10 + digit;
  }
  if (p == *at) {
    return false;
  }
  *at = p;
  *value = result;
  return true;
}

// The aggregate "cpu" line of /proc/stat and the number of "cpuN" lines after it; guest
// time is already counted in user time. NELK_CPU_PROC_STAT names another file (tests).
bool Read_Proc_Stat(Reading* reading, uint64_t* processors) {
  static char buffer[1 << 16];  // the whole file in one read, beyond 500 processors
  const char* path = getenv("NELK_CPU_PROC_STAT");
  const int file =
      ::open(path != nullptr && *path != '\0' ? path : "/proc/stat", O_RDONLY | O_CLOEXEC);
  if (file < 0) {
    return false;
  }
  const ssize_t length = ::read(file, buffer, sizeof buffer);
  ::close(file);
  if (length <= 0) {
    return false;
  }
  const char* p = buffer;
  const char* const end = buffer + length;
  if (length < 4 || memcmp(p, "cpu ", 4) != 0) {
    return false;
  }
  p += 4;
  uint64_t field[8];
  for (uint64_t& value : field) {
    while (p < end && *p == ' ') {
      ++p;
    }
    if (!Take_Number(&p, end, &value)) {
      return false;
    }
  }
  reading->Total = 0;
  for (const uint64_t value : field) {
    if (reading->Total + value < value) {
      return false;
    }
    reading->Total += value;
  }
  reading->Idle = field[3] + field[4];  // idle and iowait
  *processors = 0;
  for (p = static_cast<const char*>(memchr(p, '\n', static_cast<size_t>(end - p)));
       p != nullptr && end - p > 4 && memcmp(p + 1, "cpu", 3) == 0 && p[4] >= '0' && p[4] <= '9';
       p = static_cast<const char*>(memchr(p + 1, '\n', static_cast<size_t>(end - p - 1)))) {
    ++*processors;
  }
  return true;
}

uint32_t Check_Value(const char* bytes, long length) {
  uint32_t hash = 2166136261U;  // FNV-1a
  for (long i = 0; i < length; ++i) {
    hash = (hash ^ static_cast<unsigned char>(bytes[i])) * 16777619U;
  }
  return hash;
}

// Writes `value` right-aligned in `width` characters, with leading zeros.
void Put_Number(char* at, int width, uint64_t value, unsigned base) {
  for (int i = width - 1; i >= 0; --i) {
    at[i] = "0123456789abcdef"[value % base];
    value /= base;
  }
}

bool Join(char* path, size_t room, const char* folder, const char* name) {
  const size_t folder_length = strlen(folder);
  const size_t name_length = strlen(name);
  if (folder_length + name_length >= room) {
    return false;
  }
  stpcpy(stpcpy(path, folder), name);
  return true;
}

int Open_State(const char* path) {
  // Not through a link: the old rename replaced one, writing in place would follow it.
  return ::open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// The state file, open for reading and writing; -1 when there is none to be had.
int State_File() {
  char path[4096];
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime == '/' &&
      Join(path, sizeof path, runtime, "/nelk-cpu.state")) {
    // A runtime folder that cannot be written (gone, read-only, another user's) is no
    // reason to keep no state: the one in the home folder serves.
    if (const int file = Open_State(path); file >= 0) {
      return file;
    }
  }
  const char* home = getenv("HOME");
  if (home == nullptr || *home == '\0' ||
      !Join(path, sizeof path, home, "/.cache/nelk-cpu.state")) {
    return -1;
  }
  int file = Open_State(path);
  if (file < 0 && errno == ENOENT) {
    path[strlen(path) - strlen("/nelk-cpu.state")] = '\0';
    ::mkdir(path, 0700);
    strcat(path, "/nelk-cpu.state");
    file = Open_State(path);
  }
  return file;
}

// The kept record; false when it is missing, of another size, or fails its check.
bool Load(int file, Record* record) {
  char bytes[Record_Size + 1];
  if (::pread(file, bytes, sizeof bytes, 0) != Record_Size || bytes[Record_Size - 1] != '\n') {
    return false;
  }
  const char* p = bytes;
  const char* const end = bytes + Record_Size - 1;
  uint64_t tenths = 0;
  uint64_t check = 0;
  if (!Take_Number(&p, end, &record->Last.Total) || *p++ != ' ' ||
      !Take_Number(&p, end, &record->Last.Idle) || *p++ != ' ' || !Take_Number(&p, end, &tenths) ||
      *p++ != ' ' || p != bytes + Checked_Size) {
    return false;
  }
  static const char Hex_Digits[] = "0123456789abcdef";
  for (; p < end; ++p) {
    // strchr would find the terminator too.
    const char* digit = *p == '\0' ? nullptr : strchr(Hex_Digits, *p);
    if (digit == nullptr) {
      return false;
    }
    check = check * 16 + static_cast<uint64_t>(digit - Hex_Digits);
  }
  record->Tenths = static_cast<uint32_t>(tenths);
  return check == Check_Value(bytes, Checked_Size) && tenths <= 1000 &&
         record->Last.Idle <= record->Last.Total;
}

void Save(int file, const Record& record) {
  char bytes[Record_Size];
  Put_Number(bytes, 20, record.Last.Total, 10);
  bytes[20] = ' ';
  Put_Number(bytes + 21, 20, record.Last.Idle, 10);
  bytes[41] = ' ';
  Put_Number(bytes + 42, 4, record.Tenths, 10);
  bytes[46] = ' ';
  Put_Number(bytes + 47, 8, Check_Value(bytes, Checked_Size), 16);
  bytes[55] = '\n';
  // One write of the whole record: a concurrent reader sees the old record, the new one,
  // or a torn one that fails its check. A longer foreign file is cut to the record.
  if (::pwrite(file, bytes, sizeof bytes, 0) == Record_Size) {
    struct stat status;
    if (::fstat(file, &status) == 0 && status.st_size > Record_Size) {
      // Left longer, the file only reads as damaged at the next run: a first run again.
      [[maybe_unused]] const int cut = ::ftruncate(file, Record_Size);
    }
  }
}

// Busy share of the time between two readings, in tenths of a percent, 0 to 1000.
uint32_t Tenths_Between(const Reading& before, const Reading& after) {
  const double total = static_cast<double>(after.Total - before.Total);
  const double idle = static_cast<double>(after.Idle - before.Idle);
  const double tenths = 1000.0 * (total - idle) / total + 0.5;
  return tenths < 0.0 ? 0 : (tenths > 1000.0 ? 1000 : static_cast<uint32_t>(tenths));
}

// "100.0" is the widest figure: five characters.
void Print(uint32_t tenths) {
  char text[8];
  int length = 0;
  if (tenths >= 1000) {
    text[length++] = static_cast<char>('0' + tenths / 1000);
  }
  if (tenths >= 100) {
    text[length++] = static_cast<char>('0' + tenths / 100 % 10);
  }
  text[length++] = static_cast<char>('0' + tenths / 10 % 10);
  text[length++] = '.';
  text[length++] = static_cast<char>('0' + tenths % 10);
  text[length++] = '\n';
  // Nobody to tell of a failure: the reader of the figure has gone.
  [[maybe_unused]] const ssize_t written =
      ::write(STDOUT_FILENO, text, static_cast<size_t>(length));
}

}  // namespace

int main() {
  Reading now;
  uint64_t processors = 0;
  if (!Read_Proc_Stat(&now, &processors) || now.Total == 0) {
    [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, "?\n", 2);
    return 1;
  }
  const int file = State_File();
  Record previous;
  const bool kept = file >= 0 && Load(file, &previous);

  // Over fewer than a quarter second of ticks the figure says more about the rounding of
  // ticks than about the load: a burst of keys would show 0, 50 or 100. Such a run repeats
  // the last figure and keeps the older reading, so the window grows until it is enough.
  const uint64_t least_window = 25 * (processors > 0 ? processors : 1);
  if (kept && now.Total >= previous.Last.Total && now.Idle >= previous.Last.Idle &&
      now.Total - previous.Last.Total < least_window) {
    Print(previous.Tenths);
    return 0;
  }
  Record next{now, 0};
  if (kept && now.Total > previous.Last.Total && now.Idle >= previous.Last.Idle) {
    next.Tenths = Tenths_Between(previous.Last, now);
  } else {
    next.Tenths = Tenths_Between(Reading{}, now);
  }
  if (file >= 0) {
    Save(file, next);
  }
  Print(next.Tenths);
  return 0;
}
