#include "tests/export/calc_instance.h"

#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

CalcInstance::CalcInstance(std::string pipeName, std::string profileDir)
    : m_pipe(std::move(pipeName))
{
    const std::string soffice = std::string(TAV_LIBREOFFICE_PROGRAM_DIR) + "/soffice";
    const std::string accept = "--accept=pipe,name=" + m_pipe + ";urp;";
    const std::string profile = "-env:UserInstallation=file://" + profileDir;
    const char* const argv[] = {soffice.c_str(), "--headless", "--invisible", "--norestore",
                                "--nologo", "--nodefault", accept.c_str(), profile.c_str(),
                                nullptr};
    m_pid = fork();
    if (m_pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    if (m_pid > 0)
        setpgid(m_pid, m_pid);
}

CalcInstance::~CalcInstance()
{
    if (m_pid <= 0)
        return;
    // soffice, oosplash and soffice.bin share the group.
    kill(-m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
}

