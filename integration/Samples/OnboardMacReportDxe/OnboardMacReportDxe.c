/** @file
  A sample driver that calls the board service: at ready-to-boot it asks
  entry 4 for the MAC addresses of the onboard I210 controllers and prints
  them on the debug console, one line per onboard port:

    OnboardMacReport: port 1 00:1B:21:A0:00:01
    OnboardMacReport: port 2 none

  then a last line with the entry's status.
**/

#include <Uefi.h>
#include <Library/BaseMemoryLib.h>
#include <Library/DebugLib.h>
#include <Library/UefiBootServicesTableLib.h>
#include <Library/UefiLib.h>
#include <Protocol/BoardService.h>

//
// Entry 4 writes an address list into each buffer: a count, then one
// 6-byte MAC. The first buffer's list starts at byte 3, the second's at
// byte 0; the first needs 10 bytes, the second 7.
//
#define FIRST_LIST_OFFSET  3
#define FIRST_SIZE         10
#define SECOND_SIZE        7

STATIC
VOID
ReportPort (
  IN UINT32       Port,
  IN CONST UINT8  *List
  )
{
  if (List[0] == 0) {
    DEBUG ((DEBUG_INFO, "OnboardMacReport: port %u none\n", Port));
    return;
  }

  DEBUG ((
    DEBUG_INFO,
    "OnboardMacReport: port %u %02x:%02x:%02x:%02x:%02x:%02x\n",
    Port,
    List[1],
    List[2],
    List[3],
    List[4],
    List[5],
    List[6]
    ));
}

STATIC
VOID
EFIAPI
OnReadyToBoot (
  IN EFI_EVENT  Event,
  IN VOID       *Context
  )
{
  EFI_STATUS              Status;
  BOARD_SERVICE_PROTOCOL  *BoardService;
  UINT8                   First[FIRST_SIZE];
  UINT8                   Second[SECOND_SIZE];

  gBS->CloseEvent (Event);

  Status = gBS->LocateProtocol (&gBoardServiceProtocolGuid, NULL, (VOID **)&BoardService);
  if (EFI_ERROR (Status)) {
    DEBUG ((DEBUG_ERROR, "OnboardMacReport: no board service: %r\n", Status));
    return;
  }

  ZeroMem (First, sizeof (First));
  ZeroMem (Second, sizeof (Second));
  Status = BoardService->CollectOnboardLanMacs (First, Second);
  if (!EFI_ERROR (Status)) {
    ReportPort (1, First + FIRST_LIST_OFFSET);
    ReportPort (2, Second);
  }

  DEBUG ((DEBUG_INFO, "OnboardMacReport: status %r\n", Status));
}

/**
  Asks for the MAC addresses once the platform is ready to boot: the board's
  bridges are named and its devices configured by then.

  @param[in] ImageHandle  The driver's image.
  @param[in] SystemTable  The UEFI system table.

  @retval EFI_SUCCESS  The ready-to-boot notification is registered.
  @return              The error of creating the event.
**/
EFI_STATUS
EFIAPI
OnboardMacReportEntry (
  IN EFI_HANDLE        ImageHandle,
  IN EFI_SYSTEM_TABLE  *SystemTable
  )
{
  EFI_EVENT  ReadyToBoot;

  return EfiCreateEventReadyToBootEx (TPL_CALLBACK, OnReadyToBoot, NULL, &ReadyToBoot);
}
