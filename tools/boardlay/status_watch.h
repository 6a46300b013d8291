// The guest's accesses to one register, seen through QEMU's gdbstub: a
// write watchpoint always, a read watchpoint on demand. The guest stops
// right after each watched access and goes on when told to, so whatever
// is done meanwhile is in memory before its next instruction.
#ifndef BOARDCFG_TOOLS_BOARDLAY_STATUS_WATCH_H
#define BOARDCFG_TOOLS_BOARDLAY_STATUS_WATCH_H

#include <cstdint>
#include <string>

namespace boardlay {

class StatusWatch {
 public:
  enum class Stop : uint8_t { None, Written, Read, Other, Gone };

  // address and size as the guest's (identity-mapped) loads and stores
  // name the register; the socket is QEMU's -gdb unix socket.
  StatusWatch(std::string socketPath, uint64_t address, unsigned size);
  ~StatusWatch();
  StatusWatch(const StatusWatch &) = delete;
  StatusWatch &operator=(const StatusWatch &) = delete;

  // Connects once QEMU listens, sets the write watchpoint and lets the
  // guest run; false while the socket is not there yet.
  bool TryAttach();
  bool Attached() const { return fd_ >= 0; }
  // A stop the guest reported, without waiting; None when it runs on.
  Stop NextStop();
  // While stopped: turns the read watchpoint on or off.
  void WatchReads(bool on);
  // Lets the stopped guest run on.
  void Resume();

 private:
  void Send(const std::string &payload);
  void Acknowledge();
  void Write(const std::string &bytes);
  // The next packet's payload, waiting for it; empty when QEMU went away.
  std::string Receive(bool wait);
  void Expect(const std::string &command, const std::string &reply);
  std::string Watchpoint(char type) const;

  std::string socketPath_;
  uint64_t address_;
  unsigned size_;
  int fd_ = -1;
  bool watchingReads_ = false;
  bool gone_ = false;
  std::string input_;
};

}  // namespace boardlay

#endif
