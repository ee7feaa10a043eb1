// Faults from outside: an instrument that answers garbage or goes away in the middle of work,
// and saves that cannot be made. No crash, no hang, one message, nothing reported as done.
#include "common/text_file.h"
#include "sequence/sequence_file.h"
#include "tests/sequence/sequence_window_fixture.h"
#include "tests/support/file_bytes.h"
#include "tests/support/qt_wait.h"

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Counts the deliveries of the instrument's port, through the hand-over a test window gets.
struct Deliveries : ReplyListener {
    int lines = 0;
    void EvaluateReply(int) override { ++lines; }
};

// The fields of the single-phase readings: U, I, P, S, peak current, power and crest factor.
const char* const kReadingFields[] = {"Edit1", "Edit2", "Edit5", "Edit6",
                                      "Edit7", "Edit8", "Edit9"};

class GarbageReplies : public PanelFixture {
protected:
    // One poll tick against the test playing the instrument: the status query gets a proper
    // answer (the cycle stops without one), every other query the given bytes.
    void TickAnswering(const QByteArray& garbage)
    {
        const int before = seen.lines;
        form->Timer1Timer();
        const int slot = form->Cycle().ReplySlot;
        if (form->Cycle().PollTable[static_cast<size_t>(slot)].isEmpty())
            return;
        const QByteArray query = instrument.ReadLines(1);
        instrument.Write(query.startsWith("*tav?") ? QByteArray("0\r\n") : garbage);
        ASSERT_TRUE(WaitUntil([&] { return seen.lines > before; })) << query.toStdString();
    }
    // Ticks to the end of a pass, slot 9 (the output state after the readings), answering each
    // query but the status one with the given bytes.
    void PassAnswering(const QByteArray& garbage)
    {
        for (int i = 0; i < 2 * 60; ++i) {
            ASSERT_NO_FATAL_FAILURE(TickAnswering(garbage));
            if (form->Cycle().ReplySlot == 9)
                return;
        }
        FAIL() << "no pass ended";
    }

    PtyLink instrument{sandbox, 2};
    Deliveries seen;
};

} // namespace

TEST_F(GarbageReplies, PollingGoesOnAndFieldsShowWhatTheRulesMake)
{
    CreateWindows();
    ASSERT_TRUE(state.Link.ComPort(1).Active());
    ConnectDriven();
    state.Link.TestWindow = &seen;

    // Random bytes: whatever comes, a field shows at most 8 characters, none of them leading
    // blanks or control characters.
    std::mt19937 random(12345);
    for (int i = 0; i < 40; ++i) {
        QByteArray bytes(1 + static_cast<int>(random() % 40), '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 256);
        bytes.replace("\r\n", "..");
        ASSERT_NO_FATAL_FAILURE(TickAnswering(bytes + "\r\n"));
        for (const char* field : kReadingFields) {
            const QString shown = Edit(QString::fromLatin1(field))->text();
            EXPECT_LE(shown.size(), 8) << field;
            EXPECT_FALSE(!shown.isEmpty() && shown[0].unicode() <= 0x20) << field;
        }
    }

    // Chosen bytes, each the answer to a whole pass: every reading field shows the same.
    const struct {
        QByteArray reply;
        QString shown;
    } chosen[] = {
        {"  230.0V \t\r\n", "230.0V"},
        {"1234567890V\r\n", "12345678"},
        {QByteArray("12\0"
                    "3V\r\n",
                    7),
         QString::fromLatin1("12\0"
                             "3V",
                             5)},
        {"5\r6\r\n", "5\r6"},
        {"\r\n", ""},
        {"\xff\xfe\x80garbage\x01\r\n", QString::fromLatin1("\xff\xfe\x80garba")},
        {"   \t-\r\n", "-"},
    };
    ASSERT_NO_FATAL_FAILURE(PassAnswering("\r\n")); // the random bytes' pass ends first
    for (const auto& c : chosen) {
        SCOPED_TRACE(c.reply.toPercentEncoding().toStdString());
        ASSERT_NO_FATAL_FAILURE(PassAnswering(c.reply));
        for (const char* field : kReadingFields)
            EXPECT_EQ(Edit(QString::fromLatin1(field))->text().toStdString(), c.shown.toStdString())
                << field;
    }

    // 64 KiB without a line end: nothing is handed over until the end comes, then one line.
    // (to a query other than the status one)
    int before = seen.lines;
    for (;;) {
        before = seen.lines;
        form->Timer1Timer();
        const int slot = form->Cycle().ReplySlot;
        const QByteArray& poll = form->Cycle().PollTable[static_cast<size_t>(slot)];
        if (poll.isEmpty())
            continue;
        const QByteArray query = instrument.ReadLines(1);
        if (!query.startsWith("*tav?"))
            break;
        instrument.Write("0\r\n");
        ASSERT_TRUE(WaitUntil([&] { return seen.lines > before; }));
    }
    instrument.Write(QByteArray(64 * 1024, 'x'));
    PumpEvents(50);
    EXPECT_EQ(seen.lines, before);
    instrument.Write("\r\n");
    ASSERT_TRUE(WaitUntil([&] { return seen.lines == before + 1; }));

    for (int i = 0; i < 30; ++i)
        ASSERT_NO_FATAL_FAILURE(TickAnswering("230.0V\r\n"));
    for (const char* field : kReadingFields)
        EXPECT_EQ(Edit(QString::fromLatin1(field))->text().toStdString(), "230.0V") << field;
    EXPECT_TRUE(form->Timer1()->isActive()) << "polling stopped";
    EXPECT_TRUE(state.Link.ComPort(1).Active());
    EXPECT_TRUE(messages.isEmpty()) << messages.join('|').toStdString();
}

// The instrument goes away in the middle of a sequence transfer: the transfer stops with one
// message, the port is closed, and the window can still be used and closed.
TEST_F(SequenceWindowTest, InstrumentLostMidTransferStopsItWithOneMessage)
{
    auto sim = StartSimAndWindows();
    Open();
    for (int r = 1; r <= 10; ++r)
        grid->SetRow(r, {StepNumberText(r), "00.00.01.000", "UAC", "230", "50", "0"});
    window->TransferClick();
    window->RowTimerTimer();
    for (int i = 0; i < 3; ++i)
        window->CommandTimerTimer();
    sim->Kill();
    ASSERT_TRUE(WaitUntil([&] { return !state.Link.ComPort(1).Active(); }));
    // The timers tick on as long as they run.
    auto running = [&] {
        return window->RowTimer()->isActive() || window->CommandTimer()->isActive();
    };
    for (int i = 0; i < 20 && running(); ++i) {
        if (window->RowTimer()->isActive())
            window->RowTimerTimer();
        if (window->CommandTimer()->isActive())
            window->CommandTimerTimer();
    }
    EXPECT_FALSE(window->RowTimer()->isActive());
    EXPECT_FALSE(window->CommandTimer()->isActive());
    EXPECT_TRUE(window->findChild<QPushButton*>("TransferButton")->isEnabled());
    // The lost device is told once; the step that then found the port closed once more.
    EXPECT_GE(messages.size(), 1);
    EXPECT_LE(messages.size(), 2);
    window->findChild<QPushButton*>("CloseButton")->click();
    EXPECT_FALSE(window->isVisible());
}

// A name that stands for a pipe or a device is written to, never replaced by a plain file;
// a device that is full makes the save fail, and says so.
TEST(SaveFaults, DevicesAreWrittenToNeverReplaced)
{
    QTemporaryDir dir;
    const QByteArray fifo = QDir(dir.path()).filePath("curve.seq").toLocal8Bit();
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    QByteArray drained;
    std::thread reader([&] {
        const int fd = open(fifo.constData(), O_RDONLY);
        char chunk[256];
        for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
            drained.append(chunk, n);
        close(fd);
    });
    QString error;
    const bool saved = WriteTextLines(QString::fromLocal8Bit(fifo), {" 1;a", " 2;b"}, &error);
    reader.join();
    struct stat info {};
    ASSERT_EQ(stat(fifo.constData(), &info), 0);
    ASSERT_TRUE(S_ISFIFO(info.st_mode)) << "the pipe was replaced by a plain file";
    EXPECT_TRUE(saved) << error.toStdString();
    EXPECT_EQ(drained, " 1;a\r\n 2;b\r\n");

    // Only where the pipe survived: the same fault would otherwise put a file in /dev.
    struct stat full {};
    if (stat("/dev/full", &full) != 0 || !S_ISCHR(full.st_mode))
        GTEST_SKIP() << "no /dev/full";
    EXPECT_FALSE(WriteTextLines(QStringLiteral("/dev/full"), {"a", "b"}, &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_EQ(stat("/dev/full", &full), 0);
    EXPECT_TRUE(S_ISCHR(full.st_mode));
    EXPECT_FALSE(WriteTextLines(QStringLiteral("/proc/tavcontrol.seq"), {"a"}, &error));
}
