#include "sim/outcome/call_symbols.h"

#include <cstring>

#include "sim/facts/efi_guids.h"
#include "sim/hex_text.h"
#include "sim/status_names.h"

namespace sim {

namespace {

enum class Kind : uint8_t {
  Value,         // a number
  Guid,          // the call's GUID argument
  Out,           // the caller's variable the service writes
  Event,         // an event the driver created
  Registration,  // a protocol-notify registration key
  Function,      // a notify function
  Context,       // a notify function's context
  Interface,     // a protocol interface
  Buffer,        // pool memory or a caller's buffer
  Text,          // 8-bit NUL-terminated text
};

struct Signature {
  const char *service;
  size_t arguments;
  std::vector<Kind> kinds;
};

using K = Kind;
const Signature kSignatures[] = {
    {"LocateProtocol", 3, {K::Guid, K::Registration, K::Out}},
    {"InstallProtocolInterface", 4, {K::Out, K::Guid, K::Value, K::Interface}},
    // As the rest of the firmware installs a service: handle, type,
    // interface.
    {"InstallProtocolInterface", 3, {K::Value, K::Value, K::Interface}},
    {"CreateEvent", 5, {K::Value, K::Value, K::Function, K::Context, K::Out}},
    {"CreateEventEx",
     6,
     {K::Value, K::Value, K::Function, K::Context, K::Guid, K::Out}},
    {"RegisterProtocolNotify", 3, {K::Guid, K::Event, K::Out}},
    {"CloseEvent", 1, {K::Event}},
    {"SignalEvent", 1, {K::Event}},
    {"FreePool", 1, {K::Buffer}},
    {"AllocatePool", 3, {K::Value, K::Value, K::Out}},
    {"CopyMem", 3, {K::Buffer, K::Buffer, K::Value}},
    {"SetMem", 3, {K::Buffer, K::Value, K::Value}},
    {"InSmm", 2, {K::Interface, K::Out}},
    {"SetupStringService.ReplaceString", 3, {K::Text, K::Value, K::Text}},
    {"SmbiosRecordService.ReadRecordByType",
     4,
     {K::Value, K::Value, K::Out, K::Out}},
    {"SmbiosRecordService.DeleteRecord", 1, {K::Value}},
    {"PciLocationService.LookupBridge", 1, {K::Value}},
};

struct NamedGuid {
  const EFI_GUID *guid;
  const char *name;
};
const NamedGuid kGuidNames[] = {
    {&facts::efi::kBoardService, "BoardServiceProtocol"},
    {&facts::efi::kSetupStringService, "SetupStringService"},
    {&facts::efi::kSmbiosRecordService, "SmbiosRecordService"},
    {&facts::efi::kPciLocationService, "PciLocationService"},
    {&facts::efi::kSmmBase2Protocol, "EFI_SMM_BASE2_PROTOCOL"},
    {&facts::efi::kHobList, "HOB list"},
    {&facts::efi::kReadyToBootEventGroup, "ready-to-boot group"},
};

std::string GuidName(const ServiceCall &call) {
  if (!call.guid) {
    return "GUID";
  }
  for (const NamedGuid &named : kGuidNames) {
    if (SameGuid(*named.guid, *call.guid)) {
      return named.name;
    }
  }
  return "{" + FormatGuid(*call.guid) + "}";
}

const std::vector<Kind> *KindsOf(const ServiceCall &call) {
  for (const Signature &signature : kSignatures) {
    if (call.service == signature.service &&
        call.args.size() == signature.arguments) {
      return &signature.kinds;
    }
  }
  return nullptr;
}

// The driver's texts are its own constants; a longer one is cut.
std::string Quoted(uint64_t address) {
  const char *text = reinterpret_cast<const char *>(address);
  const size_t length = strnlen(text, 80);
  return "\"" + std::string(text, length) + "\"";
}

}  // namespace

std::string CallSymbols::Numbered(std::map<uint64_t, std::string> &known,
                                  uint64_t value, const char *kind) {
  auto found = known.find(value);
  if (found == known.end()) {
    found = known
                .emplace(value, std::string(kind) + " " +
                                    std::to_string(known.size() + 1))
                .first;
  }
  return found->second;
}

std::vector<std::string> CallSymbols::Arguments(const ServiceCall &call) {
  const std::vector<Kind> *kinds = KindsOf(call);
  std::vector<std::string> shown;
  for (size_t i = 0; i < call.args.size(); ++i) {
    const uint64_t value = call.args[i];
    const Kind kind = kinds ? (*kinds)[i] : Kind::Value;
    if (kind == Kind::Value) {
      shown.push_back(kinds ? Hex(value, 1) : "?");
      continue;
    }
    if (kind == Kind::Guid) {
      shown.push_back(value == 0 ? "NULL" : GuidName(call));
      continue;
    }
    if (value == 0) {
      shown.push_back("NULL");
      continue;
    }
    switch (kind) {
      case Kind::Out:
        shown.push_back("out");
        break;
      case Kind::Event:
        shown.push_back(Numbered(events_, value, "event"));
        break;
      case Kind::Registration:
        shown.push_back(Numbered(registrations_, value, "registration"));
        break;
      case Kind::Function:
        shown.push_back(Numbered(functions_, value, "notify function"));
        break;
      case Kind::Context:
        shown.push_back(Numbered(contexts_, value, "context"));
        break;
      case Kind::Interface:
        if (call.guid && !interfaces_.count(value)) {
          interfaces_.emplace(value, GuidName(call) + " interface");
        }
        shown.push_back(Numbered(interfaces_, value, "interface"));
        break;
      case Kind::Buffer:
        shown.push_back(Numbered(buffers_, value, "buffer"));
        break;
      case Kind::Text:
        shown.push_back(Quoted(value));
        break;
      default:
        break;
    }
  }
  return shown;
}

std::string CallSymbols::Describe(const ServiceCall &call) {
  std::string text = call.service + "(";
  std::vector<std::string> arguments = Arguments(call);
  // A GUID the call names without passing it, as a signalled group.
  if (arguments.empty() && call.guid) {
    arguments.push_back(GuidName(call));
  }
  for (size_t i = 0; i < arguments.size(); ++i) {
    text += (i == 0 ? "" : ", ") + arguments[i];
  }
  text += ") -> ";
  const char *name = StatusName(call.status);
  text += StatusNamed(name) ? name : FormatStatus(call.status);
  if (call.injected) {
    text += " (injected)";
  }
  return text;
}

}  // namespace sim
