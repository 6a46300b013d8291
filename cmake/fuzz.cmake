# Fuzz build: the firmware sources with the host flags, coverage-instrumented
# for libFuzzer, and the models and harness, under AddressSanitizer and
# UndefinedBehaviorSanitizer with every finding fatal (all but the chipset
# model, below).
set(HOST_WARNINGS -Wall -Wextra -Werror)
add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)

add_library(boardcfg_firmware STATIC ${FIRMWARE_SOURCES})
target_include_directories(boardcfg_firmware PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(boardcfg_firmware PRIVATE ${FIRMWARE_COMPILE_OPTIONS}
                       -fsanitize=fuzzer-no-link)

add_subdirectory(sim)
# On the host the register seam is served by the simulated board's chipset.
target_link_libraries(boardcfg_firmware PUBLIC boardcfg_simulated_board)
# The chipset model takes only addresses and values from the driver; left
# uninstrumented it keeps a stuck P2SB's 2 x 0x0FFFFFFF status reads to
# seconds rather than tens of seconds.
include(${PROJECT_SOURCE_DIR}/sim/chipset/sources.cmake)
set(CHIPSET_MODEL_SOURCES ${CHIPSET_MODEL_SOURCES} ${REGISTER_BACKEND_SOURCES})
list(TRANSFORM CHIPSET_MODEL_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/)
set_source_files_properties(${CHIPSET_MODEL_SOURCES}
  DIRECTORY ${PROJECT_SOURCE_DIR}/sim PROPERTIES COMPILE_OPTIONS
  "${CHIPSET_MODEL_COMPILE_OPTIONS};-fno-sanitize=all")

add_subdirectory(fuzz)
