# The chipset model, built into boardcfg_chipset_model, and the register
# backend that serves the driver's register functions from it (built with
# the simulated board it reaches). Their read path runs once per polled
# register read (up to 0x0FFFFFFF in a row), so they are optimised even in
# debug builds; a sanitized build may add options of its own
# (BOARDCFG_CHIPSET_MODEL_OPTIONS).
set(CHIPSET_MODEL_SOURCES
  sim/chipset/access_trace.cpp
  sim/chipset/chipset_model.cpp
  sim/chipset/gpio_community.cpp
  sim/chipset/gpio_register_table.cpp
  sim/chipset/lan_devices.cpp
  sim/chipset/p2sb.cpp
  sim/chipset/register_names.cpp
  sim/chipset/pci_config_space.cpp
  sim/chipset/pci_function.cpp)
set(REGISTER_BACKEND_SOURCES sim/chipset/register_backend.cpp)
set(CHIPSET_MODEL_COMPILE_OPTIONS -O2 ${BOARDCFG_CHIPSET_MODEL_OPTIONS})
