# Host build: the firmware sources, unchanged, linked with the chipset and
# firmware models for the tests and the tools.
set(HOST_WARNINGS -Wall -Wextra -Werror)

add_library(boardcfg_firmware STATIC ${FIRMWARE_SOURCES})
target_include_directories(boardcfg_firmware PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_options(boardcfg_firmware PRIVATE ${FIRMWARE_COMPILE_OPTIONS})

add_subdirectory(sim)
# On the host the register seam is served by the simulated board's chipset.
target_link_libraries(boardcfg_firmware PUBLIC boardcfg_simulated_board)

add_subdirectory(tools)
add_subdirectory(fuzz)

enable_testing()
add_subdirectory(tests)
