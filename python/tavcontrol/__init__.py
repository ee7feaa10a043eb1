"""TAV Control for scripts: the program's own link, reply parser, test interpreter and
results journal, for Python and pytest.

    import tavcontrol

    with tavcontrol.Simulator() as port, tavcontrol.Instrument(port=port) as psu:
        psu.set_voltage_ac(230)
        psu.output(True)
        print(psu.measure()["U1"])

Waits handle the core's events themselves (no Qt event loop in the script) and release the
interpreter's lock; Ctrl-C during a wait raises KeyboardInterrupt with the link closed.
"""

from __future__ import annotations

import os
import shutil
import subprocess
import time
from pathlib import Path
from typing import Any, Mapping

from ._core import Instrument, LateReply, LinkError, NoReply, Row, Run, run_table, run_tables
from ._core import _port_links_folder

__all__ = ["Instrument", "LateReply", "LinkError", "NoReply", "Row", "Run", "Simulator",
           "run_table", "run_tables", "tavsim_path"]


def tavsim_path() -> str:
    """The simulator's program: $TAVSIM, else beside the module in the build tree
    (build/sim/tavsim), else the installed one (/usr/bin/tavsim or on PATH)."""
    given = os.environ.get("TAVSIM")
    if given:
        return given
    built = Path(__file__).resolve().parent.parent.parent / "sim" / "tavsim"
    if built.is_file():
        return str(built)
    found = shutil.which("tavsim") or "/usr/bin/tavsim"
    if not os.path.isfile(found):
        raise FileNotFoundError("tavsim not found: build it, install tavcontrol or set TAVSIM")
    return found


def _arguments(options: Mapping[str, Any]) -> list[str]:
    """Keyword options as tavsim's command line: load_ohm=50 is --load-ohm 50, a True flag
    stands alone, a list repeats the option, and answer={"*idn?": "X"} is --answer *idn?=X."""
    args: list[str] = []
    for name, value in options.items():
        flag = "--" + name.replace("_", "-")
        if value is None or value is False:
            continue
        if value is True:
            args.append(flag)
        elif isinstance(value, Mapping):
            for query, text in value.items():
                args += [flag, f"{query}={text}"]
        elif isinstance(value, (list, tuple)):
            for item in value:
                args += [flag, str(item)]
        else:
            args += [flag, str(value)]
    return args


class Simulator:
    """tavsim, the simulated instrument, on a pseudo-terminal published as a serial port.

    A context manager yielding the port's name ("COM40"): the link COMn in the folder where
    the program looks up its ports (tavcontrol/ports/ under $XDG_CONFIG_HOME or ~/.config).
    port picks the number, else the first free one from 40 on. The other keyword options
    are tavsim's (see tavsim --help): model, options, revision, serial, load_ohm,
    load_phase, delay_ms, no_status, answer (a dict), slow_query (a list), slow_ms,
    lose_replies ("N-M"), log, meter, reading. The simulator ends with the block, or with the process that started it.
    """

    def __init__(self, port: int | None = None, **options: Any) -> None:
        self._port = port
        self._options = options
        self._process: subprocess.Popen[bytes] | None = None
        self.port = ""
        self.link = ""

    def _free_port(self, folder: Path) -> int:
        for number in range(40, 100):
            if not os.path.lexists(folder / f"COM{number}"):
                return number
        raise LinkError(f"no free COM number in {folder}")

    def start(self) -> str:
        """Starts tavsim and waits for its port; returns the port's name."""
        folder = Path(_port_links_folder())
        folder.mkdir(parents=True, exist_ok=True)
        number = self._port or self._free_port(folder)
        link = folder / f"COM{number}"
        if os.path.lexists(link):
            link.unlink()  # left by a simulator that was killed
        command = [tavsim_path(), "--exit-with-parent", "--link", str(link)]
        self._process = subprocess.Popen(command + _arguments(self._options),
                                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not os.path.islink(link):
            if self._process.poll() is not None:
                error = self._process.stderr.read().decode(errors="replace") if \
                    self._process.stderr else ""
                raise LinkError(f"tavsim ended: {error.strip()}")
            if time.monotonic() > deadline:
                self.stop()
                raise LinkError(f"tavsim did not publish {link}")
            time.sleep(0.01)
        self.port, self.link = f"COM{number}", str(link)
        return self.port

    def stop(self) -> None:
        """Ends tavsim (it removes its link)."""
        process, self._process = self._process, None
        if process is None:
            return
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
        if process.stderr:
            process.stderr.close()

    def __enter__(self) -> str:
        return self.start()

    def __exit__(self, *exc: object) -> None:
        self.stop()

