// What the test side knows of the interfaces around the driver, written
// once: the GUIDs they are installed, looked up or signalled under, and the
// positions of the entries that the driver calls or serves in their
// records. The driver declares its own; a test holds the two against each
// other, so a wrong GUID or a shifted entry on either side shows there
// instead of being mirrored by the models.
//
// Freestanding: the EFI programs include it too.
#ifndef BOARDCFG_SIM_FACTS_INTERFACES_H
#define BOARDCFG_SIM_FACTS_INTERFACES_H

#include <stddef.h>
#include <stdint.h>

namespace facts {

// --- GUIDs ----------------------------------------------------------------
// EFI_GUID's layout; sim/facts/efi_guids.h gives them as EFI_GUIDs.
struct Guid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

// The driver's own service for other drivers.
inline constexpr Guid kBoardServiceGuid = {
    0x6B588D7C,
    0xC72E,
    0x4A78,
    {0x88, 0x58, 0x77, 0xE1, 0xDA, 0x8F, 0xC7, 0xF7}};

// The three services of the board's firmware that the driver waits for.
inline constexpr Guid kSetupStringServiceGuid = {
    0x41EADC00,
    0x8DB2,
    0x4BFE,
    {0xB0, 0xEA, 0xCB, 0xAA, 0xE7, 0xF4, 0xD3, 0x1B}};
inline constexpr Guid kSmbiosRecordServiceGuid = {
    0x5E90A50D,
    0x6955,
    0x4A49,
    {0x90, 0x32, 0xDA, 0x38, 0x12, 0xF8, 0xE8, 0xE5}};
inline constexpr Guid kPciLocationServiceGuid = {
    0x11B34006,
    0xD85B,
    0x4D0A,
    {0xA2, 0x90, 0xD5, 0xA5, 0x71, 0x31, 0x0E, 0xF7}};

// PI's SMM base protocol, the HOB list's configuration table and UEFI's
// ready-to-boot event group.
inline constexpr Guid kSmmBase2ProtocolGuid = {
    0xF4CCBFB7,
    0xF6E0,
    0x47FD,
    {0x9D, 0xD4, 0x10, 0xA8, 0xF1, 0x50, 0xC1, 0x91}};
inline constexpr Guid kHobListGuid = {
    0x7739F24C,
    0x93D7,
    0x11D4,
    {0x9A, 0x3A, 0x00, 0x90, 0x27, 0x3F, 0xC1, 0x4D}};
inline constexpr Guid kReadyToBootEventGroupGuid = {
    0x7CE88FB3,
    0x4BD7,
    0x4679,
    {0x87, 0xA8, 0xA8, 0xD8, 0xDE, 0xE5, 0x0D, 0x2B}};

// --- Entry positions ------------------------------------------------------
// An interface record is a table of pointer-sized entries, counted from 0.
// No entry of the outside services or of the board service receives an
// interface pointer.

// Setup strings: ReplaceString(form name, string ID, text).
inline constexpr size_t kSetupStringReplaceEntry = 1;
// SMBIOS records: DeleteRecord(handle), ReadRecordByType(type, instance,
// buffer, value).
inline constexpr size_t kSmbiosDeleteRecordEntry = 6;
inline constexpr size_t kSmbiosReadRecordByTypeEntry = 8;
// PCI location: LookupBridge(key), the bridge in the low 16 bits.
inline constexpr size_t kPciLocationLookupEntry = 3;

// The board service: eight entries, the LAN query (two MAC buffers) at 4.
inline constexpr size_t kBoardServiceEntryCount = 8;
inline constexpr size_t kBoardServiceLanEntry = 4;

// The SMM base protocol: InSmm(this, in SMRAM).
inline constexpr size_t kSmmBaseInSmmEntry = 0;

}  // namespace facts

#endif
