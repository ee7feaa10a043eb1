#!/usr/bin/python3
"""Reads N lines from a serial device with pyserial's readline() and reports its own figures.

Usage: pyserial_readline.py DEVICE N
Prints one line: "<lines> <wall seconds from first line> <cpu seconds>".
"""
import sys
import time

import serial


def main():
    device, count = sys.argv[1], int(sys.argv[2])
    port = serial.Serial(device, 19200, timeout=10)
    sys.stdout.write("ready\n")
    sys.stdout.flush()
    first = port.readline()
    if not first:
        sys.exit("no data")
    wall0, cpu0 = time.monotonic(), time.process_time()
    got = 1
    while got < count:
        if not port.readline():
            break
        got += 1
    wall, cpu = time.monotonic() - wall0, time.process_time() - cpu0
    print(got, wall, cpu)


main()
