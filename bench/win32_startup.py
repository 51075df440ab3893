"""Figures for the Windows program (not a timed test): the stripped executable's size and
import list, and under Wine the time from process start to Form1 visible beside the same time
for a minimal Win32 program that shows an empty window, measured alternately in the same run;
and beside that empty window again with the program's manifest and common controls 6 loaded as
the program loads them (what Wine spends on those is not the program's own).

Usage: bench/win32_startup.py [BUILD-DIR] [RUNS]
  BUILD-DIR: the mingw build (default build/mingw); run `cmake --build --preset mingw` first.
"""

import os
import re
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))

import wine_test  # noqa: E402
import win32_test  # noqa: E402
from wine_test import WineSandbox  # noqa: E402


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, 'build',
                                                                                 'mingw'))
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    exe = os.path.join(build, 'src', 'instalador.exe')
    driver = os.path.join(build, 'tests', 'e2e', 'win32_driver.exe')
    win32_test.DRIVER = driver
    wine_test.WINE_RUN = win32_test.WINE_RUN = os.path.join(ROOT, 'scripts', 'wine-run')
    headers = subprocess.run(['x86_64-w64-mingw32-objdump', '-p', exe], capture_output=True,
                             text=True, check=True).stdout
    print('instalador.exe: %d bytes (%.0f KiB), stripped' % (os.path.getsize(exe),
                                                             os.path.getsize(exe) / 1024))
    print('imports:', ', '.join(re.findall(r'DLL Name: (\S+)', headers)))

    with tempfile.TemporaryDirectory() as tmp:
        empty, themed = os.path.join(tmp, 'empty.exe'), os.path.join(tmp, 'themed.exe')
        compile = ['x86_64-w64-mingw32-g++-posix', '-O2', '-municode', '-mwindows', '-static',
                   os.path.join(ROOT, 'bench', 'empty_window.cpp')]
        subprocess.run(compile + ['-o', empty], check=True)
        rc, res = os.path.join(tmp, 'themed.rc'), os.path.join(tmp, 'themed.o')
        with open(rc, 'w') as f:
            f.write('1 24 "%s"\n' % os.path.join(build, 'src', 'resources', 'instalador.manifest'))
        subprocess.run(['x86_64-w64-mingw32-windres', rc, res], check=True)
        subprocess.run(compile + ['-DCOMMON_CONTROLS_6', res, '-o', themed], check=True)
        name, xvfb, wm = win32_test.display()
        d = None
        try:
            WineSandbox()
            env = dict(os.environ, DISPLAY=name, INSTALADOR_SOUND='silent')
            d = win32_test.Driver(env)
            lines = {'instalador': 'Z:%s --package-dir C:\\pkg' % exe.replace('/', '\\'),
                     'empty window': 'Z:%s' % empty.replace('/', '\\'),
                     'themed empty': 'Z:%s' % themed.replace('/', '\\')}
            times = {k: [] for k in lines}
            for key, line in lines.items():  # one run each to warm the caches
                d('startup', 20000, line)
            for _ in range(runs):
                for key, line in lines.items():
                    r = d('startup', 20000, line)
                    if not r.get('shown'):
                        raise SystemExit('%s showed no window: %r' % (key, r))
                    times[key].append(r['ms'])
        finally:
            if d:
                d.quit()
            wm.terminate()
            xvfb.terminate()
        print('process start to first window visible, under Wine, %d runs each:' % runs)
        for key, t in times.items():
            print('  %-12s median %6.1f ms  min %6.1f ms  max %6.1f ms' % (
                key, statistics.median(t), min(t), max(t)))
        for base in ('empty window', 'themed empty'):
            print('ratio of medians (instalador / %s): %.2f' % (
                base, statistics.median(times['instalador']) / statistics.median(times[base])))


if __name__ == '__main__':
    main()
