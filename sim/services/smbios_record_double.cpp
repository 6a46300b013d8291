#include "sim/services/smbios_record_double.h"

#include <cstring>
#include <iterator>

#include "sim/facts/board.h"

#include "sim/board/simulated_board.h"
#include "sim/firmware/service_host.h"

namespace sim {

namespace {

EFI_STATUS EFIAPI ReadRecordByTypeEntry(UINT8 type, UINT8 instance,
                                        VOID **buffer, UINT16 *value) {
  std::optional<uint16_t> valueIn;
  if (value != nullptr) {
    valueIn = *value;
  }
  SmbiosRecordDouble &smbios = CurrentBoard().Services().smbios;
  const EFI_STATUS status = ServeRecorded(
      "SmbiosRecordService.ReadRecordByType",
      {type, instance, reinterpret_cast<uint64_t>(buffer),
       reinterpret_cast<uint64_t>(value)},
      [&] { return smbios.ReadRecordByType(type, instance, buffer); });
  smbios.NoteRead({type, instance, valueIn, status});
  return status;
}

EFI_STATUS EFIAPI DeleteRecordEntry(UINT16 handle) {
  return ServeRecorded("SmbiosRecordService.DeleteRecord", {handle}, [&] {
    return CurrentBoard().Services().smbios.DeleteRecord(handle);
  });
}

std::string Designation(unsigned number) {
  constexpr size_t kNamed = std::size(facts::kSlotDesignations);
  return number <= kNamed ? facts::kSlotDesignations[number - 1]
                          : "RISER SLOT " + std::to_string(number);
}

SmbiosStructure SlotRecord(uint16_t handle, unsigned number) {
  // Designation string 1, type PCI Express x16, width x16, available,
  // long length, slot ID, PME and SMBus signals, segment 0 bus/dev/fn.
  std::vector<uint8_t> formatted = {
      1,    0xB6, 0x0D, 0x03, 0x04, static_cast<uint8_t>(number), 0, 0x0C,
      0x03, 0,    0,    0,    0};
  return {9, handle, formatted, {Designation(number)}};
}

}  // namespace

std::vector<uint8_t> SmbiosStructure::Bytes() const {
  std::vector<uint8_t> bytes = {
      type, static_cast<uint8_t>(4 + formatted.size()),
      static_cast<uint8_t>(handle & 0xFF), static_cast<uint8_t>(handle >> 8)};
  bytes.insert(bytes.end(), formatted.begin(), formatted.end());
  for (const std::string &text : strings) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
  }
  if (strings.empty()) {
    bytes.push_back(0);
  }
  bytes.push_back(0);
  return bytes;
}

SmbiosRecordDouble::SmbiosRecordDouble() {
  interface_.DeleteRecord = DeleteRecordEntry;
  interface_.ReadRecordByType = ReadRecordByTypeEntry;
}

void SmbiosRecordDouble::BuildTable(unsigned slotRecords) {
  table_.clear();
  table_.push_back({0, 0x0000, std::vector<uint8_t>(20, 0), {"Firmware"}});
  table_.push_back({1, 0x0001, std::vector<uint8_t>(23, 0), {"Board"}});
  table_.push_back({2, 0x0002, std::vector<uint8_t>(11, 0), {"Baseboard"}});
  uint16_t handle = facts::kFirstSlotHandle;
  for (unsigned i = 1; i <= slotRecords; ++i) {
    table_.push_back(SlotRecord(handle++, i));
    if (i == 1) {
      // Records of other types between the slots: the lookup must count
      // type-9 records only.
      table_.push_back({8, 0x0800, std::vector<uint8_t>(5, 0), {"J1"}});
    }
  }
  table_.push_back({127, 0xFEFF, {}, {}});
}

std::vector<uint16_t> SmbiosRecordDouble::SlotHandles() const {
  std::vector<uint16_t> handles;
  for (const SmbiosStructure &record : table_) {
    if (record.type == 9) {
      handles.push_back(record.handle);
    }
  }
  return handles;
}

EFI_STATUS SmbiosRecordDouble::ReadRecordByType(UINT8 type, UINT8 instance,
                                                VOID **buffer) {
  if (buffer == nullptr || instance == 0) {
    return EFI_INVALID_PARAMETER;
  }
  auto handOut = [buffer](const std::vector<uint8_t> &bytes) {
    VOID *copy = HandOutPoolBuffer(bytes.size());
    std::memcpy(copy, bytes.data(), bytes.size());
    *buffer = copy;
    return EFI_SUCCESS;
  };
  auto overridden = readOverrides_.find({type, instance});
  if (overridden != readOverrides_.end()) {
    return noBuffer_ ? EFI_SUCCESS : handOut(overridden->second);
  }
  unsigned seen = 0;
  for (const SmbiosStructure &record : table_) {
    if (record.type != type || ++seen != instance) {
      continue;
    }
    if (noBuffer_) {
      return EFI_SUCCESS;
    }
    return handOut(record.Bytes());
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS SmbiosRecordDouble::DeleteRecord(UINT16 handle) {
  for (auto it = table_.begin(); it != table_.end(); ++it) {
    if (it->handle == handle && it->type != 127) {
      table_.erase(it);
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

}  // namespace sim
