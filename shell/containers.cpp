// The terminal thread's bounded containers: the history set and the entry tables.
#include <algorithm>

#include "nk-shell.hpp"

namespace nk::shell {

namespace {
// Largest capacity a set may be given; larger requests are a caller's mistake.
constexpr std::size_t Largest_Set = 132072;
}  // namespace

Wide_String_Set::Wide_String_Set(std::size_t size) : size_(size) {
  // A set that can hold nothing could not keep the line just appended.
  if (size == 0 || size > Largest_Set) {
    throw std::invalid_argument("Wide_String_Set capacity must be 1 .. 132072");
  }
}

std::size_t Wide_String_Set::Append(std::u32string_view item) {
  if (items_.size() == size_) items_.pop_front();  // full: the oldest line goes
  items_.push_back(text::Encode_Utf8(item));
  return items_.size();
}

void Wide_String_Set::Clear() {
  items_.clear();
}

Wide_String Wide_String_Set::Item(std::size_t index) const {
  if (index < 1 || index > items_.size()) {
    throw std::out_of_range("Wide_String_Set index outside 1 .. Count");
  }
  return text::Decode_Utf8(items_[index - 1]);
}

Attribut_Table::Attribut_Table(std::size_t size) : size_(size) {}

bool Attribut_Table::Add(Attribut_Record entry) {
  if (items_.size() >= size_) return false;
  items_.push_back(std::move(entry));
  return true;
}

bool Attribut_Table::Remove_First(std::string_view name) {
  const auto found =
      std::find_if(items_.begin(), items_.end(),
                   [name](const Attribut_Record& entry) { return entry.Name == name; });
  if (found == items_.end()) return false;
  items_.erase(found);  // later entries keep their order
  return true;
}

}  // namespace nk::shell
