#pragma once

#include <exception>
#include <functional>

// The core's event handling for a caller that runs no Qt event loop of its own (a Python
// script): the application object made when there is none, and waits that hand over the
// ports' received lines as the program's event loop does.

// Makes the QCoreApplication when none exists yet; it lives until the process ends.
void EnsureCoreApplication();

enum class WaitEnd { Ready, TimedOut, Interrupted };

// Handles events until ready() holds or timeoutMs has passed (negative: no limit), waking at
// least every 50 ms to ask interrupted(). Each event is handled as it comes, so a reply is taken
// the moment its port hands it over.
WaitEnd WaitForEvents(const std::function<bool()>& ready, int timeoutMs,
                      const std::function<bool()>& interrupted);

// Handles what is already waiting, without blocking.
void HandlePendingEvents();

// A wait was broken off: interrupted() said so (a signal in the script).
class WaitInterrupted : public std::exception {};
