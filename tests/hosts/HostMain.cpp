#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

// The conformance program runs as a JUCE host application does. With an application factory
// registered (it is never called), the framework prepares Xlib for threads and installs its
// X error handlers; without them Xlib's default handler ends the process on the first
// harmless error, such as a window-manager atom that a bare X server lacks. The desktop is
// created before any plug-in opens its own X connection, because Xlib must be told about
// threads before anything else in the process uses it.
int main (int argc, char** argv)
{
    juce::JUCEApplicationBase::createInstance = [] () -> juce::JUCEApplicationBase* { return nullptr; };

    ::testing::InitGoogleTest (&argc, argv);
    const juce::ScopedJuceInitialiser_GUI juce;
    juce::Desktop::getInstance();

    return RUN_ALL_TESTS();
}
