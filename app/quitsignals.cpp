#include "quitsignals.h"

#include "platform.h"

QuitSignals::QuitSignals(std::function<void()> onSignal, QObject *parent) : QObject(parent)
{
    Platform::watchQuitRequests(this, std::move(onSignal));
}

QuitSignals::~QuitSignals()
{
    Platform::stopWatchingQuitRequests();
}
