#include "driver/board_service_protocol.h"

#include "driver/onboard_lan.h"

BOOLEAN EFIAPI ReturnFalse() { return FALSE; }

BOOLEAN EFIAPI ReturnTrue() { return TRUE; }

EFI_STATUS EFIAPI ReturnSuccess() { return EFI_SUCCESS; }

BOARD_SERVICE_PROTOCOL BoardServiceProtocol = {
    ReturnFalse,           ReturnSuccess, ReturnFalse,   nullptr,
    CollectOnboardLanMacs, ReturnTrue,    ReturnSuccess, nullptr,
};
