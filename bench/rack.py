#!/usr/bin/env python3
"""A rack of 1, 4 and 8 slots against tavsim: tavtest --slot's wall time and CPU per slot
against one run on its own. Prints the figures and the ratios the rack must keep: wall time of
8 slots at most 1.3 times that of one, CPU per slot no more than a single run's.

    bench/rack.py [build folder, default build] [rows of the table, default 40]
"""

import os
import resource
import subprocess
import sys
import tempfile
import time
from pathlib import Path

build = Path(sys.argv[1] if len(sys.argv) > 1 else "build").resolve()
rows = int(sys.argv[2]) if len(sys.argv) > 2 else 40
tavsim, tavtest = build / "sim" / "tavsim", build / "tools" / "tavtest"

with tempfile.TemporaryDirectory() as folder:
    home = Path(folder)
    ports = home / "config" / "tavcontrol" / "ports"
    ports.mkdir(parents=True)
    env = dict(os.environ, XDG_CONFIG_HOME=str(home / "config"), XDG_DATA_HOME=str(home / "data"))
    sims = [subprocess.Popen([tavsim, "--exit-with-parent", "--link", str(ports / f"COM{n}")],
                             stderr=subprocess.DEVNULL) for n in range(2, 10)]
    while not all((ports / f"COM{n}").is_symlink() for n in range(2, 10)):
        time.sleep(0.02)
    table = home / "rack.tst"
    lines = ["Test-File:", "Reporter:;Bench", "Unit:;TAV-1600-PS", "Serial #:;0505000120", "",
             " 1;00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1", " 2;00.00.00.100;OUTP,1;0;0;0;;;;1"]
    for n in range(3, rows + 3):
        lines.append(f"{n:2};00.00.00.100;MEAS:VOLT?;0;0;0;225;235;U;1")
    lines += [f"{rows + 3:2};00.00.00.100;OUTP,0;0;0;0;;;;1", f"{rows + 4:2};00.00.00.000;END;0;0;0;;;;1"]
    table.write_bytes("\r\n".join(lines).encode() + b"\r\n")

    def run(arguments):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.monotonic()
        done = subprocess.run([tavtest, str(table), "--quiet"] + arguments, env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        wall = time.monotonic() - start
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        if done.returncode != 0:
            sys.exit(f"tavtest failed ({done.returncode}): {done.stderr.decode()}")
        return wall, after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime

    single_wall, single_cpu = min(run(["--port", "COM2"]) for _ in range(3))
    print(f"one run on its own: {single_wall:.2f} s wall, {single_cpu * 1000:.0f} ms CPU")
    for count in (1, 4, 8):
        slots = [a for n in range(2, 2 + count) for a in ("--slot", f"COM{n}")]
        wall, cpu = min(run(slots) for _ in range(3))
        print(f"{count} slot(s): {wall:.2f} s wall ({wall / single_wall:.2f} x one run), "
              f"{cpu / count * 1000:.0f} ms CPU per slot ({cpu / count / single_cpu:.2f} x one run)")
    for sim in sims:
        sim.terminate()
