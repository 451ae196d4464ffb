// Renders Korvel in Debian's Ardour 7, once as VST3 and once as LV2: the headless Lua
// session tool runs ardour/render-session.lua with the Dummy backend, a sine generator
// feeds the plug-in on an audio track, and each export is checked here.

#include "ExpectedParameters.h"
#include "PluginLocations.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <map>

using namespace korvel::hosts;

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int renderSeconds = 2;
constexpr double generatorFrequency = 1000.0;
constexpr double generatorLevelDb = -12.0;
constexpr auto exportPreset = "1c9e7b3a-58f2-4e61-a0d4-7b2c9f3e6d15";
constexpr auto exportedMarker = "render-session: exported";
constexpr int attemptsPerRender = 5;

struct Render
{
    juce::String name;
    bool korvelActive;
    float algorithm;
    float inputDb;
    float outputDb;
};

// Each render sets every parameter. "generator" runs with Korvel switched off by Ardour.
const std::vector<Render>& getRenders()
{
    static const std::vector<Render> renders { { "generator", false, 4.0f, 0.0f, 0.0f },
                                               { "bypass", true, 4.0f, 0.0f, 0.0f },
                                               { "output-minus-6", true, 4.0f, 0.0f, -6.0f },
                                               { "output-plus-6", true, 4.0f, 0.0f, 6.0f },
                                               { "tape-input-24", true, 0.0f, 24.0f, 0.0f } };
    return renders;
}

juce::String describeParameters (const Render& render)
{
    const std::map<juce::String, float> plainValues { { "choice", render.algorithm }, { "input", render.inputDb },
                                                      { "output", render.outputDb }, { "mix", 100.0f },
                                                      { "shape", 0.0f }, { "bias", 0.0f }, { "over", 0.0f },
                                                      { "link", 0.0f }, { "eq", 0.0f } };
    juce::StringArray entries;

    for (const auto& [id, plainValue] : plainValues)
    {
        const auto& expected = getExpectedParameter (id);
        entries.add ("[\"" + juce::String (expected.name) + "\"] = " + juce::String (expected.toNormalised (plainValue)));
    }

    return "{ " + entries.joinIntoString (", ") + " }";
}

juce::String writePlan (Format format, const Render& render, const juce::File& session, const juce::File& folder)
{
    return "return {\n"
           "  format = \"" + toString (format) + "\",\n"
           "  plugin = \"" + (format == Format::vst3 ? "Korvel" : "urn:korvel:korvel") + "\",\n"
           "  session = \"" + session.getFullPathName() + "\",\n"
           "  folder = \"" + folder.getFullPathName() + "\",\n"
           "  name = \"" + render.name + "\",\n"
           "  preset = \"" + exportPreset + "\",\n"
           "  rate = " + juce::String (static_cast<int> (sampleRate)) + ",\n"
           "  seconds = " + juce::String (renderSeconds) + ",\n"
           "  frequency = " + juce::String (generatorFrequency) + ",\n"
           "  level = " + juce::String (generatorLevelDb) + ",\n"
           "  korvel = " + (render.korvelActive ? "true" : "false") + ",\n"
           "  parameters = " + describeParameters (render) + ",\n"
           "}\n";
}

// Runs a program with the given environment settings and returns what it printed. Ardour's
// export code can deadlock as well as crash (Ardour 7.3), so a generous watchdog ends any
// run that hangs.
juce::String run (const juce::StringArray& environment, const juce::StringArray& command)
{
    juce::StringArray arguments { "/usr/bin/timeout", "--kill-after=10", "120", "/usr/bin/env" };
    arguments.addArray (environment);
    arguments.addArray (command);

    juce::ChildProcess child;

    if (! child.start (arguments))
        return "cannot start " + arguments.joinIntoString (" ");

    return child.readAllProcessOutput();
}

juce::AudioBuffer<float> readWav (const juce::File& file)
{
    juce::WavAudioFormat wav;
    const std::unique_ptr<juce::AudioFormatReader> reader (wav.createReaderFor (file.createInputStream().release(), true));

    if (reader == nullptr || reader->sampleRate != sampleRate)
        return {};

    juce::AudioBuffer<float> buffer (static_cast<int> (reader->numChannels), static_cast<int> (reader->lengthInSamples));
    reader->read (&buffer, 0, buffer.getNumSamples(), 0, true, true);
    return buffer;
}

// The renders of one format, made once for all the tests that look at them.
struct Session
{
    juce::String failure;
    std::map<juce::String, juce::AudioBuffer<float>> renders;
    int attempts = 0;
};

// Ardour runs with a HOME of its own, holding only what these renders need: the VST3 bundle
// under test in ~/.vst3, its scan cache and the export preset. LV2_PATH names the folder of
// the LV2 bundle under test.
class ArdourHome
{
public:
    ArdourHome()
    {
        home.deleteRecursively();
        home.getChildFile (".vst3").createDirectory();
        getBundleUnderTest (Format::vst3).createSymbolicLink (vst3Link, true);

        const auto exportFolder = home.getChildFile (".config/ardour7/export");
        exportFolder.createDirectory();

        for (const auto* name : { "korvel-float-wav.format", "korvel-float-wav.preset" })
            juce::File (KORVEL_ARDOUR_FILES).getChildFile (name).copyFileTo (exportFolder.getChildFile (name));
    }

    // Ardour reads VST3 plug-ins from its scan cache only; its own scanner writes the cache,
    // as the "Scan for Plugins" command of its window does.
    juce::String scanVst3() const
    {
        const juce::File scanner (KORVEL_ARDOUR_VST3_SCANNER);
        return run ({ "HOME=" + home.getFullPathName(), "LD_LIBRARY_PATH=" + scanner.getParentDirectory().getFullPathName() },
                    { scanner.getFullPathName(), "-f", vst3Link.getFullPathName() });
    }

    // Each render gets a session of its own, and another try when Ardour's export code ends
    // or hangs the process before the file is written (see render-session.lua).
    Session render (Format format) const
    {
        const auto folder = work.getChildFile (toString (format));
        folder.deleteRecursively();
        folder.getChildFile ("renders").createDirectory();
        Session session;

        for (const auto& render : getRenders())
        {
            juce::String output;

            for (int attempt = 1; attempt <= attemptsPerRender && ! output.contains (exportedMarker); ++attempt)
            {
                output = runSession (format, render, folder);
                ++session.attempts;
            }

            if (! output.contains (exportedMarker))
                return { "Ardour did not finish the " + toString (format) + " render " + render.name + " in "
                             + juce::String (attemptsPerRender) + " tries; the last said:\n" + output, {} };

            auto buffer = readWav (folder.getChildFile ("renders/" + render.name + ".wav"));

            if (buffer.getNumChannels() != 2 || buffer.getNumSamples() != renderSeconds * static_cast<int> (sampleRate))
                return { "Ardour wrote no usable " + render.name + ".wav for " + toString (format), {} };

            session.renders.emplace (render.name, std::move (buffer));
        }

        return session;
    }

private:
    juce::String runSession (Format format, const Render& render, const juce::File& folder) const
    {
        const auto session = folder.getChildFile ("session-" + render.name);
        const auto plan = folder.getChildFile (render.name + ".lua");
        session.deleteRecursively();
        plan.replaceWithText (writePlan (format, render, session, folder.getChildFile ("renders")));

        return run ({ "HOME=" + home.getFullPathName(), "LV2_PATH=" + getBundleUnderTest (Format::lv2).getParentDirectory().getFullPathName() },
                    { KORVEL_ARDOUR_LUA, juce::File (KORVEL_ARDOUR_FILES).getChildFile ("render-session.lua").getFullPathName(),
                      plan.getFullPathName() });
    }

    const juce::File work { KORVEL_ARDOUR_WORK_DIR };
    const juce::File home { work.getChildFile ("home") };
    const juce::File vst3Link { home.getChildFile (".vst3/Korvel.vst3") };
};

// The second half of each render, where the generator and the gain ramps have settled.
constexpr int analysedStart = static_cast<int> (sampleRate) * (renderSeconds - 1);
constexpr int analysedLength = static_cast<int> (sampleRate);

double levelDb (const juce::AudioBuffer<float>& buffer, int channel)
{
    return juce::Decibels::gainToDecibels (static_cast<double> (buffer.getRMSLevel (channel, analysedStart, analysedLength)), -300.0);
}

// Peak amplitude of one frequency in dBFS; a second holds a whole number of its cycles, so
// the other harmonics do not leak into it.
double harmonicDb (const juce::AudioBuffer<float>& buffer, int channel, double frequency)
{
    const auto coefficient = 2.0 * std::cos (juce::MathConstants<double>::twoPi * frequency / sampleRate);
    auto previous = 0.0;
    auto beforePrevious = 0.0;

    for (int i = analysedStart; i < analysedStart + analysedLength; ++i)
    {
        const auto current = buffer.getSample (channel, i) + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }

    const auto power = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return juce::Decibels::gainToDecibels (2.0 * std::sqrt (juce::jmax (0.0, power)) / analysedLength, -300.0);
}

class ArdourRender : public ::testing::TestWithParam<Format>
{
public:
    static void SetUpTestSuite()
    {
        if (! juce::File (KORVEL_ARDOUR_LUA).existsAsFile() || ! juce::File (KORVEL_ARDOUR_VST3_SCANNER).existsAsFile())
        {
            setUpFailure = "Ardour 7 is missing: install Debian's ardour package";
            return;
        }

        const ArdourHome home;
        scanOutput = home.scanVst3();

        for (const auto format : { Format::vst3, Format::lv2 })
            sessions.emplace (format, home.render (format));
    }

    static void TearDownTestSuite()
    {
        sessions.clear();
    }

protected:
    void SetUp() override
    {
        ASSERT_TRUE (setUpFailure.isEmpty()) << setUpFailure;
        ASSERT_TRUE (getSession().failure.isEmpty()) << getSession().failure << "\nVST3 scan:\n" << scanOutput;
    }

    static const Session& getSession (Format format)
    {
        return sessions[format];
    }

    const Session& getSession() const
    {
        return getSession (GetParam());
    }

    const juce::AudioBuffer<float>& getRender (const juce::String& name) const
    {
        return getSession().renders.at (name);
    }

    void record (const juce::String& key, double value) const
    {
        RecordProperty ((toString (GetParam()) + "." + key).toStdString(), juce::String (value, 3).toStdString());
    }

    static inline juce::String setUpFailure;
    static inline juce::String scanOutput;
    static inline std::map<Format, Session> sessions;
};
} // namespace

TEST_P (ArdourRender, PassesTheGeneratorsLevelWhenBypassedAtUnityGain)
{
    RecordProperty ((toString (GetParam()) + ".ardourRuns").toStdString(), getSession().attempts);

    for (int channel = 0; channel < 2; ++channel)
    {
        const auto generator = levelDb (getRender ("generator"), channel);
        const auto bypass = levelDb (getRender ("bypass"), channel);
        record ("generatorDb" + juce::String (channel), generator);
        record ("bypassDb" + juce::String (channel), bypass);

        // A sine at -12 dBFS peak is 3.01 dB lower in RMS.
        EXPECT_NEAR (generator, generatorLevelDb - 3.0103, 0.01);
        EXPECT_NEAR (bypass - generator, 0.0, 0.01);
    }
}

TEST_P (ArdourRender, MovesTheLevelByTheOutputGainAsked)
{
    for (int channel = 0; channel < 2; ++channel)
    {
        const auto generator = levelDb (getRender ("generator"), channel);
        const auto lowered = levelDb (getRender ("output-minus-6"), channel) - generator;
        const auto raised = levelDb (getRender ("output-plus-6"), channel) - generator;
        record ("outputMinus6Db" + juce::String (channel), lowered);
        record ("outputPlus6Db" + juce::String (channel), raised);

        EXPECT_NEAR (lowered, -6.0, 0.01);
        EXPECT_NEAR (raised, 6.0, 0.01);
    }
}

TEST_P (ArdourRender, RaisesTheOddHarmonicsWhenTapeIsDrivenHard)
{
    const auto& tape = getRender ("tape-input-24");
    const auto& bypass = getRender ("bypass");

    for (int channel = 0; channel < 2; ++channel)
    {
        const auto fundamental = harmonicDb (tape, channel, generatorFrequency);
        const auto second = harmonicDb (tape, channel, 2.0 * generatorFrequency) - fundamental;
        const auto third = harmonicDb (tape, channel, 3.0 * generatorFrequency) - fundamental;
        const auto bypassedThird = harmonicDb (bypass, channel, 3.0 * generatorFrequency)
                                 - harmonicDb (bypass, channel, generatorFrequency);
        record ("tapeFundamentalDb" + juce::String (channel), fundamental);
        record ("tapeThirdRelativeDb" + juce::String (channel), third);
        record ("tapeSecondRelativeDb" + juce::String (channel), second);
        record ("bypassThirdRelativeDb" + juce::String (channel), bypassedThird);

        EXPECT_GT (third, -20.0);
        EXPECT_GT (third, bypassedThird + 60.0);

        // The tape curve is odd: driven without bias it adds no even harmonics.
        EXPECT_LT (second, -80.0);
    }
}

INSTANTIATE_TEST_SUITE_P (Formats, ArdourRender, ::testing::Values (Format::vst3, Format::lv2),
                          [] (const ::testing::TestParamInfo<Format>& formatInfo) { return toString (formatInfo.param).toStdString(); });
