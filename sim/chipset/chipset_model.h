// Register-level model of the board's chipset behind the register seam: the
// PCI configuration window (LPC/eSPI, P2SB with its sideband engine,
// onboard-LAN bridges and controllers), the GPIO communities in the
// private-register window, and the controllers' register space.
//
// Every access is traced. One that no modelled register answers is traced
// as unimplemented and reads all-ones.
//
// Overrides load raw values (say, from a register dump) into the model's
// own state instead of masking it, so its behaviour acts on them: a lock
// bit loaded by an override protects TX state, the P2SB engine still
// rewrites lock registers, and an overridden LPC device ID selects the
// GPIO layout. An override of an address the model lacks adds a register
// there (read-only in the PCI window, read-write in the private window).
#ifndef BOARDCFG_SIM_CHIPSET_CHIPSET_MODEL_H
#define BOARDCFG_SIM_CHIPSET_CHIPSET_MODEL_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/chipset/access_trace.h"
#include "sim/chipset/gpio_community.h"
#include "sim/chipset/lan_devices.h"
#include "sim/chipset/p2sb.h"
#include "sim/chipset/pci_config_space.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"

namespace sim {

class ChipsetModel {
 public:
  // An H-series board: every pad host-owned, low and unlocked, the P2SB
  // working, no bridges. Its accesses take their numbers from `sequence`,
  // or from a counter of its own.
  ChipsetModel() : ChipsetModel(ownSequence_) {}
  explicit ChipsetModel(Sequence &sequence);
  ChipsetModel(const ChipsetModel &) = delete;
  ChipsetModel &operator=(const ChipsetModel &) = delete;

  // --- The register seam ----------------------------------------------
  // A repeat of the last access (a polling loop) is answered from it
  // without a lookup for as long as it is certain to read the same: reads
  // change nothing but the P2SB's count of status reads while a message is
  // under way. Out of line, so every build calls the optimised copy.
  uint32_t Read(uint64_t address, uint8_t width);
  void Write(uint64_t address, uint8_t width, uint32_t value);
  // One byte of controller memory, traced as an 8-bit read; false when no
  // controller's range holds the address.
  bool ReadDeviceByte(uint64_t address, uint8_t *out);

  // --- Board set-up ---------------------------------------------------
  // An LP ID (0x9D80..0x9D9F) lays the GPIO communities out by the LP
  // layout, any other by the H layout.
  void SetLpcDeviceId(uint16_t id);
  void SetPadOwnership(facts::PadCode pad, uint8_t owner);
  void SetPadRxLevel(facts::PadCode pad, bool high);
  void SetPadDw0(facts::PadCode pad, uint32_t value);
  void SetPadTxLock(facts::PadCode pad, bool locked);
  void SetPadConfigLock(facts::PadCode pad, bool locked);
  void SetP2sbState(P2sbState state, uint8_t completion = 1);
  // Status reads a started message stays busy for; the read after them sees
  // it complete.
  void SetP2sbBusyReads(uint32_t reads);
  void AddBridge(facts::PciFunctionAddress bridge, uint8_t subordinateBus);
  void SetDeviceBehind(uint8_t bus, DeviceKind kind, const MacAddress &mac,
                       uint32_t bar0);
  void OverrideRegister(uint64_t address, uint32_t value, uint8_t width = 32);
  // Both windows unbacked, as under QEMU: every access to them is traced
  // as unimplemented and reads 0; the model and its overrides are bypassed.
  void SetReadsZeroEverywhere(bool on = true);
  // Hostile hardware: while set, every read (both windows and controller
  // memory) asks the source first, so two reads of one register may differ.
  // A value it gives is traced as read (implemented where the model has a
  // register); empty leaves the read to the model. An empty function clears
  // it.
  using ReadSource =
      std::function<std::optional<uint32_t>(uint64_t address, uint8_t width)>;
  void SetReadSource(ReadSource source);

  // --- What the board holds and saw -----------------------------------
  uint32_t PadDw0(facts::PadCode pad) const;
  bool PadTxLocked(facts::PadCode pad) const;
  bool PadConfigLocked(facts::PadCode pad) const;
  // The stored value without an access; empty where nothing is modelled.
  std::optional<uint32_t> Peek(uint64_t address, uint8_t width = 32) const;
  const std::vector<SidebandMessage> &SidebandMessages() const {
    return p2sb_.Messages();
  }
  // A message is under way: status reads count towards its completion.
  bool P2sbCountsStatusReads() const { return p2sb_.CountsStatusReads(); }
  // Status reads still certain to find it busy (UINT64_MAX: no end).
  uint64_t P2sbStatusReadsUnchanged() const {
    return p2sb_.StatusReadsUnchanged();
  }
  // Every value the board holds, as its memory would: PCI configuration and
  // controller bytes (width 8, an absent function as all-ones) and private
  // registers (width 32). Overrides are included; reads-zero is not applied.
  void ForEachRegister(const std::function<void(uint64_t address, uint8_t width,
                                                uint32_t value)> &visit) const;
  // Firmware behaviour a real board would not honour (stores to read-only
  // registers, sideband messages no lock register takes).
  const std::vector<std::string> &Notes() const { return notes_; }
  // The notes and every unimplemented access: empty for a clean run.
  std::vector<std::string> Flags() const;

  AccessTrace &Trace() { return trace_; }
  const AccessTrace &Trace() const { return trace_; }

 private:
  uint32_t LookUpAndRead(uint64_t address, uint8_t width);
  std::optional<uint32_t> Lookup(uint64_t address, uint8_t width) const;
  bool Store(uint64_t address, uint8_t width, uint32_t value);
  bool InWindows(uint64_t address) const;
  void LayOutGpio();
  // Set-up changed a value behind the last read.
  void Changed() { lastRead_.reset(); }

  struct LastRead {
    uint64_t address;
    uint8_t width;
    uint32_t value;
    uint64_t repeatsLeft;  // repeats certain to read the same value
    bool countsForP2sb;    // a status read while a message is under way
  };

  Sequence ownSequence_;
  std::vector<std::string> notes_;
  PciConfigSpace pci_;
  GpioCommunities gpio_{notes_};
  P2sb p2sb_;
  LanDevices lan_{pci_};
  bool readsZero_ = false;
  ReadSource readSource_;
  std::optional<LastRead> lastRead_;
  AccessTrace trace_;
};

}  // namespace sim

#endif
