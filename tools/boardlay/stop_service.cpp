#include "tools/boardlay/stop_service.h"

namespace boardlay {

void ServeStops(GuestWatch &watch, LiveBoard &board) {
  for (;;) {
    switch (watch.NextStop()) {
      case GuestWatch::Stop::None:
      case GuestWatch::Stop::Gone:
        return;
      case GuestWatch::Stop::Written:
        board.Step();
        break;
      case GuestWatch::Stop::Read:
        board.StatusRead();
        break;
      case GuestWatch::Stop::Other:
        break;
    }
    watch.WatchReads(board.WantsStatusReads());
    watch.Resume();
  }
}

}  // namespace boardlay
