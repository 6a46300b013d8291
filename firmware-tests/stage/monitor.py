"""QEMU's human monitor on a unix socket: a screen dump of the display
adapter, converted to PNG with netpbm's pnmtopng, and quit."""

import socket
import subprocess
import time
from pathlib import Path

PROMPT = b"(qemu) "


class Monitor:
    def __init__(self, path):
        self.path = Path(path)

    def qemu_args(self):
        return ["-monitor", "unix:%s,server=on,wait=off" % self.path]

    def command(self, text, limit=10):
        """Sends one command; what the monitor answered before its prompt."""
        deadline = time.monotonic() + limit
        while not self.path.exists() and time.monotonic() < deadline:
            time.sleep(0.05)
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            connection.settimeout(limit)
            connection.connect(str(self.path))
            received = b""
            while not received.endswith(PROMPT):  # the greeting
                received += connection.recv(4096) or self._closed(received)
            connection.sendall(text.encode() + b"\n")
            received = b""
            try:
                while not received.endswith(PROMPT):
                    chunk = connection.recv(4096)
                    if not chunk:  # quit closes it
                        break
                    received += chunk
            except (socket.timeout, ConnectionResetError):
                pass
            return received.decode("latin-1")

    @staticmethod
    def _closed(received):
        raise ConnectionError("the monitor closed: %r" % received)

    def screenshot(self, png):
        """The display as PNG; the PPM QEMU writes is removed."""
        png = Path(png)
        ppm = png.with_suffix(".ppm")
        ppm.unlink(missing_ok=True)
        answer = self.command("screendump %s" % ppm)
        if not ppm.exists():
            raise OSError("screendump wrote no %s: %s" % (ppm.name, answer.strip()))
        with open(png, "wb") as out:
            subprocess.run(["pnmtopng", str(ppm)], stdout=out, stderr=subprocess.PIPE, check=True)
        ppm.unlink()
        return png

    def quit(self):
        self.command("quit")
