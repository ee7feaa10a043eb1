// The C entry points of the simulated GPIB library, under linux-gpib's names.

#include "sim/gpib/sim_gpib_bus.h"
#include "sim/gpib/tavsim_gpib.h"

#include <string>

using tav::sim::SimGpibBus;

extern "C" {
// linux-gpib's types: the program reads these three as int.
TAVSIM_GPIB_EXPORT int ibsta = 0;
TAVSIM_GPIB_EXPORT int iberr = 0;
TAVSIM_GPIB_EXPORT int ibcnt = 0;
TAVSIM_GPIB_EXPORT long ibcntl = 0;
}

namespace {

SimGpibBus& Bus()
{
    static SimGpibBus bus;
    return bus;
}

// Every call leaves its status in the exported variables before returning, as NI-488 does.
int Publish(int result)
{
    const tav::sim::GpibStatus& status = Bus().Status();
    ibsta = status.sta;
    iberr = status.err;
    ibcnt = status.cnt;
    ibcntl = status.cnt;
    return result;
}

} // namespace

extern "C" {

TAVSIM_GPIB_EXPORT int ibfind(const char* name) { return Publish(Bus().Find(name)); }

TAVSIM_GPIB_EXPORT int ibdev(int board, int pad, int sad, int tmo, int eot, int eos)
{
    return Publish(Bus().Dev(board, pad, sad, tmo, eot, eos));
}

TAVSIM_GPIB_EXPORT int ibtmo(int ud, int v) { return Publish(Bus().Tmo(ud, v)); }

TAVSIM_GPIB_EXPORT int ibwrt(int ud, const void* buffer, long count)
{
    return Publish(Bus().Wrt(ud, buffer, count));
}

TAVSIM_GPIB_EXPORT int ibrd(int ud, void* buffer, long count)
{
    return Publish(Bus().Rd(ud, buffer, count));
}

TAVSIM_GPIB_EXPORT int ibclr(int ud) { return Publish(Bus().Clr(ud)); }

TAVSIM_GPIB_EXPORT int ibloc(int ud) { return Publish(Bus().Loc(ud)); }

TAVSIM_GPIB_EXPORT int ibonl(int ud, int v) { return Publish(Bus().Onl(ud, v)); }

TAVSIM_GPIB_EXPORT int ThreadIbsta(void) { return ibsta; }
TAVSIM_GPIB_EXPORT int ThreadIberr(void) { return iberr; }
TAVSIM_GPIB_EXPORT int ThreadIbcnt(void) { return ibcnt; }
TAVSIM_GPIB_EXPORT long ThreadIbcntl(void) { return ibcntl; }

// The rest of the interface exists so that a binding finds every name; the program calls none
// of them. No caller passes arguments that matter, so they take none.
#define TAVSIM_GPIB_UNSUPPORTED(name)                                                              \
    TAVSIM_GPIB_EXPORT int name(void) { return Publish(Bus().Unsupported()); }

TAVSIM_GPIB_UNSUPPORTED(ibask)
TAVSIM_GPIB_UNSUPPORTED(ibbna)
TAVSIM_GPIB_UNSUPPORTED(ibcac)
TAVSIM_GPIB_UNSUPPORTED(ibcmd)
TAVSIM_GPIB_UNSUPPORTED(ibcmda)
TAVSIM_GPIB_UNSUPPORTED(ibconfig)
TAVSIM_GPIB_UNSUPPORTED(ibdma)
TAVSIM_GPIB_UNSUPPORTED(ibeos)
TAVSIM_GPIB_UNSUPPORTED(ibeot)
TAVSIM_GPIB_UNSUPPORTED(ibgts)
TAVSIM_GPIB_UNSUPPORTED(ibist)
TAVSIM_GPIB_UNSUPPORTED(iblines)
TAVSIM_GPIB_UNSUPPORTED(ibln)
TAVSIM_GPIB_UNSUPPORTED(ibpad)
TAVSIM_GPIB_UNSUPPORTED(ibpct)
TAVSIM_GPIB_UNSUPPORTED(ibppc)
TAVSIM_GPIB_UNSUPPORTED(ibrda)
TAVSIM_GPIB_UNSUPPORTED(ibrdf)
TAVSIM_GPIB_UNSUPPORTED(ibrpp)
TAVSIM_GPIB_UNSUPPORTED(ibrsc)
TAVSIM_GPIB_UNSUPPORTED(ibrsp)
TAVSIM_GPIB_UNSUPPORTED(ibrsv)
TAVSIM_GPIB_UNSUPPORTED(ibsad)
TAVSIM_GPIB_UNSUPPORTED(ibsic)
TAVSIM_GPIB_UNSUPPORTED(ibsre)
TAVSIM_GPIB_UNSUPPORTED(ibstop)
TAVSIM_GPIB_UNSUPPORTED(ibtrg)
TAVSIM_GPIB_UNSUPPORTED(ibwait)
TAVSIM_GPIB_UNSUPPORTED(ibwrta)
TAVSIM_GPIB_UNSUPPORTED(ibwrtf)
TAVSIM_GPIB_UNSUPPORTED(AllSpoll)
TAVSIM_GPIB_UNSUPPORTED(DevClear)
TAVSIM_GPIB_UNSUPPORTED(DevClearList)
TAVSIM_GPIB_UNSUPPORTED(EnableLocal)
TAVSIM_GPIB_UNSUPPORTED(EnableRemote)
TAVSIM_GPIB_UNSUPPORTED(FindLstn)
TAVSIM_GPIB_UNSUPPORTED(FindRQS)
TAVSIM_GPIB_UNSUPPORTED(PassControl)
TAVSIM_GPIB_UNSUPPORTED(PPoll)
TAVSIM_GPIB_UNSUPPORTED(PPollConfig)
TAVSIM_GPIB_UNSUPPORTED(PPollUnconfig)
TAVSIM_GPIB_UNSUPPORTED(RcvRespMsg)
TAVSIM_GPIB_UNSUPPORTED(ReadStatusByte)
TAVSIM_GPIB_UNSUPPORTED(Receive)
TAVSIM_GPIB_UNSUPPORTED(ReceiveSetup)
TAVSIM_GPIB_UNSUPPORTED(ResetSys)
TAVSIM_GPIB_UNSUPPORTED(Send)
TAVSIM_GPIB_UNSUPPORTED(SendCmds)
TAVSIM_GPIB_UNSUPPORTED(SendDataBytes)
TAVSIM_GPIB_UNSUPPORTED(SendIFC)
TAVSIM_GPIB_UNSUPPORTED(SendList)
TAVSIM_GPIB_UNSUPPORTED(SendLLO)
TAVSIM_GPIB_UNSUPPORTED(SendSetup)
TAVSIM_GPIB_UNSUPPORTED(SetRWLS)
TAVSIM_GPIB_UNSUPPORTED(TestSRQ)
TAVSIM_GPIB_UNSUPPORTED(TestSys)
TAVSIM_GPIB_UNSUPPORTED(Trigger)
TAVSIM_GPIB_UNSUPPORTED(TriggerList)
TAVSIM_GPIB_UNSUPPORTED(WaitSRQ)

// Test controls, see tavsim_gpib.h.

void tavsim_gpib_reset(void)
{
    Bus().Reset();
    Publish(0);
}

void tavsim_gpib_configure(int tavAddress, int meterAddress, const char* tavNames)
{
    Bus().Configure(tavAddress, meterAddress, tavNames);
}

void tavsim_gpib_set_silent(int address, int silent) { Bus().SetSilent(address, silent != 0); }

void tavsim_gpib_set_next_reply(int address, const char* bytes, long count)
{
    Bus().SetNextReply(address, std::string(bytes, static_cast<std::size_t>(count)));
}

void tavsim_gpib_set_meter_reading(double volts) { Bus().SetMeterReading(volts); }

void tavsim_gpib_set_board_error(int code) { Bus().SetBoardError(code); }

const char* tavsim_gpib_call_log(void) { return Bus().CallLog().c_str(); }

void tavsim_gpib_clear_call_log(void) { Bus().ClearCallLog(); }
}
