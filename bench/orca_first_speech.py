"""The time to first speech: from a process's start to the log line of Orca's utterance of its
window's title (Orca's own timestamp, so the polling here adds nothing).

Usage: orca_first_speech.py BUILD-DIR RUNS (orca_first_speech.sh builds and runs it)
"""

import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'e2e'))
import orca_session as orca  # noqa: E402
from sandbox import SETUP, Sandbox  # noqa: E402

TITLE = SETUP['Configurations']['title']
STAMP = re.compile(r"^(\d\d):(\d\d):(\d\d\.\d+) - SPEECH OUTPUT: '%s" % re.escape(TITLE), re.M)


def seconds_of_day(t):
    local = time.localtime(t)
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + t % 1


def first_speech(locale, command, box):
    """Milliseconds from starting `command` under a fresh Orca to its utterance of the title.

    One program to an Orca (see orca_session.Session)."""
    with orca.Session(locale) as session:
        session.start_orca()
        session.wait_quiet()
        env = dict(session.env, programfiles=box.programs, APPDATA=box.appdata,
                   AllUsersProfile=box.allusers)
        mark = session.mark()
        start = time.time()
        proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            try:
                session.wait_speech(mark, 10, 'the title %r' % TITLE,
                                    lambda said: any(u.startswith(TITLE) for u in said))
            except AssertionError:
                # Orca missed the window's activation: counted apart, its log kept.
                session.keep = True
                return None
            h, m, s = STAMP.search(session.text()[mark:]).groups()
            return ((int(h) * 3600 + int(m) * 60 + float(s) - seconds_of_day(start)) %
                    86400) * 1000
        finally:
            proc.terminate()
            proc.wait(10)


def main():
    build, runs = sys.argv[1], int(sys.argv[2])
    orca.run_in_namespace(60 + runs * 40)
    box = Sandbox()
    locale = tempfile.mkdtemp(prefix='instalador-orca-locale-')
    try:
        programs = {
            'instalador --ui=gtk': [os.path.join(build, 'src', 'instalador'), '--ui=gtk',
                                    '--package-dir', box.package],
            'reference GTK window': [os.path.join(build, 'bench', 'reference_gtk_window'),
                                     TITLE, SETUP['Configurations']['Frametitle'], '17.0',
                                     '16.0'],
        }
        times = {name: [] for name in programs}
        missed = {name: 0 for name in programs}
        # The first round warms the caches and is not counted.
        for i in range(runs + 1):
            for name, command in programs.items():
                ms = first_speech(locale, command, box)
                if ms is None:
                    missed[name] += 1
                elif i:
                    times[name].append(ms)
    finally:
        box.remove()
        shutil.rmtree(locale, ignore_errors=True)
    medians = {name: statistics.median(t) for name, t in times.items()}
    for name, t in times.items():
        print('%-22s start to title spoken (median of %d): %7.1f ms (min %.1f, max %.1f); '
              'title never spoken in %d more' % (name, len(t), medians[name], min(t), max(t),
                                                 missed[name]))
    print('ratio: %.2f' % (medians['instalador --ui=gtk'] / medians['reference GTK window']))


if __name__ == '__main__':
    main()
