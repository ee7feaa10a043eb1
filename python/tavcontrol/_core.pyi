"""Type stubs of tavcontrol's compiled core."""

from __future__ import annotations

import os
from typing import Callable, Mapping, Optional, Sequence, Union

_Path = Union[str, os.PathLike[str]]
_Value = Union[float, int, str]

class NoReply(TimeoutError):
    """A query got no reply within its time."""

class LateReply(UserWarning):
    """A reply that came after its query was given up on (NoReply), dropped and not returned:
    "late reply dropped: 916.3W"."""

class LinkError(OSError):
    """The link cannot be opened or was lost; the message names the device and the cause."""

class Instrument:
    """The instrument on the program's own link.

    Instrument(port="COM3") on a serial port, COM1 to COM99 (COMn is the link COMn in
    tavcontrol/ports/ under the configuration folder, else /dev/ttyS<n-1>; a COMn entry that is
    a one-line file tcp://HOST:PORT is a device server or a LAN instrument's socket, and
    Instrument(port="tcp://HOST:PORT") names one outright), Instrument(gpib=5)
    or Instrument(gpib_name="TAV-PS") on GPIB; with none of them the link in TAVCON.cfg in
    the current folder (or config=PATH). A context manager: the link is closed on leaving it, on
    close(), and when a wait is broken off by Ctrl-C (KeyboardInterrupt).
    """

    def __init__(self, port: Union[str, int, None] = None, gpib: Optional[int] = None,
                 gpib_name: Optional[str] = None, config: Optional[_Path] = None) -> None:
        """Opens the link; raises LinkError naming the device and the cause when it cannot."""
    def __enter__(self) -> Instrument: ...
    def __exit__(self, *exc: object) -> bool: ...
    def close(self) -> None:
        """Closes the link (a GPIB device is returned to local)."""
    @property
    def is_open(self) -> bool: ...
    @property
    def link(self) -> str:
        """The link as messages name it: "COM3", "GPIB address 5"."""
    def write(self, line: str) -> None:
        """Sends one line (a line feed is added); no reply is read."""
    def query(self, line: str, timeout: float = 1.0) -> str:
        """Sends the line and returns its reply without the line end.

        Raises NoReply when none comes within timeout seconds (on GPIB: the device's own
        3 s); a timeout is 0 seconds or more, fractions taken.

        After a NoReply on a serial port the reply may still come. The next query (query,
        identify or measure) therefore sends *idn? before its own line and drops every line
        up to the identification, all within its own timeout, so the reply given up on is
        never returned for another query; each such line dropped is told as a LateReply
        warning ("late reply dropped: 916.3W"). When the identification or the reply does
        not come in time, that query raises NoReply too and the next one tries again."""
    def identify(self, timeout: float = 1.0) -> dict[str, Union[str, bool]]:
        """*idn? and *opt? read as the program reads them on Connect (each a query: NoReply
        and what follows it as for query).

        Keys: identification, manufacturer, model, serial_number, revision, options (the
        replies' texts); three_phase, current_range_option, ot1_option, status_polled."""
    def measure(self, timeout: float = 1.0) -> dict[str, Union[float, int, bool, None]]:
        """One measurement pass of the poll cycle, read by the program's reply parser (each
        reply a query: NoReply and what follows it as for query).

        U1, I1, P1, S1, IP1, PF1, CF1 (and ...2, ...3 on a three-phase source) in V, A, W,
        VA, A; None where a reply was not a number. output (bool), status (the status word,
        None when the revision is not polled for it), phases (1 or 3)."""
    def set_voltage_ac(self, value: _Value, phase: Optional[int] = None) -> None:
        """AC voltage [V] (SOUR:VOLTAC, per phase SOURn:VOLTAC), as the main window's field."""
    def set_voltage_dc(self, value: _Value, phase: Optional[int] = None) -> None:
        """DC voltage [V] (SOUR:VOLTDC)."""
    def set_current(self, value: _Value, phase: Optional[int] = None) -> None:
        """Current limit [A] (SOUR:CURR)."""
    def set_frequency(self, value: _Value, phase: Optional[int] = None) -> None:
        """Frequency [Hz] (SOUR:FREQ)."""
    def set_phase(self, value: _Value, phase: Optional[int] = None) -> None:
        """Phase angle [degrees] (SOUR:PHAS)."""
    def set_power_max(self, value: _Value, phase: Optional[int] = None) -> None:
        """Power limit [W] (SOUR:POWMAX); no per-phase field."""
    def set_current_max(self, value: _Value, phase: Optional[int] = None) -> None:
        """Peak current limit [A] (SOUR:CURRMAX); no per-phase field."""
    def set_current_time(self, value: _Value, phase: Optional[int] = None) -> None:
        """Current limit time (SOUR:CURRTIME); no per-phase field."""
    def output(self, on: bool) -> None:
        """Output on or off (OUTP,1 / OUTP,0), as the "Output" buttons."""
    def aux(self, on: bool) -> None:
        """AUX on or off (OUTP:AUX)."""
    def phases(self, on: bool) -> None:
        """Phases on or off (OUTP:PHASON)."""
    def current_range_x10(self, on: bool) -> None:
        """Current range x10 (True) or x1 (SOUR:CURRRNG)."""
    def ot1(self, on: bool) -> None:
        """OT1 on or off (OUTP:OT1)."""
    def clear_peak_current(self) -> None:
        """Clears the peak current (SOUR:CURRCLR)."""
    def recall_state(self, state: int) -> None:
        """Recalls a stored instrument state (*RCL,n)."""
    def save_state(self, state: int) -> None:
        """Stores the instrument's state (*SAV,n)."""

class Row:
    """One evaluated row of a run, as the results journal keeps it."""
    @property
    def step(self) -> str: ...
    @property
    def command(self) -> str:
        """The line the row sent, variables filled in."""
    @property
    def comment(self) -> str: ...
    @property
    def lower(self) -> str:
        """The lower limit as the report shows it."""
    @property
    def upper(self) -> str:
        """The upper limit as the report shows it."""
    @property
    def limits(self) -> tuple[Optional[float], Optional[float]]:
        """(lower, upper) as numbers; None where a limit is not a plain number."""
    @property
    def value(self) -> str:
        """The result as the report shows it ("no reply" included)."""
    @property
    def number(self) -> Optional[float]:
        """The result as a number; None when it is not one."""
    @property
    def mark(self) -> str:
        """"Error!" for a failed row, else empty."""
    @property
    def shown(self) -> bool:
        """False for a "Show" 0 row (kept, not in the report)."""
    @property
    def failed(self) -> bool: ...

class Run:
    """A finished test table run."""
    @property
    def verdict(self) -> str:
        """passed, failed, error (the run itself failed) or aborted."""
    @property
    def status(self) -> int:
        """tavtest's exit status: 0 passed, 1 a row failed, 2 the run failed."""
    @property
    def error(self) -> str:
        """Why the run itself failed; empty when it did not."""
    @property
    def slot(self) -> str:
        """The rack's slot the run was on, as given ("COM3"); empty for run_table."""
    @property
    def serial(self) -> str:
        """The serial number of the unit the run tested."""
    @property
    def journal_error(self) -> str:
        """Why the station's results journal could not keep the run; empty when it did."""
    @property
    def server_error(self) -> str:
        """Why the results server (db) could not take the run, which then waits in the
        journal for the next try (tavtest sync); empty when it took it or none was given."""
    @property
    def warnings(self) -> list[str]:
        """The run's warnings as tavtest gives them: a default answer taken for a prompt, a
        late reply, a port problem."""
    @property
    def uuid(self) -> str:
        """The run's key in the results journal; empty when it never began."""
    @property
    def rows(self) -> list[Row]:
        """Every evaluated row, "Show" 0 rows too (shown False)."""
    def save_report(self, path: _Path) -> str:
        """Writes the report (.rpt) as tavtest --report does and returns the path written. A
        folder takes <Unit>-<Serial #>.rpt there, never over an earlier report (-2, -3, ...).
        Raises ValueError naming the file when it cannot be written, and when a text holds
        characters the 8-bit file cannot keep (written with '?' in their place)."""
    def save_text(self, path: _Path) -> str:
        """Writes the quoted text export (.txt) as tavtest --text does; ValueError as for
        save_report."""
    def save_junit(self, path: _Path) -> None:
        """Writes JUnit XML as tavtest --junit does."""

def run_tables(path: _Path, slots: Sequence[str], config: Optional[_Path] = None,
               serial_advance: bool = False,
               answers: Union[Mapping[Union[int, str], Union[str, float]],
                              Callable[[int, str, str], Optional[Union[str, float]]],
                              None] = None,
               stop_at_error: bool = False, keep_output: bool = False, timeout: float = 0.0,
               quiet: bool = True, db: Optional[str] = None) -> list[Run]:
    """Runs the table on a rack of instruments at once (tavtest --slot): one Run per slot."""
    ...

def run_table(path: _Path, port: Union[str, int, None] = None, gpib: Optional[int] = None,
              gpib_name: Optional[str] = None, config: Optional[_Path] = None,
              serial: Optional[str] = None,
              answers: Union[Mapping[Union[int, str], _Value],
                             Callable[[int, str, str], Optional[_Value]], None] = None,
              stop_at_error: bool = False, keep_output: bool = False, timeout: float = 0.0,
              quiet: bool = True, db: Optional[str] = None) -> Run:
    """Runs a test table (.tst) as tavtest does and returns its Run.

    The link as for Instrument. serial replaces the table's serial number. answers answers
    "@MSGVARnn": a dict {2: "115"} or {"VAR02": 115}, or a callable (variable, default,
    prompt) returning the answer or None for the default. An answer is a number as
    tavtest's --answer takes it: ValueError naming the variable, for a dict before the link
    is opened, for the callable's answer at its row, where the run ends (nothing of it sent).
    stop_at_error ends the run at the first failed row; a run that does not reach its end
    row switches the output off unless keep_output. timeout in seconds, fractions taken (0:
    none; ValueError when negative). quiet False prints each row on standard error, as
    tavtest does; quiet prints nothing, and every warning is in Run.warnings.
    Recorded in the station's results journal (and on the server db, a libpq URI); what
    either could not take is in Run.journal_error and Run.server_error. Ctrl-C ends the run
    as tavtest's does and raises KeyboardInterrupt."""

def _port_links_folder() -> str: ...
