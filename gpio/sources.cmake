set(GPIO_SOURCES
  gpio/series.cpp
  gpio/pad_queries.cpp
  gpio/lock_registers.cpp
  gpio/gpp_b0_output.cpp
  gpio/sideband.cpp)
