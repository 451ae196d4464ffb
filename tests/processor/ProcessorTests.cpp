#include "PluginProcessor.h"

#include <gtest/gtest.h>

TEST (Processor, ConstructsWithNineParameters)
{
    KorvelAudioProcessor processor;
    EXPECT_EQ (processor.getParameters().size(), 9);
}
