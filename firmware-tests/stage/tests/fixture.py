"""Recorded logs of real stage runs and the board facts, for the tests.

fixtures/reads-zero: plain OVMF with unbacked windows (console.log trimmed
to the dh lines that matter, guest-errors.log to the window accesses and a
few others); fixtures/varnex-w: a board laid by boardlay (its account, with
GPP_B0 as memory held it after the boot); fixtures/fv-smm-varnex-w: the
same board with the driver dispatched from the firmware volume of OVMF
built with SMM (dh trimmed to the handles that matter, with the loaded
images' listing); fixtures/platform-varnex-w: that board in OVMF built from
source with the package (make platform), its scenario.json as played (the
sample consumer's call of entry 4 among the steps), its debug.log trimmed to
the driver's load and protection, the image loaded after it, and the
consumer's lines, and the booted image's layout (image-layout.json). The
laid-out consoles carry the checker's pad-store line and their accounts
the store the board kept of it, as every boot of this board makes them
(taken from a boot of varnex-w in Debian's OVMF). Each
has the boardsim.json it is compared with (test_fixtures holds it to what
boardsim prints today) and the runner's boot.json."""

import copy
import json
import shutil
import tempfile
from pathlib import Path

from stage.boardsim import Facts
from stage.firmware import FIRMWARES, LOAD_PATHS
from stage.plan import Play

FIXTURES = Path(__file__).resolve().parent / "fixtures"
LOAD_PATH = LOAD_PATHS["driver-option"]
UNBACKED = Play(variant="plain", windows="unbacked", bridge_location="companion", load_path=LOAD_PATH)
LAID_OUT = Play(variant="plain", windows="laid-out", bridge_location="companion", load_path=LOAD_PATH)
FV_SMM_LAID_OUT = Play(variant="smm", windows="laid-out", bridge_location="companion",
                       load_path=LOAD_PATHS["firmware-volume"])
PLATFORM = FIRMWARES["platform-build"]
PLATFORM_LAID_OUT = Play(variant="plain", windows="laid-out", bridge_location="companion",
                         load_path=LOAD_PATHS["firmware-volume"], firmware=PLATFORM)
# Each recorded run and how it was played.
RECORDED = {"reads-zero": UNBACKED, "varnex-w": LAID_OUT, "fv-smm-varnex-w": FV_SMM_LAID_OUT,
            "platform-varnex-w": PLATFORM_LAID_OUT}

_facts = None


def facts():
    global _facts
    if _facts is None:
        _facts = Facts.load()
    return _facts


def expected(name):
    return json.loads((FIXTURES / name / "boardsim.json").read_text())


def copied(name):
    """A scratch copy of a fixture directory; removed with the returned
    TemporaryDirectory."""
    scratch = tempfile.TemporaryDirectory()
    target = Path(scratch.name) / name
    shutil.copytree(FIXTURES / name, target)
    return scratch, target


def edited(value, change):
    """A deep copy of value after change(copy)."""
    result = copy.deepcopy(value)
    change(result)
    return result


def image_layout(name):
    """The booted image's layout, for a recorded run that has one."""
    path = FIXTURES / name / "image-layout.json"
    if not path.exists():
        return None
    size, sections = json.loads(path.read_text())
    return size, [tuple(section) for section in sections]
