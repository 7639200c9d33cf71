#!/usr/bin/env python3
"""Prints the runs of paradox/CaseFold.cpp: Unicode simple case folding (the one-character
foldings, as file systems that ignore case use them) from Python's Unicode database.

    python3 scripts/casefold-table.py > /tmp/runs.inc   # then paste over the table
"""
import unicodedata


def simple_fold(c):
    folded = c.casefold()
    if len(folded) == 1:
        return folded
    lower = c.lower()
    return lower if len(lower) == 1 else c


def main():
    pairs = []
    for cp in range(0x110000):
        c = chr(cp)
        if unicodedata.category(c) == "Cs":
            continue
        f = simple_fold(c)
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
