#!/usr/bin/python3
"""Query round trips against tavsim (no reply delay): the tavcontrol module and a plain
pyserial script on the same pseudo-terminal, in one run, side by side.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_query.py [queries] [rounds]

Each round times the queries ("meas:volt?") through the module, then through pyserial; the
figures are the median round over the rounds, wall time and the process's CPU time.
"""

import os
import statistics
import sys
import tempfile
import time

import serial

import tavcontrol

QUERY = "meas:volt?"


def through_module(port, count):
    with tavcontrol.Instrument(port=port) as psu:
        psu.query(QUERY)
        wall, cpu = time.monotonic(), time.process_time()
        for _ in range(count):
            psu.query(QUERY)
        return time.monotonic() - wall, time.process_time() - cpu


def through_pyserial(device, count):
    with serial.Serial(device, 19200, timeout=1) as line:
        line.write(QUERY.encode() + b"\n")
        line.readline()
        wall, cpu = time.monotonic(), time.process_time()
        for _ in range(count):
            line.write(QUERY.encode() + b"\n")
            if not line.readline():
                sys.exit("pyserial: no reply")
        return time.monotonic() - wall, time.process_time() - cpu


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    # The ports' links in a scratch folder, unless the caller named one.
    os.environ.setdefault("XDG_CONFIG_HOME", tempfile.mkdtemp(prefix="tav-bench-"))
    with tavcontrol.Simulator(delay_ms=0) as port:
        device = os.path.realpath(os.path.join(tavcontrol._core._port_links_folder(), port))
        module, plain = [], []
        for _ in range(rounds):
            module.append(through_module(port, count))
            plain.append(through_pyserial(device, count))
    print(f"{count} round trips of {QUERY!r} against tavsim --delay-ms 0, median of {rounds}")
    print(f"{'':12}{'total ms':>10}{'per query us':>14}{'CPU per query us':>18}")
    for name, runs in (("tavcontrol", module), ("pyserial", plain)):
        wall = statistics.median(r[0] for r in runs)
        cpu = statistics.median(r[1] for r in runs)
        print(f"{name:12}{wall * 1e3:10.1f}{wall / count * 1e6:14.1f}{cpu / count * 1e6:18.1f}")


if __name__ == "__main__":
    main()
