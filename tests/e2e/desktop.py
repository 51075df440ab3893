"""A private X desktop and an AT-SPI client: the program's windows read as a screen reader reads
them.

`Desktop` starts Xvfb on a free display and openbox on it (without a window manager a new
dialog gets no keyboard focus and every window lands at 0,0). The AT-SPI client needs a D-Bus
session shared with the program: `run_in_session` re-runs the calling script inside
`dbus-run-session`, which starts the accessibility bus on demand. Every wait has a limit, and
Atspi's own calls time out, so a hung program fails a test instead of hanging it.
"""

import os
import select
import subprocess
import sys
import time
import warnings

import gi

gi.require_version('Atspi', '2.0')
from gi.repository import Atspi, GLib  # noqa: E402



def _iface(acc, name):
    """One of the object's interfaces (Action, Text), or None."""
    # PyGObject calls the getters deprecated, as older names shadow them in the bindings'
    # data; this version has no other way to reach the interfaces.
    with warnings.catch_warnings():
        warnings.simplefilter('ignore', DeprecationWarning)
        return getattr(acc, 'get_%s_iface' % name)()

SESSION_MARK = 'INSTALADOR_ATSPI_SESSION'
DEFAULT_WAIT = 10.0


def run_in_session(timeout_seconds):
    """Re-runs this script inside a desktop and a D-Bus session, unless it already is in one.

    Returns only inside the session; outside it exits with the inner run's status.
    """
    if os.environ.get(SESSION_MARK):
        return
    env = {k: v for k, v in os.environ.items()
           if k not in ('NO_AT_BRIDGE', 'GTK_MODULES', 'DBUS_SESSION_BUS_ADDRESS',
                        'AT_SPI_BUS_ADDRESS', 'WAYLAND_DISPLAY')}
    with Desktop() as desktop:
        env.update({'DISPLAY': desktop.display, SESSION_MARK: '1'})
        cmd = ['timeout', '-k', '5', str(timeout_seconds), 'dbus-run-session', '--',
               sys.executable] + sys.argv
        status = subprocess.call(cmd, env=env)
    if status == 124:
        print('the AT-SPI run took longer than %d s and was stopped' % timeout_seconds,
              file=sys.stderr)
    sys.exit(status)


class Desktop:
    """Xvfb on a display of its own choosing, with openbox.

    `before_wm(display)` runs between the two: a screen reader's buses start there.
    """

    def __init__(self, before_wm=None):
        self.before_wm = before_wm

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1024x768x24',
             '-nolisten', 'tcp'], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b''
        deadline = time.monotonic() + DEFAULT_WAIT
        while not number.endswith(b'\n'):
            if time.monotonic() > deadline:
                self.__exit__(None, None, None)
                raise RuntimeError('Xvfb did not start')
            ready, _, _ = select.select([read_end], [], [], 0.1)
            if not ready:
                continue
            chunk = os.read(read_end, 16)
            if not chunk:
                self.__exit__(None, None, None)
                raise RuntimeError('Xvfb ended before naming its display')
            number += chunk
        os.close(read_end)
        self.display = ':' + number.decode().strip()
        env = dict(os.environ, DISPLAY=self.display)
        try:
            wait_for(lambda: subprocess.call(['xdpyinfo'], env=env, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL) == 0, 'xdpyinfo answers')
        except BaseException:
            self.__exit__(None, None, None)
            raise
        if self.before_wm:
            try:
                self.before_wm(self.display)
            except BaseException:
                self.__exit__(None, None, None)
                raise
        # openbox now and then ends at once while other desktops start beside it; it is tried
        # again before the run gives up.
        for attempt in range(3):
            self.wm = subprocess.Popen(['openbox', '--sm-disable'], env=env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            try:
                wait_for(lambda: self._managed(env), 'openbox manages the screen', 30)
                break
            except BaseException:
                if attempt < 2 and self.wm.poll() is not None:
                    continue
                self.__exit__(None, None, None)
                raise
        return self

    def _managed(self, env):
        if self.wm.poll() is not None:
            raise RuntimeError('openbox ended with status %d: %s' % (
                self.wm.returncode, self.wm.stderr.read().decode('utf-8', 'replace')))
        # openbox names itself on the root window once it manages the screen.
        return b'_NET_SUPPORTING_WM_CHECK(WINDOW)' in subprocess.run(
            ['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], env=env, stdout=subprocess.PIPE,
            stderr=subprocess.DEVNULL).stdout

    def __exit__(self, *exc):
        for proc in (getattr(self, 'wm', None), self.xvfb):
            stop(proc)
        return False


def stop(proc):
    """Ends a process we started: politely, then for good after five seconds."""
    if proc and proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def wait_for(predicate, what, timeout=DEFAULT_WAIT, pump=False):
    """Polls until predicate() is true; raises AssertionError naming `what` after the limit.

    An object that vanishes while it is read (a window closing) counts as not yet.
    """
    deadline = time.monotonic() + timeout
    while True:
        if pump:
            pump_events(0.02)
        try:
            value = predicate()
        except GLib.Error:
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError('timed out waiting for: ' + what)
        if not pump:
            time.sleep(0.05)


def pump_events(seconds):
    """Runs the GLib main context, where AT-SPI delivers events, for a while."""
    context = GLib.MainContext.default()
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        while context.pending():
            context.iteration(False)
        time.sleep(0.005)


def start_client():
    Atspi.init()
    # Milliseconds for a call, and for the first call to a starting application.
    Atspi.set_timeout(5000, 15000)


# --- reading the tree ---------------------------------------------------------------------


def role(acc):
    return acc.get_role_name()


def states(acc):
    """The object's states as names: {'showing', 'focused', 'checked', ...}."""
    state_set = acc.get_state_set()
    return {Atspi.StateType(s).value_nick for s in state_set.get_states()}


def children(acc):
    return [c for c in (acc.get_child_at_index(i) for i in range(acc.get_child_count())) if c]


def walk(acc):
    yield acc
    for child in children(acc):
        yield from walk(child)


def application(pid, timeout=DEFAULT_WAIT):
    """The accessible application of the process `pid`, once it is on the bus."""
    def find():
        desktop = Atspi.get_desktop(0)
        for app in children(desktop):
            try:
                if app.get_process_id() == pid:
                    return app
            except GLib.Error:
                continue
        return None
    return wait_for(find, 'the application of process %d on the accessibility bus' % pid,
                    timeout)


def windows(app, showing_only=True):
    """The application's top-level windows; one that closes while it is read is left out."""
    found = []
    for w in children(app):
        try:
            if not showing_only or 'showing' in states(w):
                found.append((w, w.get_name()))
        except GLib.Error:
            continue
    return [w for w, _ in found]


def window(app, title, timeout=DEFAULT_WAIT):
    """The showing top-level window of `app` named `title`."""
    return wait_for(lambda: next((w for w in windows(app) if w.get_name() == title), None),
                    'a window named %r' % title, timeout)


def find(root, role_name=None, name=None, showing=True):
    """The objects below `root` with that role and name; with `showing`, the shown ones only."""
    found = []
    for acc in walk(root):
        if role_name is not None and role(acc) != role_name:
            continue
        if name is not None and acc.get_name() != name:
            continue
        if showing and 'showing' not in states(acc):
            continue
        found.append(acc)
    return found


def one(root, role_name=None, name=None, showing=True):
    matches = find(root, role_name, name, showing)
    if len(matches) != 1:
        raise AssertionError('expected one %s named %r, found %d' % (role_name, name,
                                                                     len(matches)))
    return matches[0]


def focused(root):
    """The object below `root` that holds the keyboard focus, or None."""
    return next((a for a in walk(root) if 'focused' in states(a)), None)


def key_binding(acc):
    """The access key as the Action interface announces it ('<Alt>i'), or ''."""
    action = _iface(acc, 'action')
    if action is None or action.get_n_actions() == 0:
        return ''
    binding = action.get_key_binding(0) or ''
    # ATK joins the mnemonic, the sequence and the shortcut with ';'.
    return binding.split(';')[0]


def do_action(acc, index=0):
    """A screen reader's own action (a click); returns only what the program returned."""
    action = _iface(acc, 'action')
    if action is None:
        raise AssertionError('%s %r has no Action interface' % (role(acc), acc.get_name()))
    return action.do_action(index)


def text_of(acc):
    text = _iface(acc, 'text')
    if text is None:
        raise AssertionError('%s %r has no Text interface' % (role(acc), acc.get_name()))
    return text.get_text(0, text.get_character_count())


def lines_of(acc):
    """The text line by line, as a screen reader's line command reads it."""
    text = _iface(acc, 'text')
    lines, offset, count = [], 0, text.get_character_count()
    while offset < count:
        piece = text.get_string_at_offset(offset, Atspi.TextGranularity.LINE)
        if piece.end_offset <= offset:
            break
        lines.append(piece.content.rstrip('\n'))
        offset = piece.end_offset
    return lines


def extents(acc):
    """(x, y, width, height) of the object inside its window, in pixels."""
    r = _iface(acc, 'component').get_extents(Atspi.CoordType.WINDOW)
    return r.x, r.y, r.width, r.height


def summary(acc):
    """'role "name"' for messages."""
    return '%s %r' % (role(acc), acc.get_name()) if acc else 'nothing'


# --- focus events -------------------------------------------------------------------------


class FocusLog:
    """Records every object that gains the focus, as a screen reader hears it.

    Each change arrives twice (object:state-changed:focused and the focus: event); a repeat
    of the last entry is dropped.
    """

    def __init__(self):
        self.events = []
        self.listener = Atspi.EventListener.new(self._on_event)
        self.listener.register('object:state-changed:focused')

    def _on_event(self, event):
        if event.detail1 != 1:
            return
        try:
            entry = (role(event.source), event.source.get_name())
        except GLib.Error:
            return
        if not self.events or self.events[-1] != entry:
            self.events.append(entry)

    def clear(self):
        pump_events(0.1)
        self.events = []

    def wait(self, count, timeout=DEFAULT_WAIT):
        """Pumps events until at least `count` focus changes have arrived."""
        wait_for(lambda: len(self.events) >= count, '%d focus events (have %r)' % (
            count, self.events), timeout, pump=True)
        return list(self.events)

    def close(self):
        self.listener.deregister('object:state-changed:focused')


# --- keyboard and screenshots -------------------------------------------------------------


def x_window(title, timeout=DEFAULT_WAIT):
    """The X window id of the top-level window with exactly this title."""
    def search():
        proc = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name',
                               '^%s$' % _regex(title)], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=timeout)
        ids = proc.stdout.split()
        return ids[-1].decode() if ids else None
    return wait_for(search, 'an X window titled %r' % title, timeout)


def _regex(text):
    return ''.join('\\' + c if c in '.^$*+?()[]{}|\\' else c for c in text)


def activate(title):
    """Gives the window `title` the keyboard focus, as a user's click on it would."""
    wid = x_window(title)
    subprocess.run(['xdotool', 'windowactivate', '--sync', wid], timeout=DEFAULT_WAIT,
                   stderr=subprocess.DEVNULL)
    subprocess.run(['xdotool', 'windowfocus', '--sync', wid], timeout=DEFAULT_WAIT, check=True)
    return wid


def type_keys(*names):
    """Types keys ('Tab', 'shift+Tab', 'alt+i', 'space') into the focused window."""
    for name in names:
        subprocess.run(['xdotool', 'key', '--clearmodifiers', name], timeout=DEFAULT_WAIT,
                       check=True)
        time.sleep(0.05)


def transient_for(wid):
    """The X window a window is transient for (WM_TRANSIENT_FOR), or None."""
    out = subprocess.run(['xprop', '-id', wid, 'WM_TRANSIENT_FOR'], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, timeout=DEFAULT_WAIT).stdout.decode()
    return int(out.rsplit('#', 1)[1], 16) if '#' in out else None


def client_size(wid):
    """(width, height) of the window's own area, without the window manager's decorations."""
    out = subprocess.run(['xwininfo', '-id', wid], stdout=subprocess.PIPE,
                         timeout=DEFAULT_WAIT, check=True).stdout.decode()
    fields = dict(line.strip().split(': ', 1) for line in out.splitlines() if ': ' in line)
    return int(fields['Width']), int(fields['Height'])


def screenshot(title, path):
    """A PNG of the window `title` itself (xwd -root draws GTK dialogs black)."""
    wid = x_window(title)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    xwd = subprocess.run(['xwd', '-silent', '-id', wid], stdout=subprocess.PIPE,
                         timeout=DEFAULT_WAIT, check=True)
    subprocess.run(['/usr/bin/convert', 'xwd:-', path], input=xwd.stdout,
                   timeout=DEFAULT_WAIT, check=True)
    return path
