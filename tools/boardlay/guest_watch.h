// The guest's accesses to the registers the board acts on, seen through
// QEMU's gdbstub: write watchpoints over every range whose stores the board
// must follow, and a read watchpoint on the P2SB status register on demand.
// The guest stops right after each watched access and goes on when told
// to, so whatever is done meanwhile is in memory before its next
// instruction.
//
// boardlay listens on the socket and QEMU connects to it as it starts
// (-chardev socket,id=ID,path=PATH -gdb chardev:ID -S), so no side waits
// for the other's socket to appear.
#ifndef BOARDCFG_TOOLS_BOARDLAY_GUEST_WATCH_H
#define BOARDCFG_TOOLS_BOARDLAY_GUEST_WATCH_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/boardlay/watched_ranges.h"

namespace boardlay {

class GuestWatch {
 public:
  enum class Stop : uint8_t { None, Written, Read, Other, Gone };

  // Listens on the socket; throws std::runtime_error when it cannot.
  // Addresses are as the guest's (identity-mapped) loads and stores name
  // them.
  GuestWatch(std::string socketPath, std::vector<AddressRange> stores,
             AddressRange reads);
  ~GuestWatch();
  GuestWatch(const GuestWatch &) = delete;
  GuestWatch &operator=(const GuestWatch &) = delete;

  // What to wait on: the listening socket until QEMU connected, then the
  // connection; -1 once QEMU went away.
  int Descriptor() const;
  bool Attached() const { return fd_ >= 0; }
  // Takes QEMU's connection, sets the write watchpoints and lets the held
  // guest run.
  void Attach();
  // A stop the guest reported, without waiting; None when it runs on.
  Stop NextStop();
  // While stopped: turns the read watchpoint on or off.
  void WatchReads(bool on);
  // Lets the stopped guest run on.
  void Resume();

 private:
  void StopListening();
  void Send(const std::string &payload);
  void Acknowledge();
  void Write(const std::string &bytes);
  // The next packet's payload, waiting for it; empty when QEMU went away.
  std::string Receive(bool wait);
  void Expect(const std::string &command, const std::string &reply);

  std::string socketPath_;
  std::vector<AddressRange> stores_;
  AddressRange reads_;
  int listener_ = -1;
  int fd_ = -1;
  bool watchingReads_ = false;
  bool gone_ = false;
  std::string input_;
};

}  // namespace boardlay

#endif
