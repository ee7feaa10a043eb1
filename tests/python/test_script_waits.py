"""The tavcontrol module's own promises against tavsim: a query without a reply in its time,
Ctrl-C during a wait, a prompt answered by the script, and the CSV logger example."""

import csv
import os
import pathlib
import signal
import subprocess
import sys
import time

import pytest

import tavcontrol

SOURCE = pathlib.Path(__file__).resolve().parent.parent.parent


def test_query_without_reply_in_time_raises_no_reply():
    with tavcontrol.Simulator(slow_query=["meas:volt?"], slow_ms=3000) as port, \
            tavcontrol.Instrument(port=port) as psu:
        with pytest.raises(tavcontrol.NoReply, match="no reply to meas:volt\\?"):
            psu.query("meas:volt?", timeout=0.2)
        assert psu.is_open


# The child opens the port, waits in a query that is never answered and reports, after the
# interrupt, whether any of its descriptors still leads to the port's device.
CHILD = r"""
import os, sys, tavcontrol
port = sys.argv[1]
device = os.path.realpath(os.path.join(tavcontrol._core._port_links_folder(), port))
def held():
    return any(os.path.realpath(f"/proc/self/fd/{fd}") == device for fd in os.listdir("/proc/self/fd"))
psu = tavcontrol.Instrument(port=port)
print("held", held(), flush=True)
try:
    psu.query("meas:volt?", timeout=60)
except KeyboardInterrupt:
    print("KeyboardInterrupt open", psu.is_open, "held", held(), flush=True)
"""


def test_ctrl_c_during_a_query_raises_keyboard_interrupt_with_the_port_closed():
    with tavcontrol.Simulator(slow_query=["meas:volt?"], slow_ms=60000) as port:
        child = subprocess.Popen([sys.executable, "-c", CHILD, port], stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True)
        assert child.stdout.readline().strip() == "held True"
        # The query is sent and waiting well before this.
        time.sleep(0.5)
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=20)
        assert out.strip() == "KeyboardInterrupt open False held False", err
        assert child.returncode == 0


def test_prompt_answered_by_the_script(tmp_path):
    table = tmp_path / "prompt.tst"
    rows = ["Test-File:", "Reporter:;Lab", "Unit:;TAV-1600-PS", "Serial #:;0505000120", "",
            " 1;00.00.00.000;@MSGVAR01;230;0;0;;;Mains voltage?;1",
            " 2;00.00.00.100;SOUR:VOLTAC,@VAR01;0;0;0;;;Set it;1",
            " 3;00.00.00.000;END;0;0;0;;;;1"]
    table.write_bytes("\r\n".join(rows).encode() + b"\r\n")
    asked = []

    def answer(variable, default, prompt):
        asked.append((variable, default, prompt))
        return 115

    with tavcontrol.Simulator() as port:
        run = tavcontrol.run_table(table, port=port, answers=answer)
    assert asked == [(1, "230", "Mains voltage?")]
    assert run.verdict == "passed", run.error
    assert [row.command for row in run.rows if row.step == "2"] == ["SOUR:VOLTAC,115.0"]


def test_csv_logger_example(tmp_path):
    out = tmp_path / "values.csv"
    subprocess.run([sys.executable, str(SOURCE / "examples/python/log_measurements.py"),
                    "--simulate", str(out), "--count", "3", "--period", "0"], check=True)
    with open(out, newline="") as f:
        rows = list(csv.DictReader(f))
    assert len(rows) == 3
    assert rows[0]["U1"] == "0.0" and rows[0]["output"] == "False"
