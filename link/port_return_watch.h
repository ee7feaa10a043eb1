#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class QSocketNotifier;

// Waits for the device of a lost port to come back: a USB adapter plugged in again or
// re-enumerated, a simulator started again on the same link. It watches, with inotify, the
// folders on the way to the device (the COMn link's, the folder of every link it leads through,
// the device's own, or the nearest one that exists), so nothing is polled while nothing
// changes; where inotify cannot be had, the path is looked at every second.
class PortReturnWatch : public QObject {
public:
    static constexpr int kLimitMs = 10 * 60 * 1000;
    static constexpr int kCheckMs = 1000;

    explicit PortReturnWatch(QObject* parent = nullptr);
    ~PortReturnWatch() override;

    // tryBack opens the port again and says whether that worked; it is called after every
    // change in the watched folders (and once a second after the start, in case the device came
    // back before the watch began), until it succeeds or limitMs have passed.
    // devicePaths: where the device may appear (the COMn link, the fallback tty).
    void Start(const std::vector<std::string>& devicePaths, std::function<bool()> tryBack,
               int limitMs = kLimitMs);
    void Stop();
    bool Watching() const { return static_cast<bool>(m_tryBack); }
    // Whether the folders are watched (else the path is looked at every second).
    bool Notified() const { return m_notifier != nullptr; }

    // The folders watched for a device path, in the order met.
    static std::vector<std::string> FoldersOnTheWay(const std::string& devicePath);

private:
    void WatchFolders();
    void Changed();
    void Check();

    std::vector<std::string> m_paths;
    std::function<bool()> m_tryBack;
    int m_inotify = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_check;
    QTimer m_limit;
};
