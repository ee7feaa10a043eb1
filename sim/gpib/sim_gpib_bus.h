#pragma once

#include "sim/sim_device.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav::sim {

// The NI-488 status of the last call.
struct GpibStatus {
    int sta = 0;
    int err = 0;
    int cnt = 0;
};

// One GPIB board with the simulated instruments on it, behind the NI-488 calls of the simulated
// library (see tavsim_gpib.h for its behaviour). Single-threaded: the program makes its GPIB
// calls on the user-interface thread only.
class SimGpibBus {
public:
    static constexpr int kTavAddress = 5;
    static constexpr int kMeterAddress = 22;
    static constexpr int kFirstDescriptor = 32;

    static constexpr int kErr = 0x8000;
    static constexpr int kTmo = 0x4000;
    static constexpr int kEnd = 0x2000;
    static constexpr int kCmpl = 0x0100;

    static constexpr int kEdvr = 0;
    static constexpr int kEnol = 2;
    static constexpr int kEarg = 4;
    static constexpr int kEabo = 6;
    static constexpr int kEneb = 7;
    static constexpr int kEcap = 11;

    SimGpibBus();

    void Reset();
    void Configure(int tavAddress, int meterAddress, const char* tavNames);
    void SetSilent(int address, bool silent);
    void SetNextReply(int address, std::string bytes);
    // The voltmeter's reading in either function, until the next reset or configure.
    void SetMeterReading(double volts);
    void SetBoardError(int code) { boardError_ = code; }
    const std::string& CallLog() const { return log_; }
    void ClearCallLog() { log_.clear(); }

    const GpibStatus& Status() const { return status_; }

    // The NI-488 calls; each returns what the library function returns.
    int Find(const char* name);
    int Dev(int board, int pad, int sad, int tmo, int eot, int eos);
    int Tmo(int ud, int v);
    int Wrt(int ud, const void* buffer, long count);
    int Rd(int ud, void* buffer, long count);
    int Clr(int ud);
    int Loc(int ud);
    int Onl(int ud, int v);
    // Everything the simulation does not offer.
    int Unsupported();

private:
    struct Device {
        std::unique_ptr<SimDevice> model;
        bool silent = false;
        std::string input;  // bytes of a message not yet ended
        std::string output; // reply bytes not yet read
        std::optional<std::string> nextReply;
    };
    // What a descriptor stands for.
    struct Unit {
        int address = 0;
        int tmo = 13;
        bool eot = true;
    };

    void Log(std::string entry);
    // Sets the status of a failed call and returns its ibsta.
    int Fail(int err, int sta = kErr);
    int Succeed(int sta = kCmpl);
    // The unit of a descriptor, or null after setting the failure status for a bad one.
    Unit* UnitOf(int ud);
    // The common start of ibwrt and ibrd: checks board, descriptor and count. Returns 0 to go
    // on, else the status to return.
    int BeginTransfer(int ud, long count, const Unit*& unit);
    // ibrd without its log entry, which names the bytes read and so comes after.
    int Read(int ud, void* buffer, long count);
    Device* DeviceAt(int address);
    void Deliver(Device& device, std::string message);
    int NewUnit(Unit unit);

    std::map<int, Device> devices_;
    std::vector<std::string> tavNames_;
    int tavAddress_ = kTavAddress;
    int meterAddress_ = kMeterAddress;
    std::map<int, Unit> units_;
    int nextDescriptor_ = kFirstDescriptor;
    int boardError_ = 0;
    GpibStatus status_;
    std::string log_;
};

} // namespace tav::sim
