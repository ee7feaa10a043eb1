#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

// One name the binding looks up: the name the program knows it by (the NI-488 export name, which
// on Windows carries an "A" for the 8-bit text variants and "user_" for the status variables)
// and the name linux-gpib exports it under.
struct GpibEntryName {
    const char* name;
    const char* exportName;
    // linux-gpib has no iblock/ibunlock family and no ibnotify; the program uses none of them.
    bool optional;
};

// The NI-488 library, loaded by name at run time so the program also runs without it.
//
// We declare our own function-pointer types from the documented NI-488 calls instead of
// including a vendor header. The binding looks up every name of its table; only the optional
// ones may be missing. A bound library offers typed calls for what the program uses. Calls made
// while nothing is bound do not reach any library: they answer like a failed call (ERR set).
class GpibLibrary {
public:
    static constexpr const char* kLibraryFileName = "libgpib.so.0";
    static constexpr std::size_t kEntryCount = 79;
    static constexpr int kErr = 0x8000;

    // fileName: the library as the loader looks it up; only tests pass another one.
    explicit GpibLibrary(std::string fileName = kLibraryFileName);
    ~GpibLibrary();
    GpibLibrary(const GpibLibrary&) = delete;
    GpibLibrary& operator=(const GpibLibrary&) = delete;

    // 0 bound, -1 library not found, -2 an entry point missing (the library is released again).
    int BindGpibLibrary();
    // 0, or -1 when nothing was loaded.
    int UnbindGpibLibrary();

    bool Bound() const { return m_handle != nullptr; }

    // The looked-up address for a name of the table (function or status variable), or null.
    const void* Entry(std::string_view name) const;
    static const std::array<GpibEntryName, kEntryCount>& EntryNames();

    int ibfind(const char* name) const;
    int ibdev(int board, int pad, int sad, int tmo, int eot, int eos) const;
    int ibtmo(int ud, int v) const;
    int ibwrt(int ud, const void* buffer, long count) const;
    int ibrd(int ud, void* buffer, long count) const;
    int ibclr(int ud) const;
    int ibloc(int ud) const;

    // The status after the last call, from the library's status variables.
    int ibsta() const;
    int iberr() const;
    int ibcnt() const;

private:
    void* Lookup(std::size_t index) const { return m_entries[index]; }
    void Forget();

    std::string m_fileName;
    void* m_handle = nullptr;
    std::array<void*, kEntryCount> m_entries{};
};
