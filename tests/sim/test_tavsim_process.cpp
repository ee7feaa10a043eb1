// The real tavsim binary on real pseudo-terminals.

#include "tests/support/build_paths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Generous, and only ever used to turn a hang into a failure.
constexpr auto kPatience = std::chrono::seconds(20);

bool WaitUntil(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int64_t MonotonicMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "tavsim-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// One tavsim run with its output in files. Whatever the test does, the process does not outlive
// it.
class Tavsim {
public:
    Tavsim(const TempDir& dir, const std::vector<std::string>& args)
        : stdout_(dir / "tavsim.out"), stderr_(dir / "tavsim.err")
    {
        // Even a test binary that crashes takes it along.
        std::vector<std::string> words = {kTavsimPath, "--exit-with-parent"};
        words.insert(words.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, stdout_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, stderr_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawn(&pid_, kTavsimPath, &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Tavsim()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Tavsim(const Tavsim&) = delete;
    Tavsim& operator=(const Tavsim&) = delete;

    bool Alive()
    {
        if (pid_ <= 0)
            return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == 0)
            return true;
        status_ = status;
        pid_ = -1;
        return false;
    }
    // The wait status once it has ended by itself, nothing when it keeps running.
    std::optional<int> Exit()
    {
        WaitUntil([this] { return !Alive(); });
        return status_;
    }
    std::optional<int> StopWith(int signal)
    {
        if (pid_ > 0)
            kill(pid_, signal);
        return Exit();
    }
    // Whether the process has the file open right now.
    bool HasOpen(const fs::path& file) const
    {
        std::error_code error;
        for (const auto& fd :
             fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", error)) {
            if (fs::read_symlink(fd.path(), error) == file)
                return true;
        }
        return false;
    }
    std::string Stdout() const { return ReadFile(stdout_); }
    std::string Stderr() const { return ReadFile(stderr_); }

private:
    fs::path stdout_;
    fs::path stderr_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

bool ExitedWith(std::optional<int> status, int code)
{
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == code;
}

// The program's side of the line, in raw mode as the program sets it.
class TtyClient {
public:
    explicit TtyClient(int fd) : fd_(fd) {}
    explicit TtyClient(const fs::path& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        termios tio{};
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~TtyClient()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    TtyClient(const TtyClient&) = delete;
    TtyClient& operator=(const TtyClient&) = delete;

    int Fd() const { return fd_; }

    void Write(std::string_view text)
    {
        while (!text.empty()) {
            const ssize_t n = write(fd_, text.data(), text.size());
            if (n > 0)
                text.remove_prefix(static_cast<std::size_t>(n));
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return;
        }
    }

    // The next reply without its "\r\n"; marked when the line end is wrong.
    std::string ReadLine()
    {
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (buffer_.find('\n') == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd in{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&in, 1, static_cast<int>(left.count())) <= 0)
                return "<timeout, got \"" + buffer_ + "\">";
            char chunk[256];
            const ssize_t n = read(fd_, chunk, sizeof chunk);
            if (n > 0)
                buffer_.append(chunk, static_cast<std::size_t>(n));
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return "<read error>";
        }
        const auto end = buffer_.find('\n');
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (line.empty() || line.back() != '\r')
            return "<no CR> " + line;
        line.pop_back();
        return line;
    }

    std::string Ask(const std::string& query)
    {
        Write(query + "\n");
        return ReadLine();
    }

private:
    int fd_;
    std::string buffer_;
};

class TavsimProcess : public ::testing::Test {
protected:
    // Starts tavsim on a new pseudo-terminal linked at link_ and waits until it is ready.
    void Start(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--link", link_.string()});
        sim_ = std::make_unique<Tavsim>(dir_, args);
        // exists() follows the link: a stale link left behind by a killed run does not count.
        ASSERT_TRUE(WaitUntil([&] { return fs::exists(link_) || !sim_->Alive(); }));
        ASSERT_TRUE(sim_->Alive()) << sim_->Stderr();
    }

    TempDir dir_;
    fs::path link_ = dir_ / "ttyTAV";
    std::unique_ptr<Tavsim> sim_;
};

TEST_F(TavsimProcess, AnswersQueriesAndAppliesCommands)
{
    ASSERT_NO_FATAL_FAILURE(
        Start({"--options", "3P CR2 OT1", "--serial", "0612000007", "--load-phase", "-60"}));
    TtyClient port(link_);
    ASSERT_GE(port.Fd(), 0);
    EXPECT_EQ(port.Ask("*idn?"), "KELM Electronic GmbH,TAV-1600-PS,0612000007,V2.00");
    EXPECT_EQ(port.Ask("*opt?"), "3P CR2 OT1");
    port.Write("SOUR:VOLTAC,230\nOUTP,1\n");
    EXPECT_EQ(port.Ask("meas:volt?"), "230.0V");
    EXPECT_EQ(port.Ask("meas:pow?"), "529.0W"); // cos 60 degrees of 1058 VA

    // A line may arrive in pieces and end in "\r\n".
    port.Write("Sour:volt");
    port.Write("ac?\r");
    port.Write("\n");
    EXPECT_EQ(port.ReadLine(), "230.00000");

    // The unknown line in the middle gets no answer, so the replies stay in step.
    port.Write("Sour:freq?\nBOGUS?\noutp:stat?\n");
    EXPECT_EQ(port.ReadLine(), "50.00000");
    EXPECT_EQ(port.ReadLine(), "1");
    EXPECT_NE(sim_->Stderr().find("unknown line \"BOGUS?\""), std::string::npos);
}

TEST_F(TavsimProcess, SequenceTransferReadsBack)
{
    ASSERT_NO_FATAL_FAILURE(Start({}));
    TtyClient port(link_);
    ASSERT_GE(port.Fd(), 0);
    // Written in one go, as the program does: commands get no answer, so nothing comes back
    // until the first query.
    port.Write("SEQ:TIME,00.00.05.000\nSEQ:VAL3,50\nSEQ:VAL1,230\nSEQ:VAL2,0\nSEQ:NEW,4\r\n"
               "SEQ:TIME,00.00.02.500\nSEQ:VAL3,60\nSEQ:VAL1,abc\nSEQ:VAL2,2.5\nSEQ:SET,uac\n"
               "SEQ:SET,255\nSEQ:CNT,3\nSEQ:GO,3\n");
    EXPECT_EQ(port.Ask("SEQ:ROWS?"), "3");
    EXPECT_EQ(port.Ask("SEQ:ROW?,1"), "00.00.05.000;50;230;0;4");
    EXPECT_EQ(port.Ask("SEQ:ROW? 2"), "00.00.02.500;60;abc;2.5;uac");
    EXPECT_EQ(port.Ask("SEQ:ROW?,3"), "00.00.02.500;60;abc;2.5;255");
    // A row that does not exist still answers, with an empty line, so the replies stay in step.
    port.Write("SEQ:ROW?,4\nSEQ:CNT?\nSEQ:RUN?\n");
    EXPECT_EQ(port.ReadLine(), "");
    EXPECT_EQ(port.ReadLine(), "3");
    EXPECT_EQ(port.ReadLine(), "1");
    port.Write("SEQ:STOP,\n");
    EXPECT_EQ(port.Ask("SEQ:RUN?"), "0");
    EXPECT_EQ(port.Ask("outp:stat?"), "0");
    EXPECT_EQ(sim_->Stderr().find("SEQ:"), std::string::npos) << sim_->Stderr();
}

TEST_F(TavsimProcess, PortCanBeLockedClosedAndReopened)
{
    ASSERT_NO_FATAL_FAILURE(Start({}));
    for (int round = 0; round < 3; ++round) {
        TtyClient port(link_);
        ASSERT_GE(port.Fd(), 0);
        // The program claims the port for itself; tavsim must not hold a lock against it.
        EXPECT_EQ(ioctl(port.Fd(), TIOCEXCL), 0);
        EXPECT_EQ(flock(port.Fd(), LOCK_EX | LOCK_NB), 0) << strerror(errno);
        EXPECT_EQ(port.Ask("outp:stat?"), "0") << "round " << round;
    }
    // With no client on the line, tavsim's own hold on the terminal is what spares its side
    // the hang-up.
    EXPECT_TRUE(sim_->Alive());
    EXPECT_TRUE(sim_->HasOpen(fs::read_symlink(link_)));
}

TEST_F(TavsimProcess, LogsEveryLineWithItsMonotonicTime)
{
    const fs::path log = dir_ / "lines.log";
    ASSERT_NO_FATAL_FAILURE(Start({"--log", log.string()}));
    const int64_t before = MonotonicMicroseconds();
    TtyClient port(link_);
    port.Write("*idn?\r\nSOUR:VOLTAC,12\nbogus\n");
    EXPECT_EQ(port.ReadLine().substr(0, 4), "KELM");
    EXPECT_EQ(port.Ask("Sour:voltac?"), "12.00000");
    const int64_t after = MonotonicMicroseconds();

    const std::vector<std::string> sent = {"*idn?", "SOUR:VOLTAC,12", "bogus", "Sour:voltac?"};
    std::istringstream records(ReadFile(log));
    std::string record;
    int64_t previous = before;
    std::size_t count = 0;
    const std::regex format(R"((\d+)\t(.*))");
    while (std::getline(records, record)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(record, match, format)) << record;
        ASSERT_LT(count, sent.size()) << record;
        EXPECT_EQ(match[2], sent[count]);
        const int64_t stamp = std::stoll(match[1]);
        EXPECT_GE(stamp, previous);
        EXPECT_LE(stamp, after);
        previous = stamp;
        ++count;
    }
    EXPECT_EQ(count, sent.size());
}

TEST_F(TavsimProcess, NoStatusLeavesTheStatusQueryUnanswered)
{
    ASSERT_NO_FATAL_FAILURE(Start({"--no-status"}));
    TtyClient port(link_);
    port.Write("*tav?\n*opt?\n");
    EXPECT_EQ(port.ReadLine(), "");
    EXPECT_EQ(port.Ask("outp:stat?"), "0");
}

TEST_F(TavsimProcess, FixedAnswersStandInForTheModel)
{
    ASSERT_NO_FATAL_FAILURE(Start({"--options", "3P", "--answer", "meas2:volt?=231.5V", "--answer",
                                   "SOUR3:PHAS?=a=b", "--answer", "*tav?="}));
    TtyClient port(link_);
    EXPECT_EQ(port.Ask("MEAS2:VOLT?"), "231.5V");
    EXPECT_EQ(port.Ask("Sour3:phas?"), "a=b");
    EXPECT_EQ(port.Ask("*tav?"), "");
    // Everything else still comes from the model, and commands still act on it.
    EXPECT_EQ(port.Ask("meas3:volt?"), "0.000V");
    port.Write("SOUR3:PHAS,90\n");
    EXPECT_EQ(port.Ask("Sour3:phas?"), "a=b");
    EXPECT_EQ(port.Ask("Sour2:phas?"), "120.00000");
}

TEST_F(TavsimProcess, MeterPersonality)
{
    ASSERT_NO_FATAL_FAILURE(Start({"--meter"}));
    TtyClient port(link_);
    EXPECT_EQ(port.Ask("*idn?"), "SIM,Voltmeter,0,1.0");
    port.Write(":SENS:FUNC 'VOLT:AC'\n");
    EXPECT_EQ(port.Ask("READ?"), "+2.30000000E+02");
}

TEST_F(TavsimProcess, MeterAnswersTheReadingItWasGiven)
{
    ASSERT_NO_FATAL_FAILURE(Start({"--meter", "--reading", "-12.25"}));
    TtyClient port(link_);
    EXPECT_EQ(port.Ask("READ?"), "-1.22500000E+01");
    EXPECT_EQ(port.Ask("MEAS:VOLT:AC?"), "-1.22500000E+01");
}

TEST_F(TavsimProcess, RemovesItsLinkOnTerminationSignals)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        ASSERT_NO_FATAL_FAILURE(Start({}));
        {
            TtyClient port(link_);
            EXPECT_EQ(port.Ask("outp:stat?"), "0");
            EXPECT_TRUE(ExitedWith(sim_->StopWith(signal), 0)) << strsignal(signal);
        }
        EXPECT_FALSE(fs::is_symlink(link_)) << strsignal(signal);
    }
}

TEST_F(TavsimProcess, EndsWithItsParentOnlyWhenAsked)
{
    // A parent that dies without a word, like a crashing test binary or a shell that is gone. We
    // adopt its orphans, so the simulator becomes our child once the parent is gone and we see
    // how it ended, or that it still serves.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (const bool withParent : {true, false}) {
        SCOPED_TRACE(withParent ? "--exit-with-parent" : "started by hand");
        int pidPipe[2];
        ASSERT_EQ(pipe(pidPipe), 0);
        std::vector<std::string> words = {kTavsimPath, "--link", link_.string()};
        if (withParent)
            words.push_back("--exit-with-parent");
        std::vector<char*> argv;
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        const pid_t parent = fork();
        ASSERT_GE(parent, 0);
        if (parent == 0) {
            pid_t sim = -1;
            posix_spawn(&sim, kTavsimPath, nullptr, nullptr, argv.data(), environ);
            [[maybe_unused]] const ssize_t n = write(pidPipe[1], &sim, sizeof sim);
            for (;;)
                pause();
        }
        close(pidPipe[1]);
        pid_t sim = -1;
        ASSERT_EQ(read(pidPipe[0], &sim, sizeof sim), static_cast<ssize_t>(sizeof sim));
        close(pidPipe[0]);
        ASSERT_GT(sim, 0);
        EXPECT_TRUE(WaitUntil([&] { return fs::exists(link_); }));

        // Once the parent is reaped, the simulator has been handed to us and sent its signal.
        kill(parent, SIGKILL);
        waitpid(parent, nullptr, 0);
        int status = 0;
        pid_t gone = 0;
        if (!withParent) {
            // It handles a signal before the next line, so an answer now means it stays.
            TtyClient port(link_);
            EXPECT_EQ(port.Ask("outp:stat?"), "0");
            gone = waitpid(sim, &status, WNOHANG);
            EXPECT_EQ(gone, 0) << "tavsim ended with its parent";
            kill(sim, SIGTERM);
        }
        const bool ended =
            gone == sim || WaitUntil([&] { return waitpid(sim, &status, WNOHANG) == sim; });
        if (!ended) {
            kill(sim, SIGKILL);
            waitpid(sim, nullptr, 0);
        }
        ASSERT_TRUE(ended) << "tavsim outlived its parent";
        EXPECT_TRUE(ExitedWith(status, 0));
        EXPECT_FALSE(fs::is_symlink(link_));
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(TavsimProcess, LinkPathHandling)
{
    // A link left behind by a killed run is taken over.
    fs::create_symlink("/dev/pts/does-not-exist", link_);
    ASSERT_NO_FATAL_FAILURE(Start({}));
    TtyClient port(link_);
    EXPECT_EQ(port.Ask("outp:stat?"), "0");

    // Anything else at that name is left alone.
    const fs::path file = dir_ / "precious";
    std::ofstream(file) << "keep me";
    Tavsim refused(dir_, {"--link", file.string()});
    EXPECT_TRUE(ExitedWith(refused.Exit(), 1));
    EXPECT_EQ(ReadFile(file), "keep me");
}

TEST_F(TavsimProcess, ServesAnExistingTty)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(master, 0);
    TtyClient port(master);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    Tavsim sim(dir_, {"--device", ptsname(master), "--model", "TAV-3000-PS"});
    // Only once tavsim has put the tty into raw mode may we talk, or the line would echo.
    ASSERT_TRUE(WaitUntil([&] { return sim.Stderr().find("serving") != std::string::npos; }))
        << sim.Stderr();
    EXPECT_EQ(port.Ask("*idn?"), "KELM Electronic GmbH,TAV-3000-PS,0505000120,V2.00");
}

TEST(TavsimCommandLine, HelpAndRefusedArguments)
{
    TempDir dir;
    {
        Tavsim help(dir, {"--help"});
        EXPECT_TRUE(ExitedWith(help.Exit(), 0));
        const std::string usage = help.Stdout();
        for (const char* option :
             {"--link", "--device", "--model", "--options", "--revision", "--serial", "--load-ohm",
              "--load-phase", "--delay-ms", "--no-status", "--log", "--meter", "--reading",
              "--answer", "--exit-with-parent", "SEQ:ROWS?", "SEQ:ROW?,n", "SEQ:CNT?", "SEQ:RUN?"})
            EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
    const std::string link = (dir / "ttyTAV").string();
    const std::vector<std::vector<std::string>> refused = {
        {"--bogus", "--link", link},
        {"--model", "TAV-1600-PS"},
        {"--link", link, "--device", "/dev/null"},
        {"--link", link, "--delay-ms", "soon"},
        {"--link", link, "--load-ohm", "0"},
        {"--link", link, "--load-phase", "90.5"},
        {"--link", link, "--load-phase", "30deg"},
        {"--link", link, "--log"},
        {"--link", link, "--meter=1"},
        {"--link", link, "--meter", "--reading", "12V"},
        {"--link", link, "--answer", "*idn?"},
        {"--link", link, "--answer", "=x"},
    };
    for (const auto& args : refused) {
        Tavsim sim(dir, args);
        EXPECT_TRUE(ExitedWith(sim.Exit(), 2)) << args[0] << " " << args.back();
        EXPECT_FALSE(fs::is_symlink(link)) << args[0] << " " << args.back();
    }
}

} // namespace
