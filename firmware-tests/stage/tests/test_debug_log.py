import unittest

from stage import debug_log

from .fixture import FIXTURES, image_layout

DRIVER_FILE = "EE004913-32A0-49F1-BAB8-D6B172F11AC6"


def recorded_lines():
    return debug_log.debug_lines(FIXTURES / "platform-varnex-w" / "debug.log")


class ImageLoadsTest(unittest.TestCase):
    def test_each_dispatched_image_with_its_own_placement_and_parts(self):
        loads = debug_log.image_loads(recorded_lines())
        self.assertEqual([load.file_guid for load in loads], [DRIVER_FILE, "6C2004EF-4E0E-4BE4-B14C-340EB4AA5891"])
        driver, after = loads
        self.assertEqual((driver.base, driver.size), (0xDF58000, 0x4000))
        self.assertEqual(driver.ranges, [(0xDF58000, 0x1000, 0x4008), (0xDF59000, 0x1000, 0x20008),
                                         (0xDF5A000, 0x2000, 0x4008)])
        self.assertEqual((after.base, after.size, len(after.ranges)), (0xF64E000, 0x5000, 3))

    def test_protection_against_the_image_sections(self):
        driver = debug_log.image_loads(recorded_lines())[0]
        layout = image_layout("platform-varnex-w")
        self.assertEqual(debug_log.protection_problems(driver, layout), [])
        two_code_pages = (layout[0], [(0x1000, 0x1800, True), (0x3000, 0x100, False)])
        self.assertEqual(debug_log.protection_problems(driver, two_code_pages),
                         ["code page +0x2000: attributes 0x4008, not read-only and executable"])
        larger = (0x5000, layout[1])
        self.assertEqual(debug_log.protection_problems(driver, larger),
                         ["the DXE core protected 0x4000 bytes of an image of 0x5000"])
        unplaced = debug_log.ImageLoad(DRIVER_FILE)
        self.assertIn("placed or protected it nowhere", debug_log.protection_problems(unplaced, layout)[0])


class ConsumerReportTest(unittest.TestCase):
    def test_what_the_sample_printed(self):
        cases = [
            ("the recorded boot", recorded_lines(),
             {"status": "Success", "ports": ["00:1b:21:a0:00:01", "00:1b:21:a0:00:02"]}),
            ("one port without an I210", ["OnboardMacReport: port 1 none",
                                          "OnboardMacReport: port 2 00:1B:21:A0:00:02",
                                          "OnboardMacReport: status Success"],
             {"status": "Success", "ports": [None, "00:1b:21:a0:00:02"]}),
            ("no board service", ["OnboardMacReport: no board service: Not Found"],
             {"status": "no board service: Not Found", "ports": []}),
            ("silent", ["Loading driver at 0x0000DF58000 EntryPoint=0x0000DF5923E"], None),
        ]
        for what, lines, report in cases:
            with self.subTest(what):
                self.assertEqual(debug_log.consumer_report(lines), report)

    def test_asserts_and_exceptions_only_at_the_start_of_a_line(self):
        lines = ["ASSERT /x.c(1): y", "  ASSERT quoted", "!!!! X64 Exception Type - 0D(#GP) !!!!", "!!!! other"]
        self.assertEqual(debug_log.asserts(lines), ["ASSERT /x.c(1): y"])
        self.assertEqual(debug_log.exceptions(lines), ["!!!! X64 Exception Type - 0D(#GP) !!!!"])


if __name__ == "__main__":
    unittest.main()
