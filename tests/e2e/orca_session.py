"""Orca, the GNOME screen reader, over a private desktop: what a blind user hears.

`run_in_namespace` re-runs the calling script in a PID namespace of its own, so nothing it
starts (Xvfb, D-Bus, speech-dispatcher, Orca) outlives it. `Session` starts Xvfb, a session
bus, the accessibility bus, openbox and Orca, with a private HOME and XDG_RUNTIME_DIR, speech
into a null sound device, and Orca's debug log line-buffered; `speech()` reads what Orca said
from that log. Orca speaks Brazilian Portuguese from the pt_BR locale, made with localedef
into the run's folder when the machine lacks it.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import desktop

NAMESPACE_MARK = 'INSTALADOR_ORCA_NAMESPACE'
ORCA = '/usr/bin/orca'
# Orca opens its debug file block-buffered, so the log would lag behind the speech; this one
# file is opened line-buffered instead.
WRAPPER = '''
import builtins, runpy, sys
log = sys.argv[1]
real_open = builtins.open
def line_buffered(file, mode='r', buffering=-1, *args, **kwargs):
    if file == log and 'w' in mode:
        buffering = 1
    return real_open(file, mode, buffering, *args, **kwargs)
builtins.open = line_buffered
sys.argv = [sys.argv[2]] + sys.argv[3:]
runpy.run_path(sys.argv[0], run_name='__main__')
'''
# "12:00:00.000 - SPEECH OUTPUT: 'text'{'established': False}"; the text may span lines.
SPEECH = re.compile(r"SPEECH OUTPUT: '(.*?)' ?(?:\{[^\n]*\})?$", re.M | re.S)
# Orca's log line once it listens; from then on it reads whatever gains the focus.
READY = 'ORCA: Startup complete'
SPOKEN = 'SPEECH DISPATCHER: Speaking'
SILENT = 'SPEECH: Not available'


def run_in_namespace(timeout_seconds):
    """Re-runs this script in a PID namespace of its own, unless it already is in one."""
    if os.environ.get(NAMESPACE_MARK):
        return
    for tool in (ORCA, '/usr/bin/speech-dispatcher'):
        if not os.access(tool, os.X_OK):
            sys.exit('%s is missing: install the package orca (scripts/deps)' % tool)
    env = dict(os.environ, **{NAMESPACE_MARK: '1'})
    # When the script ends, so does every process of its namespace.
    status = subprocess.call(['timeout', '-k', '5', str(timeout_seconds), 'unshare', '--pid',
                              '--fork', '--kill-child', '--mount-proc', sys.executable] +
                             sys.argv, env=env)
    if status == 124:
        print('the Orca run took longer than %d s and was stopped' % timeout_seconds,
              file=sys.stderr)
    sys.exit(status)


def normalise(text):
    return ' '.join(text.split())


def pt_br_locale(folder):
    """LOCPATH for a pt_BR.UTF-8 locale: None where the system has one, else one made here."""
    have = subprocess.run(['locale', '-a'], stdout=subprocess.PIPE, check=True).stdout.decode()
    if 'pt_br.utf8' in have.lower().replace('-', '').split():
        return None
    if os.path.exists(os.path.join(folder, 'pt_BR.UTF-8', 'LC_CTYPE')):
        return folder  # made for an earlier session of this run
    os.makedirs(folder, exist_ok=True)
    try:
        made = subprocess.run(['localedef', '-i', 'pt_BR', '-f', 'UTF-8',
                               os.path.join(folder, 'pt_BR.UTF-8')],
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    except FileNotFoundError:
        raise RuntimeError('no pt_BR locale, and no localedef to make one (package locales)')
    # localedef warns (status 1) about harmless things and still writes the locale.
    if not os.path.exists(os.path.join(folder, 'pt_BR.UTF-8', 'LC_CTYPE')):
        raise RuntimeError('no pt_BR locale, and localedef could not make one: ' +
                           made.stdout.decode('utf-8', 'replace'))
    return folder


class Session:
    """A desktop with Orca running on it; `env` is the environment for the program to read.

    One program to a session: now and then the activation of a program's first window never
    reaches Orca, which then says neither its title nor, at times, anything at all; it came
    about far more often for a program started just after another had ended under the same
    Orca. A pt_BR locale made for one session (in `locale_folder`) serves the next."""

    def __init__(self, locale_folder):
        self.root = tempfile.mkdtemp(prefix='instalador-orca-')
        self.locale_folder = locale_folder
        self.log = os.path.join(self.root, 'orca-debug.log')
        self.procs = []
        self.keep = False  # the folder with Orca's log stays after a failure

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def _start(self):
        home = os.path.join(self.root, 'home')
        runtime = os.path.join(self.root, 'run')
        for folder in (home, runtime):
            os.makedirs(folder, mode=0o700, exist_ok=True)
        self._quiet_sound(home)
        env = {k: v for k, v in os.environ.items()
               if k not in ('NO_AT_BRIDGE', 'GTK_MODULES', 'DBUS_SESSION_BUS_ADDRESS',
                            'AT_SPI_BUS_ADDRESS', 'WAYLAND_DISPLAY', 'LANGUAGE', 'LC_ALL',
                            'XDG_CONFIG_HOME', 'XDG_DATA_HOME', 'XDG_CACHE_HOME')}
        env.update({'HOME': home, 'XDG_RUNTIME_DIR': runtime, 'LANG': 'pt_BR.UTF-8'})
        locpath = pt_br_locale(self.locale_folder)
        if locpath:
            env['LOCPATH'] = locpath
        self.env = env
        self.desktop = desktop.Desktop(before_wm=self._buses).__enter__()

    def _buses(self, display):
        """The session bus and the accessibility bus, before the window manager starts."""
        self.env['DISPLAY'] = display
        bus = subprocess.Popen(['dbus-daemon', '--session', '--nofork', '--print-address=1'],
                               env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.procs.append(bus)
        self.env['DBUS_SESSION_BUS_ADDRESS'] = bus.stdout.readline().decode().strip()
        if not self.env['DBUS_SESSION_BUS_ADDRESS']:
            raise RuntimeError('the session bus did not start')
        self.procs.append(subprocess.Popen(
            ['/usr/libexec/at-spi-bus-launcher', '--launch-immediately'], env=self.env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))

    def _quiet_sound(self, home):
        """speech-dispatcher into a null ALSA device: without one Orca blocks in its first
        utterance."""
        conf = os.path.join(home, '.config', 'speech-dispatcher')
        shutil.copytree('/etc/speech-dispatcher', conf, symlinks=True)
        with open(os.path.join(conf, 'speechd.conf'), 'a') as f:
            f.write('\nAudioOutputMethod "alsa"\n')
        with open(os.path.join(home, '.asoundrc'), 'w') as f:
            f.write('pcm.!default { type null }\nctl.!default { type hw card 0 }\n')

    def start_orca(self, timeout=30):
        """Starts Orca with fresh settings and waits until it speaks."""
        prefs = os.path.join(self.root, 'orca-prefs')
        os.makedirs(prefs, exist_ok=True)
        self.orca = subprocess.Popen(
            ['/usr/bin/python3', '-c', WRAPPER, self.log, ORCA, '--replace', '-u', prefs,
             '--debug-file=' + self.log], env=self.env, cwd=self.root, stdout=subprocess.DEVNULL,
            stderr=subprocess.PIPE)
        self.procs.append(self.orca)
        self.wait_log(lambda: READY in self.text(), timeout, 'Orca to start')
        # Orca logs what it would say even when speech-dispatcher is not there; what reaches
        # the dispatcher is logged apart.
        self.wait_log(lambda: SPOKEN in self.text() or SILENT in self.text(), timeout,
                      'Orca\'s first words to reach speech-dispatcher')
        if SILENT in self.text():
            raise RuntimeError('speech-dispatcher did not start for Orca; log tail:\n' +
                               self.tail())

    def text(self):
        try:
            with open(self.log, encoding='utf-8', errors='replace') as f:
                return f.read()
        except FileNotFoundError:
            return ''

    def mark(self):
        """A place in the log: speech() from here on is what came after it."""
        return len(self.text())

    def speech(self, since=0):
        """Every utterance after `since`, white space normalised."""
        return [normalise(s) for s in SPEECH.findall(self.text()[since:])]

    def tail(self, lines=40):
        return '\n'.join(self.text().splitlines()[-lines:])

    def wait_speech(self, since, timeout, what, predicate=bool):
        """Waits until what Orca has said after `since` satisfies `predicate`."""
        self.wait_log(lambda: predicate(self.speech(since)), timeout, what, since)

    def wait_log(self, condition, timeout, what, since=0):
        deadline = time.monotonic() + timeout
        while not condition():
            if self.orca.poll() is not None:
                raise AssertionError('Orca ended with status %d while waiting for %s: %s\n'
                                     'log tail:\n%s' % (self.orca.returncode, what,
                                                        self.orca.stderr.read().decode(
                                                            'utf-8', 'replace')[-2000:],
                                                        self.tail()))
            if time.monotonic() > deadline:
                raise AssertionError('Orca did not speak within %d s (waiting for %s); said %r\n'
                                     'log tail:\n%s' % (timeout, what, self.speech(since),
                                                        self.tail()))
            time.sleep(0.05)

    def wait_quiet(self, quiet=1.0, timeout=15):
        """Waits until the log has not grown for `quiet` seconds."""
        deadline = time.monotonic() + timeout
        size, since = os.path.getsize(self.log), time.monotonic()
        while time.monotonic() - since < quiet:
            if time.monotonic() > deadline:
                raise AssertionError('Orca never fell quiet; log tail:\n' + self.tail())
            time.sleep(0.05)
            now = os.path.getsize(self.log)
            if now != size:
                size, since = now, time.monotonic()

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            desktop.stop(proc)
        if getattr(self, 'desktop', None):
            self.desktop.__exit__(None, None, None)
        if self.keep:
            print('Orca\'s debug log: ' + self.log, file=sys.stderr)
        else:
            shutil.rmtree(self.root, ignore_errors=True)
        return False
