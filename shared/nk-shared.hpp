// nk::shared: the persistent running total, a signed count of hundredths kept in the
// four-byte little-endian file "nk.shared.total_sum" and shared by every process that
// uses the directory. Updates hold an exclusive flock on the file from read to write.
#pragma once

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
// The file exists but holds fewer than four bytes, or cannot be read or written.
class File_Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Decimal text to hundredths, halves away from zero, exact integer arithmetic.
Hundredths To_Hundredths(std::string_view text);
// " 0.00", " 12.50", "-0.05".
std::string Image(Hundredths value);

// Resolves the file against the current directory once, so a later cd does not move it.
void Pin_Total_Directory();

// The stored total; the last value seen (0 at first) when there is no file.
Hundredths Read_Total_Sum();
// Sets the total (range-checked) without reading it.
void Write_Total_Sum(Hundredths value);
// Adds `delta` under the lock; the sum is range-checked before anything is written.
Hundredths Add_To_Total_Sum(Hundredths delta);

}  // namespace nk::shared
