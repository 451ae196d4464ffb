// Renders every host render case through the processor built into this program, with no
// plug-in format in between, and writes the results for the conformance test to compare:
//
//     korvel_reference_render <output directory>
//
// Each case becomes <name>.f32: 32-bit floats in native byte order, channel after channel.

#include "PluginProcessor.h"
#include "RenderCases.h"

#include <iostream>

namespace
{
juce::AudioBuffer<float> render (const korvel::hosts::RenderCase& renderCase)
{
    KorvelAudioProcessor processor;

    const auto channels = renderCase.numChannels == 1 ? juce::AudioChannelSet::mono()
                                                      : juce::AudioChannelSet::stereo();
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (channels);
    layout.outputBuses.add (channels);
    processor.setBusesLayout (layout);

    for (const auto& setting : renderCase.settings)
    {
        auto* parameter = processor.apvts.getParameter (setting.id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (setting.plainValue));
    }

    processor.setRateAndBufferSizeDetails (korvel::hosts::renderSampleRate, korvel::hosts::renderBlockSize);
    processor.prepareToPlay (korvel::hosts::renderSampleRate, korvel::hosts::renderBlockSize);

    juce::MidiBuffer midi;
    return korvel::hosts::renderCompared (renderCase.numChannels,
                                          [&] (juce::AudioBuffer<float>& block) { processor.processBlock (block, midi); });
}

bool write (const juce::AudioBuffer<float>& output, const juce::File& file)
{
    juce::MemoryBlock data;

    for (int channel = 0; channel < output.getNumChannels(); ++channel)
        data.append (output.getReadPointer (channel), sizeof (float) * static_cast<size_t> (output.getNumSamples()));

    return file.replaceWithData (data.getData(), data.getSize());
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: korvel_reference_render <output directory>\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;
    const juce::File directory (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));

    if (! directory.createDirectory())
    {
        std::cerr << "cannot create " << directory.getFullPathName() << '\n';
        return 1;
    }

    for (const auto& renderCase : korvel::hosts::getRenderCases())
    {
        const auto file = korvel::hosts::referenceFile (directory, renderCase);

        if (! write (render (renderCase), file))
        {
            std::cerr << "cannot write " << file.getFullPathName() << '\n';
            return 1;
        }
    }

    return 0;
}
