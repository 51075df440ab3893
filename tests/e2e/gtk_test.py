"""End-to-end tests of the GTK front end, read through AT-SPI as a screen reader reads it.

Usage: gtk_test.py PATH-TO-INSTALADOR [SCREENSHOT-FOLDER]

The script runs itself under Xvfb, openbox and a D-Bus session of its own. Screenshots of the
main window, the information window and a message box go to the folder it prints.
"""

import gettext
import os
import subprocess
import sys
import tempfile
import time
import unittest

import desktop as d
from sandbox import SETUP, Sandbox, settings

TITLE = 'Instalação do pacote'
INFO_TITLE = 'Informações'
NO_SETUP = 'Não foi encontrado o arquivo setup.ini.\nEle é necessário para a instalação!'
NONE_TICKED = 'Você precisa marcar pelo menos uma versão do JAWS para instalar os scripts!'
DONE = 'Instalação concluída com êxito.\nPor favor, reinicie o JAWS.'
EXE = None
SHOTS = None

# The designed tab order after start-up, with two versions found: the frame is skipped.
WALK = [('check box', '17.0'), ('check box', '16.0'), ('push button', 'Informações'),
        ('push button', 'Instalar'), ('push button', 'Sair')]



class Program:
    """The installer with the GTK front end on the test's desktop."""

    @staticmethod
    def environment(box, sound='silent'):
        env = {k: v for k, v in os.environ.items()
               if k.lower() not in ('programfiles', 'appdata', 'allusersprofile')}
        env.update({'programfiles': box.programs, 'APPDATA': box.appdata,
                    'AllUsersProfile': box.allusers,
                    # GTK and fontconfig keep their caches until the process ends, by design;
                    # LeakSanitizer would report them as leaks at every exit.
                    'ASAN_OPTIONS': ':'.join(filter(None, [os.environ.get('ASAN_OPTIONS'),
                                                           'detect_leaks=0']))})
        env.pop('INSTALADOR_SOUND', None)
        if sound:
            env['INSTALADOR_SOUND'] = sound
        return env

    def __init__(self, box, sound='silent', ui=('--ui=gtk',)):
        env = self.environment(box, sound)
        self.proc = subprocess.Popen([EXE, *ui, '--package-dir', box.package], env=env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.app = d.application(self.proc.pid)

    def wait(self, timeout=d.DEFAULT_WAIT):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError('the program did not end')

    def stop(self):
        """Ends the program if it still runs; what it wrote to stderr."""
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()
        stderr = self.proc.stderr.read().decode('utf-8', 'replace')
        self.proc.stderr.close()
        return stderr

    def alert(self):
        """The message box now shown."""
        return d.wait_for(lambda: next((w for w in d.windows(self.app) if d.role(w) == 'alert'),
                                       None), 'a message box')

    def no_alert(self):
        d.wait_for(lambda: not [w for w in d.windows(self.app) if d.role(w) == 'alert'],
                   'the message box to close')


def alert_text(alert):
    return '\n'.join(label.get_name() for label in d.find(alert, 'label')
                     if label.get_name())


class Case(unittest.TestCase):
    def start(self, sound='silent', ui=('--ui=gtk',), **kwargs):
        box = Sandbox(**kwargs)
        self.addCleanup(box.remove)
        program = Program(box, sound, ui)
        self.addCleanup(self.check_stderr, program)
        return box, program

    # What GTK and the sanitizers say about a fault; a run that says any of it fails.
    FAULTS = ('-CRITICAL', '-WARNING', 'runtime error:', 'AddressSanitizer')

    def check_stderr(self, program):
        stderr = program.stop()
        for fault in self.FAULTS:
            self.assertNotIn(fault, stderr, stderr)

    def assertFocus(self, root, role, name):
        d.wait_for(lambda: (lambda f: f is not None and (d.role(f), f.get_name()) == (role, name))(
            d.focused(root)), 'the focus on %s %r (it is on %s)' % (role, name, d.summary(
                d.focused(root))))


class MainWindow(Case):
    def test_tree_roles_names_states_and_size(self):
        _, program = self.start(versions=('16.0', '17.0'))
        form1 = d.window(program.app, TITLE)
        self.assertEqual(d.role(form1), 'frame')
        frame = d.one(form1, 'panel', 'Versões')
        boxes = d.find(frame, 'check box')
        self.assertEqual([b.get_name() for b in boxes], ['17.0', '16.0'])
        self.assertIn('checked', d.states(boxes[0]))
        self.assertNotIn('checked', d.states(boxes[1]))
        # The two boxes left without a version stay in the tree, neither shown nor sensitive.
        hidden = [b for b in d.find(form1, 'check box', showing=False)
                  if 'showing' not in d.states(b)]
        self.assertEqual(len(hidden), 2)
        for b in hidden:
            self.assertNotIn('sensitive', d.states(b))
        buttons = {b.get_name(): b for b in d.find(form1, 'push button')}
        self.assertEqual(sorted(buttons), ['Informações', 'Instalar', 'Sair'])
        self.assertEqual({n: d.key_binding(b) for n, b in buttons.items()},
                         {'Instalar': '<Alt>i', 'Sair': '<Alt>s', 'Informações': '<Alt>o'})
        for b in list(buttons.values()) + boxes:
            self.assertTrue({'focusable', 'sensitive', 'showing'} <= d.states(b), d.summary(b))
        self.assertFocus(form1, 'check box', '17.0')
        # Twips at 15 a pixel; a box's place counts from the frame's corner, not from inside
        # its border and caption. A button may grow to hold its caption, never shrink.
        self.assertEqual(d.extents(frame), (8, 8, 353, 201))
        self.assertEqual([d.extents(b) for b in boxes], [(32, 32, 233, 25), (32, 80, 233, 25)])
        for name, (x, y, width, height) in {'Informações': (0, 288, 97, 33),
                                            'Instalar': (184, 288, 97, 33),
                                            'Sair': (368, 288, 97, 41)}.items():
            got = d.extents(buttons[name])
            self.assertEqual(got[:2], (x, y), name)
            self.assertGreaterEqual(got[2], width, name)
            self.assertGreaterEqual(got[3], height, name)
        wid = d.x_window(TITLE)
        self.assertEqual(d.client_size(wid), (445, 339))
        d.screenshot(TITLE, os.path.join(SHOTS, 'main-window.png'))

    def test_hidden_info_button_is_not_shown_nor_reached(self):
        _, program = self.start(versions=('17.0',), setup=settings(
            Info__ShowInfo='0', Configurations__Frametitle='&Versões'))
        form1 = d.window(program.app, TITLE)
        d.one(form1, 'panel', 'Versões')
        self.assertEqual([b.get_name() for b in d.find(form1, 'push button')],
                         ['Instalar', 'Sair'])
        log = d.FocusLog()
        self.addCleanup(log.close)
        d.activate(TITLE)
        log.clear()
        d.type_keys('Tab', 'Tab', 'Tab', 'alt+o')
        self.assertEqual(log.wait(3), [('push button', 'Instalar'), ('push button', 'Sair'),
                                       ('check box', '17.0')])
        d.pump_events(0.3)
        self.assertEqual([w.get_name() for w in d.windows(program.app)], [TITLE])
        # The frame's access key passes the focus on to the control after it.
        d.type_keys('Tab', 'alt+v')
        self.assertEqual(log.wait(5)[3:], [('push button', 'Instalar'), ('check box', '17.0')])
        self.assertIn('checked', d.states(d.one(form1, 'check box', '17.0')))


class Keyboard(Case):
    def test_tab_and_shift_tab_walk_the_tab_order_and_wrap(self):
        _, program = self.start()
        d.window(program.app, TITLE)
        log = d.FocusLog()
        self.addCleanup(log.close)
        d.activate(TITLE)
        log.clear()
        d.type_keys(*['Tab'] * 5)
        self.assertEqual(log.wait(5), WALK[1:] + WALK[:1])
        log.clear()
        d.type_keys(*['shift+Tab'] * 5)
        self.assertEqual(log.wait(5), list(reversed(WALK)))

    def test_space_enter_access_keys_and_the_message_box(self):
        _, program = self.start()
        form1 = d.window(program.app, TITLE)
        d.activate(TITLE)
        # Enter on a check box does nothing; Space toggles it.
        d.type_keys('Return')
        d.pump_events(0.3)
        box = d.one(form1, 'check box', '17.0')
        self.assertIn('checked', d.states(box))
        self.assertEqual([w.get_name() for w in d.windows(program.app)], [TITLE])
        d.type_keys('space')
        d.wait_for(lambda: 'checked' not in d.states(box), '17.0 unticked')
        # Alt+I presses Instalar: no box ticked, so its warning, modal over the main window.
        d.type_keys('alt+i')
        alert = program.alert()
        self.assertEqual(alert_text(alert), NONE_TICKED)
        self.assertEqual(alert.get_name(), TITLE)
        self.assertIn('modal', d.states(alert))
        # Both the main window and the box have the title; the box is the one transient for
        # the other.
        wids = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '^%s$' % TITLE],
                              stdout=subprocess.PIPE).stdout.split()
        self.assertEqual(len(wids), 2)
        owners = {w.decode(): d.transient_for(w.decode()) for w in wids}
        boxes = [w for w, owner in owners.items() if owner]
        self.assertEqual(len(boxes), 1)
        self.assertIn(owners[boxes[0]], {int(w) for w in owners if w != boxes[0]})
        subprocess.run(['xwd', '-silent', '-id', boxes[0], '-out',
                        os.path.join(SHOTS, 'message-box.xwd')], check=True)
        subprocess.run(['/usr/bin/convert', os.path.join(SHOTS, 'message-box.xwd'),
                        os.path.join(SHOTS, 'message-box.png')], check=True)
        os.remove(os.path.join(SHOTS, 'message-box.xwd'))
        # The window beneath takes no input while the box is open.
        d.type_keys('Escape')
        program.no_alert()
        self.assertIsNone(program.proc.poll())
        # The button pressed by its access key holds the focus afterwards.
        self.assertFocus(form1, 'push button', 'Instalar')
        # Esc presses Sair: the program ends with 0.
        d.activate(TITLE)
        d.type_keys('Escape')
        self.assertEqual(program.wait(), 0)

    def test_close_box_ends_the_program(self):
        _, program = self.start()
        d.window(program.app, TITLE)
        d.activate(TITLE)
        d.type_keys('alt+F4')
        self.assertEqual(program.wait(), 0)


class InformationWindow(Case):
    def test_caption_text_focus_and_return(self):
        box, program = self.start()
        form1 = d.window(program.app, TITLE)
        d.activate(TITLE)
        d.type_keys('alt+o')
        form2 = d.window(program.app, INFO_TITLE)
        self.assertEqual(d.role(form2), 'dialog')
        self.assertIn('modal', d.states(form2))
        self.assertEqual(d.transient_for(d.x_window(INFO_TITLE)), int(d.x_window(TITLE)))
        text = d.one(form2, 'text', INFO_TITLE)
        self.assertNotIn('editable', d.states(text))
        self.assertEqual(d.text_of(text), 'Informações do pacote\nLinha 2')
        self.assertEqual(d.lines_of(text), ['Informações do pacote', 'Linha 2'])
        self.assertFocus(form2, 'text', INFO_TITLE)
        close = d.one(form2, 'push button', 'Fechar')
        self.assertEqual(d.key_binding(close), '<Alt>f')
        d.screenshot(INFO_TITLE, os.path.join(SHOTS, 'information-window.png'))
        # Form1 takes no input meanwhile, not even a screen reader's action on Sair.
        d.do_action(d.one(form1, 'push button', 'Sair'))
        d.type_keys('alt+s')
        d.pump_events(0.5)
        self.assertIsNone(program.proc.poll())
        self.assertIn(INFO_TITLE, [w.get_name() for w in d.windows(program.app)])
        d.type_keys('Tab')
        self.assertFocus(form2, 'push button', 'Fechar')
        d.type_keys('Escape')
        d.wait_for(lambda: INFO_TITLE not in [w.get_name() for w in d.windows(program.app)],
                   'the information window to close')
        self.assertFocus(form1, 'push button', 'Instalar')
        # Each opening reads the file again; a long text scrolls inside the window's own size,
        # and a NUL byte, where GTK would end the text, is shown as a replacement character.
        box.write('pkg/Info/leiame.txt', b'Outra\rvez\x00!\n' + b'linha\r\n' * 300)
        d.activate(TITLE)
        d.type_keys('alt+o')
        form2 = d.window(program.app, INFO_TITLE)
        self.assertEqual(d.lines_of(d.one(form2, 'text', INFO_TITLE)),
                         ['Outra', 'vez\ufffd!'] + ['linha'] * 300)
        self.assertEqual(d.client_size(d.x_window(INFO_TITLE)), (667, 467))
        self.assertEqual(d.extents(d.one(form2, 'push button', 'Fechar'))[1], 360)
        d.type_keys('alt+f')
        d.wait_for(lambda: INFO_TITLE not in [w.get_name() for w in d.windows(program.app)],
                   'the information window to close')
        self.assertFocus(form1, 'push button', 'Instalar')


class ScreenReaderActions(Case):
    def test_do_action_returns_before_the_window_or_box_it_opens_closes(self):
        _, program = self.start()
        form1 = d.window(program.app, TITLE)
        started = time.monotonic()
        self.assertTrue(d.do_action(d.one(form1, 'push button', 'Informações')))
        self.assertLess(time.monotonic() - started, 2)
        form2 = d.window(program.app, INFO_TITLE)
        d.do_action(d.one(form2, 'push button', 'Fechar'))
        d.wait_for(lambda: INFO_TITLE not in [w.get_name() for w in d.windows(program.app)],
                   'the information window to close')
        # Unticking through the action, then Instalar: its warning opens after the call
        # has returned.
        d.do_action(d.one(form1, 'check box', '17.0'))
        d.wait_for(lambda: 'checked' not in d.states(d.one(form1, 'check box', '17.0')),
                   '17.0 unticked')
        started = time.monotonic()
        d.do_action(d.one(form1, 'push button', 'Instalar'))
        self.assertLess(time.monotonic() - started, 2)
        self.assertEqual(alert_text(program.alert()), NONE_TICKED)
        d.type_keys('Return')
        program.no_alert()
        self.assertIsNone(program.proc.poll())


class Installation(Case):
    def test_a_whole_installation_with_the_keyboard_alone(self):
        box, program = self.start(sound=None)
        form1 = d.window(program.app, TITLE)
        d.activate(TITLE)
        d.type_keys('Tab', 'space')  # tick 16.0 as well
        d.wait_for(lambda: 'checked' in d.states(d.one(form1, 'check box', '16.0')),
                   '16.0 ticked')
        # On to Instalar, which Enter presses as it is the focused button.
        d.type_keys('Tab', 'Tab')
        self.assertFocus(form1, 'push button', 'Instalar')
        d.type_keys('Return')
        alert = program.alert()
        self.assertEqual(alert_text(alert), DONE)
        self.assertIn('modal', d.states(alert))
        d.type_keys('Return')
        self.assertEqual(program.wait(), 0)
        for version in ('16.0', '17.0'):
            for lang in ('ENU', 'PTB'):
                user = box.user(version, lang)
                self.assertEqual(box.read(user + '/notepad.jss'), b'script source\r\n')
                self.assertEqual(box.read(user + '/sub/deep.txt'), b'deep')
                self.assertIn(b'notepad', box.read(box.shared(version, lang) +
                                                   '/confignames.ini'))

    def test_sigterm_ends_the_program_while_sdl_plays(self):
        # Without --ui, where there is a display, the window opens.
        box, program = self.start(sound=None, ui=(), setup=settings(Sound__PlaySound='1'))
        d.window(program.app, TITLE)
        program.proc.terminate()
        self.assertEqual(program.wait(), -15)

    def test_start_up_stop_shows_its_box_alone_and_ends_with_1(self):
        box = Sandbox()
        self.addCleanup(box.remove)
        os.remove(box.path('pkg', 'Setup.ini'))
        program = Program(box)
        self.addCleanup(self.check_stderr, program)
        alert = program.alert()
        self.assertEqual(alert_text(alert), NO_SETUP)
        self.assertEqual([d.role(w) for w in d.windows(program.app)], ['alert'])
        # Setup.ini gives the title, so there is none: named as GTK names any program's
        # warning box in this session's language ("Aviso", "Warning").
        self.assertEqual(alert.get_name(), gettext.translation(
            'gtk30', '/usr/share/locale', fallback=True).gettext('Warning'))
        # With no window beneath it, the box comes to the front and holds the keyboard.
        d.wait_for(lambda: 'active' in d.states(alert), 'the box to be the active window')
        self.assertFocus(alert, 'push button', 'OK')
        d.type_keys('Return')
        self.assertEqual(program.wait(), 1)


class UninstallWindow(Case):
    def test_the_versions_with_the_package_and_the_removal(self):
        setup = settings()
        setup['Package'] = {'Name': 'Scripts do Bloco de Notas'}
        box = Sandbox(setup=setup)
        self.addCleanup(box.remove)
        installed = subprocess.run([EXE, '--silent', '--versions=16.0', '--package-dir',
                                    box.package], env=Program.environment(box),
                                   capture_output=True, timeout=60)
        self.assertEqual(installed.returncode, 0, installed.stderr)
        program = Program(box, ui=('--uninstall', '--ui=gtk'))
        self.addCleanup(self.check_stderr, program)
        title = 'Remoção de Scripts do Bloco de Notas'
        form1 = d.window(program.app, title)
        boxes = d.find(d.one(form1, 'panel', 'Versões do JAWS com o pacote'), 'check box')
        self.assertEqual([b.get_name() for b in boxes], ['16.0'])
        self.assertIn('checked', d.states(boxes[0]))
        self.assertEqual({b.get_name(): d.key_binding(b) for b in d.find(form1, 'push button')},
                         {'Remover': '<Alt>r', 'Sair': '<Alt>s'})
        self.assertFocus(form1, 'check box', '16.0')
        self.assertEqual(d.client_size(d.x_window(title)), (445, 339))
        d.screenshot(title, os.path.join(SHOTS, 'uninstall-window.png'))
        d.activate(title)
        d.type_keys('alt+r')
        self.assertEqual(alert_text(program.alert()),
                         'Remoção concluída. Por favor, reinicie o JAWS.')
        d.type_keys('Return')
        self.assertEqual(program.wait(), 0)
        self.assertFalse(box.exists(box.user('16.0', 'ENU') + '/notepad.jss'))


if __name__ == '__main__':
    d.run_in_session(110)
    EXE = os.path.abspath(sys.argv.pop(1))
    SHOTS = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
    if SHOTS is None:
        SHOTS = tempfile.mkdtemp(prefix='instalador-gtk-shots-')
    os.makedirs(SHOTS, exist_ok=True)
    print('screenshots: %s' % SHOTS, flush=True)
    d.start_client()
    unittest.main(verbosity=2)
