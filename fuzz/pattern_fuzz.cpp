// The completion pattern agrees with a backtracking matcher, and its state does not grow.
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "nk-shell.hpp"
#include "pattern.hpp"

namespace {

// One element of a brace-free pattern: "*", "?", or a set of bytes (a literal is a set).
struct Token {
  bool Star = false;
  std::bitset<256> Bytes;
};
using Alternatives = std::vector<std::vector<Token>>;

// Brace expansion by recursive descent; nullopt when ill-formed. A pattern of at most 24
// characters has at most 768 alternatives ("{,,,}{,,,}{,,,}{,,,}{,,}").
struct Expander {
  std::string_view text_;
  std::size_t i_ = 0;

  std::optional<Alternatives> Whole() {
    auto all = Sequence(0);
    return all && i_ == text_.size() ? all : std::nullopt;
  }

  std::optional<Alternatives> Sequence(int depth) {
    Alternatives so_far{{}};
    while (i_ < text_.size() && !(depth > 0 && (text_[i_] == ',' || text_[i_] == '}'))) {
      const auto item = Item(depth);
      if (!item) return std::nullopt;
      Alternatives product;
      for (const auto& left : so_far)
        for (const auto& right : *item) {
          product.push_back(left);
          product.back().insert(product.back().end(), right.begin(), right.end());
        }
      so_far = std::move(product);
    }
    return so_far;
  }

  std::optional<Alternatives> Item(int depth) {
    Token token;
    const char c = text_[i_++];
    if (c == '*' || c == '?') {
      token.Star = c == '*';
      token.Bytes.set();
    } else if (c == '{') {
      Alternatives choices;
      for (;;) {
        const auto alternative = Sequence(depth + 1);
        if (!alternative || i_ >= text_.size()) return std::nullopt;
        choices.insert(choices.end(), alternative->begin(), alternative->end());
        if (text_[i_++] == '}') return choices;
      }
    } else if (c == '[') {
      const bool negated = i_ < text_.size() && (text_[i_] == '!' || text_[i_] == '^');
      i_ += negated ? 1 : 0;
      for (bool first = true;; first = false) {
        if (i_ >= text_.size()) return std::nullopt;
        const auto low = static_cast<unsigned char>(text_[i_]);
        if (low == ']' && !first) break;
        unsigned high = low;
        if (i_ + 2 < text_.size() && text_[i_ + 1] == '-' && text_[i_ + 2] != ']') {
          high = static_cast<unsigned char>(text_[i_ + 2]);
          if (high < low) return std::nullopt;
          i_ += 2;
        }
        for (unsigned b = low; b <= high; ++b) token.Bytes.set(b);
        ++i_;
      }
      ++i_;
      if (negated) token.Bytes.flip();
    } else {
      token.Bytes.set(static_cast<unsigned char>(c));
    }
    return Alternatives{{token}};
  }
};

// Classic backtracking; `failed` remembers (token, offset) pairs already known to fail.
bool Match(const std::vector<Token>& tokens, std::size_t t, std::string_view text, std::size_t k,
           std::vector<bool>& failed) {
  const std::size_t key = t * (text.size() + 1) + k;
  if (failed[key]) return false;
  bool matched = false;
  if (t == tokens.size()) {
    matched = k == text.size();
  } else if (tokens[t].Star) {
    matched = Match(tokens, t + 1, text, k, failed) ||
              (k < text.size() && Match(tokens, t, text, k + 1, failed));
  } else {
    matched = k < text.size() && tokens[t].Bytes[static_cast<unsigned char>(text[k])] &&
              Match(tokens, t + 1, text, k + 1, failed);
  }
  failed[key] = !matched;
  return matched;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Bytes map onto special characters and a few letters; the first gives the pattern length.
  constexpr std::string_view pattern_letters = "ab-*?[]!^{},/a]c";
  constexpr std::string_view text_letters = "ab-/!^]c";
  std::string pattern_text, text;
  for (std::size_t k = 1; k < size; ++k) {
    if (pattern_text.size() < data[0] % 25U) {
      pattern_text += pattern_letters[data[k] % pattern_letters.size()];
    } else if (text.size() < 16) {
      text += text_letters[data[k] % text_letters.size()];
    }
  }
  const auto expected = Expander{pattern_text}.Whole();
  std::optional<nk::shell::Pattern> pattern;
  try {
    pattern.emplace(pattern_text);
  } catch (const nk::shell::Completion_Error&) {
  }
  if (expected.has_value() != pattern.has_value()) std::abort();  // ill-formed to one only
  if (!expected) return 0;
  bool matched = false;
  for (const auto& tokens : *expected) {
    std::vector<bool> failed((tokens.size() + 1) * (text.size() + 1), false);
    matched = matched || Match(tokens, 0, text, 0, failed);
  }
  if (pattern->Matches(text) != matched) std::abort();
  // Bounded work per byte: the live state keeps its size however long the text grows.
  auto state = pattern->Start();
  nk::shell::Pattern::State scratch;
  const std::size_t words = state.size();
  for (int round = 0; round < 64 && !text.empty(); ++round) {
    pattern->Advance(state, text, scratch);
    if (state.size() != words) std::abort();
  }
  return 0;
}
