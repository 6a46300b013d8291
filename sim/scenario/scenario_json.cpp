#include "sim/scenario/scenario_json.h"

#include "sim/scenario/scenario_keys.h"

namespace sim {

nlohmann::ordered_json ScenarioJson(const BoardSetup &setup,
                                    const std::string &schema) {
  nlohmann::ordered_json file;
  if (!schema.empty()) {
    file[scenario::kSchemaKey] = schema;
  }
  for (const scenario::Key &key : scenario::Keys()) {
    if (key.write) {
      nlohmann::ordered_json value = key.write(setup);
      if (!value.is_null()) {
        file[key.name] = std::move(value);
      }
    }
  }
  return file;
}

}  // namespace sim
