#pragma once

#include <juce_events/juce_events.h>

#include <chrono>
#include <thread>

namespace juce
{
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace korvel::test
{
// The framework's runDispatchLoopUntil exists only where modal loops are permitted, which a
// plug-in build does not allow; this is the one step it repeats, declared as the framework's
// own message manager declares it.
inline void runMessageLoopFor (int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds (milliseconds);

    do
    {
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            std::this_thread::sleep_for (std::chrono::milliseconds (1));
    }
    while (std::chrono::steady_clock::now() < end);
}

// Runs the message loop until the condition holds. The limit only stops a hung test; no
// result depends on how long the loop ran.
template <typename Condition>
bool runMessageLoopUntil (Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (20);

    while (! condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;

        runMessageLoopFor (1);
    }

    return true;
}
} // namespace korvel::test
