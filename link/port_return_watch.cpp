#include "link/port_return_watch.h"

#include <QSocketNotifier>
#include <algorithm>
#include <climits>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A folder that is gone (udev removes /dev/serial/by-id with the last adapter) is watched
// through the nearest one above it that exists.
std::string ExistingFolder(std::string folder)
{
    struct stat st {};
    while (folder != "/" && folder != "." && stat(folder.c_str(), &st) != 0)
        folder = FolderOf(folder);
    return folder;
}

} // namespace

PortReturnWatch::PortReturnWatch(QObject* parent) : QObject(parent)
{
    m_check.setInterval(kCheckMs);
    m_limit.setSingleShot(true);
    connect(&m_check, &QTimer::timeout, this, &PortReturnWatch::Check);
    connect(&m_limit, &QTimer::timeout, this, &PortReturnWatch::Stop);
}

PortReturnWatch::~PortReturnWatch() { Stop(); }

std::vector<std::string> PortReturnWatch::FoldersOnTheWay(const std::string& devicePath)
{
    std::vector<std::string> folders;
    std::string name = devicePath;
    // Links lead on (COMn -> /dev/serial/by-id/... -> ../../ttyUSB0); a loop ends the walk.
    for (int hop = 0; hop < 8 && !name.empty(); ++hop) {
        const std::string folder = FolderOf(name);
        const std::string watched = ExistingFolder(folder);
        if (std::find(folders.begin(), folders.end(), watched) == folders.end())
            folders.push_back(watched);
        if (watched != folder)
            break; // nothing further exists
        char target[PATH_MAX];
        const ssize_t n = readlink(name.c_str(), target, sizeof target - 1);
        if (n <= 0)
            break;
        const std::string next(target, static_cast<size_t>(n));
        name = next.front() == '/' ? next : folder + "/" + next;
    }
    return folders;
}

void PortReturnWatch::Start(const std::vector<std::string>& devicePaths,
                            std::function<bool()> tryBack, int limitMs)
{
    Stop();
    m_paths = devicePaths;
    m_tryBack = std::move(tryBack);
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify >= 0) {
        m_notifier = new QSocketNotifier(m_inotify, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PortReturnWatch::Changed);
        WatchFolders();
        // A device that came back before the folders were watched is found by one late look.
        QTimer::singleShot(kCheckMs, this, [this] {
            if (Watching() && Notified())
                Check();
        });
    } else {
        m_check.start();
    }
    m_limit.start(limitMs);
}

void PortReturnWatch::Stop()
{
    m_tryBack = nullptr;
    m_check.stop();
    m_limit.stop();
    if (m_notifier) {
        // Stop may run inside the notifier's own signal: it goes once that has returned.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_inotify >= 0)
        close(m_inotify); // takes its watches with it
    m_inotify = -1;
}

void PortReturnWatch::WatchFolders()
{
    // Adding a folder watched already only renews its watch; folders that appeared since are
    // added, so the walk goes on as the device's links come back one by one.
    int watched = 0;
    for (const std::string& path : m_paths)
        for (const std::string& folder : FoldersOnTheWay(path))
            if (inotify_add_watch(m_inotify, folder.c_str(),
                                  IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE) >= 0)
                ++watched;
    if (watched == 0 && !m_check.isActive())
        m_check.start();
}

void PortReturnWatch::Changed()
{
    char events[4096];
    while (read(m_inotify, events, sizeof events) > 0) {
    }
    WatchFolders();
    Check();
}

void PortReturnWatch::Check()
{
    if (!m_tryBack)
        return;
    // The callback may start another watch or stop this one; it runs from a copy.
    const std::function<bool()> tryBack = m_tryBack;
    if (tryBack() && m_tryBack)
        Stop();
}
