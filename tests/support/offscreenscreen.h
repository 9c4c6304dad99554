#pragma once

#include <QString>

// A QT_QPA_PLATFORM value for the offscreen platform with one screen of the given size in
// device pixels; its configuration file is written into `folder`.
QString offscreenWithScreen(const QString &folder, int width, int height);
