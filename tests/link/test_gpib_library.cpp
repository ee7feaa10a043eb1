#include "link/gpib_library.h"
#include "tests/support/sim_gpib_controls.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

constexpr int kErr = 0x8000;
constexpr int kTmo = 0x4000;
constexpr int kEnd = 0x2000;

const char* const kOptional[] = {"iblock", "iblockxA", "ibnotify", "ibunlock", "ibunlockx"};

} // namespace

TEST(GpibBinding, BindsTheSimulatedLibraryThoughItLacksTheOptionalEntries)
{
    GpibLibrary library;
    ASSERT_EQ(library.BindGpibLibrary(), 0) << "libgpib.so.0 not on the loader's search path";
    EXPECT_TRUE(library.Bound());
    for (const GpibEntryName& e : GpibLibrary::EntryNames()) {
        if (!e.optional) {
            EXPECT_NE(library.Entry(e.name), nullptr) << e.name;
        }
    }
    for (const char* name : kOptional)
        EXPECT_EQ(library.Entry(name), nullptr) << name;

    // The status entries are the variables themselves, not functions returning them.
    void* own = dlopen(GpibLibrary::kLibraryFileName, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(library.Entry("user_ibcnt"), dlsym(own, "ibcnt"));
    EXPECT_EQ(library.Entry("ibfindA"), dlsym(own, "ibfind"));
    dlclose(own);

    EXPECT_EQ(library.UnbindGpibLibrary(), 0);
    EXPECT_FALSE(library.Bound());
    EXPECT_EQ(library.Entry("ibrd"), nullptr);
    EXPECT_EQ(library.UnbindGpibLibrary(), -1);
    EXPECT_EQ(library.BindGpibLibrary(), 0);
}

TEST(GpibBinding, AbsentLibraryLeavesEverythingUnboundAndCallsFailSafely)
{
    GpibLibrary library("libtav-no-such-gpib.so.0");
    EXPECT_EQ(library.BindGpibLibrary(), -1);
    EXPECT_FALSE(library.Bound());
    EXPECT_EQ(library.UnbindGpibLibrary(), -1);

    char buffer[8];
    EXPECT_EQ(library.ibfind("TAV-PS"), -1);
    EXPECT_EQ(library.ibdev(0, 5, 0, 13, 1, 0), -1);
    EXPECT_NE(library.ibrd(1, buffer, sizeof buffer) & kErr, 0);
    EXPECT_NE(library.ibsta() & kErr, 0);
    EXPECT_EQ(library.ibcnt(), 0);
}

TEST(GpibBinding, LibraryWithoutTheEntryPointsIsReleasedAgain)
{
    GpibLibrary library("libm.so.6");
    EXPECT_EQ(library.BindGpibLibrary(), -2);
    EXPECT_FALSE(library.Bound());
    for (const GpibEntryName& e : GpibLibrary::EntryNames())
        EXPECT_EQ(library.Entry(e.name), nullptr) << e.name;
    EXPECT_EQ(library.UnbindGpibLibrary(), -1);
}

// The simulated library's NI-488 behaviour, seen through the binding's typed calls.
class SimGpibLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Loaded()) << "the simulated libgpib.so.0 is not on the search path";
        sim.Reset();
        ASSERT_EQ(library.BindGpibLibrary(), 0);
    }

    int Write(int ud, const std::string& text)
    {
        return library.ibwrt(ud, text.data(), static_cast<long>(text.size()));
    }
    std::string Read(int ud, long count)
    {
        std::string buffer(static_cast<std::size_t>(count), '\0');
        library.ibrd(ud, buffer.data(), count);
        buffer.resize(static_cast<std::size_t>(std::max(library.ibcnt(), 0)));
        return buffer;
    }

    SimGpibControls sim;
    GpibLibrary library;
};

TEST_F(SimGpibLibrary, ReplyComesInPiecesWithEndOnTheLastAndThenTimesOut)
{
    const int ud = library.ibdev(0, 5, 0, 13, 1, 0);
    ASSERT_GT(ud, 0);
    EXPECT_EQ(library.ibsta() & kErr, 0);

    // Two messages in one write: each line feed ends one.
    EXPECT_EQ(Write(ud, "SOUR:VOLTAC,100\nSour:voltac?\n") & kErr, 0);
    EXPECT_EQ(library.ibcnt(), 29);
    EXPECT_EQ(Read(ud, 4), "100.");
    EXPECT_EQ(library.ibsta() & kEnd, 0);
    EXPECT_EQ(Read(ud, 200), "00000\r\n");
    EXPECT_NE(library.ibsta() & kEnd, 0);

    Read(ud, 200);
    EXPECT_EQ(library.ibsta(), 0xC100);
    EXPECT_EQ(library.iberr(), 6);
    EXPECT_EQ(library.ibcnt(), 0);

    // A new message drops what was not read of the last reply.
    Write(ud, "*idn?\n");
    Read(ud, 3);
    Write(ud, "Sour:voltac?\n");
    EXPECT_EQ(Read(ud, 200), "100.00000\r\n");

    EXPECT_EQ(library.ibclr(ud) & kErr, 0);
    EXPECT_EQ(library.ibloc(ud) & kErr, 0);
}

TEST_F(SimGpibLibrary, LookupFailuresAndMissingDevicesSetTheirErrorCodes)
{
    EXPECT_EQ(library.ibfind("Scope 7"), -1);
    EXPECT_NE(library.ibsta() & kErr, 0);
    EXPECT_EQ(library.iberr(), 0);
    EXPECT_GT(library.ibfind("TAV-PS"), 0);

    EXPECT_EQ(library.ibdev(0, 31, 0, 13, 1, 0), -1);
    EXPECT_EQ(library.iberr(), 4);

    // An address without a device still gets a descriptor; nobody listens or talks there.
    const int empty = library.ibdev(0, 9, 0, 13, 1, 0);
    ASSERT_GT(empty, 0);
    EXPECT_NE(Write(empty, "*idn?\n") & kErr, 0);
    EXPECT_EQ(library.iberr(), 2);
    EXPECT_EQ(library.ibcnt(), 0);
    Read(empty, 200);
    EXPECT_EQ(library.ibsta() & (kErr | kTmo), kErr | kTmo);
    EXPECT_EQ(library.iberr(), 6);

    EXPECT_NE(library.ibclr(4711) & kErr, 0);
    EXPECT_EQ(library.iberr(), 0);

    const int meter = library.ibdev(0, 22, 0, 13, 1, 0);
    Write(meter, "*IDN?\n");
    EXPECT_EQ(Read(meter, 200), "SIM,Voltmeter,0,1.0\r\n");
}

TEST_F(SimGpibLibrary, ConfiguredBusMovesTheInstrumentAndRenamesIt)
{
    sim.Configure(12, -1, "PS1;PS2");
    EXPECT_EQ(library.ibfind("TAV-PS"), -1);
    const int ud = library.ibfind("PS2");
    ASSERT_GT(ud, 0);
    Write(ud, "*idn?\n");
    EXPECT_EQ(Read(ud, 200).rfind("KELM Electronic GmbH,", 0), 0u);

    const int old = library.ibdev(0, 5, 0, 13, 1, 0);
    EXPECT_NE(Write(old, "*idn?\n") & kErr, 0);
    const int meter = library.ibdev(0, 22, 0, 13, 1, 0);
    EXPECT_NE(Write(meter, "*IDN?\n") & kErr, 0);
}
