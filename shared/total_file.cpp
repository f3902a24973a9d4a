// The total file: four bytes, little-endian two's complement count of hundredths.
//
// Locking: every access opens its own descriptor (flock belongs to the open file, so
// threads of one process exclude each other too). Reads hold LOCK_SH, read-modify-writes
// hold LOCK_EX from the read to the write, and the bytes are written in place (pwrite, then
// a longer file cut to four) so that no reader ever meets a short file during an update.
// In place rather than a new file renamed over the old one: the lock belongs to the
// file, and a renamed-in file would leave waiters locking one nobody reads any more.
// Creation: the file is created with O_EXCL while the directory itself is locked
// exclusively, and written before that lock is dropped. A reader that finds an empty file
// may have opened it between its creation and its first write, so it waits for the
// directory lock and looks again; only then is an empty file corrupt.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "nk-descriptor.hpp"
#include "nk-shared.hpp"

namespace nk::shared {
namespace {

using Bytes = std::array<unsigned char, 4>;

// The directory the file name is resolved against: AT_FDCWD until pinned.
std::atomic<int> Pinned_Directory{AT_FDCWD};
// The last value read or written by this process: what a missing file reads as.
std::atomic<Hundredths> Total_Sum{0};

[[noreturn]] void Fail(const char* doing) {
  throw File_Error(std::string(Total_File_Name) + ": " + doing + ": " + std::strerror(errno));
}

[[noreturn]] void Corrupt(const char* why) {
  throw File_Error(std::string(Total_File_Name) + ": corrupt total file (" + why + ")");
}

[[noreturn]] void Not_Regular() {
  throw File_Error(std::string(Total_File_Name) + ": not a regular file");
}

// True for a symbolic link that another user (neither we nor root) may have planted in a
// folder that others may write to: followed, it would let them aim our write at any file
// of ours, so it is refused, as Linux's protected_symlinks refuses it in sticky folders.
bool Planted(int link, int directory) {
  struct stat own {};
  struct stat folder {};
  return ::fstatat(link, "", &own, AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW) == 0 &&
         own.st_uid != ::geteuid() && own.st_uid != 0 && ::fstat(directory, &folder) == 0 &&
         (folder.st_mode & S_IWOTH) != 0;
}

// openat of the file name. A symbolic link is checked, then read and followed through one
// descriptor of the link itself, so that no other link can be swapped in between.
int Open_Name(int directory, int flags, mode_t mode) {
  const int fd = ::openat(directory, Total_File_Name, flags | O_NOFOLLOW, mode);
  if (fd >= 0 || errno != ELOOP) {
    return fd;
  }
  const Descriptor link(::openat(directory, Total_File_Name, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  const Descriptor folder(
      ::openat(directory, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));  // AT_FDCWD has no mode
  if (!link.Valid() || !folder.Valid()) {
    return -1;
  }
  if (Planted(link.Get(), folder.Get())) {
    throw File_Error(std::string(Total_File_Name) +
                     ": a symbolic link of another user, in a folder others may write to");
  }
  std::array<char, PATH_MAX> target{};
  const auto length = ::readlinkat(link.Get(), "", target.data(), target.size() - 1);
  if (length < 0) {
    return -1;
  }
  return ::openat(directory, target.data(), flags, mode);
}

// Opens the file, which must be a regular one (a symbolic link to one will do). Non-blocking:
// a pipe of that name would otherwise hang the open until a writer came. No controlling
// terminal: a terminal of that name must not become one. Neither is read or written.
Descriptor Open_Total(int flags, mode_t mode = 0) {
  const int directory = Pinned_Directory.load();
  Descriptor file(Open_Name(directory, flags | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, mode));
  struct stat status {};
  if (file.Valid()) {
    if (::fstat(file.Get(), &status) == 0 && !S_ISREG(status.st_mode)) {
      Not_Regular();
    }
  } else if (errno != ENOENT && errno != EEXIST) {
    // A directory refuses writing (EISDIR), a socket every open (ENXIO).
    const int error = errno;
    if (::fstatat(directory, Total_File_Name, &status, 0) == 0 && !S_ISREG(status.st_mode)) {
      Not_Regular();
    }
    errno = error;
  }
  return file;
}

// A descriptor of the directory fit for flock; invalid when it cannot be read, in which
// case creation goes on unguarded rather than failing.
Descriptor Open_Directory() {
  return Descriptor(::openat(Pinned_Directory.load(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

using Clock = std::chrono::steady_clock;
// When a waiter gives up on a lock; none: it waits as long as the holder holds it.
using Deadline = std::optional<Clock::time_point>;

void Lock(int fd, int operation, Deadline deadline = std::nullopt) {
  if (!deadline) {
    if (Restarted([&] { return ::flock(fd, operation); }) != 0) {
      Fail("cannot lock");
    }
    return;
  }
  // flock has no time-out: tries, with pauses growing to 16 ms, until the deadline.
  auto pause = std::chrono::milliseconds(1);
  while (Restarted([&] { return ::flock(fd, operation | LOCK_NB); }) != 0) {
    if (errno != EWOULDBLOCK) {
      Fail("cannot lock");
    }
    const auto now = Clock::now();
    if (now >= *deadline) {
      throw Lock_Busy(std::string(Total_File_Name) + ": locked by another process");
    }
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, *deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(16));
  }
}

// Up to four bytes from offset 0; the number read.
std::size_t Read_Bytes(int fd, Bytes& bytes) {
  const auto n = Read_Full_At(fd, bytes.data(), bytes.size(), 0);
  if (n < 0) {
    Fail("cannot read");
  }
  return static_cast<std::size_t>(n);
}

Bytes Bytes_Of(Hundredths value) {
  const auto bits = static_cast<std::uint32_t>(value);
  return {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
          static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
}

// Writes the four bytes in place. A failed write puts back what it had overwritten of
// `old` (the stored bytes, when there were four), so the file holds the old total or the
// new one, never a mix; the error names the system's reason.
void Write_Bytes(int fd, Hundredths value, const Bytes* old) {
  const Bytes bytes = Bytes_Of(value);
  if (const std::size_t done = Write_All(fd, bytes.data(), bytes.size(), 0); done < bytes.size()) {
    const int error = errno;
    if (done > 0 && old != nullptr) {
      Write_All(fd, old->data(), done, 0);
    }
    errno = error;
    Fail("cannot write");
  }
  // Only a longer file is cut, and failing to cut it loses nothing: the first four bytes
  // are the total.
  struct stat status {};
  if (::fstat(fd, &status) == 0 && status.st_size > static_cast<off_t>(bytes.size())) {
    [[maybe_unused]] const int cut = ::ftruncate(fd, static_cast<off_t>(bytes.size()));
  }
}

// Takes `operation` on the open total file and returns the stored count, keeping the lock.
Hundredths Read_Locked(int fd, int operation, Deadline deadline = std::nullopt) {
  Bytes bytes{};
  Lock(fd, operation, deadline);
  auto count = Read_Bytes(fd, bytes);
  if (count == 0) {
    Lock(fd, LOCK_UN);
    const auto directory = Open_Directory();
    if (directory.Valid()) {
      Lock(directory.Get(), LOCK_SH, deadline);  // waits for a creator's first write
    }
    Lock(fd, operation, deadline);
    count = Read_Bytes(fd, bytes);
  }
  if (count < bytes.size()) {
    Corrupt("fewer than four bytes");
  }
  const auto bits =
      static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
      (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
  const auto value = static_cast<Hundredths>(bits);
  if (value < Total_First || value > Total_Last) {
    Corrupt("count outside -999999.99 .. 999999.99");
  }
  return value;
}

// Creates the file holding `value`; false when it already exists.
bool Create_Holding(Hundredths value) {
  const auto directory = Open_Directory();
  if (directory.Valid()) {
    Lock(directory.Get(), LOCK_EX);
  }
  const auto file = Open_Total(O_RDWR | O_CREAT | O_EXCL, 0666);
  if (!file.Valid()) {
    struct stat status {};
    if (errno == EEXIST &&
        (::fstatat(Pinned_Directory.load(), Total_File_Name, &status, 0) == 0 || errno != ENOENT)) {
      return false;
    }
    // EEXIST yet nothing to open: a symbolic link to nowhere, which would loop forever.
    Fail("cannot create");
  }
  Lock(file.Get(), LOCK_EX);
  try {
    Write_Bytes(file.Get(), value, nullptr);
  } catch (const File_Error&) {
    // An empty file would read as corrupt: leave none (the directory lock is still held).
    ::unlinkat(Pinned_Directory.load(), Total_File_Name, 0);
    throw;
  }
  return true;
}

Hundredths Checked_Sum(Hundredths total, Hundredths delta) {
  const std::int64_t sum = std::int64_t{total} + delta;
  if (sum < Total_First || sum > Total_Last) {
    throw Range_Error("the new total is not from -999999.99 to 999999.99");
  }
  return static_cast<Hundredths>(sum);
}

}  // namespace

bool Pin_Total_Directory() {
  const int fd = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const int old = Pinned_Directory.exchange(fd);
  if (old >= 0) {
    ::close(old);
  }
  return true;
}

void Unpin_Total_Directory() {
  const int old = Pinned_Directory.exchange(AT_FDCWD);
  if (old >= 0) {
    ::close(old);
  }
}

namespace {

Hundredths Read_Total_Sum_By(Deadline deadline) {
  const auto file = Open_Total(O_RDONLY);
  if (!file.Valid()) {
    if (errno == ENOENT) {
      return Total_Sum.load();
    }
    Fail("cannot open");
  }
  const auto value = Read_Locked(file.Get(), LOCK_SH, deadline);
  Total_Sum.store(value);
  return value;
}

}  // namespace

Hundredths Read_Total_Sum() {
  return Read_Total_Sum_By(std::nullopt);
}

Hundredths Read_Total_Sum(std::chrono::milliseconds lock_wait) {
  return Read_Total_Sum_By(Clock::now() + lock_wait);
}

void Write_Total_Sum(Hundredths value) {
  if (value < Total_First || value > Total_Last) {
    throw Range_Error("the total is not from -999999.99 to 999999.99");
  }
  for (;;) {
    const auto file = Open_Total(O_RDWR);
    if (file.Valid()) {
      Lock(file.Get(), LOCK_EX);
      Bytes old{};
      Write_Bytes(file.Get(), value, Read_Bytes(file.Get(), old) == old.size() ? &old : nullptr);
      break;
    }
    if (errno != ENOENT) {
      Fail("cannot open");
    }
    if (Create_Holding(value)) {
      break;
    }
  }
  Total_Sum.store(value);
}

Hundredths Add_To_Total_Sum(Hundredths delta) {
  for (;;) {
    const auto file = Open_Total(O_RDWR);
    if (file.Valid()) {
      const auto total = Read_Locked(file.Get(), LOCK_EX);
      Total_Sum.store(total);
      const auto sum = Checked_Sum(total, delta);
      const Bytes old = Bytes_Of(total);
      Write_Bytes(file.Get(), sum, &old);
      Total_Sum.store(sum);
      return sum;
    }
    if (errno != ENOENT) {
      Fail("cannot open");
    }
    // Checked before anything is created, so a failed first update leaves no empty file.
    const auto sum = Checked_Sum(Total_Sum.load(), delta);
    if (Create_Holding(sum)) {
      Total_Sum.store(sum);
      return sum;
    }
  }
}

}  // namespace nk::shared
