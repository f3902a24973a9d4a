// The total as a redraw reads it twice a second: from the file only when the file has
// changed since the last read, so an idle prompt does not open, lock and read it each time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <ctime>
#include <optional>

#include "nk-shared.hpp"

namespace nk::shared {

// The directory the total file is resolved against (AT_FDCWD until pinned).
int Total_Directory();

// Read_Total_Sum(lock_wait), with the value kept while the file's device, inode, size, modification
// and change times stay as they were. A change by any process shows at the next Read:
// a file changed within the last two seconds is always read again, since a second write
// within the file system's time granule would leave all of these as they were.
class Total_Cache {
 public:
  // As Read_Total_Sum(lock_wait): the same value, the same File_Error, and Lock_Busy
  // when another process holds the lock that long.
  Hundredths Read(std::chrono::milliseconds lock_wait);

 private:
  struct Key {
    dev_t Device;
    ino_t Inode;
    off_t Size;
    timespec Modified;
    timespec Changed;
  };
  std::optional<Key> key_;
  Hundredths value_ = 0;
};

}  // namespace nk::shared
