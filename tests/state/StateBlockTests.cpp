#include "state/StateTestSupport.h"

#include <array>
#include <vector>

using namespace korvel::test;

namespace
{
const juce::String defaultText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?> "
    "<DistortionPlugin>"
    "<PARAM id=\"bias\" value=\"0.0\"/>"
    "<PARAM id=\"choice\" value=\"0.0\"/>"
    "<PARAM id=\"eq\" value=\"0.0\"/>"
    "<PARAM id=\"input\" value=\"0.0\"/>"
    "<PARAM id=\"link\" value=\"0.0\"/>"
    "<PARAM id=\"mix\" value=\"100.0\"/>"
    "<PARAM id=\"output\" value=\"0.0\"/>"
    "<PARAM id=\"over\" value=\"0.0\"/>"
    "<PARAM id=\"shape\" value=\"0.0\"/>"
    "</DistortionPlugin>";

std::vector<juce::uint8> bytesOf (const juce::MemoryBlock& block)
{
    const auto* data = static_cast<const juce::uint8*> (block.getData());
    return { data, data + block.getSize() };
}

juce::String textOf (const juce::MemoryBlock& block)
{
    return juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8,
                                   static_cast<int> (block.getSize()) - 9);
}

juce::MemoryBlock withByte (juce::MemoryBlock block, size_t index, juce::uint8 value)
{
    static_cast<juce::uint8*> (block.getData())[index] = value;
    return block;
}

// Writes four raw bytes where the text holds "####", for texts no juce::String can hold.
juce::MemoryBlock withBytesAt (const juce::String& text, std::array<juce::uint8, 4> bytes)
{
    auto block = makeBlock (text);
    const auto start = static_cast<size_t> (8 + text.indexOf ("####"));

    for (size_t i = 0; i < bytes.size(); ++i)
        block = withByte (block, start + i, bytes[i]);

    return block;
}
} // namespace

TEST (StateBlock, NewProcessorWritesTheDocumentedBlock)
{
    KorvelAudioProcessor processor;

    std::vector<juce::uint8> expected { 'V', 'C', '2', '!', 0x5f, 0x01, 0x00, 0x00 };
    expected.insert (expected.end(), defaultText.toRawUTF8(), defaultText.toRawUTF8() + 351);
    expected.push_back (0);

    ASSERT_EQ (defaultText.getNumBytesAsUTF8(), 351u);
    EXPECT_EQ (bytesOf (saveState (processor)), expected);
    EXPECT_EQ (bytesOf (saveState (processor)), expected);
}

TEST (StateBlock, SavingReplacesWhatTheDestinationHeld)
{
    KorvelAudioProcessor processor;
    juce::MemoryBlock destination (4096, true);

    processor.getStateInformation (destination);

    EXPECT_EQ (destination.getSize(), 360u);
}

TEST (StateBlock, RestoringTheSavedBlockChangesNothing)
{
    KorvelAudioProcessor source;
    const auto block = saveState (source);

    KorvelAudioProcessor processor;
    const HostParameterLog log (processor);
    restoreState (processor, block);

    EXPECT_EQ (log.getNumChanges(), 0);
    EXPECT_EQ (processor.getOversampler(), nullptr);
    EXPECT_EQ (bytesOf (saveState (processor)), bytesOf (block));
}

TEST (StateBlock, RejectedBlocksChangeNothing)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "mix", 37.0f);
    const auto before = saveState (processor);
    const auto valid = makeBlock (stateDocument (paramElement ("mix", "5")));
    const auto labelled = stateDocument ("<PARAM id=\"mix\" value=\"5\" label=\"####\"/>");
    const auto euro = stateDocument ("<PARAM id=\"mix\" value=\"5\" label=\"" + juce::String (juce::CharPointer_UTF8 ("\xe2\x82\xac")) + "\"/>");
    const auto truncatedInsideCharacter = makeBlock (euro, static_cast<juce::uint32> (euro.toStdString().find ("\xe2") + 2));

    const std::vector<std::pair<const char*, juce::MemoryBlock>> rejected {
        { "empty", {} },
        { "header only", juce::MemoryBlock (valid.getData(), 8) },
        { "wrong magic", withByte (valid, 3, '?') },
        { "length 0", makeBlock (stateDocument (paramElement ("mix", "5")), 0) },
        { "negative length", makeBlock (stateDocument (paramElement ("mix", "5")), 0xffffffffu) },
        { "length 2^31", makeBlock (stateDocument (paramElement ("mix", "5")), 0x80000000u) },
        { "text starts with NUL", withByte (valid, 8, 0) },
        { "no UTF-8 lead byte", withBytesAt (labelled, { 0xff, 0x80, 0x80, 0x80 }) },
        { "overlong UTF-8", withBytesAt (labelled, { 0xc1, 0xb2, 'a', 'b' }) },
        { "UTF-8 surrogate", withBytesAt (labelled, { 0xed, 0xa0, 0x80, 'a' }) },
        { "incomplete UTF-8", withBytesAt (labelled, { 'a', 0xe2, 0x82, 'b' }) },
        { "stored length ending inside a character", truncatedInsideCharacter },
        { "not XML", makeBlock ("mix=5") },
        { "instruction before text in the root", makeBlock (stateDocument ("<?pi?>text" + paramElement ("mix", "5"))) },
        { "unclosed root", makeBlock ("<DistortionPlugin>" + paramElement ("mix", "5")) },
        { "other root tag", makeBlock (stateDocument (paramElement ("mix", "5"), "OtherPlugin")) },
        { "root tag with more letters", makeBlock (stateDocument (paramElement ("mix", "5"), "DistortionPlugins")) },
    };

    const HostParameterLog log (processor);

    for (const auto& [name, block] : rejected)
    {
        restoreState (processor, block);
        EXPECT_EQ (bytesOf (saveState (processor)), bytesOf (before)) << name;
    }

    processor.setStateInformation (nullptr, 100);

    EXPECT_EQ (log.getNumChanges(), 0);
    EXPECT_EQ (plainValue (processor, "mix"), 37.0f);
}

TEST (StateBlock, RootTagIsComparedWithoutRegardToCaseAndKept)
{
    KorvelAudioProcessor processor;

    restoreState (processor, makeBlock (stateDocument (paramElement ("mix", "42"), "distortionplugin")));

    EXPECT_EQ (plainValue (processor, "mix"), 42.0f);
    const auto text = textOf (saveState (processor));
    EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> <distortionplugin><PARAM id=\"mix\" value=\"42\"/>")) << text;
    EXPECT_TRUE (text.endsWith ("</distortionplugin>")) << text;

    restoreState (processor, makeBlock (stateDocument (paramElement ("mix", "43"), "DISTORTIONPLUGIN")));
    EXPECT_EQ (plainValue (processor, "mix"), 43.0f);
}

TEST (StateBlock, StoredLengthBeyondTheBlockReadsTheBytesPresent)
{
    KorvelAudioProcessor processor;
    const auto text = stateDocument (paramElement ("mix", "12"));

    auto block = makeBlock (text, static_cast<juce::uint32> (text.getNumBytesAsUTF8()) + 1000);
    block.setSize (block.getSize() - 1);
    restoreState (processor, block);

    EXPECT_EQ (plainValue (processor, "mix"), 12.0f);
}

TEST (StateBlock, RestoredValuesAreSnappedAndClampedToTheParameter)
{
    KorvelAudioProcessor processor;

    restoreState (processor, makeBlock (stateDocument (paramElement ("mix", "250")
                                                       + paramElement ("shape", "37.6")
                                                       + paramElement ("bias", "-3")
                                                       + paramElement ("input", "30")
                                                       + paramElement ("output", "-6.004")
                                                       + paramElement ("eq", "1.2345")
                                                       + paramElement ("choice", "3")
                                                       + paramElement ("link", "1"))));

    EXPECT_EQ (plainValue (processor, "mix"), 100.0f);
    EXPECT_EQ (plainValue (processor, "shape"), 38.0f);
    EXPECT_EQ (plainValue (processor, "bias"), 0.0f);
    EXPECT_EQ (plainValue (processor, "input"), 24.0f);
    EXPECT_FLOAT_EQ (plainValue (processor, "output"), -6.0f);
    EXPECT_FLOAT_EQ (plainValue (processor, "eq"), 1.23f);
    EXPECT_EQ (parameter (processor, "choice").getCurrentValueAsText(), "Variable");
    EXPECT_EQ (parameter (processor, "link").getCurrentValueAsText(), "On");
    EXPECT_EQ (parameter (processor, "output").getCurrentValueAsText(), "-6.00");
    EXPECT_EQ (parameter (processor, "eq").getCurrentValueAsText(), "1.23");
}

TEST (StateBlock, UnreadableValuesReadAsZero)
{
    KorvelAudioProcessor processor;
    prepareLikeHost (processor);
    setPlainValue (processor, "over", 2.0f);
    setPlainValue (processor, "input", 5.0f);

    restoreState (processor, makeBlock (stateDocument (paramElement ("mix", "loud")
                                                       + paramElement ("input", "nan")
                                                       + paramElement ("over", "NaN"))));

    EXPECT_EQ (plainValue (processor, "mix"), 0.0f);
    EXPECT_EQ (plainValue (processor, "input"), 0.0f);
    EXPECT_EQ (plainValue (processor, "over"), 0.0f);
    EXPECT_EQ (processor.getOversamplingOrder(), 2);
}

TEST (StateBlock, MissingValueGivesTheDefault)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "mix", 30.0f);
    setPlainValue (processor, "input", -4.0f);

    restoreState (processor, makeBlock (stateDocument ("<PARAM id=\"mix\"/><PARAM id=\"input\"/>")));

    EXPECT_EQ (plainValue (processor, "mix"), 100.0f);
    EXPECT_EQ (plainValue (processor, "input"), 0.0f);
}

TEST (StateBlock, MissingChildKeepsTheCurrentValueAndIsAppendedInIdOrder)
{
    KorvelAudioProcessor processor;
    setPlainValue (processor, "mix", 30.0f);
    setPlainValue (processor, "input", 5.0f);
    setPlainValue (processor, "choice", 2.0f);

    const HostParameterLog log (processor);
    restoreState (processor, makeBlock (stateDocument (paramElement ("shape", "40"))));

    EXPECT_EQ (log.getNumChanges(), 1);
    EXPECT_EQ (plainValue (processor, "shape"), 40.0f);
    EXPECT_EQ (plainValue (processor, "mix"), 30.0f);
    EXPECT_EQ (plainValue (processor, "input"), 5.0f);
    EXPECT_EQ (plainValue (processor, "choice"), 2.0f);

    EXPECT_EQ (textOf (saveState (processor)),
               stateDocument (paramElement ("shape", "40")
                              + paramElement ("bias", "0.0")
                              + paramElement ("choice", "2.0")
                              + paramElement ("eq", "0.0")
                              + paramElement ("input", "5.0")
                              + paramElement ("link", "0.0")
                              + paramElement ("mix", "30.0")
                              + paramElement ("output", "0.0")
                              + paramElement ("over", "0.0")));

    KorvelAudioProcessor reloaded;
    restoreState (reloaded, saveState (processor));
    EXPECT_EQ (plainValue (reloaded, "mix"), 30.0f);
    EXPECT_EQ (plainValue (reloaded, "shape"), 40.0f);
}

TEST (StateBlock, ExtraContentSurvivesLaterSaves)
{
    KorvelAudioProcessor processor;

    const auto sharedContent = juce::String ("<PARAM id=\"mix\" value=\"50\" label=\"x\"/>") + paramElement ("drive", "3");
    const auto declaration = juce::String ("<?xml version=\"1.0\" encoding=\"UTF-8\"?> ");
    const auto notes = juce::String (juce::CharPointer_UTF8 ("w\xc3\xa4rmer \xe2\x82\xac \xf0\x9d\x84\x9e &amp; loud"));

    restoreState (processor, makeBlock (declaration + "<DistortionPlugin version=\"7\"><Notes text=\"" + notes
                                        + "\"><Line n=\"1\"/></Notes>" + sharedContent + "</DistortionPlugin>"));

    EXPECT_EQ (plainValue (processor, "mix"), 50.0f);
    EXPECT_EQ (textOf (saveState (processor)),
               declaration + "<DistortionPlugin version=\"7\">"
                   + "<Notes text=\"w&#228;rmer &#8364; &#119070; &amp; loud\"><Line n=\"1\"/></Notes>"
                   + sharedContent
                   + paramElement ("bias", "0.0")
                   + paramElement ("choice", "0.0")
                   + paramElement ("eq", "0.0")
                   + paramElement ("input", "0.0")
                   + paramElement ("link", "0.0")
                   + paramElement ("output", "0.0")
                   + paramElement ("over", "0.0")
                   + paramElement ("shape", "0.0")
                   + "</DistortionPlugin>");
}
