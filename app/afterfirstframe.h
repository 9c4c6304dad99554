#pragma once

#include <functional>

class QWidget;

// Runs `work` once, from the event loop, right after `widget` has been painted for the first
// time, so start-up work the first frame does not show cannot hold that frame up. A widget
// that is shown but never painted (a window started minimised) gets it after a short while.
void runAfterFirstFrame(QWidget *widget, std::function<void()> work);
