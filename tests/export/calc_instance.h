#pragma once

#include <string>
#include <sys/types.h>

// A headless LibreOffice of the test's own: its own UNO pipe and user profile, so tests running
// side by side never share an instance. Started in a process group of its own, which the
// destructor ends entirely.
class CalcInstance {
public:
    CalcInstance(std::string pipeName, std::string profileDir);
    ~CalcInstance();
    CalcInstance(const CalcInstance&) = delete;
    CalcInstance& operator=(const CalcInstance&) = delete;

    const std::string& PipeName() const { return m_pipe; }
    bool Started() const { return m_pid > 0; }

private:
    std::string m_pipe;
    pid_t m_pid = -1;
};
