#pragma once

// The simulated GPIB library, libgpib.so.0: a stand-in for linux-gpib that tests put on the
// loader's search path. It exports the NI-488 names the program binds (ibfind, ibdev, ibtmo,
// ibwrt, ibrd, ibclr, ibloc, ibonl, ThreadIbsta, ThreadIberr, ThreadIbcnt, ThreadIbcntl and the
// status variables int ibsta, iberr, ibcnt and long ibcntl) with C linkage. Every other name of
// the binding is there too and fails with ERR and ECAP. Like linux-gpib it has no iblock,
// iblockx, ibunlock, ibunlockx and ibnotify.
//
// The bus holds in-process instruments of tavsim:
//  - a TAV instrument at primary address 5, which ibfind also finds under "TAV-PS" and
//    "Device 1" (the program's default device name);
//  - a SCPI voltmeter at primary address 22.
// Both end their replies in "\r\n" with EOI on the last byte. No other address has a device.
//
// NI-488 behaviour, status set after every call:
//  - ibdev hands out a new descriptor (from 32 up) for any address 0..30, also one without a
//    device; ibfind of an unknown name returns -1 with ERR and iberr 0 (EDVR);
//  - a write ends a message at each line feed and at its last byte (EOI); every message makes
//    the device drop a reply not yet read, as IEEE 488.2 devices do;
//  - a read returns at most the asked count, with END once the reply is used up, and leaves the
//    rest for the next read;
//  - a read from a device with nothing to say, or from an address without one, ends at once as
//    the 3 s time-out would: ERR|TMO|CMPL, iberr 6 (EABO), ibcnt 0. The time is not waited for;
//  - a write, device clear or local to an address without a device fails with iberr 2 (ENOL);
//  - a descriptor never handed out fails with iberr 0 (EDVR).
//
// The functions below are for tests only and are not part of any real GPIB library; a test
// reaches them with dlsym on the library it loaded.

#define TAVSIM_GPIB_EXPORT __attribute__((visibility("default")))

extern "C" {

// Back to the defaults above: fresh instruments, no descriptors, status and call log empty.
TAVSIM_GPIB_EXPORT void tavsim_gpib_reset(void);

// Fresh instruments: the TAV at tavAddress, found by ibfind under each name of tavNames
// (separated by ';'; null keeps the current names), the voltmeter at meterAddress. An address
// outside 0..30, or the meter at the TAV's address, leaves that device out.
TAVSIM_GPIB_EXPORT void tavsim_gpib_configure(int tavAddress, int meterAddress,
                                              const char* tavNames);

// silent non-zero: the device still takes and carries out what is written but never answers;
// a reply not yet read is lost.
TAVSIM_GPIB_EXPORT void tavsim_gpib_set_silent(int address, int silent);

// The device answers the next message written to it with exactly these bytes instead of asking
// its model (which then does not see that message). Lets a test make long or odd replies.
TAVSIM_GPIB_EXPORT void tavsim_gpib_set_next_reply(int address, const char* bytes, long count);

// The voltmeter answers this reading, as tavsim --meter --reading does, in either function until
// the next reset or configure (default 5 V DC, 230 V AC).
TAVSIM_GPIB_EXPORT void tavsim_gpib_set_meter_reading(double volts);

// code non-zero: every call from then on fails with ERR and this iberr (7 no board, 252 wrong
// board type, ...); ibfind and ibdev return -1. 0 ends it.
TAVSIM_GPIB_EXPORT void tavsim_gpib_set_board_error(int code);

// Every call to ibfind, ibdev, ibtmo, ibwrt, ibrd, ibclr, ibloc and ibonl since the last reset
// or clear, one per line with its arguments: ibfind("TAV-PS"), ibdev(0,5,0,13,1,0),
// ibtmo(32,12), ibwrt(32,"*SAV,3\n") (descriptor and the bytes written), ibrd(32,200)="1\r\n"
// (descriptor, count asked, and the bytes read: "" when the read failed), ibclr(32), ibloc(32),
// ibonl(32,0). Bytes are written as a C string literal: \n, \r, \\ and \" escaped, bytes
// outside printable ASCII as \xNN. Valid until the next call into the library.
TAVSIM_GPIB_EXPORT const char* tavsim_gpib_call_log(void);
TAVSIM_GPIB_EXPORT void tavsim_gpib_clear_call_log(void);
}
