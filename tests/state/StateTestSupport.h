#pragma once

#include "MessageLoop.h"
#include "ParameterAccess.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <thread>
#include <vector>

// Drives a processor the way a host and its plug-in adapter do: parameter changes through
// the parameter objects, state blocks as raw bytes, and the message loop run by hand.
namespace korvel::test
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 256;

// A gain's position on its 0.01 dB grid, 0 at -24 dB: the grid points are not exact negations
// of each other in float arithmetic, but their indices are.
inline int gainStep (float gainDb)
{
    return juce::roundToInt ((gainDb + 24.0f) * 100.0f);
}

inline bool gainsMirrored (KorvelAudioProcessor& processor)
{
    return gainStep (plainValue (processor, "input")) == 4800 - gainStep (plainValue (processor, "output"));
}

inline void prepareLikeHost (KorvelAudioProcessor& processor)
{
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
}

inline juce::AudioBuffer<float> makeSine (int numSamples, int startSample)
{
    juce::AudioBuffer<float> buffer (2, numSamples);

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < numSamples; ++i)
            buffer.setSample (channel, i, 0.5f * std::sin (0.05f * static_cast<float> (startSample + i)));

    return buffer;
}

inline bool allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (channel, i)))
                return false;

    return true;
}

inline juce::MemoryBlock saveState (KorvelAudioProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

inline void restoreState (KorvelAudioProcessor& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), static_cast<int> (block.getSize()));
}

// Builds a block by hand, byte by byte, so no test depends on the writer it checks.
inline juce::MemoryBlock makeBlock (const juce::String& xmlText, juce::uint32 storedLength)
{
    juce::MemoryBlock block;

    {
        juce::MemoryOutputStream out (block, false);
        out.write ("VC2!", 4);
        out.writeInt (static_cast<int> (storedLength));
        out.write (xmlText.toRawUTF8(), xmlText.getNumBytesAsUTF8());
        out.writeByte (0);
    }

    return block;
}

inline juce::MemoryBlock makeBlock (const juce::String& xmlText)
{
    return makeBlock (xmlText, static_cast<juce::uint32> (xmlText.getNumBytesAsUTF8()));
}

inline juce::String paramElement (const juce::String& id, const juce::String& value)
{
    return "<PARAM id=\"" + id + "\" value=\"" + value + "\"/>";
}

inline juce::String stateDocument (const juce::String& children, const juce::String& rootTag = "DistortionPlugin")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <" + rootTag + ">" + children + "</" + rootTag + ">";
}

// Counts what the host hears: every parameter change the processor reports.
class HostParameterLog final : private juce::AudioProcessorListener
{
public:
    explicit HostParameterLog (KorvelAudioProcessor& processorToWatch)
        : processor (processorToWatch)
    {
        processor.addListener (this);
    }

    ~HostParameterLog() override { processor.removeListener (this); }

    int getNumChanges() const noexcept { return numChanges; }

private:
    void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override { ++numChanges; }
    void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    KorvelAudioProcessor& processor;
    std::atomic<int> numChanges { 0 };
};

// Worker threads for the stress tests, finished while this (the message) thread keeps the
// message loop running. A deadlocked worker can never be joined, so the watchdog ends the
// whole program with a failure instead of hanging the run.
class Workers final
{
public:
    ~Workers()
    {
        for (auto& thread : threads)
            if (thread.joinable())
                thread.join();
    }

    void start (std::function<void()> work)
    {
        ++numRunning;
        threads.emplace_back ([this, work = std::move (work)]
        {
            work();
            --numRunning;
        });
    }

    void finishWhilePumpingMessages()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds (120);

        while (numRunning > 0)
        {
            if (std::chrono::steady_clock::now() > deadline)
            {
                std::cerr << "Deadlock: " << numRunning << " worker(s) still running after 120 s" << std::endl;
                std::_Exit (EXIT_FAILURE);
            }

            runMessageLoopFor (2);
        }

        for (auto& thread : threads)
            thread.join();
    }

private:
    std::vector<std::thread> threads;
    std::atomic<int> numRunning { 0 };
};
} // namespace korvel::test
