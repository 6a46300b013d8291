import os
import tempfile
import time
import unittest
from pathlib import Path

from stage.board import LaidOutBoard
from stage.firmware import LOAD_PATHS, OVMF, VARIANTS
from stage.main import setup_visits, substitutions
from stage.monitor import Monitor
from stage.runner import GO_ON_KEY, Boot, SerialConsole, write_script


class ScriptTest(unittest.TestCase):
    def test_startup_script_is_quiet_crlf_and_powers_off(self):
        with tempfile.TemporaryDirectory() as scratch:
            path = Path(scratch) / "startup.nsh"
            write_script(path, ["dh"])
            self.assertEqual(path.read_bytes(), b"@echo -off\r\ndh\r\nreset -s\r\n")


class SetupScriptTest(unittest.TestCase):
    def test_a_setup_visit_leaves_the_shell_instead_of_powering_off(self):
        with tempfile.TemporaryDirectory() as scratch:
            path = Path(scratch) / "startup.nsh"
            write_script(path, ["dh"], "exit")
            self.assertEqual(path.read_bytes(), b"@echo -off\r\ndh\r\nexit\r\n")


class CommandTest(unittest.TestCase):
    def test_variant_load_and_windows_are_parameters(self):
        board = LaidOutBoard("/tmp/board.json", "board", "/tmp/account.json", 16 << 20)
        boot = Boot(Path("/tmp/boot"), VARIANTS["smm"], LOAD_PATHS["driver-option"], [], Path("vars"), Path("images"),
                    qemu_extra=board.qemu_args(), wrapper=board.wrapper(), guest_errors=True)

        class Console:
            def qemu_args(self):
                return ["-serial", "x"]

        command = boot.command(Console())
        self.assertEqual(command[:4], ["timeout", "-k", "5", "90"])
        qemu = command.index("qemu-system-x86_64")
        self.assertEqual(command[qemu - 1], "--")
        self.assertIn("--account", command[:qemu])
        self.assertIn("q35,smm=on", command)
        self.assertIn("ICH9-LPC.disable_s3=1", command)
        self.assertIn("if=pflash,format=raw,unit=0,readonly=on,file=%s" % (OVMF / "OVMF_CODE_4M.secboot.fd"), command)
        self.assertIn("if=pflash,format=raw,unit=1,file=/tmp/boot/vars.fd", command)
        self.assertEqual(sum(arg.startswith("ivshmem-plain") for arg in command), 2)
        self.assertEqual(command[-4:], ["-d", "guest_errors", "-D", "/tmp/boot/guest-errors.log"])
        self.assertNotIn("-monitor", command)

        visiting = boot.command(Console(), Monitor("/tmp/m"))
        display = visiting.index("VGA,addr=0x2") - 1
        self.assertEqual(visiting[display:display + 4], ["-device", "VGA,addr=0x2", "-monitor",
                                                         "unix:/tmp/m,server=on,wait=off"])


class SerialConsoleTest(unittest.TestCase):
    def test_countdown_cut_short_and_output_kept(self):
        with tempfile.TemporaryDirectory() as scratch:
            log = Path(scratch) / "console.log"
            console = SerialConsole(log)
            output = Path(scratch) / "console.out"
            with open(output, "ab") as serial:
                serial.write(b"Press \x1b[1mESC\x1b[0m in 5 seconds to skip startup.nsh")
            deadline = time.monotonic() + 5
            while not console.key_sent and time.monotonic() < deadline:
                time.sleep(0.01)
            keys = os.open(Path(scratch) / "console.in", os.O_RDONLY | os.O_NONBLOCK)
            try:
                self.assertEqual(os.read(keys, 16), GO_ON_KEY)
            finally:
                os.close(keys)
            console.close()
            self.assertTrue(console.key_sent)
            self.assertIn(b"to skip startup.nsh", log.read_bytes())
            self.assertEqual(sorted(p.name for p in Path(scratch).iterdir()), ["console.log"])


class ExpectationTest(unittest.TestCase):
    def test_substitution_names_one_scenario(self):
        paths = [Path("examples/varnex-w.json"), Path("examples/varnex-n.json")]
        self.assertEqual(substitutions(["varnex-w=/tmp/x.json"], paths), {paths[0]: Path("/tmp/x.json")})
        self.assertEqual(substitutions(["varnex-n.json=y.json"], paths), {paths[1]: Path("y.json")})
        for wrong in ("varnex=/tmp/x.json", "varnex-w"):
            with self.subTest(wrong), self.assertRaises(SystemExit):
                substitutions([wrong], paths)

    def test_setup_visits_name_one_scenario_each(self):
        paths = [Path("examples/varnex-w.json"), Path("examples/varnex-n.json")]
        self.assertEqual(setup_visits(["varnex-w", "examples/varnex-w.json"], paths), {paths[0]})
        with self.assertRaises(SystemExit):
            setup_visits(["varnex"], paths)


if __name__ == "__main__":
    unittest.main()
