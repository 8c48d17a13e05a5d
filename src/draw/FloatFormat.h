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

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// 5^k for the scales of the common range (values from 1e-4 to 1e6 use k = 0 to 9).
constexpr int kMaxSmallPower = 9;
constexpr uint64_t kPowersOfFive[kMaxSmallPower + 1] = {1,    5,     25,    125,    625,
                                                        3125, 15625, 78125, 390625, 1953125};

// A binade [2^b, 2^(b+1)) of the common range: its values take the scale 10^k of entry 0 below the
// mantissa `threshold` and that of entry 1 from it on (the binade crosses a power of ten there).
// value * 10^k = (mantissa * 5^k) >> shift, exactly, and the exponent of the text is 5 - k. A
// threshold of 0 marks a binade outside the common range.
struct FastBinade {
    uint32_t threshold;
    uint64_t powerOfFive[2];
    uint8_t shift[2];
    int8_t exponent[2];
};

// Indexed by the biased exponent of the float.
extern const std::array<FastBinade, 256> kFastBinades;

// The machine keeps the low byte of a word first (x86-64, ARM64): the digit text is built in a
// register in that order. Compilers fold this to a constant.
inline bool LittleEndian() {
    const uint32_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

inline void StoreWord(char* out, uint64_t word) { std::memcpy(out, &word, sizeof(word)); }

inline char* WritePair(char* out, unsigned value) {
    std::memcpy(out, kDigitPairs + 2 * value, 2);
    return out + 2;
}

// Infinity and NaN are written by hand: the C runtimes agree on "inf" and "nan", but not all of them
// print a NaN's sign the way the reference stream does.
inline char* WriteNonFinite(uint32_t bits, char* out) {
    if ((bits >> 31) != 0) *out++ = '-';
    std::memcpy(out, (bits & 0x7fffffu) != 0 ? "nan" : "inf", 3);
    return out + 3;
}

// Six significant digits (`digits` in [100000, 999999]) times 10^(exponent - 5), in the "%g" layout.
// The six digit characters travel in one register and leave in fixed 8-byte stores (a store of a
// varying length, or a reload of bytes stored in pieces, costs more than the rest of the number).
// REQUIRES: LittleEndian(); room for kMaxFloatText - 1 characters.
inline char* WriteSixDigits(uint32_t digits, int exponent, char* out) {
    uint16_t high, middle, low;
    std::memcpy(&high, kDigitPairs + 2 * (digits / 10000), 2);
    std::memcpy(&middle, kDigitPairs + 2 * (digits / 100 % 100), 2);
    std::memcpy(&low, kDigitPairs + 2 * (digits % 100), 2);
    uint64_t word = uint64_t{high} | (uint64_t{middle} << 16) | (uint64_t{low} << 32);
    int used = 6;
    if (digits % 10 == 0) {
        uint32_t rest = digits / 10;
        --used;
        while (rest % 10 == 0) {  // at most five zeros: the first digit is not 0
            rest /= 10;
            --used;
        }
    }

    if (exponent < -4 || exponent >= 6) {
        out[0] = static_cast<char>(word & 0xff);
        out[1] = '.';
        StoreWord(out + 2, word >> 8);
        out += used > 1 ? used + 1 : 1;
        out[0] = 'e';
        out[1] = exponent < 0 ? '-' : '+';
        unsigned magnitude = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
        return WritePair(out + 2, magnitude);  // float exponents stay below 100
    }
    if (exponent >= 0) {
        int whole = exponent + 1;
        StoreWord(out, word);
        if (used <= whole) return out + whole;
        out[whole] = '.';
        StoreWord(out + whole + 1, word >> (8 * whole));
        return out + used + 1;
    }
    // 0.000ddd: "0." and -exponent - 1 zeros (at most three) before the digits.
    std::memcpy(out, "0.000", 5);
    out += 1 - exponent;
    StoreWord(out, word);
    return out + used;
}

}  // namespace detail

// The common range (normal floats from about 1e-4 to 1e6, where a mesh's coordinates mostly lie) is
// decided here, inline and without branches on the value's digits; the rest goes to the general path.
inline char* FormatFloat(float value, char* out) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    const detail::FastBinade& binade = detail::kFastBinades[(bits >> 23) & 0xffu];
    if (binade.threshold == 0 || !detail::LittleEndian()) return detail::FormatFloatGeneral(value, out);
    uint32_t m = (bits & 0x7fffffu) | (1u << 23);
    unsigned upper = m >= binade.threshold ? 1 : 0;
    uint64_t t = m * binade.powerOfFive[upper];
    unsigned shift = binade.shift[upper];
    uint64_t whole = t >> shift;
    uint64_t rest = t & ((uint64_t{1} << shift) - 1);
    uint64_t half = uint64_t{1} << (shift - 1);
    // Round to nearest, an exact tie to the even neighbour.
    uint64_t up = static_cast<uint64_t>(rest > half) | (static_cast<uint64_t>(rest == half) & whole & 1);
    uint64_t digits = whole + up;
    if (digits - 100000 >= 900000) return detail::FormatFloatGeneral(value, out);  // rounds past 999999
    out[0] = '-';
    return detail::WriteSixDigits(static_cast<uint32_t>(digits), binade.exponent[upper], out + (bits >> 31));
}

}  // namespace draw
}  // namespace zep

#endif  // ZEP3D_DRAW_FLOATFORMAT_H_
