#include "draw/FloatFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

#include "TestUtil.h"

namespace zep::draw {
namespace {

// All 2^32 floats are the float_format_check tool's work; these are the edges where a fault shows.
std::string Fast(float value) {
    char text[kMaxFloatText];
    return std::string(text, FormatFloat(value, text));
}

// The out-of-line path, which the inline one hands what it does not take (and everything on a big-endian
// machine): checked on every value, not only on those it gets from the inline path.
std::string General(float value) {
    char text[kMaxFloatText];
    return std::string(text, detail::FormatFloatGeneral(value, text));
}

std::string Reference(float value) {
    char text[kMaxFloatText];
    return std::string(text, FormatFloatReference(value, text));
}

std::string Stream(float value) {
    std::ostringstream out;
    out << static_cast<double>(value);
    return out.str();
}

float FromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// The mismatches of both paths against the reference over `count` floats up from `value`.
int CheckFrom(float value, int count) {
    int wrong = 0;
    for (int i = 0; i < count && std::isfinite(value); ++i) {
        if (Fast(value) != Reference(value)) ++wrong;
        if (Fast(-value) != Reference(-value)) ++wrong;
        if (General(value) != Reference(value)) ++wrong;
        value = std::nextafter(value, std::numeric_limits<float>::infinity());
    }
    return wrong;
}

TEST(FloatFormat, WritesWhatTheStreamWritesForTheDesignedAndEdgeValues) {
    // Each line of the test data: the bits of a float, its text, maybe a note.
    std::istringstream lines(zep::testing::ReadFile(zep::testing::DataPath("draw/float-texts.txt")));
    int rows = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        uint32_t bits = 0;
        std::string text;
        words >> std::hex >> bits >> text;
        const float value = FromBits(bits);
        SCOPED_TRACE(line);
        // The C runtimes differ on the sign of a NaN (some print none): the file keeps it as the
        // reference stream (libstdc++ over glibc) does, on every platform.
        EXPECT_TRUE(std::isnan(value) || Stream(value) == text) << Stream(value);
        EXPECT_EQ(Fast(value), text);
        EXPECT_EQ(Reference(value), text);
        ++rows;
    }
    EXPECT_EQ(rows, 25);
}

TEST(FloatFormat, AgreesWithToCharsAroundEveryPowerOfTenAndRoundingEdge) {
    // Around 10^x the layout and the exponent change; around 9.999995 * 10^x the six digits round up
    // into the next power. Both are where a scale chosen one step off would show.
    for (int x = -45; x <= 38; ++x) {
        SCOPED_TRACE(x);
        double power = std::pow(10.0, x);
        float start = std::nextafter(static_cast<float>(power), 0.0f);
        for (int i = 0; i < 300; ++i) start = std::nextafter(start, 0.0f);
        EXPECT_EQ(CheckFrom(start, 600), 0);
        float edge = static_cast<float>(9.999995 * power / 10.0);
        for (int i = 0; i < 300; ++i) edge = std::nextafter(edge, 0.0f);
        EXPECT_EQ(CheckFrom(edge, 600), 0);
    }
    EXPECT_EQ(CheckFrom(FromBits(1), 20000), 0);
    EXPECT_EQ(CheckFrom(FromBits(0x7f7fffffu - 5000), 5001), 0);
}

TEST(FloatFormat, InlinePathTakesValuesFromATenThousandthTo999999AndZeroInfinityAndNaN) {
    // The writer's speed rests on these values never leaving the inline path.
    const detail::FastScale* scales = detail::kFastScales.data();
    for (float value : {1.0001e-4f, 0.5f, 1.0f, 999.999f, 1000.0f, 5.2e5f, 999999.0f, 0.0f,
                        std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()}) {
        SCOPED_TRACE(value);
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        const uint32_t biased = (bits >> 23) & 0xffu;
        const uint32_t m = (bits & 0x7fffffu) | (1u << 23);
        EXPECT_EQ(scales[2 * biased + (m >= detail::kFastThresholds[biased] ? 1 : 0)].general, 0);
    }
    EXPECT_EQ(scales[1].general, 1);
    EXPECT_EQ(Fast(FromBits(1)), "1.4013e-45");
}

}  // namespace
}  // namespace zep::draw
