"""The terminal the firmware draws on, as a grid of character cells: its
serial output (the terminal driver's VT100/ANSI: cursor positions, erases,
colours, text, CR/LF) replayed cell by cell, so that what the screen shows
now can be read: its text rows, where a text is, and which rows carry text
in other colours than the rest of their row (the form browser's
highlight)."""

import re
from collections import Counter
from dataclasses import dataclass

# The firmware's serial terminal in text mode 0 (PC-ANSI: box drawing in
# code page 437); a position beyond it makes the screen grow.
ROWS, COLUMNS = 25, 80
SEQUENCE = re.compile(rb"\x1b\[([0-9;?=]*)([A-Za-z])")
BLACK, WHITE = 0, 7


@dataclass(frozen=True)
class Attribute:
    foreground: int = WHITE
    background: int = BLACK
    bold: bool = False


PLAIN = Attribute()


class Screen:
    def __init__(self, rows=ROWS, columns=COLUMNS):
        self.rows, self.columns = rows, columns
        self.attribute = PLAIN
        self.row = self.column = 0  # zero-based cursor
        self._wrap_pending = False
        self._partial = b""  # an escape sequence cut by the end of a chunk
        self.cells = [[(" ", PLAIN)] * columns for _ in range(rows)]

    def feed(self, data):
        """Replays output onto the cells; chunks may split a sequence."""
        data = self._partial + data
        self._partial = b""
        index = 0
        while index < len(data):
            byte = data[index]
            if byte == 0x1B:
                found = SEQUENCE.match(data, index)
                if found is None:
                    if len(data) - index < 16 and re.fullmatch(rb"\x1b(\[[0-9;?=]*)?", data[index:]):
                        self._partial = data[index:]
                        return
                    index += 1  # a lone ESC or one this model does not know
                    continue
                self._sequence(found.group(1).decode(), found.group(2).decode())
                index = found.end()
                continue
            self._byte(byte)
            index += 1

    def _sequence(self, parameters, final):
        numbers = [int(n) if n.isdigit() else 0 for n in parameters.split(";")] if parameters else []
        first = numbers[0] if numbers else 0
        if final in "Hf":
            row, column = (numbers + [1, 1])[:2]
            self._address(max(row, 1) - 1, max(column, 1) - 1)
        elif final == "J":
            if first == 2:
                self.cells = [[(" ", self.attribute)] * self.columns for _ in range(self.rows)]
            elif first == 0:
                self._erase(self.row, self.column, self.columns)
                for row in range(self.row + 1, self.rows):
                    self._erase(row, 0, self.columns)
        elif final == "K":
            start, end = {0: (self.column, self.columns), 1: (0, self.column + 1)}.get(
                first, (0, self.columns))
            self._erase(self.row, start, end)
        elif final == "m":
            self._colours(numbers or [0])
        elif final in "ABCD":
            step = max(first, 1)
            row, column = {"A": (-step, 0), "B": (step, 0), "C": (0, step), "D": (0, -step)}[final]
            self._move(self.row + row, self.column + column)
        # Anything else (cursor shown or hidden, modes) leaves the cells alone.

    def _colours(self, numbers):
        attribute = self.attribute
        for number in numbers:
            if number == 0:
                attribute = PLAIN
            elif number == 1:
                attribute = Attribute(attribute.foreground, attribute.background, True)
            elif number == 22:
                attribute = Attribute(attribute.foreground, attribute.background, False)
            elif 30 <= number <= 37:
                attribute = Attribute(number - 30, attribute.background, attribute.bold)
            elif 40 <= number <= 47:
                attribute = Attribute(attribute.foreground, number - 40, attribute.bold)
        self.attribute = attribute

    def _address(self, row, column):
        """An absolute position; a screen larger than thought grows to it."""
        if row >= self.rows:
            self.cells += [[(" ", PLAIN)] * self.columns for _ in range(row + 1 - self.rows)]
            self.rows = row + 1
        if column >= self.columns:
            grow = column + 1 - self.columns
            self.cells = [line + [(" ", PLAIN)] * grow for line in self.cells]
            self.columns = column + 1
        self._move(row, column)

    def _move(self, row, column):
        self.row = min(max(row, 0), self.rows - 1)
        self.column = min(max(column, 0), self.columns - 1)
        self._wrap_pending = False

    def _erase(self, row, start, end):
        line = self.cells[row]
        for column in range(start, min(end, self.columns)):
            line[column] = (" ", self.attribute)

    def _line_feed(self):
        if self.row == self.rows - 1:
            self.cells = self.cells[1:] + [[(" ", self.attribute)] * self.columns]
        else:
            self.row += 1

    def _byte(self, byte):
        if byte == 0x0D:
            self.column, self._wrap_pending = 0, False
        elif byte == 0x0A:
            self._line_feed()
            self._wrap_pending = False
        elif byte == 0x08:
            self._move(self.row, self.column - 1)
        elif byte >= 0x20 and byte != 0x7F:
            if self._wrap_pending:
                self.column, self._wrap_pending = 0, False
                self._line_feed()
            self.cells[self.row][self.column] = (bytes([byte]).decode("cp437"), self.attribute)
            if self.column == self.columns - 1:
                self._wrap_pending = True
            else:
                self.column += 1

    # Reading what is on the screen now.

    def text_rows(self):
        return ["".join(char for char, _ in line) for line in self.cells]

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
        for row, line in enumerate(self.cells):
            usual = Counter(attribute.background for _, attribute in line).most_common(1)[0][0]
            marked = "".join(char if attribute.background != usual else " " for char, attribute in line)
            if marked.strip():
                found.append((row, " ".join(marked.split())))
        return found
