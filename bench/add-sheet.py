#!/usr/bin/env python3
"""Writes PAGE to OUT with a 100 KB style sheet of 1,400 rules added to its
head, for measuring what the cascade costs: six in ten rules are
decorative, which page text drops as it reads them; the rest set display,
white-space, visibility or text-transform through descendant, child,
:nth-child(), :not() and attribute selectors, a hundred of them ending in
td. The sheet is the same on every run.

    bench/add-sheet.py /tmp/table-8M.html /tmp/table-8M-sheet.html
"""
import random
import sys


def sheet():
    random.seed(7)
    rules = []
    size = 0
    i = 0
    while size < 100 * 1024:
        k = i % 10
        if k < 6:
            rule = '.m%d a:hover, #nav%d li{color:#%06x;font-size:%dpx;margin:0 %dpx}' % (
                i, i, random.randrange(1 << 24), random.randrange(8, 20), i % 9)
        elif k == 6:
            rule = 'table.log tr.row%d td{display:none}' % i
        elif k == 7:
            rule = '#id%d > span.l, div.c%d span{display:block;white-space:pre}' % (i, i)
        elif k == 8:
            rule = 'td:nth-child(%d) .x%d{visibility:hidden}' % (i % 5 + 1, i)
        else:
            rule = '[data-k%d~="v"] b, p.p%d:not(.q){text-transform:uppercase}' % (i, i)
        rules.append(rule)
        size += len(rule) + 1
        i += 1
    rules.append('td{white-space:normal} .log td{display:table-cell}')
    return '\n'.join(rules).encode()


def main():
    page = open(sys.argv[1], 'rb').read()
    head = page.find(b'</head>')
    if head < 0:
        sys.exit('%s has no </head>' % sys.argv[1])
    open(sys.argv[2], 'wb').write(page[:head] + b'<style>' + sheet() + b'</style>' + page[head:])


main()
