// A store to GPP_B0's DW0 with its TX state flipped, read back by the very
// next instruction and then undone: on a laid-out board the read must find
// what the board's store rules keep, as boardsim's model would.
#ifndef BOARDCFG_FIRMWARE_TESTS_PAD_STORE_PROBE_H
#define BOARDCFG_FIRMWARE_TESTS_PAD_STORE_PROBE_H

#include "platform/uefi.h"

struct PadStore {
  UINTN address;  // GPP_B0's DW0 in the board's series
  UINT32 owner;   // the pad's owner; 0 is the host
  UINT32 before;
  UINT32 stored;    // before with the TX state flipped, if the host owns it
  UINT32 readBack;  // before, for a pad the host does not own
  UINT32 restored;  // read after storing before again
};

// FALSE, touching nothing in the window, where the private window is not
// backed (every access there would join QEMU's log of unbacked accesses).
// A pad another agent owns gets no store, which the board would note.
BOOLEAN ProbePadStore(PadStore &probe);

#endif
