#pragma once

#include <QString>

// A message on the desktop outside the window; the app sends freedesktop notifications, tests
// record them.
class Notifier
{
public:
    virtual ~Notifier() = default;
    // Must not block and must fail silently: a missing notification service is not an error.
    virtual void notify(const QString &summary, const QString &body) = 0;
};
