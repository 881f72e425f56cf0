#!/usr/bin/env python3
"""Runs `parlowen-check --page-text FILE` on pages built to be costly and on
realistic log pages of several layouts, each of a given size, and prints a
Markdown table of the verdict (text or too complex), the processor time (user
+ system) and the peak resident set of the whole process.

    bench/hostile-pages.py [--check build/bin/parlowen-check] [--sizes 1M,32M]

No network is used: the pages are files in a temporary folder.
"""

import argparse
import os
import resource
import subprocess
import tempfile

from pageparts import joined

HEAD = ('<html><head><title>System Log</title><style>td{font:12px sans-serif}</style>'
        '<script>var x=1;</script></head><body>')


def repeated(shape, size):
    return (shape * (size // len(shape) + 1))[:size]


def log(line, size, prefix='', suffix=''):
    def entry(i):
        return line('Jan  1 00:%02d:%02d kernel: eth0: link up, 100Mbps, full-duplex &amp; lpa 0x45E1 rx=%d'
                    % (i // 60 % 60, i % 60, i))
    return HEAD + prefix + joined(entry, size - 200) + line('WAN IP is 203.0.113.7') + suffix


def cells(entry):
    return '<tr><td>' + entry[:15] + '</td><td>' + entry[16:] + '</td></tr>\r\n'


def pages(size):
    return {
        # Realistic logs.
        'log in a textarea': log(lambda e: e + '\r\n', size, '<textarea>', '</textarea>'),
        'log in a pre': log(lambda e: e + '\r\n', size, '<pre>', '</pre>'),
        'table row a line': log(cells, size, '<table>', '</table>'),
        'div a line': log(lambda e: '<div>' + e + '</div>\r\n', size),
        'font a line': log(lambda e: '<font color=green>' + e + '</font><br>\r\n', size),
        'unclosed font a line': log(lambda e: '<font color=green>' + e + '<br>\r\n', size),
        # Built to be costly.
        '<a><b></a>': repeated('<a><b></a>', size),
        '<a><div></a>x': repeated('<a><div></a>x', size),
        '<x><y></x>': repeated('<x><y></x>', size),
        '<span><div></span>': repeated('<span><div></span>', size),
        '<div><span>': repeated('<div><span>', size),
        '<b class=N>': joined(lambda i: '<b class=%d>' % i, size),
        '<p><b class=N>x': joined(lambda i: '<p><b class=%d>x' % i, size),
        '510 open, then </li>': repeated('<y>', 1530) + repeated('</li>', size),
        '510 open, then </p>': repeated('<y>', 1530) + repeated('</p>', size),
        'one tag, distinct attributes': '<a ' + joined(lambda i: 'a%d=1 ' % i, size) + '>x',
        '<table><tr><td>': repeated('<table><tr><td>', size),
        '<table><colgroup><col>': repeated('<table><colgroup><col>', size),
        '<isindex>': repeated('<isindex>', size),
        'a<br>': repeated('a<br>', size),
        '<template>': repeated('<template>', size),
    }


def measure(check, path):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    run = subprocess.run([check, '--page-text', path], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                         timeout=600)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    verdict = 'too complex' if b'too complex' in run.stderr else ('text' if run.returncode == 0 else
                                                                  'exit %d' % run.returncode)
    # ru_maxrss of the children is the largest so far, so each page runs in
    # a fresh child of its own that reports its own peak.
    return verdict, cpu


def peak(check, path):
    script = ('import resource, subprocess, sys\n'
              'subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)\n'
              'print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n')
    out = subprocess.run(['python3', '-c', script, check, '--page-text', path], capture_output=True, text=True)
    return int(out.stdout.strip()) // 1024


def size_of(text):
    units = {'K': 1 << 10, 'M': 1 << 20}
    return int(text[:-1]) * units[text[-1]] if text[-1] in units else int(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument('--check', default='build/bin/parlowen-check')
    parser.add_argument('--sizes', default='1M,32M')
    args = parser.parse_args()
    print('| page | size | verdict | CPU | peak RSS |')
    print('|------|------|---------|-----|----------|')
    with tempfile.TemporaryDirectory() as folder:
        for size_text in args.sizes.split(','):
            size = size_of(size_text)
            for name, page in pages(size).items():
                path = os.path.join(folder, 'page.html')
                with open(path, 'w', encoding='utf-8', newline='') as f:
                    f.write(page)
                verdict, cpu = measure(args.check, path)
                print('| %s | %s | %s | %.2f s | %d MB |' % (name.replace('|', '\\|'), size_text, verdict, cpu,
                                                             peak(args.check, path)), flush=True)


if __name__ == '__main__':
    main()
