// Exact "%g" (6 significant digits) text of floats: integer arithmetic on the 24-bit mantissa against a
// table of 64-bit powers of ten, and std::to_chars for the few values that table cannot decide.
#include "draw/FloatFormat.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace zep {
namespace draw {

using detail::kDigitTriples;
using detail::LittleEndian;

namespace {

// 5^k for the exact scales: m * 5^k stays below 2^64 for every 24-bit mantissa m up to k = 17.
constexpr int kMaxExactPower = 17;

constexpr std::array<uint64_t, kMaxExactPower + 1> MakePowersOfFive() {
    std::array<uint64_t, kMaxExactPower + 1> table{};
    uint64_t power = 1;
    for (uint64_t& entry : table) {
        entry = power;
        power *= 5;
    }
    return table;
}

constexpr std::array<uint64_t, kMaxExactPower + 1> kPowersOfFive = MakePowersOfFive();

// The inline path writes values from 1e-4 on: its scales reach 10^9.
constexpr int kMaxFastPower = 9;

void StoreWord(char* out, uint64_t word) { std::memcpy(out, &word, sizeof(word)); }

// Infinity and NaN are written by hand: the C runtimes agree on "inf" and "nan", but not all of them
// print a NaN's sign the way the reference stream does.
char* WriteNonFinite(uint32_t bits, char* out) {
    if ((bits >> 31) != 0) *out++ = '-';
    std::memcpy(out, (bits & 0x7fffffu) != 0 ? "nan" : "inf", 3);
    return out + 3;
}

// Six significant digits (`digits` in [100000, 999999]) times 10^(exponent - 5), in the "%g" layout.
// The six digit characters travel in one register and leave in fixed 8-byte stores.
// REQUIRES: LittleEndian(); room for kMaxFloatText - 1 characters.
char* WriteSixDigits(uint32_t digits, int exponent, char* out) {
    const uint32_t highText = kDigitTriples[digits / 1000];
    const uint32_t lowText = kDigitTriples[digits % 1000];
    const uint64_t word = (highText & 0xffffffu) | (uint64_t{lowText} << 24);
    const int used = static_cast<int>((lowText >> 24) != 0 ? 3 + (lowText >> 24) : highText >> 24);
    if (exponent < -4 || exponent >= 6) {
        out[0] = static_cast<char>(word & 0xff);
        out[1] = '.';
        StoreWord(out + 2, word >> 8);
        out += used > 1 ? used + 1 : 1;
        out[0] = 'e';
        out[1] = exponent < 0 ? '-' : '+';
        const uint32_t magnitude = static_cast<uint32_t>(exponent < 0 ? -exponent : exponent);
        out[2] = static_cast<char>('0' + magnitude / 10);  // float exponents stay below 100
        out[3] = static_cast<char>('0' + magnitude % 10);
        return out + 4;
    }
    if (exponent >= 0) {
        const int whole = exponent + 1;
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

// ---- Powers of ten, built at compile time ---------------------------------------------------------

// 10^k is c * 2^q with c in [2^63, 2^64). c is the truncated (never larger) value, so a product with
// it is at most one unit of c too small per unit of the mantissa; `exact` says c is 10^k exactly.
struct PowerOfTen {
    uint64_t c;
    int q;
    bool exact;
};

struct U128 {
    uint64_t hi;
    uint64_t lo;
};

constexpr U128 ShiftLeft1(U128 a) { return U128{(a.hi << 1) | (a.lo >> 63), a.lo << 1}; }

constexpr U128 Add(U128 a, U128 b) {
    uint64_t lo = a.lo + b.lo;
    return U128{a.hi + b.hi + (lo < a.lo ? 1 : 0), lo};
}

constexpr U128 Sub(U128 a, U128 b) { return U128{a.hi - b.hi - (a.lo < b.lo ? 1 : 0), a.lo - b.lo}; }

constexpr bool NotLess(U128 a, U128 b) { return a.hi != b.hi ? a.hi > b.hi : a.lo >= b.lo; }

constexpr U128 Times5(U128 a) { return Add(ShiftLeft1(ShiftLeft1(a)), a); }

constexpr int BitLength(U128 a) {
    int n = 0;
    while (a.hi != 0 || a.lo != 0) {
        a = U128{a.hi >> 1, (a.lo >> 1) | (a.hi << 63)};
        ++n;
    }
    return n;
}

// Floats reach from about 1.4e-45 to 3.4e38; the scale 10^k brings them to six digits, k = 5 - exponent,
// and one step of slack on both sides covers the first guess of the exponent.
constexpr int kMinPower = -34;
constexpr int kMaxPower = 51;
constexpr int kPowerCount = kMaxPower - kMinPower + 1;

constexpr PowerOfTen MakePowerOfTen(int k) {
    int j = k < 0 ? -k : k;
    U128 five{0, 1};
    for (int i = 0; i < j; ++i) five = Times5(five);
    int length = BitLength(five);
    PowerOfTen p{0, 0, false};
    if (k >= 0) {
        // 10^k = 5^k * 2^k: keep the top 64 bits of 5^k.
        if (length <= 64) {
            p.c = five.lo << (64 - length);
            p.exact = true;
        } else {
            int drop = length - 64;
            p.c = drop >= 64 ? five.hi >> (drop - 64) : (five.lo >> drop) | (five.hi << (64 - drop));
            p.exact = false;
        }
        p.q = k + length - 64;
    } else {
        // 10^-j = 2^-j / 5^j: c = floor(2^(63 + length) / 5^j), by long division one bit at a time.
        int top = 63 + length;
        U128 remainder{0, 0};
        uint64_t quotient = 0;
        for (int bit = top; bit >= 0; --bit) {
            remainder = ShiftLeft1(remainder);
            if (bit == top) remainder.lo |= 1;
            quotient <<= 1;
            if (NotLess(remainder, five)) {
                remainder = Sub(remainder, five);
                quotient |= 1;
            }
        }
        p.c = quotient;
        p.q = -j - top;
        p.exact = false;
    }
    return p;
}

constexpr std::array<PowerOfTen, kPowerCount> MakePowerTable() {
    std::array<PowerOfTen, kPowerCount> table{};
    for (int k = kMinPower; k <= kMaxPower; ++k)
        table[static_cast<std::size_t>(k - kMinPower)] = MakePowerOfTen(k);
    return table;
}

constexpr std::array<PowerOfTen, kPowerCount> kPowers = MakePowerTable();

// The scale of the first try for each binary exponent b = e + 23 of a normalised float (value in
// [2^b, 2^(b+1))): k = 5 - floor(log10 value) needs one less from the mantissa `threshold` on, where
// the binade crosses a power of ten. Exact enough to make the first try right almost always; the
// digit loop corrects the rest.
struct Binade {
    int k;
    uint32_t threshold;
};

constexpr int kMinBinade = -149;
constexpr int kMaxBinade = 127;
constexpr int kBinadeCount = kMaxBinade - kMinBinade + 1;

// floor(b * log10(2)) without floating point, for the binary exponents of floats.
constexpr int FloorLog10Pow2(int b) {
    return b >= 0 ? (b * 78913) >> 18 : -((-b * 78913 + (1 << 18) - 1) >> 18);
}

constexpr std::array<Binade, kBinadeCount> MakeBinadeTable() {
    std::array<Binade, kBinadeCount> table{};
    for (int b = kMinBinade; b <= kMaxBinade; ++b) {
        int x = FloorLog10Pow2(b);
        Binade entry{5 - x, uint32_t{1} << 24};
        // 10^(x + 1) = c * 2^q; as a mantissa of this binade it is c * 2^(q + 23 - b).
        PowerOfTen next = MakePowerOfTen(x + 1);
        int shift = b - 23 - next.q;
        if (shift > 0 && shift < 64) {
            uint64_t mantissa = (next.c >> shift) + 1;  // c is truncated: round the threshold up
            if (mantissa < (uint64_t{1} << 24)) entry.threshold = static_cast<uint32_t>(mantissa);
        }
        table[static_cast<std::size_t>(b - kMinBinade)] = entry;
    }
    return table;
}

constexpr std::array<Binade, kBinadeCount> kBinades = MakeBinadeTable();

static_assert(kPowers[0 - kMinPower].c == (uint64_t{1} << 63) && kPowers[0 - kMinPower].q == -63, "10^0");
static_assert(kPowers[3 - kMinPower].c == (uint64_t{1000} << 54) && kPowers[3 - kMinPower].exact, "10^3");

// The six rounded digits and the decimal exponent of m * 2^e (m in [2^23, 2^24)). Returns false when
// the value lies too close to a rounding boundary for the table's precision to decide.
bool SixDigits(uint32_t m, int e, uint32_t* digits, int* exponent) {
    int b = e + 23;
    if (b < kMinBinade || b > kMaxBinade) return false;
    const Binade& binade = kBinades[static_cast<std::size_t>(b - kMinBinade)];
    int k = m >= binade.threshold ? binade.k - 1 : binade.k;
    for (int attempt = 0; attempt < 4; ++attempt) {
        uint64_t rounded;
        if (k >= 0 && k <= kMaxExactPower) {
            // Values from about 1e-12 to 1e6: m * 5^k fits 64 bits, so value * 10^k =
            // (m * 5^k) * 2^(e + k) is exact and rounds exactly, ties to even.
            uint64_t t = m * kPowersOfFive[static_cast<std::size_t>(k)];
            int shift = -(e + k);
            if (shift <= 0) {
                if (shift < -20) return false;  // cannot happen for six digits; keeps the shift defined
                rounded = t << -shift;
            } else if (shift >= 64) {
                ++k;
                continue;
            } else {
                uint64_t whole = t >> shift;
                uint64_t rest = t & ((uint64_t{1} << shift) - 1);
                uint64_t half = uint64_t{1} << (shift - 1);
                rounded = whole + ((rest > half || (rest == half && (whole & 1) != 0)) ? 1 : 0);
            }
        } else {
            if (k < kMinPower || k > kMaxPower) return false;
            const PowerOfTen& p = kPowers[static_cast<std::size_t>(k - kMinPower)];
            // value * 10^k = (m * c) * 2^(e + q), with m * c below 2^88.
            uint64_t low = m * (p.c & 0xffffffffu);
            uint64_t high = m * (p.c >> 32);
            uint64_t lo = (high << 32) + low;
            uint64_t hi = (high >> 32) + (lo < low ? 1 : 0);
            int fractionBits = -(e + p.q);
            if (fractionBits < 64) {  // far too large for six digits
                --k;
                continue;
            }
            if (fractionBits > 127) {  // far too small
                ++k;
                continue;
            }
            int r = fractionBits - 64;
            uint64_t whole = hi >> r;
            uint64_t fraction = r == 0 ? lo : (hi << (64 - r)) | (lo >> r);  // top 64 fraction bits
            bool belowDropped = r != 0 && (lo & ((uint64_t{1} << r) - 1)) != 0;
            constexpr uint64_t kHalf = uint64_t{1} << 63;
            // The exact product exceeds m * c by less than m < 2^24 units of its last bit.
            constexpr uint64_t kDoubt = uint64_t{1} << 25;
            bool up = fraction >= kHalf;
            if (fraction == kHalf) {
                // Only an exact power and nothing below the kept bits make a tie, which goes to the even
                // neighbour; otherwise the exact value lies above the half.
                if (p.exact && !belowDropped) up = (whole & 1) != 0;
            } else if (!up && !p.exact && fraction >= kHalf - kDoubt) {
                return false;  // the exact value may reach the half: too close to decide here
            }
            rounded = whole + (up ? 1 : 0);
        }
        if (rounded >= 1000000) {
            --k;
        } else if (rounded < 100000) {
            ++k;
        } else {
            *digits = static_cast<uint32_t>(rounded);
            *exponent = 5 - k;
            return true;
        }
    }
    return false;
}

}  // namespace

namespace detail {

// The scales k of each biased exponent's values in the fast path (entry 0 below the threshold, entry 1
// from it on) and whether each is taken there; a threshold of 0 where neither is.
struct FastBinade {
    uint32_t threshold;
    int k[2];
    bool fast[2];
};

constexpr uint64_t FastMultiplier(int e, int k) {
    return kPowersOfFive[static_cast<std::size_t>(k)] << (kFastFractionBits + e + k);
}

// The digits FormatFloat makes of mantissa m with `multiplier`: the same arithmetic.
constexpr uint64_t FastDigits(uint64_t m, uint64_t multiplier) {
    uint64_t t = m * multiplier;
    return (t + ((uint64_t{1} << (kFastFractionBits - 1)) - 1) + ((t >> kFastFractionBits) & 1)) >>
           kFastFractionBits;
}

// Whether the mantissas `first` to `last` of a binade with exponent e can all take the scale 10^k.
// REQUIRES: first <= last.
constexpr bool FastScaleFits(int e, int k, uint64_t first, uint64_t last) {
    // value * 10^k = m * 5^k * 2^(e + k): the fixed point must hold every bit below the point...
    if (k < 0 || k > kMaxFastPower || kFastFractionBits + e + k < 0 || -(e + k) < 1) return false;
    // ... the product of the largest mantissa must fit 64 bits...
    if (FastMultiplier(e, k) > ~uint64_t{0} / last) return false;
    // ... and every mantissa must round to six digits (the digits grow with the mantissa), so that
    // FormatFloat needs no check of its own.
    return FastDigits(first, FastMultiplier(e, k)) >= 100000 &&
           FastDigits(last, FastMultiplier(e, k)) <= 999999;
}

constexpr FastBinade MakeFastBinade(int biased) {
    FastBinade entry{0, {0, 0}, {false, false}};
    int b = biased - 127;
    if (biased < 1 || biased > 254 || b < kMinBinade || b > kMaxBinade) return entry;
    const int e = biased - 150;
    const int k = kBinades[static_cast<std::size_t>(b - kMinBinade)].k;
    const int shift = -(e + k);
    if (k < 0 || k > kMaxExactPower || shift < 1 || shift > 40) return entry;
    // The second scale starts where the first one's digits would round up to 10^6, at
    // m * 5^k * 2^-shift >= 999999.5 (a tie goes up there, to the even 1000000): where the binade
    // crosses a power of ten, or a little before.
    const uint64_t first = uint64_t{1} << 23;
    const uint64_t end = uint64_t{1} << 24;
    const uint64_t five = kPowersOfFive[static_cast<std::size_t>(k)];
    uint64_t threshold = ((uint64_t{1999999} << (shift - 1)) + five - 1) / five;
    if (threshold > end) threshold = end;
    if (threshold < first) threshold = first;
    entry.k[0] = k;
    entry.k[1] = k - 1;
    // A scale that no mantissa takes stays with the general path. At the ends of the common range a
    // binade may be half in it: 10^-4 and 10^6 cross binades.
    entry.fast[0] = threshold > first && FastScaleFits(e, k, first, threshold - 1);
    entry.fast[1] = threshold < end && FastScaleFits(e, k - 1, threshold, end - 1);
    if (entry.fast[0] || entry.fast[1]) entry.threshold = static_cast<uint32_t>(threshold);
    return entry;
}

// Zero, infinity and NaN: the exponents 0 and 255 split after mantissa 0.
constexpr uint32_t kZeroMantissaSplit = (uint32_t{1} << 23) + 1;

constexpr std::array<uint32_t, 256> MakeFastThresholds() {
    std::array<uint32_t, 256> table{};
    for (int biased = 0; biased < 256; ++biased) {
        table[static_cast<std::size_t>(biased)] = MakeFastBinade(biased).threshold;
    }
    table[0] = kZeroMantissaSplit;
    table[255] = kZeroMantissaSplit;
    return table;
}

// A scale whose values are all written as `text` (up to 8 characters), after the sign.
constexpr FastScale MakeConstantScale(const char* text) {
    FastScale scale{};
    int length = 0;
    for (; text[length] != '\0'; ++length) scale.point |= static_cast<uint64_t>(text[length]) << (8 * length);
    for (uint8_t& l : scale.length) l = static_cast<uint8_t>(length);
    return scale;
}

constexpr FastScale MakeGeneralScale() {
    FastScale scale{};
    scale.general = 1;
    return scale;
}

constexpr FastScale MakeFastScale(int biased, int k) {
    FastScale scale{};
    int e = biased - 150;
    scale.multiplier = FastMultiplier(e, k);
    int exponent = 5 - k;
    int whole = exponent >= 0 ? exponent + 1 : 0;
    if (exponent >= 0) {
        scale.wholeMask = (uint64_t{1} << (8 * whole)) - 1;
        scale.fractionMask = ~scale.wholeMask << 8;
        scale.point = uint64_t{'.'} << (8 * whole);
        scale.offset = 0;
    } else {
        scale.wholeMask = ~uint64_t{0};
        scale.fractionMask = 0;
        scale.point = 0;
        scale.offset = static_cast<uint8_t>(1 - exponent);  // "0." and -exponent - 1 zeros
    }
    for (int index = 0; index < 16; ++index) {
        int lowDigits = index >> 2;
        int highDigits = index & 3;
        int used = lowDigits != 0 ? 3 + lowDigits : highDigits;
        // Whole digits are written even when they are trailing zeros; a fraction only with its point.
        int length = used > whole ? used + (exponent >= 0 ? 1 : 0) : whole;
        scale.length[index] = static_cast<uint8_t>(scale.offset + length);
    }
    return scale;
}

constexpr std::array<FastScale, 512> MakeFastScales() {
    std::array<FastScale, 512> table{};
    for (int biased = 0; biased < 256; ++biased) {
        FastBinade entry = MakeFastBinade(biased);
        for (int upper = 0; upper < 2; ++upper) {
            table[static_cast<std::size_t>(2 * biased + upper)] =
                entry.fast[upper] ? MakeFastScale(biased, entry.k[upper]) : MakeGeneralScale();
        }
    }
    // Mantissa 0 below the split, anything else above it.
    table[0] = MakeConstantScale("0");
    table[1] = MakeGeneralScale();  // subnormals
    table[2 * 255] = MakeConstantScale("inf");
    table[2 * 255 + 1] = MakeConstantScale("nan");
    return table;
}

constexpr std::array<uint32_t, 256> kFastThresholds = MakeFastThresholds();
constexpr std::array<FastScale, 512> kFastScales = MakeFastScales();

constexpr std::array<uint32_t, 1000> MakeDigitTriples() {
    std::array<uint32_t, 1000> table{};
    for (uint32_t i = 0; i < 1000; ++i) {
        uint32_t significant = i == 0 ? 0 : i % 100 == 0 ? 1 : i % 10 == 0 ? 2 : 3;
        table[i] =
            ('0' + i / 100) | (('0' + i / 10 % 10) << 8) | (('0' + i % 10) << 16) | (significant << 24);
    }
    return table;
}

constexpr std::array<uint32_t, 1000> kDigitTriples = MakeDigitTriples();

char* FormatFloatGeneral(float value, char* out) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    uint32_t biased = (bits >> 23) & 0xffu;
    uint32_t mantissa = bits & 0x7fffffu;
    if (biased == 0xffu) return WriteNonFinite(bits, out);
    if (!LittleEndian()) return FormatFloatReference(value, out);
    char* p = out;
    *p = '-';
    p += bits >> 31;
    if (biased == 0 && mantissa == 0) {
        *p++ = '0';
        return p;
    }
    uint32_t m;
    int e;
    if (biased == 0) {  // subnormal: scale the mantissa up to 24 bits
        m = mantissa;
        e = -149;
        while (m < (1u << 23)) {
            m <<= 1;
            --e;
        }
    } else {
        m = mantissa | (1u << 23);
        e = static_cast<int>(biased) - 150;
    }
    uint32_t digits;
    int exponent;
    if (!SixDigits(m, e, &digits, &exponent)) return FormatFloatReference(value, out);
    return WriteSixDigits(digits, exponent, p);
}

}  // namespace detail

char* FormatFloatReference(float value, char* out) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    if (((bits >> 23) & 0xffu) == 0xffu) return WriteNonFinite(bits, out);
    return std::to_chars(out, out + kMaxFloatText, static_cast<double>(value), std::chars_format::general, 6)
        .ptr;
}

}  // namespace draw
}  // namespace zep
