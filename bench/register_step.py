#!/usr/bin/env python3
"""What listing a named package costs an installation under Wine: the size of the uninstaller it
keeps, and the time from the installation's last change to its message, named against unnamed.

    bench/register_step.py [repetitions]   (after the mingw preset's build; uses the example
                                            package and INSTALADOR_WINEPREFIX)
"""

import datetime
import os
import shutil
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE_RUN = os.path.join(ROOT, 'scripts', 'wine-run')
EXE = os.path.join(ROOT, 'build', 'mingw', 'src', 'instalador.exe')
STEPS = ('copy ', 'write ', 'skip ', 'backup ')


def wine(*args):
    return subprocess.run([WINE_RUN, *args], capture_output=True, text=True, timeout=300)


def stamp(line):
    return datetime.datetime.strptime(line[:23], '%Y-%m-%dT%H:%M:%S.%f')


def step_ms(log, named):
    """Milliseconds from the last change of the installation proper to its message box."""
    lines = [line for line in open(log, encoding='utf-8').read().splitlines() if ' ' in line]
    box = next(i for i, line in enumerate(lines) if ' msgbox ' in line)
    kept = next((i for i, line in enumerate(lines) if 'desinstalar.exe" result=' in line), box)
    last = max(i for i, line in enumerate(lines[:kept if named else box])
               if line[25:].startswith(STEPS))
    return (stamp(lines[box]) - stamp(lines[last])).total_seconds() * 1000


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    drive = os.path.join(os.environ.get('INSTALADOR_WINEPREFIX', '/tmp/instalador-wine'),
                         'drive_c')
    wine('cmd', '/c', 'exit')
    users = [u for u in os.listdir(os.path.join(drive, 'users')) if u != 'Public']
    appdata = os.path.join(drive, 'users', users[0], 'AppData')
    for v in ('2024', '2025'):
        os.makedirs(os.path.join(drive, 'Program Files', 'Freedom Scientific', 'JAWS', v),
                    exist_ok=True)
        os.makedirs(os.path.join(appdata, 'Roaming', 'Freedom Scientific', 'JAWS', v, 'Settings',
                                 'PTB'), exist_ok=True)
    pkg = os.path.join(drive, 'bench-pkg')
    for named in (False, True):
        shutil.rmtree(pkg, True)
        shutil.copytree(os.path.join(ROOT, 'examples', 'pacote'), pkg)
        if named:
            with open(os.path.join(pkg, 'Setup.ini'), 'ab') as f:
                f.write(b'\r\n[Package]\r\nName=Exemplo\r\nVersion=1.0\r\n')
        times = []
        for _ in range(runs):
            log = os.path.join(drive, 'bench.log')
            if os.path.exists(log):
                os.remove(log)
            done = wine(EXE, '/S', '/versions=all', '/package-dir', 'C:\\bench-pkg',
                        '/log', 'C:\\bench.log')
            assert done.returncode == 0, done.stderr
            times.append(step_ms(log, named))
        print('%-8s median %.0f ms, min %.0f, max %.0f (%d runs)' % (
            'named' if named else 'unnamed', statistics.median(times), min(times), max(times),
            runs))
    kept = os.path.join(appdata, 'Local', 'instalador', 'exemplo', 'desinstalar.exe')
    print('kept uninstaller %d bytes (program %d bytes)' % (os.path.getsize(kept),
                                                             os.path.getsize(EXE)))
    shutil.rmtree(pkg, True)


if __name__ == '__main__':
    main()
