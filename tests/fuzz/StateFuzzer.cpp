#include "PluginProcessor.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace juce
{
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace
{
constexpr int blockSize = 64;

void playOneBlock (KorvelAudioProcessor& processor)
{
    juce::AudioBuffer<float> buffer (2, blockSize);

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < blockSize; ++i)
            buffer.setSample (channel, i, std::sin (0.3f * static_cast<float> (i)));

    juce::MidiBuffer midi;
    processor.processBlock (buffer, midi);

    // Whatever a saved project holds, the parameters stay in range and the sound finite.
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < blockSize; ++i)
            if (! std::isfinite (buffer.getSample (channel, i)))
                std::abort();
}

// What a restore accepted must come back out as a block that restores again.
void saveAndReadBack (KorvelAudioProcessor& processor)
{
    juce::MemoryBlock saved;
    processor.getStateInformation (saved);

    if (juce::AudioProcessor::getXmlFromBinary (saved.getData(), static_cast<int> (saved.getSize())) == nullptr)
    {
        const auto text = juce::String::fromUTF8 (static_cast<const char*> (saved.getData()) + 8,
                                                  static_cast<int> (saved.getSize()) - 9);
        std::fprintf (stderr, "Saved block does not read back: %s\n", text.toRawUTF8());
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size);

// The framework is never shut down: statics that the first processors create are destroyed
// at exit before any scoped initialiser could be, and its shutdown would then free them again.
extern "C" int LLVMFuzzerInitialize (int*, char***)
{
    juce::initialiseJuce_GUI();
    return 0;
}

// Each input is restored into a fresh, prepared processor, as a host reopening a project
// does; a block is played, the state saved, and the gain link's pending work delivered.
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size)
{
    KorvelAudioProcessor processor;
    processor.setRateAndBufferSizeDetails (48000.0, blockSize);
    processor.prepareToPlay (48000.0, blockSize);

    processor.setStateInformation (data, static_cast<int> (juce::jmin (size, static_cast<std::size_t> (INT_MAX))));

    playOneBlock (processor);
    saveAndReadBack (processor);

    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }

    return 0;
}
