// Renders the editor at its default size into a PNG, for the README:
//     korvel_editor_picture resources/editor.png
#include "PluginEditor.h"

#include <iostream>

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: korvel_editor_picture OUTPUT.png\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI juce;

    KorvelAudioProcessor processor;
    processor.setRateAndBufferSizeDetails (48000.0, 512);
    processor.prepareToPlay (48000.0, 512);

    // Settings a user might dial in, so the picture shows the controls away from their ends.
    const std::pair<const char*, float> settings[] = {
        { "input", 6.0f }, { "output", -4.5f }, { "mix", 80.0f }, { "shape", 35.0f },
        { "bias", 20.0f }, { "eq", 1.0f }, { "over", 2.0f }, { "choice", 2.0f }
    };

    for (const auto& [id, value] : settings)
    {
        auto* parameter = processor.apvts.getParameter (id);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    processor.meterLevel.store (0.6f);

    const std::unique_ptr<juce::AudioProcessorEditor> editor (processor.createEditor());
    dynamic_cast<juce::Timer&> (*editor).timerCallback();

    const auto picture = editor->createComponentSnapshot (editor->getLocalBounds());
    const juce::File output (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1]));
    output.deleteFile();

    juce::FileOutputStream stream (output);
    juce::PNGImageFormat png;

    if (! stream.openedOk() || ! png.writeImageToStream (picture, stream))
    {
        std::cerr << "cannot write " << output.getFullPathName() << "\n";
        return 1;
    }

    return 0;
}
