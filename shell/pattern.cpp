// Wildcard patterns compiled to a position (Glushkov) automaton: every "*", set and
// literal byte is one position, "?" and a negated set two (the first byte of a character,
// then its continuation bytes); braces only add edges between positions, so a pattern of
// n bytes holding k "?" has at most n + k + 1 positions, whatever its alternatives.
#include "pattern.hpp"

#include <algorithm>
#include <bit>
#include <bitset>

#include "nk-shell.hpp"

namespace nk::shell {

namespace {

// Past these, the quadratic follow table or the open braces' sets would grow unbounded.
constexpr std::size_t Max_Pattern_Length = 4096;  // no longer path can be opened
constexpr std::size_t Max_Brace_Depth = 64;
// Bounds the cache of deterministic states to 512 KiB per pattern.
constexpr std::size_t Max_Dfa_States = 512;

using Byte_Set = std::bitset<256>;

// The bytes 0x80 to 0xBF, which continue a UTF-8 character and never start one.
Byte_Set Continuation_Bytes() {
  Byte_Set bytes;
  for (std::size_t b = 0x80; b <= 0xBF; ++b) bytes.set(b);
  return bytes;
}

void Set_Bit(std::uint64_t* set, std::size_t position) {
  set[position / 64] |= std::uint64_t{1} << (position % 64);
}

void Or_Into(std::uint64_t* target, const std::uint64_t* source, std::size_t words) {
  for (std::size_t w = 0; w < words; ++w) target[w] |= source[w];
}

// Calls `visit` with every position present in `set`.
template <typename Visit>
void For_Each_Position(const std::uint64_t* set, std::size_t words, Visit visit) {
  for (std::size_t w = 0; w < words; ++w) {
    for (std::uint64_t bits = set[w]; bits != 0; bits &= bits - 1) {
      visit(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
    }
  }
}

[[noreturn]] void Fail(std::string_view pattern, std::string_view fault) {
  std::string message = "ill-formed pattern \"";
  message.append(pattern).append("\": ").append(fault);
  throw Completion_Error(message);
}

}  // namespace

// What a piece of pattern contributes: the positions that can read its first and last
// character, and whether it can match the empty text.
struct Pattern::Fragment {
  std::vector<std::uint64_t> First;
  std::vector<std::uint64_t> Last;
  bool Nullable = true;
};

class Pattern::Parser {
 public:
  explicit Parser(Pattern& pattern) : p_(pattern), text_(pattern.text_) {}

  // Reads the whole text. Braces are kept on a list of their own, not on the call stack: a
  // thread's stack may be a few KiB (ulimit -s), and each nesting would take a frame.
  Fragment Whole() {
    std::vector<Open_Brace> open;
    Fragment sequence = Empty();
    while (i_ < text_.size()) {
      const char c = text_[i_];
      if (c == '{') {
        ++i_;
        p_.literal_ = false;
        if (open.size() == Max_Brace_Depth) Fail(text_, "braces nested too deeply");
        open.push_back({std::move(sequence), Empty()});
        open.back().Choice.Nullable = false;
        sequence = Empty();
      } else if (!open.empty() && (c == ',' || c == '}')) {  // outside braces: ordinary
        ++i_;
        Fragment& choice = open.back().Choice;
        Or_Into(choice.First.data(), sequence.First.data(), p_.words_);
        Or_Into(choice.Last.data(), sequence.Last.data(), p_.words_);
        choice.Nullable = choice.Nullable || sequence.Nullable;
        if (c == ',') {
          sequence = Empty();
        } else {
          sequence = std::move(open.back().Before);
          Concatenate(sequence, choice);
          open.pop_back();
        }
      } else {
        Concatenate(sequence, Item());
      }
    }
    if (!open.empty()) Fail(text_, "\"{\" without \"}\"");
    return sequence;
  }

 private:
  // Braces not yet closed: the sequence they stand in, and their alternatives so far.
  struct Open_Brace {
    Fragment Before;
    Fragment Choice;
  };

  Fragment Empty() const {
    return Fragment{std::vector<std::uint64_t>(p_.words_), std::vector<std::uint64_t>(p_.words_),
                    true};
  }

  // A new position reading any byte of `bytes`.
  Fragment Position(const Byte_Set& bytes, bool repeats) {
    const std::size_t q = p_.positions_++;
    for (std::size_t b = 0; b < 256; ++b) {
      if (bytes[b]) Set_Bit(&p_.admit_[b * p_.words_], q);
    }
    if (repeats) Set_Bit(&p_.follow_[q * p_.words_], q);
    Fragment f = Empty();
    Set_Bit(f.First.data(), q);
    Set_Bit(f.Last.data(), q);
    f.Nullable = repeats;
    return f;
  }

  // One whole character whose first byte is one of `first`: that byte, then any
  // continuation bytes.
  Fragment Character(const Byte_Set& first) {
    Fragment character = Position(first & ~Continuation_Bytes(), false);
    Concatenate(character, Position(Continuation_Bytes(), true));
    return character;
  }

  // Appends `next` to `so_far`: every last position of `so_far` may go on to `next`.
  void Concatenate(Fragment& so_far, const Fragment& next) {
    const std::size_t words = p_.words_;
    For_Each_Position(so_far.Last.data(), words, [&](std::size_t last) {
      Or_Into(&p_.follow_[last * words], next.First.data(), words);
    });
    if (so_far.Nullable) Or_Into(so_far.First.data(), next.First.data(), words);
    if (next.Nullable) {
      Or_Into(so_far.Last.data(), next.Last.data(), words);
    } else {
      so_far.Last = next.Last;
    }
    so_far.Nullable = so_far.Nullable && next.Nullable;
  }

  // A "*", "?", set or literal byte.
  Fragment Item() {
    const char c = text_[i_];
    if (c == '*' || c == '?') {
      ++i_;
      p_.literal_ = false;
      return c == '*' ? Position(Byte_Set().set(), true) : Character(Byte_Set().set());
    }
    if (c == '[') return Set();
    ++i_;
    Byte_Set one;
    one.set(static_cast<unsigned char>(c));
    return Position(one, false);
  }

  Fragment Set() {
    p_.literal_ = false;
    std::size_t j = i_ + 1;
    const bool negated = j < text_.size() && (text_[j] == '!' || text_[j] == '^');
    if (negated) ++j;
    Byte_Set bytes;
    for (bool first = true;; first = false) {
      if (j >= text_.size()) Fail(text_, "\"[\" without \"]\"");
      const auto low = static_cast<unsigned char>(text_[j]);
      if (low == ']' && !first) break;
      // A byte of a non-ASCII character would stand for only part of it.
      if (low >= 0x80) Fail(text_, "non-ASCII character in \"[\"");
      if (j + 2 < text_.size() && text_[j + 1] == '-' && text_[j + 2] != ']') {
        const auto high = static_cast<unsigned char>(text_[j + 2]);
        if (high >= 0x80) Fail(text_, "non-ASCII character in \"[\"");
        if (high < low) Fail(text_, "reversed range in \"[\"");
        for (unsigned b = low; b <= high; ++b) bytes.set(b);
        j += 3;
      } else {
        bytes.set(low);
        ++j;
      }
    }
    i_ = j + 1;
    return negated ? Character(~bytes) : Position(bytes, false);
  }

  Pattern& p_;
  std::string_view text_;
  std::size_t i_ = 0;
};

Pattern::Pattern(std::string_view text) : text_(text) {
  if (text.size() > Max_Pattern_Length) {
    Fail(text.substr(0, 32), "longer than 4096 characters");
  }
  // Room for the most positions the text can make; Shrink gives back what is unused.
  const std::size_t most =
      text.size() + 1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '?'));
  words_ = (most + 63) / 64;
  follow_.assign(most * words_, 0);
  admit_.assign(256 * words_, 0);
  const Fragment whole = Parser(*this).Whole();
  Or_Into(&follow_[0], whole.First.data(), words_);
  accept_ = whole.Last;
  if (whole.Nullable) Set_Bit(accept_.data(), 0);
  Shrink();
  if (positions_ <= 64) {
    // A step from a set of live positions then costs one look-up per eight of them.
    reach_.resize((positions_ + 7) / 8);
    for (std::size_t chunk = 0; chunk < reach_.size(); ++chunk) {
      auto& table = reach_[chunk];
      table[0] = 0;
      for (unsigned v = 1; v < 256; ++v) {
        const std::size_t position = chunk * 8 + static_cast<std::size_t>(std::countr_zero(v));
        const std::uint64_t own = position < positions_ ? follow_[position] : 0;
        table[v] = table[v & (v - 1)] | own;
      }
    }
  }
}

// Sets were sized for one position per character; brackets and braces need fewer.
void Pattern::Shrink() {
  const std::size_t words = (positions_ + 63) / 64;
  if (words == words_) return;
  const auto narrow = [&](std::vector<std::uint64_t>& sets, std::size_t count) {
    std::vector<std::uint64_t> narrowed(count * words);
    for (std::size_t s = 0; s < count; ++s) {
      std::copy_n(&sets[s * words_], words, &narrowed[s * words]);
    }
    sets = std::move(narrowed);
  };
  narrow(follow_, positions_);
  narrow(admit_, 256);
  narrow(accept_, 1);
  words_ = words;
}

Pattern::State Pattern::Start() const {
  if (!reach_.empty()) return State{1, Intern(1)};
  State state(words_, 0);
  state[0] = 1;
  return state;
}

// One byte read by a pattern of at most 64 positions.
std::uint64_t Pattern::Step_Small(std::uint64_t live, unsigned char c) const {
  std::uint64_t next = 0;
  for (std::size_t chunk = 0; chunk < reach_.size(); ++chunk) {
    next |= reach_[chunk][(live >> (chunk * 8)) & 0xFF];
  }
  return next & admit_[c];
}

// The number (from 1) of the deterministic state for `live`, or 0 once the cache is full.
std::uint32_t Pattern::Intern(std::uint64_t live) const {
  const auto known = dfa_numbers_.find(live);
  if (known != dfa_numbers_.end()) return known->second;
  if (dfa_sets_.size() >= Max_Dfa_States) return 0;
  dfa_sets_.push_back(live);
  dfa_moves_.resize(dfa_sets_.size() * 256, 0);
  const auto number = static_cast<std::uint32_t>(dfa_sets_.size());
  dfa_numbers_.emplace(live, number);
  return number;
}

// Reads `text` with one table look-up per byte once the states met are cached; beyond
// the cache's bound it goes on with the position sets.
void Pattern::Advance_Small(std::uint64_t& live, std::uint64_t& number,
                            std::string_view text) const {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (number != 0) {
      const std::size_t move = (number - 1) * 256 + byte;
      if (dfa_moves_[move] == 0) {
        const std::uint32_t next = Intern(Step_Small(dfa_sets_[number - 1], byte));
        dfa_moves_[move] = next;  // after Intern, which may grow the table
      }
      if (dfa_moves_[move] != 0) {
        number = dfa_moves_[move];
        continue;
      }
      live = dfa_sets_[number - 1];
      number = 0;
    }
    live = Step_Small(live, byte);
  }
  if (number != 0) live = dfa_sets_[number - 1];
}

void Pattern::Advance(State& state, std::string_view text, State& scratch) const {
  if (!reach_.empty()) return Advance_Small(state[0], state[1], text);
  scratch.resize(words_);
  for (const char c : text) {
    std::fill(scratch.begin(), scratch.end(), 0);
    For_Each_Position(state.data(), words_, [&](std::size_t position) {
      Or_Into(scratch.data(), &follow_[position * words_], words_);
    });
    const std::uint64_t* admit = &admit_[static_cast<unsigned char>(c) * words_];
    bool alive = false;
    for (std::size_t w = 0; w < words_; ++w) {
      state[w] = scratch[w] & admit[w];
      alive = alive || state[w] != 0;
    }
    if (!alive) break;
  }
}

bool Pattern::Accepts(const State& state) const {
  for (std::size_t w = 0; w < words_; ++w) {
    if ((state[w] & accept_[w]) != 0) return true;
  }
  return false;
}

bool Pattern::Matches_After(const State& state, std::string_view text, State& work,
                            State& scratch) const {
  if (!reach_.empty()) {
    std::uint64_t live = state[0];
    std::uint64_t number = state[1];
    Advance_Small(live, number, text);
    return (live & accept_[0]) != 0;
  }
  work = state;
  Advance(work, text, scratch);
  return Accepts(work);
}

bool Pattern::Matches(std::string_view text) const {
  State work;
  State scratch;
  return Matches_After(Start(), text, work, scratch);
}

}  // namespace nk::shell
