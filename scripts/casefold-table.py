#!/usr/bin/env python3
"""Prints the runs of paradox/CaseFold.cpp from Python's Unicode database: by default Unicode
simple case folding (the one-character foldings, as file systems that ignore case use them),
with --upper the simple upper-case mapping.

    python3 scripts/casefold-table.py > /tmp/runs.inc           # then paste over kRuns
    python3 scripts/casefold-table.py --upper > /tmp/upper.inc  # then paste over kUpperRuns
"""
import sys
import unicodedata


def simple_fold(c):
    folded = c.casefold()
    if len(folded) == 1:
        return folded
    lower = c.lower()
    return lower if len(lower) == 1 else c


def simple_upper(c):
    # Where the full mapping makes two characters (the Greek letters with iota subscript), the
    # simple one is the title-case letter; ß and the ligatures have none and stay as they are.
    for mapped in (c.upper(), c.title()):
        if len(mapped) == 1:
            return mapped
    return c


def main():
    mapping = simple_upper if "--upper" in sys.argv[1:] else simple_fold
    pairs = []
    for cp in range(0x110000):
        c = chr(cp)
        if unicodedata.category(c) == "Cs":
            continue
        f = mapping(c)
        if f != c:
            pairs.append((cp, ord(f)))
    # Runs of code points a fixed stride apart (1, or 2 for alternating upper and lower case)
    # that all move by the same distance.
    i = 0
    while i < len(pairs):
        first, target = pairs[i]
        delta = target - first
        best_end, best_stride = i, 1
        for stride in (1, 2):
            k = i
            while (k + 1 < len(pairs) and pairs[k + 1][0] == pairs[k][0] + stride
                   and pairs[k + 1][1] - pairs[k + 1][0] == delta):
                k += 1
            if k > best_end:
                best_end, best_stride = k, stride
        print("    {0x%04X, 0x%04X, %d, %d}," % (first, pairs[best_end][0], delta, best_stride))
        i = best_end + 1
    print("// Unicode %s" % unicodedata.unidata_version)


main()
