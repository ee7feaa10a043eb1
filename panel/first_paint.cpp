#include "panel/first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kNoPaintMs = 1000;

class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget& window, std::function<void()> work)
        : QObject(&window), m_work(std::move(work))
    {
        window.installEventFilter(this);
        QTimer::singleShot(kNoPaintMs, this, [this] { Run(); });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_queued) {
            m_queued = true;
            QTimer::singleShot(0, this, [this] { Run(); });
        }
        return false;
    }

private:
    void Run()
    {
        if (!m_work)
            return;
        const std::function<void()> work = std::move(m_work);
        m_work = nullptr;
        deleteLater();
        work();
    }

    std::function<void()> m_work;
    bool m_queued = false;
};

} // namespace

void AfterFirstPaint(QWidget& window, std::function<void()> work)
{
    new FirstPaintWatch(window, std::move(work));
}
