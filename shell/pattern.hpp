// Wildcard patterns for file-name completion, matched against a whole text.
//
// Syntax (UTF-8, case-sensitive):
//   *        any run of characters, the empty run and "/" included
//   ?        any one character, "/" included: a byte that is not a UTF-8 continuation
//            byte, with the continuation bytes after it (so a stray continuation byte,
//            which is no character, is matched only by "*")
//   [set]    one character of the set; "a-c" is a range; "!" or "^" first negates it
//            (and then matches a whole character as "?" does); "]" first (after any
//            negation) and "-" first or last stand for themselves; every other
//            character in a set is itself ("[*]" matches a star); ASCII characters only
//   {a,b}    one of the alternatives; they may be empty and may nest
//   other    itself, "]", "}" and "," outside their constructs included
// There is no escape character: a special character is matched literally with a set.
// Ill-formed: "[" without "]", "{" without "}", a reversed range ("[z-a]"), a non-ASCII
// character in a set, braces nested deeper than 64, a pattern longer than 4096 bytes.
//
// A compiled pattern is a byte-level position automaton: matching keeps the set of live
// positions, so it takes time linear in the text for a given pattern and never
// backtracks ("*a*a*a*a*b" against a long run of "a" answers at once). Matching fills a
// cache inside the pattern: one thread at a time may use a Pattern.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace nk::shell {

class Pattern {
 public:
  // The live positions after some text; opaque to callers.
  using State = std::vector<std::uint64_t>;

  // Compiles `text`; throws Completion_Error naming the pattern and the fault.
  explicit Pattern(std::string_view text);

  // True when the whole of `text` matches.
  bool Matches(std::string_view text) const;
  // True when the pattern has no wildcard construct, so it matches exactly Text().
  bool Is_Literal() const { return literal_; }
  const std::string& Text() const { return text_; }

  // Incremental matching, so that a shared prefix of many texts is read once.
  State Start() const;
  // Reads `text` after what `state` has read; `scratch` is working space.
  void Advance(State& state, std::string_view text, State& scratch) const;
  bool Accepts(const State& state) const;
  // Whether `text` read after `state` completes a match; `state` is left as it was.
  bool Matches_After(const State& state, std::string_view text, State& work, State& scratch) const;

 private:
  struct Fragment;
  class Parser;
  void Shrink();
  std::uint64_t Step_Small(std::uint64_t live, unsigned char c) const;
  std::uint32_t Intern(std::uint64_t live) const;
  void Advance_Small(std::uint64_t& live, std::uint64_t& number, std::string_view text) const;

  std::string text_;
  bool literal_ = true;
  std::size_t positions_ = 1;          // position 0 is the start
  std::size_t words_ = 1;              // 64-bit words per position set
  std::vector<std::uint64_t> follow_;  // positions_ sets: where each position may go next
  std::vector<std::uint64_t> accept_;  // one set: positions that end a match
  std::vector<std::uint64_t> admit_;   // 256 sets: positions that may read each byte
  // With at most 64 positions: union of follow sets for each byte of the live set.
  std::vector<std::array<std::uint64_t, 256>> reach_;
  // With at most 64 positions, the deterministic states met so far, built as matching
  // meets them; a State then also carries its state's number.
  mutable std::vector<std::uint64_t> dfa_sets_;
  mutable std::vector<std::uint32_t> dfa_moves_;  // number * 256 + byte -> number, 0 unknown
  mutable std::unordered_map<std::uint64_t, std::uint32_t> dfa_numbers_;
};

}  // namespace nk::shell
