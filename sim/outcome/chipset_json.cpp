#include "sim/outcome/chipset_json.h"

#include "sim/hex_text.h"

namespace sim {

using nlohmann::ordered_json;

ordered_json SidebandMessageJson(const SidebandMessage &message) {
  return {{"port", Hex(message.port, 2)},
          {"offset", Hex(message.offset, 3)},
          {"opcode", Hex(message.opcode, 2)},
          {"routing", Hex(message.routing, 4)},
          {"data", Hex(message.data, 8)},
          {"completion", message.completion ? ordered_json(*message.completion)
                                            : ordered_json(nullptr)},
          {"applied", message.applied},
          {"status_reads", message.statusReads}};
}

ordered_json AccessJson(const Access &access) {
  ordered_json item = {{"op", access.op == AccessOp::Read ? "read" : "write"},
                       {"width", access.width},
                       {"address", Hex(access.address, 8)},
                       {"value", Hex(access.value, access.width / 4)}};
  if (access.count > 1) {
    item["repeat"] = access.count;
  }
  if (!access.implemented) {
    item["unimplemented"] = true;
  }
  return item;
}

}  // namespace sim
