#include "tools/boardlay/window_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "sim/hex_text.h"

namespace boardlay {

WindowFile::WindowFile(const std::string &path, uint64_t base) : base_(base) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fd < 0 || ftruncate(fd, kWindowFileSize) != 0) {
    const std::string reason = std::strerror(errno);
    if (fd >= 0) {
      close(fd);
    }
    throw std::runtime_error("cannot create " + path + ": " + reason);
  }
  void *mapped =
      mmap(nullptr, kWindowFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (mapped == MAP_FAILED) {
    throw std::runtime_error("cannot map " + path + ": " +
                             std::strerror(errno));
  }
  bytes_ = static_cast<uint8_t *>(mapped);
  std::memset(bytes_, 0xFF, kWindowFileSize);
}

WindowFile::~WindowFile() {
  msync(bytes_, kWindowFileSize, MS_SYNC);
  munmap(bytes_, kWindowFileSize);
}

void WindowFile::CheckHolds(uint64_t address, unsigned size) const {
  if (!Holds(address, size)) {
    throw std::out_of_range("the window file from " + sim::Hex(base_) +
                            " holds no " + std::to_string(size) +
                            "-byte register at " + sim::Hex(address));
  }
}

}  // namespace boardlay
