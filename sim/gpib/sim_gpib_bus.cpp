#include "sim/gpib/sim_gpib_bus.h"

#include "sim/sim_meter.h"
#include "sim/tav_instrument.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tav::sim {
namespace {

constexpr int kMaxTmo = 17; // T1000s

bool ValidAddress(int address) { return address >= 0 && address <= 30; }

std::vector<std::string> SplitNames(std::string_view names)
{
    std::vector<std::string> result;
    while (!names.empty()) {
        const std::size_t end = std::min(names.find(';'), names.size());
        if (end > 0)
            result.emplace_back(names.substr(0, end));
        names.remove_prefix(std::min(end + 1, names.size()));
    }
    return result;
}

// The bytes as a C string literal: printable ASCII as it is, \n, \r, \\ and \" escaped, anything
// else as \xNN.
std::string Quoted(const char* bytes, std::size_t count)
{
    std::string text = "\"";
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\\' || c == '"') {
            text += '\\';
            text += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7f) {
            text += static_cast<char>(c);
        } else {
            static constexpr char kHex[] = "0123456789abcdef";
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 15];
        }
    }
    return text + "\"";
}

} // namespace

SimGpibBus::SimGpibBus() { Reset(); }

void SimGpibBus::Reset()
{
    tavNames_ = {"TAV-PS", "Device 1"};
    Configure(kTavAddress, kMeterAddress, nullptr);
    units_.clear();
    nextDescriptor_ = kFirstDescriptor;
    boardError_ = 0;
    status_ = {};
    log_.clear();
}

void SimGpibBus::Configure(int tavAddress, int meterAddress, const char* tavNames)
{
    devices_.clear();
    tavAddress_ = tavAddress;
    meterAddress_ = meterAddress;
    if (tavNames != nullptr)
        tavNames_ = SplitNames(tavNames);
    if (ValidAddress(tavAddress))
        devices_[tavAddress].model = std::make_unique<TavInstrument>();
    if (ValidAddress(meterAddress) && meterAddress != tavAddress)
        devices_[meterAddress].model = std::make_unique<SimMeter>();
}

void SimGpibBus::SetSilent(int address, bool silent)
{
    if (Device* device = DeviceAt(address)) {
        device->silent = silent;
        device->output.clear();
    }
}

void SimGpibBus::SetNextReply(int address, std::string bytes)
{
    if (Device* device = DeviceAt(address))
        device->nextReply = std::move(bytes);
}

void SimGpibBus::SetMeterReading(double volts)
{
    const auto device = devices_.find(meterAddress_);
    if (device == devices_.end())
        return;
    if (auto* meter = dynamic_cast<SimMeter*>(device->second.model.get()))
        meter->SetInput(volts, volts);
}

void SimGpibBus::Log(std::string entry)
{
    log_ += entry;
    log_ += '\n';
}

int SimGpibBus::Fail(int err, int sta)
{
    status_.sta = sta | kErr;
    status_.err = err;
    return status_.sta;
}

// iberr keeps its last value, as in NI-488: it only means something while ERR is set.
int SimGpibBus::Succeed(int sta)
{
    status_.sta = sta;
    return status_.sta;
}

SimGpibBus::Unit* SimGpibBus::UnitOf(int ud)
{
    const auto it = units_.find(ud);
    if (it == units_.end()) {
        Fail(kEdvr);
        return nullptr;
    }
    return &it->second;
}

SimGpibBus::Device* SimGpibBus::DeviceAt(int address)
{
    const auto it = devices_.find(address);
    return it == devices_.end() ? nullptr : &it->second;
}

int SimGpibBus::NewUnit(Unit unit)
{
    const int ud = nextDescriptor_++;
    units_[ud] = unit;
    Succeed();
    return ud;
}

int SimGpibBus::Find(const char* name)
{
    const std::string text = name != nullptr ? name : "";
    Log("ibfind(\"" + text + "\")");
    if (boardError_ != 0) {
        Fail(boardError_);
        return -1;
    }
    if (!ValidAddress(tavAddress_) ||
        std::find(tavNames_.begin(), tavNames_.end(), text) == tavNames_.end()) {
        Fail(kEdvr);
        return -1;
    }
    return NewUnit({tavAddress_, 13, true});
}

int SimGpibBus::Dev(int board, int pad, int sad, int tmo, int eot, int eos)
{
    Log("ibdev(" + std::to_string(board) + "," + std::to_string(pad) + "," + std::to_string(sad) +
        "," + std::to_string(tmo) + "," + std::to_string(eot) + "," + std::to_string(eos) + ")");
    if (boardError_ != 0) {
        Fail(boardError_);
        return -1;
    }
    if (board != 0) {
        Fail(kEneb);
        return -1;
    }
    const bool validSad = sad == 0 || (sad >= 0x60 && sad <= 0x7E);
    if (!ValidAddress(pad) || !validSad || tmo < 0 || tmo > kMaxTmo) {
        Fail(kEarg);
        return -1;
    }
    return NewUnit({pad, tmo, eot != 0});
}

int SimGpibBus::Tmo(int ud, int v)
{
    Log("ibtmo(" + std::to_string(ud) + "," + std::to_string(v) + ")");
    if (boardError_ != 0)
        return Fail(boardError_);
    Unit* unit = UnitOf(ud);
    if (unit == nullptr)
        return status_.sta;
    if (v < 0 || v > kMaxTmo)
        return Fail(kEarg);
    unit->tmo = v;
    return Succeed();
}

void SimGpibBus::Deliver(Device& device, std::string message)
{
    if (!message.empty() && message.back() == '\r')
        message.pop_back();
    if (message.empty())
        return;
    device.output.clear();
    if (device.nextReply && !device.silent) {
        device.output = std::move(*device.nextReply);
        device.nextReply.reset();
        return;
    }
    std::optional<std::string> reply = device.model->HandleLine(message);
    if (reply && !device.silent)
        device.output = *reply + "\r\n";
}

int SimGpibBus::BeginTransfer(int ud, long count, const Unit*& unit)
{
    status_.cnt = 0;
    if (boardError_ != 0)
        return Fail(boardError_);
    unit = UnitOf(ud);
    if (unit == nullptr)
        return status_.sta;
    if (count < 0)
        return Fail(kEarg);
    return 0;
}

int SimGpibBus::Wrt(int ud, const void* buffer, long count)
{
    const std::size_t shown = buffer != nullptr && count > 0 ? static_cast<std::size_t>(count) : 0;
    Log("ibwrt(" + std::to_string(ud) + "," + Quoted(static_cast<const char*>(buffer), shown) +
        ")");
    const Unit* unit = nullptr;
    if (const int failed = BeginTransfer(ud, count, unit))
        return failed;
    Device* device = DeviceAt(unit->address);
    if (device == nullptr)
        return Fail(kEnol, kCmpl);

    device->input.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    std::size_t end;
    while ((end = device->input.find('\n')) != std::string::npos) {
        std::string message = device->input.substr(0, end);
        device->input.erase(0, end + 1);
        Deliver(*device, std::move(message));
    }
    if (unit->eot && !device->input.empty()) {
        std::string message = std::move(device->input);
        device->input.clear();
        Deliver(*device, std::move(message));
    }
    status_.cnt = static_cast<int>(count);
    return Succeed();
}

int SimGpibBus::Rd(int ud, void* buffer, long count)
{
    const int sta = Read(ud, buffer, count);
    Log("ibrd(" + std::to_string(ud) + "," + std::to_string(count) +
        ")=" + Quoted(static_cast<const char*>(buffer), static_cast<std::size_t>(status_.cnt)));
    return sta;
}

int SimGpibBus::Read(int ud, void* buffer, long count)
{
    const Unit* unit = nullptr;
    if (const int failed = BeginTransfer(ud, count, unit))
        return failed;
    Device* device = DeviceAt(unit->address);
    // Nobody talks: the read would wait for the descriptor's time-out and then abort.
    if (device == nullptr || device->output.empty())
        return Fail(kEabo, kTmo | kCmpl);

    const std::size_t n = std::min(device->output.size(), static_cast<std::size_t>(count));
    std::memcpy(buffer, device->output.data(), n);
    device->output.erase(0, n);
    status_.cnt = static_cast<int>(n);
    return Succeed(device->output.empty() ? kEnd | kCmpl : kCmpl);
}

int SimGpibBus::Clr(int ud)
{
    Log("ibclr(" + std::to_string(ud) + ")");
    if (boardError_ != 0)
        return Fail(boardError_);
    const Unit* unit = UnitOf(ud);
    if (unit == nullptr)
        return status_.sta;
    Device* device = DeviceAt(unit->address);
    if (device == nullptr)
        return Fail(kEnol, kCmpl);
    device->input.clear();
    device->output.clear();
    return Succeed();
}

int SimGpibBus::Loc(int ud)
{
    Log("ibloc(" + std::to_string(ud) + ")");
    if (boardError_ != 0)
        return Fail(boardError_);
    const Unit* unit = UnitOf(ud);
    if (unit == nullptr)
        return status_.sta;
    if (DeviceAt(unit->address) == nullptr)
        return Fail(kEnol, kCmpl);
    return Succeed();
}

int SimGpibBus::Onl(int ud, int v)
{
    Log("ibonl(" + std::to_string(ud) + "," + std::to_string(v) + ")");
    if (boardError_ != 0)
        return Fail(boardError_);
    if (UnitOf(ud) == nullptr)
        return status_.sta;
    if (v == 0)
        units_.erase(ud);
    return Succeed();
}

int SimGpibBus::Unsupported() { return Fail(kEcap); }

} // namespace tav::sim
