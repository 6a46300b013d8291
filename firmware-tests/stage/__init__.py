"""The firmware stage: BoardConfigDxe.efi booted in OVMF under QEMU, what it
did read back from the firmware side and compared with boardsim's outcome of
the same scenario.

Modules, one job each:
  boardsim  the host tools: facts, resolved scenarios, expected outcomes
  plan      how a scenario is played in firmware, or why it is host-only
  firmware  the firmware variants (plain, SMM) and the driver's load path
  runner    QEMU boots: disk, variable store, launch, logs, two at a time
  board     a scenario's board laid by boardlay into shared-memory files
  console   the serial console: sections, checker and companion lines,
            dh and smbiosview
  trace     QEMU's guest_errors log as an access trace
  reader    the firmware side of one boot, in boardsim's JSON shape
  health    checks of the stage itself (not of the driver)
  outcome_schema  both sides held to boardsim's outcome schema
  compare   firmware side against boardsim, one row per outcome
  report    printing rows and problems
  play      the set-up boots and the scenario boots
  main      the command line
"""
