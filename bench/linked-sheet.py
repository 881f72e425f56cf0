#!/usr/bin/env python3
"""What a linked style sheet costs a whole `parlowen-check --page-text URL`:
the same log page once with `<link rel=stylesheet href=log.css>` in its head
and once without, served over HTTP on loopback inside a private network
namespace, with a router's small sheet (a dozen rules, none of which hides
a log line). Each run is one whole process; the processor time (user +
system) is taken from its rusage and its peak resident set from GNU time
(`apt-get install time`). The table gives the medians of the runs, the ratio
of the page with the link to the page without, the page's bytes a second
with the link, and the page's memory: the peak beyond that of a process
given a page of 400 bytes, in multiples of the page.

    bench/linked-sheet.py [--check build/bin/parlowen-check] [--sizes 1M,8M] [--runs 7]

Needs root or user namespaces: nothing is served or asked for outside the
namespace, which has loopback alone.
"""

import argparse
import http.server
import os
import statistics
import subprocess
import sys
import tempfile
import threading

from pageparts import joined

SHEET = b'''body{font:12px sans-serif;margin:0}
table.log td{padding:2px 4px;vertical-align:top}
#menu li{display:inline;list-style:none}
.hidden,.old{display:none}
pre{white-space:pre-wrap}
h1{font-size:16px}
a:hover{text-decoration:underline}
.banner{visibility:hidden}
'''


def log_page(layout, size, link):
    head = '<html><head><title>System Log</title>' + link + '</head><body><h1>System Log</h1>'

    def entry(i):
        return 'Jan  1 00:%02d:%02d kernel: eth0: link up, 100Mbps, full-duplex &amp; lpa 0x45E1 rx=%d' % (
            i // 60 % 60, i % 60, i)
    if layout == 'log in a textarea':
        line, prefix, suffix = (lambda e: e + '\r\n', '<textarea readonly>', '</textarea>')
        wan = 'WAN IP is 203.0.113.7\r\n'
    elif layout == 'table row a line':
        line, prefix, suffix = (lambda e: '<tr><td>' + e[:15] + '</td><td>' + e[16:] + '</td></tr>\r\n',
                                '<table class=log>', '</table>')
        wan = '<tr><td>WAN IP is 203.0.113.7</td></tr>\r\n'
    else:
        line, prefix, suffix = (lambda e: e + '\r\n', '<pre>', '</pre>')
        wan = 'WAN IP is 203.0.113.7\r\n'
    body = joined(lambda i: line(entry(i)), size - 300) + wan
    return (head + prefix + body + suffix + '<p class=footer>end</p></body></html>').encode()


class Pages(http.server.BaseHTTPRequestHandler):
    routes = {}

    def do_GET(self):
        body, kind = self.routes.get(self.path, (None, None))
        if body is None:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header('Content-Type', kind)
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def cpu_of_one_run(check, url):
    # A child forked from this process counts our own resident set, the
    # pages we serve included, as its peak until it execs: the peak is the
    # one GNU time takes of the check it forks itself.
    with tempfile.NamedTemporaryFile(mode='r') as peak:
        process = subprocess.Popen(['/usr/bin/time', '-f', '%M', '-o', peak.name, check, '--page-text', url],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        err = process.stderr.read()
        _, status, usage = os.wait4(process.pid, 0)
        if status != 0 or b'WAN address "203.0.113.7"' not in err:
            sys.exit('linked-sheet: %s gave no address:\n%s' % (url, err.decode(errors='replace')))
        return usage.ru_utime + usage.ru_stime, int(peak.read().split()[-1]) / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--check', default='build/bin/parlowen-check')
    parser.add_argument('--sizes', default='1M,8M')
    parser.add_argument('--runs', type=int, default=7)
    args = parser.parse_args()
    if not os.environ.get('PARLOWEN_BENCH_IN_NETNS'):
        namespace = ['unshare', '-n'] if os.geteuid() == 0 else ['unshare', '-rn']
        os.environ['PARLOWEN_BENCH_IN_NETNS'] = '1'
        os.execvp(namespace[0], namespace + [sys.executable, os.path.abspath(__file__)] + sys.argv[1:])
    subprocess.run(['ip', 'link', 'set', 'lo', 'up'], check=True)
    links = subprocess.run(['ip', '-o', 'link', 'show'], check=True, capture_output=True, text=True).stdout
    if any(': lo:' not in line for line in links.splitlines()):
        sys.exit('linked-sheet: interfaces other than lo are present; refusing to run.')
    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Pages)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = 'http://127.0.0.1:%d' % server.server_address[1]
    Pages.routes['/log.css'] = (SHEET, 'text/css')

    # What a process holds for a page of next to nothing: the page's own
    # memory is the peak beyond it.
    Pages.routes['/empty.htm'] = (log_page('log in a pre', 400, ''), 'text/html')
    baseline = statistics.median(cpu_of_one_run(args.check, base + '/empty.htm')[1] for _ in range(args.runs))
    print('A process for a page of 400 bytes peaks at %.1f MiB.' % baseline)
    print()
    print('| layout | size | CPU without the link | CPU with the link | ratio | with the link | '
          'peak RSS without / with | the page\'s memory with the link |')
    print('|---|---|---|---|---|---|---|---|')
    for size_name in args.sizes.split(','):
        size = int(size_name[:-1]) << {'K': 10, 'M': 20}[size_name[-1]]
        for layout in ('log in a pre', 'log in a textarea', 'table row a line'):
            Pages.routes['/without.htm'] = (log_page(layout, size, ''), 'text/html')
            Pages.routes['/with.htm'] = (log_page(layout, size, '<link rel=stylesheet href=log.css>'),
                                         'text/html')
            times = {'/without.htm': [], '/with.htm': []}
            for _ in range(args.runs):
                for path in times:  # one after the other, so that both see the same load
                    times[path].append(cpu_of_one_run(args.check, base + path))
            cpu, rss = ({p: statistics.median(run[k] for run in times[p]) for p in times} for k in (0, 1))
            without, linked = cpu['/without.htm'] * 1000, cpu['/with.htm'] * 1000
            print('| %s | %s | %.0f ms | %.0f ms | %.2fx | %.0f MB/s | %.0f / %.0f MiB | %.1fx the page |' % (
                layout, size_name, without, linked, linked / without, size / linked / 1000,
                rss['/without.htm'], rss['/with.htm'], (rss['/with.htm'] - baseline) * 2**20 / size))
    server.shutdown()


main()
