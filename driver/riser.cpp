#include "driver/riser.h"

#include "gpio/gpio.h"

namespace {

constexpr PadCode kGppK0 = 0x030A0000;
constexpr UINT32 kStrapCount = 4;

}  // namespace

RiserId ReadRiserId() {
  UINT32 level = 0;
  RiserId id = 0;
  BOOLEAN allRead = TRUE;
  for (UINT32 i = 0; i < kStrapCount; ++i) {
    if (EFI_ERROR(GetInputValue(kGppK0 + i, &level))) {
      allRead = FALSE;
    }
    id = static_cast<RiserId>(id | ((level & 0xFF) << i));
  }
  // A strap that cannot be read says nothing; the levels of the others
  // alone must not name a riser.
  return allRead ? id : 0;
}
