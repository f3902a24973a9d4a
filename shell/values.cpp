// Typed entries: the type rule that decides what a defined text holds, and the images.
#include <cmath>
#include <cstdio>
#include <string>

#include "nk-shell.hpp"
#include "nk-text.hpp"
#include "number_literal.hpp"

namespace nk::shell {
namespace {

// Scientific image with six significant digits: " 1.50000E+00", "-2.50000E-03".
// Infinities, which a literal beyond the float range rounds to, read " +Inf" and "-Inf";
// a NaN (never produced by Create) reads " NaN" rather than anything platform-dependent.
std::string Float_Image(float value) {
  if (std::isnan(value)) return " NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : " +Inf";
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, "%.5E", static_cast<double>(value));
  const std::string digits(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
  return std::signbit(value) ? digits : ' ' + digits;
}

}  // namespace

Attribut_Record Create(std::string_view name, std::string_view value) {
  Attribut_Record entry;
  entry.Name = std::string(name);
  const std::string_view core = text::Trim_Blanks(value);
  if (text::Equal_Ignoring_Case(core, "TRUE") || text::Equal_Ignoring_Case(core, "FALSE")) {
    entry.Value_Kind = Value_Type::BOO;
    entry.Boolean_Value = text::Equal_Ignoring_Case(core, "TRUE");
  } else if (const auto number = Parse_Number(core)) {
    if (number->Is_Integer) {
      entry.Value_Kind = Value_Type::INT;
      entry.Integer_Value = number->Integer;
    } else {
      entry.Value_Kind = Value_Type::FLT;
      entry.Float_Value = number->Real;
    }
  } else {
    entry.Value_Kind = Value_Type::STR;
    entry.String_Value = std::string(value);  // untrimmed: blanks and quotes are the value
  }
  return entry;
}

std::string Entry_Name(const Attribut_Record& entry) {
  return entry.Name;
}

std::string Image(const Attribut_Record& entry) {
  switch (entry.Value_Kind) {
    case Value_Type::NIL:
      return {};
    case Value_Type::BOO:
      return entry.Boolean_Value ? "TRUE" : "FALSE";
    case Value_Type::INT:
      return entry.Integer_Value < 0 ? std::to_string(entry.Integer_Value)
                                     : ' ' + std::to_string(entry.Integer_Value);
    case Value_Type::FLT:
      return Float_Image(entry.Float_Value);
    case Value_Type::STR:
      return entry.String_Value.value_or(std::string());
  }
  return {};  // a Value_Kind outside the enumeration: no value to show
}

}  // namespace nk::shell
