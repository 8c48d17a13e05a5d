#!/usr/bin/env python3
"""Writes the constant tables of the crypt kit as C++ sources.

Run from this folder:  python3 gen_tables.py && clang-format -i *Tables.cpp
It writes RijndaelTables.cpp, BlowFishTables.cpp and Sha256Tables.cpp, all declared in CryptTables.h.
Every value is computed here from its definition: the Rijndael tables from GF(2^8) arithmetic, the
Blowfish tables from the hexadecimal digits of pi, the SHA-256 constants from roots of primes.
"""

import os

HERE = os.path.dirname(os.path.abspath(__file__))


# ---- Rijndael ----------------------------------------------------------------------------------

def gmul(a, b):
    """Product in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1."""
    r = 0
    while b:
        if b & 1:
            r ^= a
        a <<= 1
        if a & 0x100:
            a ^= 0x11B
        b >>= 1
    return r


def ginv(a):
    if a == 0:
        return 0
    for b in range(1, 256):
        if gmul(a, b) == 1:
            return b
    raise ValueError(a)


def sbox_value(a):
    b = ginv(a)
    r = 0x63
    for i in range(8):
        bit = ((b >> i) ^ (b >> ((i + 4) % 8)) ^ (b >> ((i + 5) % 8)) ^ (b >> ((i + 6) % 8)) ^
               (b >> ((i + 7) % 8))) & 1
        r ^= bit << i
    return r


def word(b0, b1, b2, b3):
    return (b0 << 24) | (b1 << 16) | (b2 << 8) | b3


def ror8(w, n):
    n *= 8
    return ((w >> n) | (w << (32 - n))) & 0xFFFFFFFF


def rijndael_tables():
    S = [sbox_value(a) for a in range(256)]
    Si = [0] * 256
    for i, v in enumerate(S):
        Si[v] = i
    te0 = [word(gmul(s, 2), s, s, gmul(s, 3)) for s in S]
    td0 = [word(gmul(s, 14), gmul(s, 9), gmul(s, 13), gmul(s, 11)) for s in Si]
    u1 = [word(gmul(b, 14), gmul(b, 9), gmul(b, 13), gmul(b, 11)) for b in range(256)]
    tables = {
        'kRijndaelSbox': ('uint8_t', S),
        'kRijndaelSboxInv': ('uint8_t', Si),
    }
    # The four rotations of each round table in one array, so one base address reaches all four.
    tables['kRijndaelTe'] = ('uint32_t', [ror8(w, i) for i in range(4) for w in te0], 4)
    tables['kRijndaelTd'] = ('uint32_t', [ror8(w, i) for i in range(4) for w in td0], 4)
    tables['kRijndaelU'] = ('uint32_t', [ror8(w, i) for i in range(4) for w in u1], 4)
    # The last enciphering round has no MixColumn: the S-box value alone, placed in the byte of row r.
    tables['kRijndaelSboxRow'] = ('uint32_t', [s << (24 - 8 * r) for r in range(4) for s in S], 4)
    rcon = []
    r = 1
    for _ in range(30):
        rcon.append(r)
        r = gmul(r, 2)
    tables['kRijndaelRcon'] = ('uint8_t', rcon)
    return tables


# ---- Blowfish ----------------------------------------------------------------------------------

def arctan_inv(x, one):
    """arctan(1/x) scaled by `one`, by the alternating series."""
    total = term = one // x
    x2 = x * x
    n = 1
    sign = -1
    while term:
        term //= x2
        n += 2
        total += sign * (term // n)
        sign = -sign
    return total


def pi_fraction_hex(digits):
    guard = 16
    one = 1 << (4 * (digits + guard))
    pi = 16 * arctan_inv(5, one) - 4 * arctan_inv(239, one)
    frac = pi - 3 * one
    frac >>= 4 * guard
    return '%0*x' % (digits, frac)


def blowfish_tables():
    words = 18 + 4 * 256
    hexdigits = pi_fraction_hex(words * 8)
    values = [int(hexdigits[8 * i:8 * i + 8], 16) for i in range(words)]
    tables = {'kBlowFishInitP': ('uint32_t', values[:18])}
    for i in range(4):
        tables['kBlowFishInitS%d' % i] = ('uint32_t', values[18 + 256 * i:18 + 256 * (i + 1)])
    return tables


# ---- SHA-256 -----------------------------------------------------------------------------------

def primes(count):
    found = []
    n = 2
    while len(found) < count:
        if all(n % p for p in found):
            found.append(n)
        n += 1
    return found


def iroot(value, k):
    """Largest integer r with r**k <= value."""
    lo, hi = 0, 1
    while hi ** k <= value:
        hi *= 2
    while lo < hi - 1:
        mid = (lo + hi) // 2
        if mid ** k <= value:
            lo = mid
        else:
            hi = mid
    return lo


def sha256_tables():
    p64 = primes(64)
    k = [iroot(p << 96, 3) & 0xFFFFFFFF for p in p64]
    h = [iroot(p << 64, 2) & 0xFFFFFFFF for p in p64[:8]]
    return {'kSha256K': ('uint32_t', k), 'kSha256H0': ('uint32_t', h)}


# ---- Output ------------------------------------------------------------------------------------

def emit(path, title, tables):
    lines = ['// %s' % title,
             '// Written by gen_tables.py from the algebra of each table; do not edit by hand.',
             '#include "filecrypt/CryptTables.h"', '', 'namespace zep {', 'namespace filecrypt {', '']
    for name, entry in tables.items():
        ctype, values = entry[0], entry[1]
        rows = entry[2] if len(entry) > 2 else 1
        fmt = '0x%02X' if ctype == 'uint8_t' else '0x%08X'
        per_line = 12 if ctype == 'uint8_t' else 6
        if rows == 1:
            lines.append('const %s %s[%d] = {' % (ctype, name, len(values)))
        else:
            lines.append('const %s %s[%d][%d] = {' % (ctype, name, rows, len(values) // rows))
        size = len(values) // rows
        for r in range(rows):
            row = values[r * size:(r + 1) * size]
            if rows > 1:
                lines.append('    {')
            for i in range(0, len(row), per_line):
                lines.append('    ' + ', '.join(fmt % v for v in row[i:i + per_line]) + ',')
            if rows > 1:
                lines.append('    },')
        lines.append('};')
        lines.append('')
    lines += ['}  // namespace filecrypt', '}  // namespace zep', '']
    with open(os.path.join(HERE, path), 'w') as f:
        f.write('\n'.join(lines))


if __name__ == '__main__':
    emit('RijndaelTables.cpp', 'The Rijndael S-boxes, round tables, key InvMixColumn tables and round constants.',
         rijndael_tables())
    emit('BlowFishTables.cpp', 'The Blowfish initial P-array and S-boxes: the fractional hexadecimal digits of pi.',
         blowfish_tables())
    emit('Sha256Tables.cpp', 'The SHA-256 round constants and initial hash value.', sha256_tables())
