// The number form of the STL files: a float written as the standard stream writes it once widened to
// double with default formatting ("%g", 6 significant digits), without the stream's per-number cost.
#ifndef ZEP3D_DRAW_FLOATFORMAT_H_
#define ZEP3D_DRAW_FLOATFORMAT_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zep {
namespace draw {

// The most characters FormatFloat writes ("-1.23457e+38" is 12, and the fixed-size stores of the digits
// reach no further than this); callers give at least this much room.
constexpr std::size_t kMaxFloatText = 16;

// Writes `value` (widened to double) as `std::ostream << double` does with default formatting:
// general notation, 6 significant digits rounded to nearest with ties to even, no trailing zeros,
// exponent of at least two digits, "-0" for negative zero, "inf"/"-inf", and "nan"/"-nan" after the
// sign bit. Returns the end of the text; nothing is terminated, and the characters after the end, up
// to kMaxFloatText from `out`, may have been overwritten.
// REQUIRES: `out` has room for kMaxFloatText characters.
inline char* FormatFloat(float value, char* out);

// The same text, always through std::to_chars (chars_format::general, precision 6): the reference
// that FormatFloat falls back to for the values it cannot decide exactly, and that tests compare with.
char* FormatFloatReference(float value, char* out);

namespace detail {

// Every float: zero, subnormals, the whole exponent range, infinity and NaN.
char* FormatFloatGeneral(float value, char* out);

// The fast path keeps value * 10^k as a fixed-point number with this many fraction bits: six digits
// need 20 integer bits, so it fits 64 bits, and a fixed point position keeps the rounding free of
// shifts by a count that varies with the value.
constexpr int kFastFractionBits = 44;

// One scale 10^k of a binade's values and the layout of their text, "%g"'s fixed form. value * 10^k *
// 2^kFastFractionBits equals mantissa * multiplier exactly. From 1 up, the whole digits stay in the
// bytes of `wholeMask`, the point follows them and the fraction's digits move one byte up (into
// `fractionMask`); below 1 nothing moves and the digits start at `offset`, after "0." and the zeros.
// `length` gives the text's length from the start of the number, by the significant digits of the two
// digit triples (index: low triple's count * 4 + high triple's count). Zero, infinity and NaN take
// scales of a constant text: multiplier and masks 0, the text in `point`. `general`: the values of
// this scale go to the general path. 64 bytes: the index is a shift.
struct alignas(64) FastScale {
    uint64_t multiplier;
    uint64_t wholeMask;
    uint64_t fractionMask;
    uint64_t point;
    uint8_t offset;
    uint8_t general;
    uint8_t length[16];
};

// Indexed by the biased exponent of the float: the values of an exponent take the scale at 2 * biased
// below the mantissa threshold (counted with the leading 1 bit, 2^23 to 2^24 - 1) and the one at
// 2 * biased + 1 from it on. In the common range the second scale starts where the values cross a power
// of ten, or would round up to it; for exponents 0 and 255 it starts after mantissa 0, so that zero and
// infinity take the first scale and subnormals and NaN the second. Values outside the common range take
// a scale marked `general` (the exponents at its ends have one of each).
extern const std::array<uint32_t, 256> kFastThresholds;
extern const std::array<FastScale, 512> kFastScales;

// The text of 0 to 999 as three digits in the low three bytes (first digit lowest), and in the top
// byte the count of its significant digits, trailing zeros left out (0 for 0). The top two bits of the
// third byte are those of a digit character: always 0.
extern const std::array<uint32_t, 1000> kDigitTriples;

// The machine keeps the low byte of a word first (x86-64, ARM64): the digit text is built in a
// register in that order. Compilers fold this to a constant.
inline bool LittleEndian() {
    const uint32_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

}  // namespace detail

// The common range (floats from 1e-4 to below 999999.5, where a mesh's coordinates mostly lie), zero,
// infinity and NaN are written here, inline and with no branch on the value's digits or layout; the
// rest goes to the general path.
inline char* FormatFloat(float value, char* out) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    const uint32_t biased = (bits >> 23) & 0xffu;
    const uint32_t m = (bits & 0x7fffffu) | (1u << 23);
    const detail::FastScale& scale =
        detail::kFastScales[2 * biased + (m >= detail::kFastThresholds[biased] ? 1 : 0)];
    if (scale.general != 0 || !detail::LittleEndian()) return detail::FormatFloatGeneral(value, out);
    constexpr int kBits = detail::kFastFractionBits;
    const uint64_t t = m * scale.multiplier;
    // Round to nearest, an exact tie to the even neighbour: the last whole digit's parity decides
    // whether a fraction of exactly one half carries. The tables give every mantissa of the fast path a
    // scale at which it rounds to six digits.
    const uint64_t digits = (t + ((uint64_t{1} << (kBits - 1)) - 1) + ((t >> kBits) & 1)) >> kBits;
    const uint32_t high = static_cast<uint32_t>(digits) / 1000;
    const uint32_t low = static_cast<uint32_t>(digits) - high * 1000;
    const uint32_t highText = detail::kDigitTriples[high];
    const uint32_t lowText = detail::kDigitTriples[low];
    const uint64_t word = (highText & 0xffffffu) | (uint64_t{lowText} << 24);
    const uint64_t text = (word & scale.wholeMask) | scale.point | ((word << 8) & scale.fractionMask);
    const uint32_t length = scale.length[(lowText >> 22) | (highText >> 24)];
    out[0] = '-';
    out += bits >> 31;
    std::memcpy(out, "0.000000", 8);
    std::memcpy(out + scale.offset, &text, 8);
    return out + length;
}

}  // namespace draw
}  // namespace zep

#endif  // ZEP3D_DRAW_FLOATFORMAT_H_
