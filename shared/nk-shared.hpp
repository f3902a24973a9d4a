// nk::shared: the persistent running total, a signed count of hundredths kept in the
// four-byte little-endian file "nk.shared.total_sum" and shared by every process that
// uses the directory. Updates hold an exclusive flock on the file from read to write, so
// no update is lost between processes; reads hold a shared one.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace nk::shared {

using Hundredths = std::int32_t;

inline constexpr Hundredths Total_First = -99'999'999;  // -999999.99
inline constexpr Hundredths Total_Last = 99'999'999;    //  999999.99
inline constexpr const char* Total_File_Name = "nk.shared.total_sum";

// A text that is not a decimal number, or whose count does not fit 32 bits.
class Conversion_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// A value or sum outside Total_First .. Total_Last.
class Range_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// The file exists but holds fewer than four bytes (or a count outside the range), or it
// cannot be read or written. The message is one line naming the file.
class File_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Another process held the file's lock for longer than the caller would wait.
class Lock_Busy : public File_Error {
 public:
  using File_Error::File_Error;
};

// Decimal text to hundredths, halves away from zero, in exact integer arithmetic.
// Accepts blanks, an optional sign, digits, and optionally a point followed by digits,
// then blanks; anything else, or a count beyond 32 bits, throws Conversion_Error. There is
// no range check here: callers decide what must lie in Total_First .. Total_Last.
Hundredths To_Hundredths(std::string_view text);
// " 0.00", " 12.50", "-0.05": a blank or a minus sign, the units, a point, two digits.
std::string Image(Hundredths value);

// Resolves the file against the current directory from now on, so a later cd does not
// move the total. False (and nothing changes) when the directory cannot be opened. Call
// at start-up, before other threads use the total; until then the relative name is used.
bool Pin_Total_Directory();
// Back to the relative name (the working directory at each access).
void Unpin_Total_Directory();

// The stored total, also kept as the last value seen; that value (0 at first) when there
// is no file, and then nothing is created. Throws File_Error for a corrupt file.
Hundredths Read_Total_Sum();
// As Read_Total_Sum, but throws Lock_Busy (the last value seen unchanged) when the lock is
// still held by another process after `lock_wait`.
Hundredths Read_Total_Sum(std::chrono::milliseconds lock_wait);
// Sets the total without reading it. Throws Range_Error (nothing written) or File_Error.
void Write_Total_Sum(Hundredths value);
// Adds `delta` to the stored total (the last value seen when there is no file) under the
// lock and returns the sum; Range_Error or File_Error leave the file as it was.
Hundredths Add_To_Total_Sum(Hundredths delta);

}  // namespace nk::shared
