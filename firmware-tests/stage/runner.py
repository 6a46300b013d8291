"""QEMU boots of the image in OVMF: the boot disk, the variable store, the
launch under a hang limit, and the logs each boot keeps in its directory
(console.log, qemu-stderr.log, command.txt, boot.json, and guest-errors.log
when asked for). Boots run two at a time."""

import json
import os
import shutil
import subprocess
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor, as_completed
from dataclasses import dataclass, field
from pathlib import Path

from .firmware import DEBIAN_OVMF
from .monitor import Monitor
from .setup_visit import visit_setup


HANG_LIMIT = 90  # seconds; a boot takes about 5
PARALLEL = 2
# The shell counts down before it runs startup.nsh; any key but ESC goes on
# at once.
SHELL_COUNTDOWN = b" seconds to skip "
GO_ON_KEY = b"\r"


def write_script(path, lines, last="reset -s"):
    """startup.nsh: quiet, the lines, then power off (or, with last "exit",
    back to the boot manager); CR LF line ends."""
    text = "".join(line + "\r\n" for line in ["@echo -off", *lines, last])
    Path(path).write_bytes(text.encode())


class SerialConsole:
    """QEMU's serial port as a pipe chardev: its output goes to a plain file
    (written as the file backend would, nothing dropped), its input comes
    from a FIFO, through which the shell's countdown is cut short."""

    POLL_SECONDS = 0.05

    def __init__(self, log_path):
        self.log_path = Path(log_path)
        self._prefix = self.log_path.with_suffix("")
        self._output = Path("%s.out" % self._prefix)
        self._input = Path("%s.in" % self._prefix)
        for path in (self._output, self._input):
            path.unlink(missing_ok=True)
        self._output.touch()
        os.mkfifo(self._input)
        # Read and write, so that opening it never blocks and QEMU never
        # sees its input end.
        self._keys = os.open(self._input, os.O_RDWR)
        self._stop = threading.Event()
        self.key_sent = False
        self._thread = threading.Thread(target=self._watch, daemon=True)
        self._thread.start()

    def qemu_args(self):
        return ["-chardev", "pipe,id=serial0,path=%s" % self._prefix, "-serial", "chardev:serial0"]

    def _watch(self):
        tail = b""
        with open(self._output, "rb") as output:
            while not self._stop.wait(self.POLL_SECONDS):
                seen = tail + output.read()
                if SHELL_COUNTDOWN in seen:
                    os.write(self._keys, GO_ON_KEY)
                    self.key_sent = True
                    return
                tail = seen[-len(SHELL_COUNTDOWN):]

    def terminal(self, process):
        """The console as a Setup visit drives it, while process runs."""
        return Terminal(self._output, self._keys, process)

    def close(self):
        self._stop.set()
        self._thread.join(timeout=10)
        os.close(self._keys)
        self._input.unlink(missing_ok=True)
        self._output.replace(self.log_path)


class Terminal:
    def __init__(self, output, keys, process):
        self._output = open(output, "rb")
        self._keys = keys
        self._process = process

    def read(self):
        return self._output.read()

    def send(self, key):
        os.write(self._keys, key)

    def running(self):
        return self._process.poll() is None

    def close(self):
        self._output.close()


@dataclass
class Boot:
    """One QEMU run of one firmware variant."""
    directory: Path
    variant: object  # firmware.Variant
    load_path: object  # one of firmware.LOAD_PATHS
    script: list  # startup.nsh lines
    vars_template: Path  # copied to the boot's own variable store
    images: Path  # where the load path's .efi files are
    firmware: object = DEBIAN_OVMF  # one of firmware.FIRMWARES
    qemu_extra: list = field(default_factory=list)
    wrapper: list = field(default_factory=list)  # runs QEMU as its child
    guest_errors: bool = False
    setup_visit: object = None  # setup_visit.SetupVisit: the boot ends in Setup

    def command(self, console, monitor=None):
        qemu = ["qemu-system-x86_64", "-m", "256", "-nodefaults", "-display", "none",
                "-no-reboot", *self.variant.qemu_args(),
                "-drive", "if=pflash,format=raw,unit=0,readonly=on,file=%s"
                % self.firmware.code_image(self.variant, self.load_path),
                "-drive", "if=pflash,format=raw,unit=1,file=%s" % (self.directory / "vars.fd"),
                "-drive", "format=raw,file=fat:rw:%s" % (self.directory / "disk"),
                *console.qemu_args(), *self.firmware.qemu_args(self.directory), *self.qemu_extra]
        if monitor is not None:
            # Off the laid-out board's slots 0x10 and 0x11.
            qemu += ["-device", "VGA,addr=0x2", *monitor.qemu_args()]
        if self.guest_errors:
            qemu += ["-d", "guest_errors", "-D", str(self.directory / "guest-errors.log")]
        return ["timeout", "-k", "5", str(HANG_LIMIT), *self.wrapper, *qemu]

    def run(self):
        """Boots once; the directory keeps the logs and boot.json."""
        self.directory.mkdir(parents=True, exist_ok=True)
        disk = self.directory / "disk"
        shutil.rmtree(disk, ignore_errors=True)
        disk.mkdir()
        for image in self.load_path.disk:
            shutil.copy(self.images / image, disk / image)
        write_script(disk / "startup.nsh", self.script, "reset -s" if self.setup_visit is None else "exit")
        shutil.copy(self.vars_template, self.directory / "vars.fd")
        console = SerialConsole(self.directory / "console.log")
        sockets = tempfile.TemporaryDirectory(prefix="stage-monitor-")  # short: a socket path's limit
        monitor = Monitor(Path(sockets.name) / "monitor") if self.setup_visit is not None else None
        command = self.command(console, monitor)
        (self.directory / "command.txt").write_text(" ".join(command) + "\n")
        started = time.monotonic()
        try:
            with open(self.directory / "qemu-stderr.log", "wb") as errors:
                process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=errors,
                                           stderr=subprocess.STDOUT)
                if monitor is not None:
                    visit_setup(self.setup_visit, console.terminal(process), monitor, self.directory)
                status = process.wait()
        finally:
            console.close()
            sockets.cleanup()
        result = {"exit_status": status, "timed_out": status == 124, "hang_limit": HANG_LIMIT,
                  "seconds": round(time.monotonic() - started, 1), "countdown_cut": console.key_sent}
        (self.directory / "boot.json").write_text(json.dumps(result, indent=1) + "\n")
        return result


def boot_record(directory):
    path = Path(directory) / "boot.json"
    return json.loads(path.read_text()) if path.exists() else None


def run_parallel(jobs, width=PARALLEL, on_done=None):
    """Calls every job, width at a time; their results in order. on_done,
    when given, sees each result as its job ends."""
    with ThreadPoolExecutor(max_workers=width) as pool:
        futures = [pool.submit(job) for job in jobs]
        if on_done is not None:
            for future in as_completed(futures):
                on_done(future.result())
        return [future.result() for future in futures]
