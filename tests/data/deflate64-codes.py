#!/usr/bin/env python3
"""Lists which Deflate64-only codes the Deflate64 entries of a ZIP archive use.

    tests/data/deflate64-codes.py ARCHIVE

One line per method-9 entry: name, longest match, matches longer than 258
(length code 285 with its 16 extra bits), matches with distance code 30 or 31.
A slow bit-by-bit walk, only for checking fixtures.
"""
import sys, struct, zipfile

def codes_used(stream):
    """Walks a Deflate64 stream; returns (longest match, count of length code 285 with extra bits, count of distance codes 30/31)."""
    pos = 0
    def bits(n):
        nonlocal pos
        v = 0
        for i in range(n):
            v |= ((stream[pos >> 3] >> (pos & 7)) & 1) << i
            pos += 1
        return v
    def huffman(lengths):
        code, table = 0, {}
        for length in range(1, 16):
            for sym, l in enumerate(lengths):
                if l == length:
                    table[(length, code)] = sym
                    code += 1
            code <<= 1
        return table
    def symbol(table):
        code = length = 0
        while True:
            code = (code << 1) | bits(1)
            length += 1
            if (length, code) in table:
                return table[(length, code)]
    lbase = [3,4,5,6,7,8,9,10,11,13,15,17,19,23,27,31,35,43,51,59,67,83,99,115,131,163,195,227,3]
    lext = [0]*8 + [1]*4 + [2]*4 + [3]*4 + [4]*4 + [5]*4 + [16]
    dbase = [1,2,3,4,5,7,9,13,17,25,33,49,65,97,129,193,257,385,513,769,1025,1537,2049,3073,4097,6145,8193,12289,16385,24577,32769,49153]
    dext = [0,0,0,0] + [i // 2 for i in range(2, 30)]
    longest = long285 = far = 0
    while True:
        last, kind = bits(1), bits(2)
        if kind == 0:
            pos = (pos + 7) & ~7
            n = bits(16); bits(16); pos += 8 * n
        else:
            if kind == 1:
                lit = huffman([8]*144 + [9]*112 + [7]*24 + [8]*8)
                dist = huffman([5]*32)
            else:
                hlit, hdist, hclen = bits(5) + 257, bits(5) + 1, bits(4) + 4
                order = [16,17,18,0,8,7,9,6,10,5,11,4,12,3,13,2,14,1,15]
                cl = [0]*19
                for i in range(hclen): cl[order[i]] = bits(3)
                clt = huffman(cl)
                lengths = []
                while len(lengths) < hlit + hdist:
                    s = symbol(clt)
                    if s < 16: lengths.append(s)
                    elif s == 16: lengths += [lengths[-1]] * (3 + bits(2))
                    elif s == 17: lengths += [0] * (3 + bits(3))
                    else: lengths += [0] * (11 + bits(7))
                lit, dist = huffman(lengths[:hlit]), huffman(lengths[hlit:])
            while True:
                s = symbol(lit)
                if s < 256: continue
                if s == 256: break
                length = lbase[s - 257] + bits(lext[s - 257])
                d = symbol(dist)
                bits(dext[d])
                longest = max(longest, length)
                long285 += s == 285 and length > 258
                far += d >= 30
        if last: return longest, long285, far

with zipfile.ZipFile(sys.argv[1]) as z:
    raw = open(sys.argv[1], 'rb').read()
    for info in z.infolist():
        if info.compress_type != 9: continue
        o = info.header_offset
        n, e = struct.unpack('<HH', raw[o + 26:o + 30])
        data = raw[o + 30 + n + e:o + 30 + n + e + info.compress_size]
        print(info.filename, *codes_used(data))
