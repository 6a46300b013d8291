// The memory file of one chipset window, mapped shared: what the guest
// stores through QEMU's mapping of the file is seen here at once, and what
// is stored here the guest reads.
#ifndef BOARDCFG_TOOLS_BOARDLAY_WINDOW_FILE_H
#define BOARDCFG_TOOLS_BOARDLAY_WINDOW_FILE_H

#include <cstdint>
#include <string>

#include "sim/facts/board.h"

namespace boardlay {

inline constexpr uint64_t kWindowFileSize = facts::kStageWindowFileSize;

class WindowFile {
 public:
  // Creates the file, or empties one already there, and fills it with
  // all-ones: what the board answers where nothing is modelled.
  WindowFile(const std::string &path, uint64_t base);
  ~WindowFile();
  WindowFile(const WindowFile &) = delete;
  WindowFile &operator=(const WindowFile &) = delete;

  bool Holds(uint64_t address, unsigned size) const {
    return address >= base_ && address - base_ + size <= kWindowFileSize;
  }
  // Single-copy atomic, as the guest's own loads and stores of the width.
  template <typename T>
  T Load(uint64_t address) const {
    return __atomic_load_n(At<T>(address), __ATOMIC_ACQUIRE);
  }
  template <typename T>
  void Store(uint64_t address, T value) {
    __atomic_store_n(At<T>(address), value, __ATOMIC_RELEASE);
  }

 private:
  // Throws std::out_of_range for an address the file does not hold.
  template <typename T>
  T *At(uint64_t address) const {
    CheckHolds(address, sizeof(T));
    return reinterpret_cast<T *>(bytes_ + (address - base_));
  }
  void CheckHolds(uint64_t address, unsigned size) const;

  uint64_t base_;
  uint8_t *bytes_ = nullptr;
};

}  // namespace boardlay

#endif
