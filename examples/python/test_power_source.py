"""A TAV power source under test with pytest and the tavcontrol module.

Here the unit is the simulated instrument (tavsim); on the bench, make the `port` fixture
yield the unit's port ("COM3") instead.

    PYTHONPATH=build/python /usr/bin/python3 -m pytest examples/python
"""

import pathlib

import pytest

import tavcontrol

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent


@pytest.fixture(scope="module")
def port():
    """The unit's serial port: a simulated TAV-1600-PS with a 50 ohm load at 30 degrees."""
    with tavcontrol.Simulator(delay_ms=0) as name:
        yield name


@pytest.fixture
def psu(port):
    """The unit, from its power-on set values, with its output off again afterwards."""
    with tavcontrol.Instrument(port=port) as unit:
        unit.write("*RST")
        yield unit
        unit.output(False)


def test_identifies_as_single_phase_tav(psu):
    ident = psu.identify()
    assert ident["model"] == "TAV-1600-PS"
    assert not ident["three_phase"]


@pytest.mark.parametrize("volts", [100, 230, 250])
def test_voltage_sweep(psu, volts):
    psu.set_voltage_ac(volts)
    psu.set_frequency(50)
    psu.output(True)
    values = psu.measure()
    assert values["output"] is True
    assert values["U1"] == pytest.approx(volts, rel=0.005)
    assert values["I1"] == pytest.approx(volts / 50, rel=0.005)  # the 50 ohm load
    assert values["PF1"] == pytest.approx(0.866, abs=0.001)  # lagging by 30 degrees


def test_acceptance_table(port, tmp_path):
    run = tavcontrol.run_table(EXAMPLES / "acceptance.tst", port=port, serial="0505000121")
    assert run.verdict == "passed", [row for row in run.rows if row.failed]
    current = next(row for row in run.rows if row.comment == "I (A)")
    assert current.number == pytest.approx(4.6, abs=0.01)
    assert current.limits == (4.5, 4.7)
    run.save_report(tmp_path / "TAV-1600-PS-0505000121.rpt")
    run.save_junit(tmp_path / "acceptance.xml")
    assert 'failures="0"' in (tmp_path / "acceptance.xml").read_text()
