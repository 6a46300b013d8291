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
    "ServiceGlobals.RuntimeServices=system->Runtim...::1":
        "nothing in the driver reads the runtime services",
    "platform/register_access.h:PrivateRegisterAddress:bitwise:|:^:*":
        "bits 23..0 of the base are clear and port << 16 and offset & 0xFFFF "
        "do not overlap, so or and exclusive or agree",
}
