#include "tests/export/calc_instance.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

CalcInstance::CalcInstance(std::string pipeName, std::string profileDir)
    : m_pipe(std::move(pipeName))
{
    // An office of an earlier run that was killed before its destructor ran (soffice.bin
    // outlives its starter) is ended first.
    KillOfficesOnPipes(m_pipe.substr(0, m_pipe.find_last_not_of("0123456789") + 1), IsNotRunning);
    const std::string soffice = TAV_LIBREOFFICE_PROGRAM_DIR "/soffice";
    const std::string accept = "--accept=pipe,name=" + m_pipe + ";urp;";
    const std::string profile = "-env:UserInstallation=file://" + profileDir;
    const char* const argv[] = {soffice.c_str(), "--headless",    "--invisible",
                                "--norestore",   "--nologo",      "--nodefault",
                                accept.c_str(),  profile.c_str(), nullptr};
    m_pid = fork();
    if (m_pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        // Not even stderr stays the test's: an office that outlives a crashed test would hold
        // ctest's pipe open and keep it waiting.
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    if (m_pid > 0)
        setpgid(m_pid, m_pid);
}

std::string CalcInstance::Ended()
{
    int status = 0;
    if (m_pid <= 0)
        return "not started";
    if (m_ended.empty() && waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_ended = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                    : "signal " + std::to_string(WTERMSIG(status));
        // The group may still hold a half-started soffice.bin.
        kill(-m_pid, SIGKILL);
    }
    return m_ended;
}

CalcInstance::~CalcInstance()
{
    if (m_pid <= 0 || !m_ended.empty())
        return;
    // soffice, oosplash and soffice.bin share the group.
    kill(-m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
}

namespace {

std::string CommandLine(const std::string& procEntry)
{
    std::string text;
    const int fd = open(("/proc/" + procEntry + "/cmdline").c_str(), O_RDONLY);
    if (fd < 0)
        return text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

} // namespace

bool IsThisProcess(pid_t owner) { return owner == getpid(); }

bool IsNotRunning(pid_t owner) { return kill(owner, 0) != 0 && errno == ESRCH; }

std::vector<pid_t> OfficesOnPipes(const std::string& prefix, bool (*owned)(pid_t owner))
{
    const std::string key = "pipe,name=" + prefix;
    std::vector<pid_t> offices;
    DIR* proc = opendir("/proc");
    if (!proc)
        return offices;
    while (const dirent* entry = readdir(proc)) {
        const std::string name = entry->d_name;
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string line = CommandLine(name);
        const size_t at = line.find(key);
        if (at == std::string::npos || (line.find("soffice") == std::string::npos &&
                                        line.find("oosplash") == std::string::npos))
            continue;
        const pid_t owner = static_cast<pid_t>(std::atol(line.c_str() + at + key.size()));
        if (owner > 0 && owned(owner))
            offices.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    closedir(proc);
    return offices;
}

int KillOfficesOnPipes(const std::string& prefix, bool (*owned)(pid_t owner))
{
    int killed = 0;
    for (const pid_t office : OfficesOnPipes(prefix, owned))
        if (kill(office, SIGKILL) == 0)
            ++killed;
    return killed;
}

std::string FileOf(pid_t process, int fd)
{
    char target[4096];
    const std::string link = "/proc/" + std::to_string(process) + "/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}
