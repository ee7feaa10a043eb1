#!/usr/bin/python3
"""Logs the measured values of a TAV power source to a CSV file, one poll pass per row.

    log_measurements.py COM3 values.csv --count 60 --period 1
    log_measurements.py --simulate values.csv --count 5      # against tavsim

Columns: seconds since the start, then U1, I1, P1, S1, IP1, PF1, CF1 (and phases 2 and 3 on
a three-phase source), output, status. Ctrl-C ends the log; the rows so far are kept.
"""

import argparse
import contextlib
import csv
import sys
import time

import tavcontrol


def log(psu, path, count, period):
    """Writes count passes (0: until Ctrl-C), period seconds apart; returns the rows written."""
    start = time.monotonic()
    written = 0
    with open(path, "w", newline="") as out:
        writer = None
        try:
            while count == 0 or written < count:
                values = psu.measure()
                if writer is None:
                    writer = csv.DictWriter(out, ["seconds"] + list(values))
                    writer.writeheader()
                writer.writerow({"seconds": f"{time.monotonic() - start:.3f}", **values})
                out.flush()
                written += 1
                if count == 0 or written < count:
                    time.sleep(period)
        except KeyboardInterrupt:
            pass
    return written


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("port", nargs="?", help="the instrument's port, e.g. COM3")
    parser.add_argument("csv", help="the file to write")
    parser.add_argument("--simulate", action="store_true", help="log tavsim instead")
    parser.add_argument("--count", type=int, default=0, help="passes to log (0: until Ctrl-C)")
    parser.add_argument("--period", type=float, default=1.0, help="seconds between passes")
    args = parser.parse_args()
    if not args.simulate and not args.port:
        parser.error("give the port, or --simulate")
    with contextlib.ExitStack() as stack:
        port = stack.enter_context(tavcontrol.Simulator()) if args.simulate else args.port
        psu = stack.enter_context(tavcontrol.Instrument(port=port))
        rows = log(psu, args.csv, args.count, args.period)
    print(f"{rows} rows written to {args.csv}")


if __name__ == "__main__":
    sys.exit(main())
