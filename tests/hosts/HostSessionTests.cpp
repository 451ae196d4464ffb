// Korvel at work in a host through each format: gain link, audio, saved state, automation
// from another thread, the editor, layouts and programs.

#include "HostFixtures.h"
#include "StateDamage.h"

JUCE_BEGIN_IGNORE_WARNINGS_GCC_LIKE ("-Wshadow", "-Wnon-virtual-dtor", "-Wzero-as-null-pointer-constant",
                                     "-Wextra-semi", "-Wsign-conversion", "-Wunused-parameter", "-Wpedantic")
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivstunits.h>
JUCE_END_IGNORE_WARNINGS_GCC_LIKE

#include <thread>

using namespace korvel::hosts;

namespace
{
// A legal, non-default value for every parameter but "link". The gains already mirror each
// other, so switching the link on afterwards leaves every value as it is.
const std::vector<ParameterSetting>& getNonDefaultSettings()
{
    static const std::vector<ParameterSetting> settings {
        { "mix", 37.0f }, { "input", 5.5f }, { "output", -5.5f }, { "shape", 63.0f },
        { "bias", 21.0f }, { "over", 3.0f }, { "eq", -1.25f }, { "choice", 3.0f }
    };

    return settings;
}
} // namespace

TEST_P (HostTest, MirrorsOneLinkedGainInTheHostsValueOfTheOther)
{
    const auto instance = host.createPreparedInstance();
    ASSERT_NE (instance, nullptr);

    setPlainValue (*instance, "link", 1.0f);
    processSilence (*instance, 2);

    const auto movesTo = [&] (const char* id, float decibels)
    {
        return runUntil (*instance, [&] { return std::abs (getPlainValue (*instance, id) - decibels) < 1.0e-4f; });
    };

    setPlainValue (*instance, "input", 6.0f);
    EXPECT_TRUE (movesTo ("output", -6.0f)) << "output stays at " << getPlainValue (*instance, "output");

    setPlainValue (*instance, "output", 24.0f);
    EXPECT_TRUE (movesTo ("input", -24.0f)) << "input stays at " << getPlainValue (*instance, "input");

    setPlainValue (*instance, "link", 0.0f);
    processSilence (*instance, 2);
    setPlainValue (*instance, "input", 12.0f);
    processSilence (*instance, 20);
    pumpMessages (200);
    processSilence (*instance, 20);

    EXPECT_EQ (getPlainValue (*instance, "input"), 12.0f);
    EXPECT_EQ (getPlainValue (*instance, "output"), 24.0f);
}

TEST_P (HostTest, TakesNoMidiAndReportsNoLatencyOrTail)
{
    const auto instance = host.createPreparedInstance();
    ASSERT_NE (instance, nullptr);

    processSilence (*instance, 4);

    EXPECT_FALSE (instance->acceptsMidi());
    EXPECT_FALSE (instance->producesMidi());
    EXPECT_FALSE (instance->isMidiEffect());
    EXPECT_EQ (instance->getLatencySamples(), 0);
    EXPECT_EQ (instance->getTailLengthSeconds(), 0.0);

    setPlainValue (*instance, "over", 4.0f);
    processSilence (*instance, 4);
    pumpMessages (50);
    EXPECT_EQ (instance->getLatencySamples(), 0);
}

TEST_P (HostTest, RendersWhatTheProcessorRendersWithoutAHost)
{
    const juce::File referenceDirectory (KORVEL_REFERENCE_DIR);

    for (const auto& renderCase : getRenderCases())
    {
        // The LV2 bundle declares stereo ports only; hosts cannot ask it for mono.
        if (renderCase.numChannels == 1 && ! isVst3())
            continue;

        SCOPED_TRACE (renderCase.name);

        juce::MemoryBlock referenceData;
        ASSERT_TRUE (referenceFile (referenceDirectory, renderCase).loadFileAsData (referenceData))
            << "no reference render in " << referenceDirectory.getFullPathName();
        ASSERT_EQ (referenceData.getSize(), sizeof (float) * static_cast<size_t> (renderCase.numChannels * comparedSamples));

        const auto channels = renderCase.numChannels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        const auto instance = host.createPreparedInstance (channels);
        ASSERT_NE (instance, nullptr);

        applySettings (*instance, renderCase.settings);
        const auto output = renderCompared (renderCase.numChannels,
                                            [&] (juce::AudioBuffer<float>& block) { processBlock (*instance, block); });

        const auto* reference = static_cast<const float*> (referenceData.getData());
        auto largestDifference = 0.0f;
        auto referenceEnergy = 0.0;

        for (int channel = 0; channel < renderCase.numChannels; ++channel)
        {
            for (int i = 0; i < comparedSamples; ++i)
            {
                const auto expected = reference[channel * comparedSamples + i];
                largestDifference = juce::jmax (largestDifference, std::abs (output.getSample (channel, i) - expected));
                referenceEnergy += expected * expected;
            }
        }

        RecordProperty (renderCase.name.toStdString(), juce::String (largestDifference, 9).toStdString());
        EXPECT_GT (referenceEnergy, 1.0);
        EXPECT_LE (largestDifference, 1.0e-6f);
    }
}

TEST_P (HostTest, RestoresEveryParameterFromItsSavedStateInAFreshInstance)
{
    auto settings = getNonDefaultSettings();

    juce::MemoryBlock state;
    {
        const auto saved = host.createPreparedInstance();
        ASSERT_NE (saved, nullptr);

        applySettings (*saved, settings);
        processSilence (*saved, 2);
        setPlainValue (*saved, "link", 1.0f);
        settings.push_back ({ "link", 1.0f });
        ASSERT_TRUE (runUntil (*saved, [&] { return holdsSettings (*saved, settings); }));

        saved->getStateInformation (state);
    }

    RecordProperty ("stateBytes", static_cast<int> (state.getSize()));

    const auto restored = host.createPreparedInstance();
    ASSERT_NE (restored, nullptr);

    restored->setStateInformation (state.getData(), static_cast<int> (state.getSize()));
    EXPECT_TRUE (runUntil (*restored, [&] { return holdsSettings (*restored, settings); }));

    for (const auto& setting : settings)
        EXPECT_FLOAT_EQ (getPlainValue (*restored, setting.id), setting.plainValue) << setting.id;
}

TEST_P (HostTest, IgnoresADamagedSavedState)
{
    juce::MemoryBlock state;
    {
        const auto saved = host.createPreparedInstance();
        ASSERT_NE (saved, nullptr);

        applySettings (*saved, getNonDefaultSettings());
        ASSERT_TRUE (runUntil (*saved, [&] { return holdsSettings (*saved, getNonDefaultSettings()); }));
        saved->getStateInformation (state);
    }

    // The instance holds values of its own, neither the defaults nor the saved ones, so that
    // falling back to either would show.
    const std::vector<ParameterSetting> current { { "mix", 55.0f }, { "input", -3.0f }, { "output", 3.0f },
                                                  { "shape", 10.0f }, { "bias", 80.0f }, { "over", 1.0f },
                                                  { "eq", 2.5f }, { "choice", 1.0f } };

    const auto instance = host.createPreparedInstance();
    ASSERT_NE (instance, nullptr);
    applySettings (*instance, current);
    ASSERT_TRUE (runUntil (*instance, [&] { return holdsSettings (*instance, current); }));
    const auto before = getHostValues (*instance);

    for (const auto damage : { Damage::magic, Damage::zeroLength, Damage::rootTag, Damage::notXml })
    {
        SCOPED_TRACE (static_cast<int> (damage));
        auto damaged = state;
        ASSERT_TRUE (damageSavedState (GetParam(), damaged, damage));

        instance->setStateInformation (damaged.getData(), static_cast<int> (damaged.getSize()));
        processSilence (*instance, 10);
        pumpMessages (100);
        processSilence (*instance, 10);

        EXPECT_EQ (getHostValues (*instance), before);
    }
}

TEST_P (HostTest, SurvivesAutomationFromAnotherThreadWhileBlocksOfEverySizeRun)
{
    const auto instance = host.createPreparedInstance();
    ASSERT_NE (instance, nullptr);

    std::vector<juce::AudioProcessorParameter*> parameters;

    for (const auto& expected : getExpectedParameters())
        parameters.push_back (getParameter (*instance, expected.id));

    ASSERT_EQ (std::count (parameters.begin(), parameters.end(), nullptr), 0);

    // An LV2 host may exceed the block size it prepared with; the LV2 adapter takes such a
    // block. A VST3 host may not (maxSamplesPerBlock is binding), and the framework's VST3
    // adapter writes past its own buffers when one does.
    std::vector<int> blockSizes { 1, 7, 64, 333, renderBlockSize };

    if (! isVst3())
        blockSizes.insert (blockSizes.end(), { renderBlockSize + 188, 2 * renderBlockSize });

    AudioThread audio (*instance, blockSizes);

    std::atomic<bool> automating { true };
    std::thread automation ([&]
    {
        juce::Random random (7);

        for (int change = 0; change < 2000; ++change)
        {
            parameters[static_cast<size_t> (random.nextInt (9))]->setValue (random.nextFloat());
            std::this_thread::sleep_for (std::chrono::microseconds (500));
        }

        automating = false;
    });

    while (automating)
        pumpMessages (10);

    automation.join();
    audio.stop();

    EXPECT_GT (audio.getBlocksProcessed(), 0);
    EXPECT_TRUE (audio.stayedFinite());
}

TEST_P (HostTest, OpensAndClosesItsEditorRepeatedlyWhileAudioRuns)
{
    ASSERT_NE (juce::Desktop::getInstance().getDisplays().getPrimaryDisplay(), nullptr)
        << "the editor needs a display: run under xvfb-run -a";

    const auto instance = host.createPreparedInstance();
    ASSERT_NE (instance, nullptr);

    AudioThread audio (*instance, { renderBlockSize });

    for (int round = 0; round < 8; ++round)
    {
        SCOPED_TRACE (round);
        std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);

        editor->addToDesktop (0);
        editor->setVisible (true);
        pumpMessages (150);

        EXPECT_EQ (editor->getWidth(), 600);
        EXPECT_EQ (editor->getHeight(), 400);

        editor.reset();
        pumpMessages (50);
    }

    audio.stop();
    EXPECT_GT (audio.getBlocksProcessed(), 0);
    EXPECT_TRUE (audio.stayedFinite());
}

//==============================================================================
// Switching a bus off is the host's call in VST3: the adapter accepts it and keeps the
// processor on a layout it supports, so only the arrangements themselves can be refused.
TEST_F (Vst3Host, AcceptsMonoAndStereoInMatchingPairsOnly)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();

    EXPECT_TRUE (instance->checkBusesLayoutSupported (makeLayout (mono, mono)));
    EXPECT_TRUE (instance->checkBusesLayoutSupported (makeLayout (stereo, stereo)));

    for (const auto& [input, output] : { std::pair { mono, stereo }, { stereo, mono },
                                         { juce::AudioChannelSet::createLCR(), juce::AudioChannelSet::createLCR() },
                                         { juce::AudioChannelSet::quadraphonic(), juce::AudioChannelSet::quadraphonic() } })
        EXPECT_FALSE (instance->checkBusesLayoutSupported (makeLayout (input, output)))
            << input.getDescription() << " to " << output.getDescription();
}

TEST_F (Vst3Host, NamesItsOneProgramUntitled)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    struct ComponentFinder final : public juce::ExtensionsVisitor
    {
        void visitVST3Client (const VST3Client& client) override { component = client.getIComponentPtr(); }

        Steinberg::Vst::IComponent* component = nullptr;
    } finder;

    instance->getExtensions (finder);
    ASSERT_NE (finder.component, nullptr);

    void* queried = nullptr;
    ASSERT_EQ (finder.component->queryInterface (Steinberg::Vst::IUnitInfo::iid, &queried), Steinberg::kResultOk);
    const std::unique_ptr<Steinberg::Vst::IUnitInfo, void (*) (Steinberg::Vst::IUnitInfo*)>
        units (static_cast<Steinberg::Vst::IUnitInfo*> (queried), [] (Steinberg::Vst::IUnitInfo* u) { u->release(); });

    ASSERT_EQ (units->getProgramListCount(), 1);

    Steinberg::Vst::ProgramListInfo list {};
    ASSERT_EQ (units->getProgramListInfo (0, list), Steinberg::kResultTrue);
    ASSERT_EQ (list.programCount, 1);

    Steinberg::Vst::String128 name {};
    ASSERT_EQ (units->getProgramName (list.id, 0, name), Steinberg::kResultTrue);
    EXPECT_EQ (juce::String (juce::CharPointer_UTF16 (reinterpret_cast<juce::CharPointer_UTF16::CharType*> (name))), "Untitled");
}

//==============================================================================
// An LV2 plug-in's ports are fixed by its metadata, which declares the stereo pair.
TEST_F (Lv2Host, AcceptsTheStereoPairItDeclaresOnly)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    const auto mono = juce::AudioChannelSet::mono();
    const auto stereo = juce::AudioChannelSet::stereo();

    EXPECT_TRUE (instance->checkBusesLayoutSupported (makeLayout (stereo, stereo)));

    for (const auto& [input, output] : { std::pair { mono, mono }, { mono, stereo }, { stereo, mono },
                                         { juce::AudioChannelSet::createLCR(), juce::AudioChannelSet::createLCR() } })
        EXPECT_FALSE (instance->checkBusesLayoutSupported (makeLayout (input, output)))
            << input.getDescription() << " to " << output.getDescription();
}

TEST_F (Lv2Host, NamesItsOneProgramUntitled)
{
    const auto instance = host.createInstance();
    ASSERT_NE (instance, nullptr);

    ASSERT_EQ (instance->getNumPrograms(), 1);
    EXPECT_EQ (instance->getProgramName (0), "Untitled");
}
