#include "sim/services/service_doubles.h"

namespace sim {

namespace {
ServiceDoubles *activeServices = nullptr;
}

ServiceDoubles &Services() {
  if (activeServices == nullptr) {
    activeServices = new ServiceDoubles();
  }
  return *activeServices;
}

void ResetServices() {
  delete activeServices;
  activeServices = new ServiceDoubles();
}

void FreeServices() {
  delete activeServices;
  activeServices = nullptr;
}

}  // namespace sim
