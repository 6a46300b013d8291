#include "gpio/gpio.h"
#include "gpio/group_tables.h"
#include "platform/register_access.h"

PchSeries SeriesCache = kPchSeriesNotDetected;

PchSeries GetPchSeries() {
  if (SeriesCache != kPchSeriesNotDetected) {
    return SeriesCache;
  }
  const UINT16 lpcDeviceId = RegisterRead16(PciConfigAddress(0, 31, 0, 2));
  const UINT16 family = lpcDeviceId & 0xFFE0;
  PchSeries series = kPchSeriesNotDetected;
  if (family == 0x9D80) {
    series = kPchSeriesLp;
  } else if (family == 0xA300) {
    series = kPchSeriesH;
  }
  SeriesCache = series;
  return series;
}

const GpioGroupRecord *GetGroupTable(UINT32 *count) {
  if (GetPchSeries() == kPchSeriesLp) {
    *count = kGpioGroupCountLp;
    return kGpioGroupsLp;
  }
  *count = kGpioGroupCountH;
  return kGpioGroupsH;
}
