// What the boot fuzzers' input layout (input_layout.h) picks from, and its
// limits: the values worth a code of their own, and the bounds that keep a
// boot cheap.
#ifndef BOARDCFG_FUZZ_INPUT_MENUS_H
#define BOARDCFG_FUZZ_INPUT_MENUS_H

#include <cstddef>
#include <cstdint>

#include "platform/uefi.h"
#include "sim/facts/board.h"
#include "sim/facts/gpio_layout.h"
#include "sim/scenario/board_setup.h"

namespace fuzz::layout {

// The controllers at device 0 of the bridges' subordinate buses.
inline constexpr uint16_t kFirstController =
    facts::PciFunction(facts::kLanPorts[0].bus, 0, 0);
inline constexpr uint16_t kSecondController =
    facts::PciFunction(facts::kLanPorts[1].bus, 0, 0);

inline constexpr facts::Series kH = facts::Series::H;

// Registers whose raw values steer the driver: series, straps, GPP_B0 and
// its locks, the P2SB, the bridges' bus numbers, the controllers' IDs,
// command registers and BARs. Any other register of either window is
// carried as raw numbers.
inline constexpr uint64_t kRegisterMenu[] = {
    facts::PciRegister(facts::kLpcFunction, facts::kPciIdsOffset),
    facts::PadOwnership(kH, facts::kGppK[0]).address,  // GPP_K0..K3
    facts::PadDw0(kH, facts::kGppK[0]),
    facts::PadDw0(kH, facts::kGppK[1]),
    facts::PadDw0(kH, facts::kGppK[2]),
    facts::PadDw0(kH, facts::kGppK[3]),
    facts::PadOwnership(kH, facts::kGppB0).address,
    facts::PadDw0(kH, facts::kGppB0),
    facts::PadLock(kH, facts::kGppB0).address,
    facts::PadLockTx(kH, facts::kGppB0).address,
    facts::kP2sbVendorId,
    facts::kP2sbStatus,  // status and routing words
    facts::PciRegister(facts::kLanPorts[0].bridge,
                       facts::kBridgeBusNumbersOffset),
    facts::PciRegister(facts::kLanPorts[1].bridge,
                       facts::kBridgeBusNumbersOffset),
    facts::PciRegister(kFirstController, facts::kPciIdsOffset),
    facts::PciRegister(kSecondController, facts::kPciIdsOffset),
    facts::PciRegister(kFirstController, facts::kPciCommandOffset),
    facts::PciRegister(kSecondController, facts::kPciCommandOffset),
    facts::PciRegister(kFirstController, facts::kPciBar0Offset),
    facts::PciRegister(kSecondController, facts::kPciBar0Offset),
    facts::PciRegister(kFirstController, facts::kPciBar0HighOffset),
};

// Bridges the location service may name instead of the board's own.
inline constexpr uint16_t kBridgeMenu[] = {
    facts::kLanPorts[0].bridge, facts::kLanPorts[1].bridge, 0x0000,
    facts::kLpcFunction,        facts::kP2sbFunction,       kFirstController,
    kSecondController};

// Services whose statuses the driver tests or must survive. CloseEvent,
// FreePool and UninstallProtocolInterface are left alone: their failure
// would unbalance the firmware's own books, which no driver can mend.
inline constexpr const char *kFaultMenu[] = {
    "LocateProtocol",
    "CreateEvent",
    "CreateEventEx",
    "RegisterProtocolNotify",
    "InstallProtocolInterface",
    "SmbiosRecordService.ReadRecordByType",
    "SmbiosRecordService.DeleteRecord",
    "SetupStringService.ReplaceString",
};
inline constexpr EFI_STATUS kStatusMenu[] = {
    EFI_NOT_FOUND,          EFI_OUT_OF_RESOURCES,    EFI_INVALID_PARAMETER,
    EFI_DEVICE_ERROR,       EFI_UNSUPPORTED,         EFI_ACCESS_DENIED,
    EFI_WARN_UNKNOWN_GLYPH, EFI_WARN_DELETE_FAILURE,
};

inline constexpr sim::P2sbBehaviour kP2sbMenu[] = {
    sim::P2sbBehaviour::Ok, sim::P2sbBehaviour::Absent,
    sim::P2sbBehaviour::Error, sim::P2sbBehaviour::Ok};
// A stuck P2SB costs two full waits of 0x0FFFFFFF status reads (seconds
// each), so the board picks it for one value of a 16-bit code only.
inline constexpr uint32_t kStuckP2sb = 0xA75C;

inline constexpr sim::DeviceKind kLanMenu[] = {
    sim::DeviceKind::I210, sim::DeviceKind::Other, sim::DeviceKind::None};

using Kind = sim::BootStep::Kind;
using sim::OutsideService;
inline constexpr sim::BootStep kStepMenu[] = {
    {Kind::Entry},
    {Kind::Install, OutsideService::PciLocation},
    {Kind::Install, OutsideService::Smbios},
    {Kind::Install, OutsideService::SetupStrings},
    {Kind::ReadyToBoot},
    {Kind::Entry4},
    {Kind::Entry4Exact}};

inline constexpr uint32_t kMaxRegisters = 7;
inline constexpr uint32_t kMaxRecordCopies = 3;
inline constexpr uint32_t kMaxFaults = 4;
inline constexpr uint32_t kMaxOccurrence = 4;
inline constexpr uint32_t kMaxSteps = 12;
inline constexpr unsigned kMaxReadyToBoot = 3;
inline constexpr unsigned kMaxInstallsEach = 2;
inline constexpr unsigned kMaxEntry4Calls = 3;
inline constexpr size_t kMinRecordCopy = 4;  // the structure header
inline constexpr size_t kMaxRecordCopy = 31;

}  // namespace fuzz::layout

#endif
