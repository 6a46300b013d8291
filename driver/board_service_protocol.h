// The driver's own instance of the board-service interface and its entries.
#ifndef BOARDCFG_DRIVER_BOARD_SERVICE_PROTOCOL_H
#define BOARDCFG_DRIVER_BOARD_SERVICE_PROTOCOL_H

#include "driver/board_service.h"

inline constexpr EFI_GUID kBoardServiceProtocolGuid =
    BOARD_SERVICE_PROTOCOL_GUID;

BOOLEAN EFIAPI ReturnFalse();
BOOLEAN EFIAPI ReturnTrue();
EFI_STATUS EFIAPI ReturnSuccess();

extern BOARD_SERVICE_PROTOCOL BoardServiceProtocol;

#endif
