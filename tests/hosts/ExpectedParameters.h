#pragma once

#include <juce_core/juce_core.h>

#include <array>

// The nine parameters as a host must see them, written out independently of the plug-in.
namespace korvel::hosts
{
enum class ParameterKind
{
    integer,
    decimal,
    toggle,
    choice
};

struct ExpectedParameter
{
    const char* id;
    const char* name;
    ParameterKind kind;
    float minimum;
    float maximum;
    float defaultValue;
    const char* defaultText;

    float toNormalised (float plainValue) const noexcept
    {
        return (plainValue - minimum) / (maximum - minimum);
    }
};

inline const std::array<ExpectedParameter, 9>& getExpectedParameters()
{
    static const std::array<ExpectedParameter, 9> parameters { {
        { "mix", "Dry/Wet", ParameterKind::integer, 0.0f, 100.0f, 100.0f, "100" },
        { "input", "Input", ParameterKind::decimal, -24.0f, 24.0f, 0.0f, "0.00" },
        { "output", "Output", ParameterKind::decimal, -24.0f, 24.0f, 0.0f, "0.00" },
        { "shape", "Variable Shape", ParameterKind::integer, 0.0f, 100.0f, 0.0f, "0" },
        { "bias", "Bias", ParameterKind::integer, 0.0f, 100.0f, 0.0f, "0" },
        { "over", "Oversampling", ParameterKind::integer, 0.0f, 4.0f, 0.0f, "0" },
        { "link", "Gain Link", ParameterKind::toggle, 0.0f, 1.0f, 0.0f, "Off" },
        { "eq", "Frequency Response", ParameterKind::decimal, -3.0f, 3.0f, 0.0f, "0.00" },
        { "choice", "Algorithm Type", ParameterKind::choice, 0.0f, 4.0f, 0.0f, "Tape" },
    } };

    return parameters;
}

inline const ExpectedParameter& getExpectedParameter (const juce::String& id)
{
    for (const auto& parameter : getExpectedParameters())
        if (id == parameter.id)
            return parameter;

    jassertfalse;
    return getExpectedParameters().front();
}

inline juce::StringArray getAlgorithmNames()
{
    return { "Tape", "Soft Clip", "Tube", "Variable", "Bypass" };
}
} // namespace korvel::hosts
