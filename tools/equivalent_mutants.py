"""The mutants of tools/mutation-survey.py that cannot change what a caller
or the hardware sees, by name (`*` stands for any text), and why."""

EQUIVALENT = {
    "driver/riser.cpp:ReadRiserId:constant:0:1:1":
        "level keeps its first value only when the first strap's read fails, "
        "and then the id is 0 whatever the level",
    "driver/riser.cpp:ReadRiserId:bitwise:|:^:1":
        "each strap sets its own bit of an id that starts at 0, so or and "
        "exclusive or agree",
    "driver/setup_strings.cpp:OnStringServiceInstalled:statement:return;::2":
        "the two riser codes differ, so after a match the rest of the loop "
        "matches nothing",
    # The loop zeroing the new slot: CopyMem then writes all six bytes, and
    # nothing reads the slot in between.
    "driver/onboard_lan.cpp:AppendI210Mac:statement:slot[i]=0;::1":
        "CopyMem then writes all six bytes of the slot",
    "driver/onboard_lan.cpp:AppendI210Mac:constant:0:1:5":
        "CopyMem then writes the slot's first byte too",
    "driver/onboard_lan.cpp:AppendI210Mac:constant:0:1:6":
        "CopyMem then writes all six bytes of the slot",
    "driver/onboard_lan.cpp:AppendI210Mac:relational:<:>=:1":
        "CopyMem then writes all six bytes of the slot",
    "driver/smbios_slots.cpp:DeleteSlotRecord:constant:0:1:1":
        "the record's value is an output of the service the driver never "
        "reads",
    "driver/smbios_slots.cpp:DeleteSlotRecord:bitwise:|:^:1":
        "the two bytes of the handle do not overlap, so or and exclusive or "
        "agree",
    "driver/support_library.cpp:InitSupportLibrary:statement:"
    "ServiceGlobals.RuntimeServi...::1":
        "nothing in the driver reads the runtime services",
    "gpio/lock_registers.cpp:HasLockRegisters:*":
        "only a static_assert calls it, at build time; a weaker check lets "
        "the same tables through and changes no code",
    "gpio/lock_registers.cpp:IsGroupAndDwValid:bitwise:|:^:1":
        "the base's low byte is clear and count - 1 fits in it, so or and "
        "exclusive or agree",
    # The last 32-pad block of a group, (Pads - 1) >> 5.
    "gpio/lock_registers.cpp:IsGroupAndDwValid:arithmetic:-:+:2":
        "(Pads + 1) >> 5 differs only for a group of 31, 32, 63 or 64 pads, "
        "and neither table has one",
    "gpio/lock_registers.cpp:IsGroupAndDwValid:constant:1U:2U:1":
        "(Pads - 2) >> 5 differs only for a group of 1 or 33 pads, and "
        "neither table has one",
    "gpio/lock_registers.cpp:IsGroupAndDwValid:constant:1U:0U:1":
        "Pads >> 5 differs only for a group of 32 or 64 pads, and neither "
        "table has one",
    "gpio/gpp_b0_output.cpp:DriveGppB0Low:constant:FALSE:TRUE:1":
        "locked keeps its first value only when GPP_B0 is not a pad, on the "
        "LP series, and there LockPadTx rejects group 0x0301 before any "
        "access",
    # The P2SB's status register, read again after a wait saw busy clear:
    # only the driver's own write sets busy, so bit 0 reads 0 there.
    "gpio/sideband.cpp:SendSidebandMessage:constant:0x007F:0x007E:1":
        "bit 0 of the status, busy, reads 0 after the wait, so keeping it or "
        "clearing it writes the same",
    "gpio/sideband.cpp:SendSidebandMessage:bitwise:|:^:3":
        "busy reads 0 before the driver sets it, so or and exclusive or "
        "agree",
    "gpio/sideband.cpp:SendSidebandMessage:bitwise:|:^:1":
        "the port in bits 31..24 and the offset in bits 15..0 do not "
        "overlap, so or and exclusive or agree",
    "gpio/sideband.cpp:SendSidebandMessage:bitwise:|:^:2":
        "status bits 6..0 and the opcode in bits 15..8 do not overlap, so or "
        "and exclusive or agree",
    # The series codes are the driver's own: only compared with each other,
    # any value apart from the other two names the same series.
    "gpio/gpio.h:kPchSeriesH:constant:1:0:1":
        "0 is apart from the LP and the undetected codes",
    "gpio/gpio.h:kPchSeriesLp:constant:2:3:1":
        "3 is apart from the H and the undetected codes",
    "gpio/gpio.h:kPchSeriesNotDetected:constant:0xFF:0xFE:1":
        "0xFE is apart from the H and the LP codes",
    "platform/register_access.h:PrivateRegisterAddress:bitwise:|:^:*":
        "bits 23..0 of the base are clear and port << 16 and offset & 0xFFFF "
        "do not overlap, so or and exclusive or agree",
    "gpio/group_tables.h:kGpioGroupCountLp:constant:0:1:1":
        "every element of the table has the size of the first, so the count "
        "is the same",
    "gpio/group_tables.h:kGpioGroupCountH:constant:0:1:1":
        "every element of the table has the size of the first, so the count "
        "is the same",
}
