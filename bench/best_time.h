#pragma once

#include <QElapsedTimer>
#include <algorithm>

// The shortest of several runs of f, in milliseconds: the time the work takes when nothing
// else on the machine gets in its way.
template <typename F> double Best(F f, int times = 5)
{
    double best = 1e9;
    for (int i = 0; i < times; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}
