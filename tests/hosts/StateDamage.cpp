#include "StateDamage.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstring>

namespace korvel::hosts
{
namespace
{
bool damagePluginBlock (juce::MemoryBlock& block, Damage damage)
{
    auto* bytes = static_cast<char*> (block.getData());
    const auto size = static_cast<int> (block.getSize());

    const auto find = [&] (const char* what, int from)
    {
        const auto length = static_cast<int> (std::strlen (what));

        for (auto i = from; i + length <= size; ++i)
            if (std::memcmp (bytes + i, what, static_cast<size_t> (length)) == 0)
                return i;

        return -1;
    };

    const auto start = find ("VC2!", 0);
    const auto root = start >= 0 ? find ("<DistortionPlugin", start) : -1;

    if (root < 0)
        return false;

    switch (damage)
    {
        case Damage::magic:
            bytes[start] = 'X';
            return true;

        case Damage::zeroLength:
            std::memset (bytes + start + 4, 0, 4);
            return true;

        // Opening and closing tag alike, so that the text stays well-formed XML.
        case Damage::rootTag:
            for (auto at = root + 1; at >= 0; at = find ("DistortionPlugin", at + 1))
                bytes[at + 15] = 'X';

            return true;

        case Damage::notXml:
            bytes[root] = '#';
            return true;
    }

    return false;
}
} // namespace

bool damageSavedState (Format format, juce::MemoryBlock& state, Damage damage)
{
    // The VST3 host keeps the component's stream as base64 text inside its own XML.
    if (format == Format::vst3)
    {
        const auto xml = juce::AudioProcessor::getXmlFromBinary (state.getData(), static_cast<int> (state.getSize()));
        auto* component = xml != nullptr ? xml->getChildByName ("IComponent") : nullptr;
        juce::MemoryBlock block;

        if (component == nullptr || ! block.fromBase64Encoding (component->getAllSubText()) || ! damagePluginBlock (block, damage))
            return false;

        component->deleteAllTextElements();
        component->addTextElement (block.toBase64Encoding());
        juce::AudioProcessor::copyXmlToBinary (*xml, state);
        return true;
    }

    // The LV2 host keeps a turtle document in which the plug-in stored its block as the
    // base64 string value of its StateString property.
    const auto document = state.toString();
    const auto property = document.indexOf ("StateString");
    const auto open = document.indexOfChar (property, '"');
    const auto close = document.indexOfChar (open + 1, '"');

    if (property < 0 || open < 0 || close < 0)
        return false;

    juce::MemoryBlock block;

    if (! block.fromBase64Encoding (document.substring (open + 1, close)) || ! damagePluginBlock (block, damage))
        return false;

    const auto damaged = document.replaceSection (open + 1, close - open - 1, block.toBase64Encoding());
    state.replaceAll (damaged.toRawUTF8(), damaged.getNumBytesAsUTF8());
    return true;
}
} // namespace korvel::hosts
