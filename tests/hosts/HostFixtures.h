#pragma once

#include "KorvelHost.h"

#include <gtest/gtest.h>

namespace korvel::hosts
{
// Runs once per format; the instantiation is in HostParameterTests.cpp.
class HostTest : public ::testing::TestWithParam<Format>
{
protected:
    bool isVst3() const { return GetParam() == Format::vst3; }

    KorvelHost host { GetParam() };
};

class Vst3Host : public ::testing::Test
{
protected:
    KorvelHost host { Format::vst3 };
};

class Lv2Host : public ::testing::Test
{
protected:
    KorvelHost host { Format::lv2 };
};
} // namespace korvel::hosts
