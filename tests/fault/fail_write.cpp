// Preloaded into nelk by the end-to-end tests: writes to the total file fail as on a full
// disk or a failing device, which a test running as root cannot arrange otherwise.
//   NK_FAIL_WRITE=N        every pwrite to the file fails with errno N
//   NK_FAIL_WRITE=short:N  the first writes one byte, the second fails with N, later ones
//                          (putting the old bytes back) go through
#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

using Pwrite = ssize_t (*)(int, const void*, size_t, off_t);

bool Is_Total_File(int fd) {
  char link[64];
  char target[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const auto length = ::readlink(link, target, sizeof target);
  constexpr std::string_view name = "/nk.shared.total_sum";
  return length > 0 && std::string_view(target, static_cast<std::size_t>(length)).ends_with(name);
}

ssize_t Faulty(const char* symbol, int fd, const void* buffer, size_t count, off_t offset) {
  static const auto real = reinterpret_cast<Pwrite>(::dlsym(RTLD_NEXT, symbol));
  static int calls = 0;
  const char* setting = std::getenv("NK_FAIL_WRITE");
  if (setting == nullptr || !Is_Total_File(fd)) {
    return real(fd, buffer, count, offset);
  }
  const std::string_view text(setting);
  const bool partial = text.starts_with("short:");
  const int error = std::atoi(setting + (partial ? 6 : 0));
  ++calls;
  if (partial && calls == 1 && count > 1) {
    return real(fd, buffer, 1, offset);
  }
  if (partial && calls > 2) {
    return real(fd, buffer, count, offset);
  }
  errno = error;
  return -1;
}

}  // namespace

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  return Faulty("pwrite", fd, buffer, count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset) {
  return Faulty("pwrite64", fd, buffer, count, offset);
}
