#include "sim/firmware/service_call.h"

#include <cstdio>

#include <cstring>
#include "sim/status_names.h"

namespace sim {

std::string FormatGuid(const EFI_GUID &guid) {
  char text[40];
  std::snprintf(text, sizeof text,
                "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", guid.Data1,
                guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1],
                guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

bool SameGuid(const EFI_GUID &a, const EFI_GUID &b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string Describe(const ServiceCall &call) {
  std::string text = call.service + "(";
  for (size_t i = 0; i < call.args.size(); ++i) {
    char arg[24];
    std::snprintf(arg, sizeof arg, "%s0x%llX", i == 0 ? "" : ", ",
                  static_cast<unsigned long long>(call.args[i]));
    text += arg;
  }
  text += ")";
  if (call.guid) {
    text += " {" + FormatGuid(*call.guid) + "}";
  }
  text += " -> " + FormatStatus(call.status);
  if (call.injected) {
    text += " (injected)";
  }
  return text;
}

}  // namespace sim
