/* Compiled as C: another firmware driver including the public header. */
#include "driver/board_service.h"

static const EFI_GUID kBoardServiceGuid = BOARD_SERVICE_PROTOCOL_GUID;

EFI_STATUS QueryOnboardMacs(BOARD_SERVICE_PROTOCOL *board, UINT8 *first,
                            UINT8 *second);

EFI_STATUS QueryOnboardMacs(BOARD_SERVICE_PROTOCOL *board, UINT8 *first,
                            UINT8 *second) {
  (void)kBoardServiceGuid;
  return board->CollectOnboardLanMacs(first, second);
}
