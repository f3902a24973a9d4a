// Display columns: wcwidth under a UTF-8 character type held for this unit alone, so
// neither the caller's locale nor the process's is changed or needed.
#include <locale.h>
#include <wchar.h>

#include "nk-text.hpp"

namespace nk::text {
namespace {

// C.UTF-8, made once; null when the C library has no such locale.
locale_t Utf8_Locale() {
  static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

// The UTF-8 character type for the calling thread while alive (uselocale is per thread).
class Utf8_Scope {
 public:
  Utf8_Scope() : previous_(Utf8_Locale() ? ::uselocale(Utf8_Locale()) : locale_t{}) {}
  ~Utf8_Scope() {
    if (previous_) ::uselocale(previous_);
  }
  Utf8_Scope(const Utf8_Scope&) = delete;
  Utf8_Scope& operator=(const Utf8_Scope&) = delete;

  bool Active() const { return previous_ != locale_t{}; }

 private:
  locale_t previous_;
};

// Shown_Cell inside a Utf8_Scope.
Cell Cell_In(const Utf8_Scope& scope, char32_t c) {
  constexpr Cell replaced{Replacement_Character, 1};
  if (Is_Control(c) || Has_No_Utf8_Form(c)) return replaced;
  if (c < 0x7F) return {c, 1};
  if (!scope.Active()) return {c, 1};
  const int width = ::wcwidth(static_cast<wchar_t>(c));
  if (width < 0) return replaced;
  return {c, static_cast<std::size_t>(width)};
}

}  // namespace

Cell Shown_Cell(char32_t c) {
  const Utf8_Scope scope;
  return Cell_In(scope, c);
}

std::size_t Display_Columns(std::u32string_view text) {
  const Utf8_Scope scope;
  std::size_t columns = 0;
  for (const char32_t c : text) columns += Cell_In(scope, c).Columns;
  return columns;
}

std::string Encode_Shown(std::u32string_view text) {
  const Utf8_Scope scope;
  std::u32string shown;
  shown.reserve(text.size());
  for (const char32_t c : text) shown += Cell_In(scope, c).Shown;
  return Encode_Utf8(shown);
}

}  // namespace nk::text
