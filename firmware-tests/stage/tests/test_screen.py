import unittest

from stage.screen import Screen


def replayed(*chunks, rows=25, columns=80):
    screen = Screen(rows, columns)
    for chunk in chunks:
        screen.feed(chunk)
    return screen


class ScreenTest(unittest.TestCase):
    def test_text_lands_where_the_output_puts_it(self):
        cases = [
            # (output chunks, row, expected text of that row)
            ([b"\x1b[03;05Hhello"], 2, "    hello"),
            ([b"\x1b[2;1Habcdef\x1b[2;3H\x1b[K"], 1, "ab"),
            ([b"\x1b[1;1Hab\r\ncd"], 1, "cd"),
            ([b"\x1b[1;1Habc\x08\x08X"], 0, "aXc"),
            ([b"\x1b[1;1Hxy\x1b[2J\x1b[1;1Hz"], 0, "z"),
            ([b"\x1b[5;1Habc\x1b[5;2H\x1b[1K"], 4, "  c"),
            ([b"\x1b[1;1H\x1b[2", b";4Hsplit"], 1, "   split"),  # a sequence cut by a read
            ([b"\x1b[1;1H\x1b[=", b"3hcut"], 0, "cut"),  # the mode sequence cut by a read
            ([b"\x1b[2;1H\xda\xc4\xbf"], 1, "┌─┐"),  # box drawing, code page 437
            ([b"\x1b[1;1H\x1b[?25l\x1b[=3hshown"], 0, "shown"),  # modes change no cell
        ]
        for chunks, row, text in cases:
            with self.subTest(chunks=chunks):
                self.assertEqual(replayed(*chunks).text_rows()[row].rstrip(), text)

    def test_the_last_column_wraps_only_when_more_text_follows(self):
        screen = replayed(b"\x1b[1;1H" + b"x" * 80 + b"\x1b[2;1Hy")
        self.assertEqual(screen.text_rows()[:2], ["x" * 80, "y" + " " * 79])
        screen = replayed(b"\x1b[1;1H" + b"x" * 81)
        self.assertEqual(screen.text_rows()[1].rstrip(), "x")

    def test_line_feed_on_the_last_row_scrolls(self):
        screen = replayed(b"\x1b[1;1Htop\x1b[3;1Hbottom\n\rnew", rows=3, columns=10)
        self.assertEqual([row.rstrip() for row in screen.text_rows()], ["", "bottom", "new"])

    def test_a_position_beyond_the_screen_makes_it_grow(self):
        screen = replayed(b"\x1b[31;100Hz")
        self.assertEqual((screen.rows, screen.columns), (31, 100))
        self.assertEqual(screen.find("z"), [(30, 99)])

    def test_highlighted_rows_show_text_on_another_background(self):
        row = b"\x1b[0m\x1b[30m\x1b[47m\x1b[%d;01H" + b" " * 80
        screen = replayed(*(row % n for n in range(1, 6)),
                          b"\x1b[02;04HSelect Language\x1b[0m\x1b[37m\x1b[40m\x1b[02;31H<English>",
                          b"\x1b[0m\x1b[30m\x1b[47m\x1b[03;04HDevice Manager",
                          b"\x1b[0m\x1b[37m\x1b[40m\x1b[05;01H" + b" " * 80 + b"\x1b[05;03HFooter")
        self.assertEqual(screen.highlighted(), [(1, "<English>")])
        self.assertEqual(screen.find("Manager"), [(2, 10)])
        self.assertEqual(screen.find("Manager", (0, 10)), [])


if __name__ == "__main__":
    unittest.main()
