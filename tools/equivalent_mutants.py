"""The mutants of tools/mutation-survey.py that cannot change what a caller
or the hardware sees, by name (`*` stands for any text), and why."""

EQUIVALENT = {
    "driver/riser.cpp:ReadRiserId:constant:0xFF:0x100:1":
        "GetInputValue gives a level of 0 or 1 only, so a mask keeping bit 0 "
        "keeps it",
    "driver/riser.cpp:ReadRiserId:bitwise:|:^:1":
        "each strap sets its own bit of an id that starts at 0, so or and "
        "exclusive or agree",
    "driver/setup_strings.cpp:OnStringServiceInstalled:statement:return;::2":
        "the two riser codes differ, so after a match the rest of the loop "
        "matches nothing",
    "driver/onboard_lan.cpp:AppendI210Mac:statement:slot[i]=0;::1":
        "CopyMem then writes all six bytes; nothing reads the slot in between",
    "platform/register_access.h:PrivateRegisterAddress:bitwise:|:^:*":
        "bits 23..0 of the base are clear and port << 16 and offset & 0xFFFF "
        "do not overlap, so or and exclusive or agree",
}
