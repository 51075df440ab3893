"""The first second as a blind user meets it: N fresh starts of the installer's GTK window and of
a plain GTK window with the same widgets, alternately, each under Orca. For each program it
prints the silent starts (Orca never said the window's title) and the median and 90th
percentile of the time from the process's start to Orca's first word of the title (Orca's own
timestamp in its log, so the polling here adds nothing).

Usage: orca_first_speech.py BUILD-DIR RUNS [STARTS-PER-ORCA]
  (orca_first_speech.sh builds and runs it). Every start is a new process; by default each
  also gets a fresh Orca, as a user's first start does; STARTS-PER-ORCA > 1 lets one Orca hear
  that many starts of each program in turn, which is quicker.
"""

import math
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
SILENCE_LIMIT = 10  # seconds without the title: a silent start


def seconds_of_day(t):
    local = time.localtime(t)
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + t % 1


def first_word(session, command, box):
    """Milliseconds from starting `command` to Orca's utterance of the title; None if silent."""
    session.wait_quiet()
    env = dict(session.env, programfiles=box.programs, APPDATA=box.appdata,
               AllUsersProfile=box.allusers)
    mark = session.mark()
    start = time.time()
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        session.wait_speech(mark, SILENCE_LIMIT, 'the title %r' % TITLE,
                            lambda said: any(u.startswith(TITLE) for u in said))
    except AssertionError:
        session.keep = True  # its log stays for a look
        return None
    finally:
        proc.terminate()
        proc.wait(10)
    h, m, s = STAMP.search(session.text()[mark:]).groups()
    return ((int(h) * 3600 + int(m) * 60 + float(s) - seconds_of_day(start)) % 86400) * 1000


def percentile(values, p):
    """The nearest-rank percentile."""
    ordered = sorted(values)
    return ordered[max(0, math.ceil(p / 100 * len(ordered)) - 1)]


def main():
    build, runs = sys.argv[1], int(sys.argv[2])
    per_orca = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    orca.run_in_namespace(120 + runs * (40 if per_orca == 1 else 10))
    box = Sandbox()
    locale = tempfile.mkdtemp(prefix='instalador-orca-locale-')
    programs = {
        'instalador --ui=gtk': [os.path.join(build, 'src', 'instalador'), '--ui=gtk',
                                '--package-dir', box.package],
        'plain GTK window': [os.path.join(build, 'bench', 'reference_gtk_window'), TITLE,
                             SETUP['Configurations']['Frametitle'], '17.0', '16.0'],
    }
    times = {name: [] for name in programs}
    silent = {name: 0 for name in programs}
    load_before = os.getloadavg()
    try:
        # A first round warms the caches and is not counted.
        done = -1
        while done < runs:
            with orca.Session(locale) as session:
                session.start_orca()
                for _ in range(per_orca if done >= 0 else 1):
                    if done >= runs:
                        break
                    for name, command in programs.items():
                        ms = first_word(session, command, box)
                        if done < 0:
                            continue
                        if ms is None:
                            silent[name] += 1
                        else:
                            times[name].append(ms)
                    done += 1
    finally:
        box.remove()
        shutil.rmtree(locale, ignore_errors=True)
    print('%d starts of each, alternately, %s; load average %.2f before, %.2f after' % (
        runs, 'a fresh Orca for each' if per_orca == 1 else '%d of each to an Orca' % per_orca,
        load_before[0], os.getloadavg()[0]))
    for name, t in times.items():
        if not t:
            print('%-20s silent starts %d of %d; never spoken' % (name, silent[name], runs))
            continue
        print('%-20s silent starts %d of %d; start to first word: median %6.1f ms, '
              '90th percentile %6.1f ms (min %.1f, max %.1f)' % (
                  name, silent[name], runs, statistics.median(t), percentile(t, 90), min(t),
                  max(t)))
    if all(times.values()):
        print('ratio of medians (instalador / plain): %.2f' % (
            statistics.median(times['instalador --ui=gtk']) /
            statistics.median(times['plain GTK window'])))


if __name__ == '__main__':
    main()
