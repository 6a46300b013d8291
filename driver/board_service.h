/* Board-service interface that this driver installs for other firmware
 * drivers, and the riser codes it recognises. Valid C and C++. */
#ifndef BOARDCFG_DRIVER_BOARD_SERVICE_H
#define BOARDCFG_DRIVER_BOARD_SERVICE_H

#include "platform/uefi.h"

#define BOARD_SERVICE_PROTOCOL_GUID_INIT             \
  {                                                  \
    0x6B588D7C, 0xC72E, 0x4A78, {                    \
      0x88, 0x58, 0x77, 0xE1, 0xDA, 0x8F, 0xC7, 0xF7 \
    }                                                \
  }

/* Bits 3..0 are the levels of the strap pads GPP_K0..GPP_K3. */
typedef UINT8 RiserId;
#define RISER_ID_VARNEX_W ((RiserId)14)
#define RISER_ID_VARNEX_N ((RiserId)12)

typedef BOOLEAN(EFIAPI *BOARD_SERVICE_PREDICATE)(VOID);
typedef EFI_STATUS(EFIAPI *BOARD_SERVICE_ACTION)(VOID);

/* First is filled from byte 3 (count, then one 6-byte MAC), Second from
 * byte 0; at least 10 and 7 bytes. */
typedef EFI_STATUS(EFIAPI *BOARD_SERVICE_COLLECT_LAN_MACS)(UINT8 *First,
                                                           UINT8 *Second);

/* Eight positional entries; no entry receives an interface pointer. */
typedef struct {
  BOARD_SERVICE_PREDICATE Entry0;
  BOARD_SERVICE_ACTION Entry1;
  BOARD_SERVICE_PREDICATE Entry2;
  VOID *Entry3;
  BOARD_SERVICE_COLLECT_LAN_MACS CollectOnboardLanMacs;
  BOARD_SERVICE_PREDICATE Entry5;
  BOARD_SERVICE_ACTION Entry6;
  VOID *Entry7;
} BoardServiceInterface;

#endif
