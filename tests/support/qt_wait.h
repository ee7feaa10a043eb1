#pragma once

#include <functional>

// Runs the event loop until the condition holds or the time-out (a failure bound, generous on a
// loaded machine) passes. Returns the condition's last value.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// Runs the event loop for the given time (to let something that must NOT happen have its chance).
void PumpEvents(int ms);

// Waits like WaitUntil without running the event loop: for another thread to reach a state while
// this one stands still, as a busy user-interface thread would.
bool WaitWithoutEvents(const std::function<bool()>& condition, int timeoutMs = 20000);
