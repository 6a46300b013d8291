#include "sim/status_names.h"

#include <utility>

#include "sim/hex_text.h"

namespace sim {

namespace {

constexpr std::pair<EFI_STATUS, const char *> kNames[] = {
    {EFI_SUCCESS, "EFI_SUCCESS"},
    {EFI_LOAD_ERROR, "EFI_LOAD_ERROR"},
    {EFI_INVALID_PARAMETER, "EFI_INVALID_PARAMETER"},
    {EFI_UNSUPPORTED, "EFI_UNSUPPORTED"},
    {EFI_BUFFER_TOO_SMALL, "EFI_BUFFER_TOO_SMALL"},
    {EFI_NOT_READY, "EFI_NOT_READY"},
    {EFI_DEVICE_ERROR, "EFI_DEVICE_ERROR"},
    {EFI_OUT_OF_RESOURCES, "EFI_OUT_OF_RESOURCES"},
    {EFI_NOT_FOUND, "EFI_NOT_FOUND"},
    {EFI_ACCESS_DENIED, "EFI_ACCESS_DENIED"},
    {EFI_TIMEOUT, "EFI_TIMEOUT"},
    {EFI_ALREADY_STARTED, "EFI_ALREADY_STARTED"},
    {EFI_WARN_UNKNOWN_GLYPH, "EFI_WARN_UNKNOWN_GLYPH"},
    {EFI_WARN_DELETE_FAILURE, "EFI_WARN_DELETE_FAILURE"},
};

}  // namespace

std::string FormatStatus(EFI_STATUS status) { return Hex(status, 16); }

const char *StatusName(EFI_STATUS status) {
  for (const auto &[value, name] : kNames) {
    if (value == status) {
      return name;
    }
  }
  return "unnamed status";
}

std::optional<EFI_STATUS> StatusNamed(const std::string &name) {
  for (const auto &[value, known] : kNames) {
    if (name == known) {
      return value;
    }
  }
  return std::nullopt;
}

std::vector<std::string> StatusNames() {
  std::vector<std::string> names;
  for (const auto &[value, name] : kNames) {
    names.emplace_back(name);
  }
  return names;
}

}  // namespace sim
