"""A scenario's board laid into two shared-memory files by boardlay, which
runs QEMU as its child and serves the P2SB and the GPIO store rules while
it runs. QEMU maps each file through an ivshmem-plain device on bus 0; the
companion moves their BAR2 to the chipset windows, the PCI window's device
first. QEMU starts held (-S), its gdbstub connected to the socket boardlay
listens on, through which boardlay watches the guest's stores to every
register the model constrains and its reads of the P2SB status register:
each store meets the model's rules before the guest's next instruction,
and a message completes on the status read after the scenario's busy ones,
as in boardsim."""

import os
import shutil
from pathlib import Path

from .boardsim import BOARDLAY

SHARED_MEMORY = Path("/dev/shm")
WINDOW_NAMES = ("pci", "private")
DEVICES = {"pci": "0x10", "private": "0x11"}


class LaidOutBoard:
    def __init__(self, scenario, name, account, file_size):
        self.file_size = file_size  # what boardlay lays into each file
        self.scenario = Path(scenario)
        self.account = Path(account)
        self.files = {window: SHARED_MEMORY / ("boardstage-%d-%s-%s" % (os.getpid(), name, window))
                      for window in WINDOW_NAMES}
        self.gdb_socket = SHARED_MEMORY / ("boardstage-%d-%s-gdb" % (os.getpid(), name))

    def wrapper(self):
        return [str(BOARDLAY), str(self.scenario),
                "--pci-window", str(self.files["pci"]),
                "--private-window", str(self.files["private"]),
                "--account", str(self.account),
                "--gdb-socket", str(self.gdb_socket), "--"]

    def qemu_args(self):
        args = ["-S", "-chardev", "socket,id=boardgdb,path=%s" % self.gdb_socket,
                "-gdb", "chardev:boardgdb"]
        for window in WINDOW_NAMES:
            args += ["-object", "memory-backend-file,id=%swin,size=%s,share=on,mem-path=%s"
                     % (window, self.file_size, self.files[window]),
                     "-device", "ivshmem-plain,memdev=%swin,bus=pcie.0,addr=%s" % (window, DEVICES[window])]
        return args

    def keep(self, directory):
        """Moves the window files into the scenario's log directory."""
        for window, path in self.files.items():
            if path.exists():
                shutil.move(str(path), Path(directory) / ("%s-window.img" % window))
        self.gdb_socket.unlink(missing_ok=True)

    def remove(self):
        for path in (*self.files.values(), self.gdb_socket):
            path.unlink(missing_ok=True)
