#pragma once

#include <functional>

class QWidget;

// Runs work once the window has been painted for the first time (at the next turn of the event
// loop after its first paint, so the picture is complete), or after a second when no paint comes
// (a window that is never exposed). Start-up work the first window does not need goes here, so
// the window never waits for it.
void AfterFirstPaint(QWidget& window, std::function<void()> work);
