#include "sim/scenario/scenario_schema.h"

#include <sstream>

#include "sim/scenario/scenario_keys.h"

namespace sim {

namespace {

using nlohmann::ordered_json;

constexpr size_t kColumns = 100;
const std::string kIndent = "    ";

// A value on one line, with a space after each comma and colon.
std::string Compact(const ordered_json &value) {
  if (!value.is_structured() || value.empty()) {
    return value.dump();
  }
  std::string text;
  for (auto item = value.begin(); item != value.end(); ++item) {
    text += text.empty() ? "" : ", ";
    text += value.is_object() ? ordered_json(item.key()).dump() + ": " : "";
    text += Compact(item.value());
  }
  return value.is_object() ? "{" + text + "}" : "[" + text + "]";
}

// The text's parts, split after each separator, on lines of at most
// kColumns; the lines after the first take the further indent.
void Wrapped(std::ostream &out, const std::string &text,
             const std::string &separator, const std::string &indent,
             const std::string &further) {
  std::string line = indent;
  bool empty = true;
  const auto flush = [&] {
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  };
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(separator, start);
    end = end == std::string::npos ? text.size() : end + separator.size();
    const std::string part = text.substr(start, end - start);
    if (!empty && line.size() + part.find_last_not_of(' ') + 1 > kColumns) {
      flush();
      line = further;
    }
    line += part;
    empty = false;
    start = end;
  }
  flush();
}

}  // namespace

ordered_json ScenarioSchema() {
  ordered_json schema = {
      {"$schema", "https://json-schema.org/draft/2020-12/schema"},
      {"title", "BoardConfigDxe board scenario"},
      {"description",
       "A simulated board and boot for boardsim and the tests: the default "
       "board with any of these keys given otherwise."},
      {"type", "object"},
      {"properties", ordered_json::object()},
      {"additionalProperties", false}};
  for (const scenario::Key &key : scenario::Keys()) {
    ordered_json value = scenario::SchemaOf(key.form);
    value["description"] = key.description + "; accepted: " + key.form.accepted;
    schema["properties"][key.name] = value;
  }
  schema.update(scenario::AcrossKeysSchema());
  return schema;
}

std::string ScenarioKeyListing() {
  std::ostringstream out;
  const BoardSetup defaults;
  for (const scenario::Key &key : scenario::Keys()) {
    const ordered_json value =
        key.write ? key.write(defaults) : ordered_json(nullptr);
    Wrapped(out,
            ordered_json(key.name).dump() +
                (value.is_null() ? "" : ": " + Compact(value)),
            ", ", "", kIndent + kIndent);
    Wrapped(out, key.description, " ", kIndent, kIndent);
    Wrapped(out, "accepted: " + key.form.accepted, " ", kIndent, kIndent);
  }
  return out.str();
}

}  // namespace sim
