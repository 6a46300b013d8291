#include "gpio/gpio.h"
#include "gpio/group_tables.h"
#include "platform/register_access.h"

PchSeries SeriesCache = kPchSeriesNotDetected;

PchSeries GetPchSeries() {
  if (SeriesCache != kPchSeriesNotDetected) {
    return SeriesCache;
  }
  const UINT16 lpcDeviceId = RegisterRead16(PciConfigAddress(0, 31, 0, 2));
  const PchSeries series = SeriesOfLpcDeviceId(lpcDeviceId);
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
