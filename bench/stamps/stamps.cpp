#ifdef NK_STAMPS
#include <time.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "nk-stamps.hpp"

namespace nk::stamps {

namespace {

struct Entry {
  std::int64_t Nanoseconds;
  Point Where;
};

// Fixed and never freed: a stamp must cost a clock read, not an allocation or a lock.
std::array<Entry, 1 << 20> entries;
std::atomic<std::size_t> used{0};

}  // namespace

void Stamp(Point point) {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  const std::size_t slot = used.fetch_add(1, std::memory_order_relaxed);
  if (slot < entries.size()) {
    entries[slot] = {now.tv_sec * 1'000'000'000LL + now.tv_nsec, point};
  }
}

void Write_Out() {
  const char* path = std::getenv("NK_STAMPS_FILE");
  if (path == nullptr) {
    return;
  }
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    return;
  }
  const std::size_t count = std::min(used.load(), entries.size());
  for (std::size_t i = 0; i < count; ++i) {
    std::fprintf(out, "%c %lld\n", static_cast<char>(entries[i].Where),
                 static_cast<long long>(entries[i].Nanoseconds));
  }
  std::fclose(out);
}

}  // namespace nk::stamps
#endif
