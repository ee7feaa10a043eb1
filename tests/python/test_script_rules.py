"""What the tavcontrol module promises beyond a single query: a reply given up on is never
returned for another query, and its arguments follow tavtest's rules."""

import hashlib
import warnings

import pytest

import tavcontrol

SLOW_POWER = dict(slow_query=["meas:pow?"], slow_ms=2000)


# Each step: (line, timeout, its reply or None for NoReply); then the late replies told.
@pytest.mark.parametrize("sim, steps, late", [
    # The power reading comes after its query was given up on: the next query gets its own.
    (SLOW_POWER, [("meas:pow?", 0.3, None), ("meas:volt?", 3, "230.0V")], ["916.3W"]),
    # The query after it is given up on too: both late replies are dropped, not the first only.
    (SLOW_POWER, [("meas:pow?", 0.3, None), ("meas:volt?", 0.3, None),
                  ("meas:curr?", 3, "4.600A")], ["916.3W", "230.0V"]),
    # A given-up identification query, whose own late answer looks like the resynchronisation's.
    (SLOW_POWER, [("meas:pow?", 0.3, None), ("*idn?", 0.3, None), ("meas:volt?", 3, "230.0V"),
                  ("*idn?", 1, "KELM Electronic GmbH,TAV-1600-PS,0505000120,V2.00")],
     ["916.3W"]),
    # A query never answered at all: nothing late, and the next query is answered.
    (dict(no_status=True), [("*tav?", 0.3, None), ("meas:volt?", 1, "230.0V")], []),
])
def test_a_reply_given_up_on_is_never_another_querys(sim, steps, late):
    with tavcontrol.Simulator(**sim) as port, tavcontrol.Instrument(port=port) as psu, \
            warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        psu.set_voltage_ac(230)
        psu.output(True)
        for line, timeout, reply in steps:
            if reply is None:
                with pytest.raises(tavcontrol.NoReply):
                    psu.query(line, timeout=timeout)
            else:
                assert psu.query(line, timeout=timeout) == reply, line
        if "no_status" not in sim:  # else measure() waits for the status query too
            assert psu.measure(timeout=3)["U1"] == 230.0
    told = [str(w.message) for w in caught if issubclass(w.category, tavcontrol.LateReply)]
    assert told == [f"late reply dropped: {text}" for text in late]


# Replies lost in a row, the identification answers of the resynchronisation among them (a cable
# out for a moment): the queries whose replies were lost fail, every later one gets its own.
@pytest.mark.parametrize("lost, failed", [("2", 1), ("2-4", 2), ("2-6", 3)])
def test_replies_lost_in_a_row_are_recovered_from(lost, failed):
    with tavcontrol.Simulator(lose_replies=lost) as port, tavcontrol.Instrument(port=port) as psu:
        replies = []
        for _ in range(7):
            try:
                replies.append(psu.query("sour:freq?", timeout=0.5))
            except tavcontrol.NoReply:
                replies.append(None)
    assert replies == ["50.00000"] + [None] * failed + ["50.00000"] * (6 - failed)


def table(tmp_path, rows, name="unit.tst"):
    path = tmp_path / name
    lines = ["Test-File:", "Reporter:;Lab", "Unit:;TAV-1600-PS", "Serial #:;0505000120", ""]
    lines += [f"{n:2};{row}" for n, row in enumerate(rows, 1)]
    path.write_bytes("\r\n".join(lines).encode() + b"\r\n")
    return path


@pytest.mark.parametrize("call, message", [
    (lambda: tavcontrol.Instrument(port="COM100"), r"port: not a port \(COM1 to COM99\): COM100"),
    (lambda: tavcontrol.Instrument(port=0), r"not a port \(COM1 to COM99\): 0"),
    (lambda: tavcontrol.run_table("none.tst", port="COM99", timeout=-1),
     r"timeout: not a number of seconds \(0 or more\): -1"),
    (lambda: tavcontrol.run_table("none.tst", port="COM99", answers={"VAR11": 1}),
     "keyed by variable 1 to 10"),
    (lambda: tavcontrol.run_tables("none.tst", ["COM98,meter=COM90", "COM97,meter=COM90"]),
     r"slots: slots COM98 and COM97 would share one port"),
    (lambda: tavcontrol.run_table("none.tst", port="COM99", answers={1: "abc"}),
     "answers: VAR01: not a number: abc"),
])
def test_arguments_are_refused_as_tavtest_refuses_them(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_run_table_keeps_tavtests_rules(tmp_path):
    prompt = table(tmp_path, ["00.00.00.000;@MSGVAR01;2;0;0;;;Current?;1",
                              "00.00.00.100;SOUR:CURR,@VAR01;0;0;0;;;;1",
                              "00.00.05.000;SOUR:FREQ,50;0;0;0;;;;1",
                              "00.00.00.000;END;0;0;0;;;;1"])
    log = tmp_path / "sim.log"
    with tavcontrol.Simulator(log=str(log)) as port:
        # A script's answer the interpreter would read as 0 A ends the run before it is sent.
        with pytest.raises(ValueError, match="answers: VAR01: not a number: abc"):
            tavcontrol.run_table(prompt, port=port, answers=lambda *_: "abc")
        assert "SOUR:CURR" not in log.read_text()
        # A fractional time-out; the run it broke off is kept, under a name of its own each time.
        run = tavcontrol.run_table(prompt, port=port, answers={1: 3}, timeout=0.5)
        assert run.verdict == "aborted" and "0.5 s" in run.error, run.error
        assert run.journal_error == "" and run.server_error == ""
        reports = tmp_path / "reports"
        reports.mkdir()
        saved = [run.save_report(reports) for _ in range(2)]
        assert saved == [str(reports / "TAV-1600-PS-0505000120.rpt"),
                         str(reports / "TAV-1600-PS-0505000120-2.rpt")]
        # A report holding what its 8-bit file cannot keep is written, and says so.
        run = tavcontrol.run_table(table(tmp_path, ["00.00.00.000;END;0;0;0;;;;1"], "end.tst"),
                                   port=port, serial="\u03a91")
        with pytest.raises(ValueError, match="Written with '\\?' in their place"):
            run.save_report(tmp_path / "omega.rpt")
        assert b"Serial #:;?1" in (tmp_path / "omega.rpt").read_bytes()


def test_run_tables_runs_each_slot_as_its_own_unit(tmp_path, capfd):
    rows = ["00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1", "00.00.00.200;OUTP,1;0;0;0;;;;1",
            "00.00.00.300;MEAS:CURR?;NEXT;0;NEXT;4.5;4.7;I;1", "00.00.00.100;OUTP,0;0;0;0;;;;1",
            "00.00.00.000;END;0;0;0;;;;1"]
    path = table(tmp_path, rows)
    with tavcontrol.Simulator() as good, tavcontrol.Simulator(load_ohm=48) as heavy:
        with pytest.raises(ValueError, match="slots: COM.* is given twice"):
            tavcontrol.run_tables(path, [good, good])
        runs = tavcontrol.run_tables(path, [good, heavy, f"{heavy[:3]}99"], serial_advance=True)
    assert [run.verdict for run in runs[:2]] == ["passed", "failed"]
    assert [run.rows[2].value for run in runs[:2]] == ["4.600", "4.792"]
    assert runs[2].status == 2 and "COM99" in runs[2].error
    assert [(run.slot, run.serial) for run in runs] == [
        (good, "0505000121"), (heavy, "0505000122"), (f"{heavy[:3]}99", "0505000123")]
    # quiet (the default) prints nothing: all of it is in the runs.
    assert capfd.readouterr().err == ""
    # Consecutive units, and the table's own line takes the last one.
    assert "Serial #:;0505000123" in path.read_text(encoding="latin-1")


def test_run_tables_judges_each_slot_by_its_models_limits(tmp_path):
    rows = ["00.00.00.100;SOUR:VOLTAC,230;0;0;0;;;;1", "00.00.00.200;OUTP,1;0;0;0;;;;1",
            "00.00.00.300;MEAS:CURR?;0;0;0;4.5;4.7;I;1", "00.00.00.100;OUTP,0;0;0;0;;;;1",
            "00.00.00.000;END;0;0;0;;;;1"]
    path = table(tmp_path, rows)
    steps = path.read_bytes().split(b"\r\n", 5)[5]
    limits = tmp_path / "models.lim"
    limits.write_text(f"version {hashlib.sha256(steps).hexdigest()[:12]}\n"
                      "models TAV-1600-PS TAV-0400-PS\n3  4.5 4.7  4.7 4.9\n")
    with tavcontrol.Simulator() as small, \
            tavcontrol.Simulator(model="TAV-0400-PS", load_ohm=48) as heavy:
        runs = tavcontrol.run_tables(path, [small, heavy], limits=limits)
        forced = tavcontrol.run_table(path, port=heavy, limits=limits, model="TAV-1600-PS")
    assert [run.verdict for run in runs] == ["passed", "passed"]
    assert [run.instrument["limits.model"] for run in runs] == ["TAV-1600-PS", "TAV-0400-PS"]
    assert runs[1].instrument["instrument.model"] == "TAV-0400-PS"
    assert forced.verdict == "failed" and forced.rows[2].upper == "4.700"
