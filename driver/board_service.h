/** @file
  BoardServiceProtocol: the board-service interface that BoardConfigDxe
  installs for other firmware drivers, and the riser codes it recognises.

  Valid C and C++. A platform's drivers include it as
  <Protocol/BoardService.h> from BoardConfigPkg, after the platform's Uefi.h
  (or PiDxe.h), and name gBoardServiceProtocolGuid in their INF's
  [Protocols].
**/
#ifndef BOARD_SERVICE_H_
#define BOARD_SERVICE_H_

#include "platform/uefi.h"

#define BOARD_SERVICE_PROTOCOL_GUID                  \
  {                                                  \
    0x6B588D7C, 0xC72E, 0x4A78, {                    \
      0x88, 0x58, 0x77, 0xE1, 0xDA, 0x8F, 0xC7, 0xF7 \
    }                                                \
  }

typedef struct BOARD_SERVICE_PROTOCOL BOARD_SERVICE_PROTOCOL;

/* Bits 3..0 are the levels of the strap pads GPP_K0..GPP_K3. */
typedef UINT8 RiserId;
#define RISER_ID_VARNEX_W ((RiserId)14)
#define RISER_ID_VARNEX_N ((RiserId)12)

/* Entries 0, 1, 2, 5 and 6 ignore whatever they are given and always give
 * the same answer; see BOARD_SERVICE_PROTOCOL. */
typedef BOOLEAN(EFIAPI *BOARD_SERVICE_PREDICATE)(VOID);
typedef EFI_STATUS(EFIAPI *BOARD_SERVICE_ACTION)(VOID);

/* Entry 4: the MAC addresses of the onboard I210 controllers, one behind each
 * of two board bridges that the PCI location service names (keys 8 and 403),
 * copied from each controller's receive-address registers; its command
 * register is restored afterwards.
 *
 * Each buffer receives an address list: a count byte, then one 6-byte MAC.
 * First's list starts at byte 3 (bytes 0..2 untouched): count First[3], MAC
 * First[4..9]. Second's list starts at byte 0: count Second[0], MAC
 * Second[1..6]. No size is passed: First needs at least 10 bytes, Second at
 * least 7. Both counts are set to 0 on every path; a count becomes 1, and its
 * MAC is written, only when the device behind that bridge is an I210.
 *
 * @retval EFI_SUCCESS    First from the bridge of key 8, Second from that of
 *                        key 403; each count 0 or 1.
 * @retval EFI_NOT_FOUND  The PCI location service cannot be found: both counts
 *                        0, no MAC byte written, no device probed. */
typedef EFI_STATUS(EFIAPI *BOARD_SERVICE_COLLECT_LAN_MACS)(UINT8 *First,
                                                           UINT8 *Second);

/* Eight positional entries; no entry receives an interface pointer. */
struct BOARD_SERVICE_PROTOCOL {
  /* Always FALSE. */
  BOARD_SERVICE_PREDICATE Entry0;
  /* Does nothing; always EFI_SUCCESS. */
  BOARD_SERVICE_ACTION Entry1;
  /* Always FALSE. */
  BOARD_SERVICE_PREDICATE Entry2;
  /* Null: no function. */
  VOID *Entry3;
  /* Entry 4, above. */
  BOARD_SERVICE_COLLECT_LAN_MACS CollectOnboardLanMacs;
  /* Always TRUE. */
  BOARD_SERVICE_PREDICATE Entry5;
  /* Does nothing; always EFI_SUCCESS. */
  BOARD_SERVICE_ACTION Entry6;
  /* Null: no function. */
  VOID *Entry7;
};

/* Defined by the build of each driver that names it (EDK2's AutoGen). */
extern EFI_GUID gBoardServiceProtocolGuid;

#endif
