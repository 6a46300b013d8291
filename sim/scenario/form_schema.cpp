// Forms as JSON Schema. Numbers written as text, and addresses, are
// matched by regular expressions (ECMA-262, as JSON Schema reads them).
#include <algorithm>

#include "sim/facts/board.h"
#include "sim/scenario/value_form.h"

namespace sim::scenario {

namespace {

// The digits of values low to high, either case.
std::string DigitClass(unsigned low, unsigned high) {
  const auto range = [](char zero, unsigned from, unsigned to) {
    std::string text(1, static_cast<char>(zero + from));
    if (to > from) {
      text += (to > from + 1 ? "-" : "") +
              std::string(1, static_cast<char>(zero + to));
    }
    return text;
  };
  std::string set;
  if (low <= 9) {
    set += range('0', low, std::min(high, 9U));
  }
  if (high >= 10) {
    const unsigned from = std::max(low, 10U) - 10;
    set += range('a', from, high - 10) + range('A', from, high - 10);
  }
  return set.size() == 1 ? set : "[" + set + "]";
}

std::string Repeated(const std::string &atom, size_t times) {
  return times == 0   ? ""
         : times == 1 ? atom
                      : atom + "{" + std::to_string(times) + "}";
}

// The digits of any number up to maximum, leading zeros left to the caller.
std::string UpTo(uint64_t maximum, unsigned base) {
  std::vector<unsigned> digits;
  uint64_t rest = maximum;
  do {
    digits.insert(digits.begin(), static_cast<unsigned>(rest % base));
    rest /= base;
  } while (rest != 0);
  const std::string any = DigitClass(0, base - 1);
  const size_t n = digits.size();
  if (std::all_of(digits.begin(), digits.end(),
                  [&](unsigned d) { return d == base - 1; })) {
    return any + "{1," + std::to_string(n) + "}";
  }
  std::string pattern = n > 1 ? any + "{1," + std::to_string(n - 1) + "}|" : "";
  std::string prefix;
  for (size_t i = 0; i < n; ++i) {
    if (digits[i] > 0) {
      pattern += prefix + DigitClass(0, digits[i] - 1) +
                 Repeated(any, n - i - 1) + "|";
    }
    prefix += DigitClass(digits[i], digits[i]);
  }
  return pattern + prefix;
}

// Only minimums of 0 and 1 occur: 1 refuses every spelling of zero.
std::string TextPattern(uint64_t minimum, uint64_t maximum, unsigned base) {
  const std::string any = DigitClass(0, base - 1);
  const size_t most = base == 16 ? kHexDigits : kDecimalDigits;
  return std::string(base == 16 ? "0[xX]" : "") + "(?=" + any + "{1," +
         std::to_string(most) + "}$)" + (minimum > 0 ? "(?!0*$)" : "") +
         "0*(?:" + UpTo(maximum, base) + ")";
}

// A window whose size is a power of 16 and whose base is aligned to it:
// its fixed leading digits, then any, the last one 4-byte aligned.
std::string WindowPattern(uint64_t base, uint64_t size) {
  size_t free = 0;
  for (uint64_t s = size; s > 1; s /= 16) {
    ++free;
  }
  std::string pattern;
  for (uint64_t v = base >> (4 * free); v != 0; v >>= 4) {
    pattern.insert(0, DigitClass(v & 0xF, v & 0xF));
  }
  return pattern + Repeated(DigitClass(0, 15), free - 1) + "[048cC]";
}

ordered_json NumberSchema(const Form &form) {
  const std::string hex = TextPattern(form.minimum, form.maximum, 16);
  if (form.decimalText) {
    return {{"type", "string"},
            {"pattern", "^(?:" + TextPattern(form.minimum, form.maximum, 10) +
                            "|" + hex + ")$"}};
  }
  return {{"anyOf",
           {{{"type", "integer"},
             {"minimum", form.minimum},
             {"maximum", form.maximum}},
            {{"type", "string"}, {"pattern", "^" + hex + "$"}}}}};
}

}  // namespace

ordered_json SchemaOf(const Form &form) {
  using Kind = Form::Kind;
  const std::string hex = DigitClass(0, 15);
  ordered_json schema;
  switch (form.kind) {
    case Kind::Text:
      schema = {{"type", "string"}};
      break;
    case Kind::Boolean:
      return {{"type", "boolean"}};
    case Kind::Number:
      schema = NumberSchema(form);
      break;
    case Kind::Name:
      return {{"enum", form.names}};
    case Kind::NameOrNumber:
      schema = {{"anyOf", {{{"enum", form.names}}, NumberSchema(form)}}};
      break;
    case Kind::Bytes:
      schema = {{"type", "string"},
                {"pattern", "^ *(?:" + hex + " *" + hex + " *){" +
                                std::to_string(form.minimum) + "," +
                                std::to_string(form.maximum) + "}$"}};
      break;
    case Kind::Mac:
      schema = {{"type", "string"},
                {"pattern", "^" + hex + "{2}(?::" + hex + "{2}){5}$"}};
      break;
    case Kind::Address:
      schema = {{"type", "string"},
                {"pattern", "^0[xX](?=" + hex + "{1,16}$)0*(?:" +
                                WindowPattern(facts::kPciWindowBase,
                                              facts::kPciWindowSize) +
                                "|" +
                                WindowPattern(facts::kPrivateWindowBase,
                                              facts::kPrivateWindowSize) +
                                ")$"}};
      break;
    case Kind::Array:
      schema = {{"type", "array"}, {"items", SchemaOf(form.parts[0])}};
      if (form.length != 0) {
        schema["minItems"] = form.length;
        schema["maxItems"] = form.length;
      }
      if (!form.repeated.empty()) {
        schema["uniqueItems"] = true;
      }
      if (!form.once.empty()) {
        schema["contains"] = {{"const", form.once}};
        schema["minContains"] = 1;
        schema["maxContains"] = 1;
      }
      break;
    case Kind::Object:
      schema = {{"type", "object"}, {"properties", ordered_json::object()}};
      for (size_t i = 0; i < form.names.size(); ++i) {
        schema["properties"][form.names[i]] = SchemaOf(form.parts[i]);
      }
      schema["required"] = std::vector<std::string>(
          form.names.begin(), form.names.begin() + form.required);
      schema["additionalProperties"] = false;
      break;
    case Kind::Map:
      schema = {{"type", "object"},
                {"propertyNames", SchemaOf(form.parts[0])},
                {"additionalProperties", SchemaOf(form.parts[1])}};
      break;
  }
  schema["description"] = "accepted: " + form.accepted;
  return schema;
}

}  // namespace sim::scenario
