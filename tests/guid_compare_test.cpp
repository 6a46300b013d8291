// GuidsEqual reads the sixteen bytes of each GUID and nothing beyond them: a
// GUID that ends where an inaccessible page begins compares as any other.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/guids.h"

namespace {

TEST(GuidCompare, ReadsNothingPastEitherGuid) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  void *pages = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(pages, MAP_FAILED);
  auto *bytes = static_cast<uint8_t *>(pages);
  ASSERT_EQ(mprotect(bytes + page, page, PROT_NONE), 0);
  auto *atPageEnd =
      reinterpret_cast<EFI_GUID *>(bytes + page - sizeof(EFI_GUID));
  std::memcpy(atPageEnd, &kHobListGuid, sizeof(EFI_GUID));
  EXPECT_TRUE(GuidsEqual(*atPageEnd, kHobListGuid));
  EXPECT_TRUE(GuidsEqual(kHobListGuid, *atPageEnd));
  atPageEnd->Data4[7] ^= 0x01;
  EXPECT_FALSE(GuidsEqual(*atPageEnd, kHobListGuid));
  EXPECT_FALSE(GuidsEqual(kHobListGuid, *atPageEnd));
  munmap(pages, 2 * page);
}

}  // namespace
