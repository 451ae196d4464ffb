#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

// Batch tools and hosts may create processors without ever starting a JUCE message manager;
// a processor must still go away when they are done with it. This program starts none.
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

    expectReturns ("destruction on the main thread", [] { KorvelAudioProcessor processor; });

    expectReturns ("destruction on a second thread", []
                   {
                       auto processor = std::make_unique<KorvelAudioProcessor>();
                       std::thread ([&processor] { processor.reset(); }).join();
                   });

    // The framework's timer thread goes as it would at a shutdown, which nothing here calls.
    juce::DeletedAtShutdown::deleteAll();
}
