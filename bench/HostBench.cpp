#include "BlockTimer.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Loads Korvel's VST3 and a peer saturation plug-in from Debian's archive through the
// framework's VST3 hosting, feeds both the same noise block by block, alternating between
// them so that both meet the same CPU speed, and prints Korvel's time over the peer's.
// This program hosts the built plug-in and must not link Korvel's code itself.

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;
constexpr int numChannels = 2;

struct Settings
{
    double measuredSeconds = 10.0;
    // The bundle two levels above the binary that the build wrote.
    juce::String korvelPath = juce::File (KORVEL_VST3_BINARY_DIR).getParentDirectory().getParentDirectory().getFullPathName();
    juce::String peerPath = "/usr/lib/vst3/ZamTube.vst3";
};

std::unique_ptr<juce::AudioPluginInstance> load (const juce::String& path)
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, path);

    if (types.isEmpty())
    {
        std::fprintf (stderr, "No VST3 plug-in found in %s\n", path.toRawUTF8());
        return nullptr;
    }

    juce::String error;
    auto instance = format.createInstanceFromDescription (*types[0], sampleRate, blockSize, error);

    if (instance == nullptr)
    {
        std::fprintf (stderr, "Could not load %s: %s\n", path.toRawUTF8(), error.toRawUTF8());
        return nullptr;
    }

    instance->enableAllBuses();
    instance->prepareToPlay (sampleRate, blockSize);
    return instance;
}

juce::AudioProcessorParameter* findParameter (juce::AudioPluginInstance& instance, const juce::String& name)
{
    for (auto* parameter : instance.getParameters())
        if (parameter->getName (128) == name)
            return parameter;

    return nullptr;
}

// The peer is mono, so one instance per channel gives it the same stereo blocks as Korvel.
class Peer
{
public:
    explicit Peer (const juce::String& path)
    {
        for (int channel = 0; channel < numChannels; ++channel)
            if (auto instance = load (path))
                instances.push_back (std::move (instance));
    }

    ~Peer()
    {
        for (auto& instance : instances)
            instance->releaseResources();
    }

    Peer (const Peer&) = delete;
    Peer& operator= (const Peer&) = delete;

    bool isLoaded() const noexcept { return instances.size() == static_cast<size_t> (numChannels); }

    juce::String getName() const { return instances.front()->getName(); }

    void process (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi)
    {
        for (int channel = 0; channel < numChannels; ++channel)
        {
            auto& instance = *instances[static_cast<size_t> (channel)];
            const auto channels = juce::jmax (instance.getTotalNumInputChannels(), instance.getTotalNumOutputChannels());
            juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers() + channel,
                                           juce::jmin (channels, numChannels - channel), buffer.getNumSamples());
            instance.processBlock (view, midi);
        }
    }

private:
    std::vector<std::unique_ptr<juce::AudioPluginInstance>> instances;
};

void fillWithNoise (juce::AudioBuffer<float>& buffer, juce::Random& random)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (channel, i, 0.7f * (2.0f * random.nextFloat() - 1.0f));
}

bool parseArguments (int argc, char** argv, Settings& settings)
{
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp (argv[i], "--smoke") == 0)
            settings.measuredSeconds = 0.1;
        else if (std::strcmp (argv[i], "--seconds") == 0 && i + 1 < argc)
            settings.measuredSeconds = std::atof (argv[++i]);
        else if (std::strcmp (argv[i], "--korvel") == 0 && i + 1 < argc)
            settings.korvelPath = argv[++i];
        else if (std::strcmp (argv[i], "--peer") == 0 && i + 1 < argc)
            settings.peerPath = argv[++i];
        else
        {
            std::fprintf (stderr, "usage: %s [--smoke] [--seconds S] [--korvel BUNDLE.vst3] [--peer BUNDLE.vst3]\n", argv[0]);
            return false;
        }
    }

    return true;
}
} // namespace

int main (int argc, char** argv)
{
    Settings settings;

    if (! parseArguments (argc, argv, settings))
        return 2;

    const juce::ScopedJuceInitialiser_GUI juce;
    auto korvel = load (settings.korvelPath);
    Peer peer (settings.peerPath);

    if (korvel == nullptr || ! peer.isLoaded())
        return 1;

    auto* over = findParameter (*korvel, "Oversampling");

    if (over == nullptr)
    {
        std::fprintf (stderr, "Korvel has no \"Oversampling\" parameter\n");
        return 1;
    }

    std::printf ("Korvel (VST3, Tape, defaults) against %s (VST3, one instance per channel),\n"
                 "48 kHz stereo, blocks of %d, %.2f s of audio per order\n\n",
                 peer.getName().toRawUTF8(), blockSize, settings.measuredSeconds);
    std::printf ("%-4s %16s %16s %14s\n", "over", "Korvel ns/frame", "peer ns/frame", "Korvel / peer");

    juce::AudioBuffer<float> input (numChannels, blockSize), buffer (numChannels, blockSize);
    juce::MidiBuffer midi;
    juce::Random random (0x5eed);
    const auto numBlocks = juce::jmax (1, static_cast<int> (settings.measuredSeconds * sampleRate / blockSize));
    const auto warmUpBlocks = juce::jmax (2, numBlocks / 10);

    for (int order = 0; order <= 4; ++order)
    {
        // "over" is an integer parameter from 0 to 4, so its normalised value is order / 4.
        over->setValueNotifyingHost (static_cast<float> (order) / 4.0f);

        BlockTimer korvelTimer (static_cast<size_t> (numBlocks)), peerTimer (static_cast<size_t> (numBlocks));

        for (int block = -warmUpBlocks; block < numBlocks; ++block)
        {
            fillWithNoise (input, random);

            const auto measuring = block >= 0;

            buffer.makeCopyOf (input, true);
            const auto processKorvel = [&] { korvel->processBlock (buffer, midi); };

            if (measuring)
                korvelTimer.time (processKorvel);
            else
                processKorvel();

            buffer.makeCopyOf (input, true);
            const auto processPeer = [&] { peer.process (buffer, midi); };

            if (measuring)
                peerTimer.time (processPeer);
            else
                processPeer();
        }

        const auto korvelNs = korvelTimer.summarise (blockSize, sampleRate).nanosecondsPerFrame;
        const auto peerNs = peerTimer.summarise (blockSize, sampleRate).nanosecondsPerFrame;
        std::printf ("%-4d %16.1f %16.1f %14.2f\n", order, korvelNs, peerNs, korvelNs / peerNs);
        std::fflush (stdout);
    }

    return 0;
}
