#include "MessageLoop.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

// Batch tools and hosts may create processors without ever starting a JUCE message manager;
// a processor must still go away when they are done with it. This program starts none but
// for the one test that needs it.
namespace
{
// Ends the program when the step hangs, so that the suite fails instead of stalling.
template <typename Step>
void expectReturns (const char* what, Step step)
{
    std::promise<void> returned;
    std::thread watchdog ([what, done = returned.get_future()]
                          {
                              if (done.wait_for (std::chrono::seconds (8)) == std::future_status::timeout)
                              {
                                  std::fprintf (stderr, "Hung: %s did not return within 8 s\n", what);
                                  std::_Exit (EXIT_FAILURE);
                              }
                          });
    step();
    returned.set_value();
    watchdog.join();
}
} // namespace

TEST (Teardown, ReturnsWhereNoMessageManagerExists)
{
    ASSERT_EQ (juce::MessageManager::getInstanceWithoutCreating(), nullptr);

    expectReturns ("destruction without a message manager", [] { KorvelAudioProcessor processor; });

    // The framework's timer thread goes as it would at a shutdown, which nothing here calls.
    juce::DeletedAtShutdown::deleteAll();
}

// A host may destroy the plug-in on its own thread while the message thread is inside the
// parameter flush or the gain mirror, so destruction waits until that thread answers.
TEST (Teardown, WaitsForTheMessageThreadWhereOneExists)
{
    const juce::ScopedJuceInitialiser_GUI juce;

    expectReturns ("destruction on a second thread while the message loop runs", []
                   {
                       auto processor = std::make_unique<KorvelAudioProcessor>();
                       std::atomic<bool> destroyed { false };
                       std::thread host ([&] { processor.reset(); destroyed = true; });

                       std::this_thread::sleep_for (std::chrono::milliseconds (100));
                       EXPECT_FALSE (destroyed);
                       korvel::test::runMessageLoopUntil ([&] { return destroyed.load(); });
                       host.join();
                   });
}
