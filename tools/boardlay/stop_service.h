// The board's answer to each stop of the guest at a watched register,
// given before the guest runs on.
#ifndef BOARDCFG_TOOLS_BOARDLAY_STOP_SERVICE_H
#define BOARDCFG_TOOLS_BOARDLAY_STOP_SERVICE_H

#include "tools/boardlay/guest_watch.h"
#include "tools/boardlay/live_board.h"

namespace boardlay {

// Serves every stop the guest has reported, until it runs on or is gone: a
// store may start a message or meet a store rule, a read counts towards a
// message's completion; the read watchpoint is on while a message waits
// for reads.
void ServeStops(GuestWatch &watch, LiveBoard &board);

}  // namespace boardlay

#endif
