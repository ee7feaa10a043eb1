#include "link/gpib_library.h"

#include <dlfcn.h>

#include <utility>

namespace {

// In the order the binding looks them up. "user_ibsta" and its two companions are int variables;
// everything else is a function.
constexpr std::array<GpibEntryName, GpibLibrary::kEntryCount> kEntries{{
    {"user_ibsta", "ibsta", false},
    {"user_iberr", "iberr", false},
    {"user_ibcnt", "ibcnt", false},
    {"ibask", "ibask", false},
    {"ibbnaA", "ibbna", false},
    {"ibcac", "ibcac", false},
    {"ibclr", "ibclr", false},
    {"ibcmd", "ibcmd", false},
    {"ibcmda", "ibcmda", false},
    {"ibconfig", "ibconfig", false},
    {"ibdev", "ibdev", false},
    {"ibdma", "ibdma", false},
    {"ibeos", "ibeos", false},
    {"ibeot", "ibeot", false},
    {"ibfindA", "ibfind", false},
    {"ibgts", "ibgts", false},
    {"ibist", "ibist", false},
    {"iblines", "iblines", false},
    {"ibln", "ibln", false},
    {"ibloc", "ibloc", false},
    {"iblock", "iblock", true},
    {"iblockxA", "iblockx", true},
    {"ibnotify", "ibnotify", true},
    {"ibonl", "ibonl", false},
    {"ibpad", "ibpad", false},
    {"ibpct", "ibpct", false},
    {"ibppc", "ibppc", false},
    {"ibrd", "ibrd", false},
    {"ibrda", "ibrda", false},
    {"ibrdfA", "ibrdf", false},
    {"ibrpp", "ibrpp", false},
    {"ibrsc", "ibrsc", false},
    {"ibrsp", "ibrsp", false},
    {"ibrsv", "ibrsv", false},
    {"ibsad", "ibsad", false},
    {"ibsic", "ibsic", false},
    {"ibsre", "ibsre", false},
    {"ibstop", "ibstop", false},
    {"ibtmo", "ibtmo", false},
    {"ibtrg", "ibtrg", false},
    {"ibunlock", "ibunlock", true},
    {"ibunlockx", "ibunlockx", true},
    {"ibwait", "ibwait", false},
    {"ibwrt", "ibwrt", false},
    {"ibwrta", "ibwrta", false},
    {"ibwrtfA", "ibwrtf", false},
    {"AllSpoll", "AllSpoll", false},
    {"DevClear", "DevClear", false},
    {"DevClearList", "DevClearList", false},
    {"EnableLocal", "EnableLocal", false},
    {"EnableRemote", "EnableRemote", false},
    {"FindLstn", "FindLstn", false},
    {"FindRQS", "FindRQS", false},
    {"PassControl", "PassControl", false},
    {"PPoll", "PPoll", false},
    {"PPollConfig", "PPollConfig", false},
    {"PPollUnconfig", "PPollUnconfig", false},
    {"RcvRespMsg", "RcvRespMsg", false},
    {"ReadStatusByte", "ReadStatusByte", false},
    {"Receive", "Receive", false},
    {"ReceiveSetup", "ReceiveSetup", false},
    {"ResetSys", "ResetSys", false},
    {"Send", "Send", false},
    {"SendCmds", "SendCmds", false},
    {"SendDataBytes", "SendDataBytes", false},
    {"SendIFC", "SendIFC", false},
    {"SendList", "SendList", false},
    {"SendLLO", "SendLLO", false},
    {"SendSetup", "SendSetup", false},
    {"SetRWLS", "SetRWLS", false},
    {"TestSRQ", "TestSRQ", false},
    {"TestSys", "TestSys", false},
    {"Trigger", "Trigger", false},
    {"TriggerList", "TriggerList", false},
    {"WaitSRQ", "WaitSRQ", false},
    {"ThreadIbsta", "ThreadIbsta", false},
    {"ThreadIberr", "ThreadIberr", false},
    {"ThreadIbcnt", "ThreadIbcnt", false},
    {"ThreadIbcntl", "ThreadIbcntl", false},
}};

constexpr std::size_t IndexOf(std::string_view name)
{
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        if (name == kEntries[i].name)
            return i;
    }
    return kEntries.size();
}

// A misspelt name stops the build instead of leaving a call that never binds.
template <std::size_t N> constexpr std::size_t Index(const char (&name)[N])
{
    const std::size_t i = IndexOf(name);
    if (i == kEntries.size())
        throw "not a GPIB entry name";
    return i;
}

constexpr std::size_t kIbsta = Index("user_ibsta");
constexpr std::size_t kIberr = Index("user_iberr");
constexpr std::size_t kIbcnt = Index("user_ibcnt");
constexpr std::size_t kIbfind = Index("ibfindA");
constexpr std::size_t kIbdev = Index("ibdev");
constexpr std::size_t kIbtmo = Index("ibtmo");
constexpr std::size_t kIbwrt = Index("ibwrt");
constexpr std::size_t kIbrd = Index("ibrd");
constexpr std::size_t kIbclr = Index("ibclr");
constexpr std::size_t kIbloc = Index("ibloc");

using IbfindFn = int (*)(const char* name);
using IbdevFn = int (*)(int board, int pad, int sad, int tmo, int eot, int eos);
using IbtmoFn = int (*)(int ud, int v);
using IbwrtFn = int (*)(int ud, const void* buffer, long count);
using IbrdFn = int (*)(int ud, void* buffer, long count);
using IbUnitFn = int (*)(int ud);

template <typename Fn> Fn As(void* entry) { return reinterpret_cast<Fn>(entry); }

int ReadStatus(void* entry) { return *static_cast<volatile int*>(entry); }

} // namespace

GpibLibrary::GpibLibrary(std::string fileName) : m_fileName(std::move(fileName)) {}

GpibLibrary::~GpibLibrary() { UnbindGpibLibrary(); }

const std::array<GpibEntryName, GpibLibrary::kEntryCount>& GpibLibrary::EntryNames()
{
    return kEntries;
}

int GpibLibrary::BindGpibLibrary()
{
    UnbindGpibLibrary();
    // RTLD_LOCAL: the library's status variables must not be mistaken for anything of ours.
    m_handle = dlopen(m_fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (m_handle == nullptr)
        return -1;
    bool complete = true;
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        m_entries[i] = dlsym(m_handle, kEntries[i].exportName);
        if (m_entries[i] == nullptr && !kEntries[i].optional)
            complete = false;
    }
    if (!complete) {
        UnbindGpibLibrary();
        return -2;
    }
    return 0;
}

int GpibLibrary::UnbindGpibLibrary()
{
    if (m_handle == nullptr)
        return -1;
    dlclose(m_handle);
    Forget();
    return 0;
}

void GpibLibrary::Forget()
{
    m_handle = nullptr;
    m_entries.fill(nullptr);
}

const void* GpibLibrary::Entry(std::string_view name) const
{
    const std::size_t i = IndexOf(name);
    return i < m_entries.size() ? m_entries[i] : nullptr;
}

int GpibLibrary::ibfind(const char* name) const
{
    return Bound() ? As<IbfindFn>(Lookup(kIbfind))(name) : -1;
}

int GpibLibrary::ibdev(int board, int pad, int sad, int tmo, int eot, int eos) const
{
    return Bound() ? As<IbdevFn>(Lookup(kIbdev))(board, pad, sad, tmo, eot, eos) : -1;
}

int GpibLibrary::ibtmo(int ud, int v) const
{
    return Bound() ? As<IbtmoFn>(Lookup(kIbtmo))(ud, v) : kErr;
}

int GpibLibrary::ibwrt(int ud, const void* buffer, long count) const
{
    return Bound() ? As<IbwrtFn>(Lookup(kIbwrt))(ud, buffer, count) : kErr;
}

int GpibLibrary::ibrd(int ud, void* buffer, long count) const
{
    return Bound() ? As<IbrdFn>(Lookup(kIbrd))(ud, buffer, count) : kErr;
}

int GpibLibrary::ibclr(int ud) const { return Bound() ? As<IbUnitFn>(Lookup(kIbclr))(ud) : kErr; }

int GpibLibrary::ibloc(int ud) const { return Bound() ? As<IbUnitFn>(Lookup(kIbloc))(ud) : kErr; }

int GpibLibrary::ibsta() const { return Bound() ? ReadStatus(Lookup(kIbsta)) : kErr; }

int GpibLibrary::iberr() const { return Bound() ? ReadStatus(Lookup(kIberr)) : 0; }

int GpibLibrary::ibcnt() const { return Bound() ? ReadStatus(Lookup(kIbcnt)) : 0; }
