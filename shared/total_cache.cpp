#include <fcntl.h>
#include <sys/stat.h>

#include "nk-shared-cache.hpp"

namespace nk::shared {
namespace {

// Wider than any file system's time granule (FAT keeps two seconds): a file changed
// less than this before the look may still change without its times moving.
constexpr time_t Settle_Seconds = 2;

bool Same(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool Settled(const timespec& stamp, const timespec& now) {
  return stamp.tv_sec + Settle_Seconds < now.tv_sec;
}

}  // namespace

Hundredths Total_Cache::Read(std::chrono::milliseconds lock_wait) {
  // Taken before the look: a write after it has a later change time than any kept one.
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  struct stat status {};
  if (::fstatat(Total_Directory(), Total_File_Name, &status, 0) != 0 || !S_ISREG(status.st_mode)) {
    key_.reset();
    return Read_Total_Sum(lock_wait);  // missing or odd: its own rules, nothing kept
  }
  const Key key{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
  if (key_ && key_->Device == key.Device && key_->Inode == key.Inode && key_->Size == key.Size &&
      Same(key_->Modified, key.Modified) && Same(key_->Changed, key.Changed)) {
    return value_;
  }
  key_.reset();
  value_ = Read_Total_Sum(lock_wait);  // a corrupt or busy file throws and keeps nothing
  if (Settled(key.Modified, now) && Settled(key.Changed, now)) {
    key_ = key;
  }
  return value_;
}

}  // namespace nk::shared
