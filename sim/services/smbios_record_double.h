// Stand-in for the firmware's SMBIOS record service over an in-memory table
// of SMBIOS structures with handles.
#ifndef BOARDCFG_SIM_SERVICES_SMBIOS_RECORD_DOUBLE_H
#define BOARDCFG_SIM_SERVICES_SMBIOS_RECORD_DOUBLE_H

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/outside_services.h"

namespace sim {

struct SmbiosStructure {
  uint8_t type;
  uint16_t handle;
  std::vector<uint8_t> formatted;  // after the 4-byte header
  std::vector<std::string> strings;

  // Header, formatted area and string set, as the table holds it.
  std::vector<uint8_t> Bytes() const;
};

class SmbiosRecordDouble {
 public:
  SmbiosRecordDouble();
  // A table of firmware, system and board records, `slotRecords` System
  // Slots records (type 9) with the test firmware's designations and
  // distinct handles, and the end-of-table record.
  void BuildTable(unsigned slotRecords);
  std::vector<SmbiosStructure> &Table() { return table_; }
  const std::vector<SmbiosStructure> &Table() const { return table_; }
  // Handles of the type-9 records, in table order.
  std::vector<uint16_t> SlotHandles() const;
  // Entry 8 reports success but hands back no buffer: a faulty service.
  void SetReadSucceedsWithoutBuffer(bool on) { noBuffer_ = on; }
  // Entry 8 for this type and instance hands back a copy of these bytes
  // with success, whatever the table holds: a service whose record copies
  // are malformed or name other handles. The table is left as it is.
  void OverrideRead(uint8_t type, uint8_t instance,
                    std::vector<uint8_t> bytes) {
    readOverrides_[{type, instance}] = std::move(bytes);
  }

  SmbiosRecordService *Interface() { return &interface_; }

  // Every read asked of entry 8, with the value the caller passed in.
  struct Read {
    uint8_t type;
    uint8_t instance;
    std::optional<uint16_t> valueIn;
    EFI_STATUS status;
  };
  const std::vector<Read> &Reads() const { return reads_; }
  void NoteRead(const Read &read) { reads_.push_back(read); }

  EFI_STATUS ReadRecordByType(UINT8 type, UINT8 instance, VOID **buffer);
  EFI_STATUS DeleteRecord(UINT16 handle);

 private:
  std::vector<SmbiosStructure> table_;
  bool noBuffer_ = false;
  std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> readOverrides_;
  std::vector<Read> reads_;
  SmbiosRecordService interface_{};
};

}  // namespace sim

#endif
