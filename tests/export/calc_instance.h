#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A headless LibreOffice of the test's own: its own UNO pipe and user profile, so tests running
// side by side never share an instance. The pipe name is a prefix followed by the owner's
// process id. Started in a process group of its own, which the destructor ends entirely.
class CalcInstance {
public:
    CalcInstance(std::string pipeName, std::string profileDir);
    ~CalcInstance();
    CalcInstance(const CalcInstance&) = delete;
    CalcInstance& operator=(const CalcInstance&) = delete;

    const std::string& PipeName() const { return m_pipe; }
    bool Started() const { return m_pid > 0; }
    // Empty while the office runs; once it has ended, how ("exit status 1", "signal 6").
    std::string Ended();

private:
    std::string m_pipe;
    pid_t m_pid = -1;
    std::string m_ended;
};

// Kills every soffice (and oosplash) process of this user whose command line accepts on a pipe
// whose name starts with the prefix and continues with the id of a process for which `gone(id)`
// holds. The program starts Calc detached, so a test that made it start one ends it this way; an
// instance left by a test run that was killed is found by its dead owner's id. Returns how many
// processes were killed.
int KillOfficesOnPipes(const std::string& prefix, bool (*gone)(pid_t owner));
// The soffice and oosplash processes KillOfficesOnPipes would kill.
std::vector<pid_t> OfficesOnPipes(const std::string& prefix, bool (*owned)(pid_t owner));
// What the process has open as that descriptor ("pipe:[…]", a path), empty when nothing.
std::string FileOf(pid_t process, int fd);

// The pipe's owner is this process: every match is killed.
bool IsThisProcess(pid_t owner);
// The pipe's owner no longer runs.
bool IsNotRunning(pid_t owner);
