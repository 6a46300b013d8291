"""The terminal the firmware draws on, as pyte (Debian's python3-pyte)
replays its serial output: the terminal driver's VT100/ANSI cursor
positions, erases, colours, text and CR/LF, in code page 437, so that what
the screen shows now can be read: its text rows, where a text is, and which
rows carry text on another background than the rest of their row (the form
browser's highlight).

Two things of the firmware's output pyte does not read as the firmware
means them, and this module does: the ANSI.SYS mode sequence ESC [ = n h
(pyte would print its parameter) is dropped, and a cursor position beyond
the screen makes the screen grow to it, as a terminal in a larger text mode
would be."""

import codecs
import re
from collections import Counter

import pyte

# The firmware's serial terminal in text mode 0 (PC-ANSI: box drawing in
# code page 437).
ROWS, COLUMNS = 25, 80
MODE = re.compile(r"\x1b\[=\d*[hl]")
POSITION = re.compile(r"\x1b\[(\d+);(\d+)[Hf]")
# A sequence cut by the end of a chunk, held back until the next one.
UNFINISHED = re.compile(r"\x1b(\[[0-9;?=]*)?$")


class Screen:
    def __init__(self, rows=ROWS, columns=COLUMNS):
        self._screen = pyte.Screen(columns, rows)
        self._stream = pyte.Stream(self._screen)
        self._decode = codecs.getincrementaldecoder("cp437")().decode
        self._held = ""

    @property
    def rows(self):
        return self._screen.lines

    @property
    def columns(self):
        return self._screen.columns

    def feed(self, data):
        """Replays output onto the screen; chunks may split a sequence."""
        text = self._held + self._decode(data)
        cut = UNFINISHED.search(text)
        text, self._held = (text[:cut.start()], text[cut.start():]) if cut else (text, "")
        text = MODE.sub("", text)
        rows, columns = self.rows, self.columns
        for found in POSITION.finditer(text):
            rows, columns = max(rows, int(found.group(1))), max(columns, int(found.group(2)))
        if (rows, columns) != (self.rows, self.columns):
            self._screen.resize(rows, columns)
        self._stream.feed(text)

    # Reading what is on the screen now.

    def text_rows(self):
        return list(self._screen.display)

    def text(self):
        return "\n".join(line.rstrip() for line in self.text_rows())

    def find(self, text, columns=(0, None)):
        """(row, column) of each place the text starts, zero-based, within
        the columns [start, end)."""
        start, end = columns
        places = []
        for row, line in enumerate(self.text_rows()):
            part = line[start:end]
            at = part.find(text)
            while at >= 0:
                places.append((row, start + at))
                at = part.find(text, at + 1)
        return places

    def highlighted(self):
        """(row, text) of each row that shows text on another background
        than the one most of the row has; the text is those cells'."""
        found = []
        for row in range(self.rows):
            line = [self._screen.buffer[row][column] for column in range(self.columns)]
            usual = Counter(cell.bg for cell in line).most_common(1)[0][0]
            marked = "".join(cell.data if cell.bg != usual else " " for cell in line)
            if marked.strip():
                found.append((row, " ".join(marked.split())))
        return found
