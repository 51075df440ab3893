"""What a blind user hears: Orca reads the GTK front end, and its speech is checked word for word.

Usage: orca_test.py PATH-TO-INSTALADOR

The script runs itself in a PID namespace with Xvfb, openbox, D-Bus and Orca of its own
(orca_session.py). Each step types a key and compares what Orca said afterwards, white space
normalised, with what the user must hear. "caixa de seleção", "botão de apertar", "quadro",
"alerta" and the key echo ("tab", "espaço") are Orca's own words in Brazilian Portuguese.
Without Orca or speech-dispatcher the test fails; it does not skip.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

import desktop as d
import orca_session as orca
import sandbox
from sandbox import Sandbox

TITLE = 'Instalação do pacote'
EXE = None
LOCALE = None  # a pt_BR locale made once for every session of the run
ACTIVATED = re.compile(r'EVENT MANAGER: window:activate for .* in \[application \| instalador\]')

# Keys typed into the main window, and every utterance Orca makes after each, in order.
MAIN_WINDOW = [
    (None, ['Instalação do pacote quadro.', 'Versões painel.',
            '17.0 caixa de seleção selecionada.']),
    ('Tab', ['tab', '16.0 caixa de seleção não selecionada.']),
    ('Tab', ['tab', 'Informações botão de apertar.']),
    ('Tab', ['tab', 'Instalar botão de apertar.']),
    ('Tab', ['tab', 'Sair botão de apertar.']),
    # Back into the frame: Orca names it again, as for every program.
    ('Tab', ['tab', 'Versões painel.', '17.0 caixa de seleção selecionada.']),
    ('space', ['espaço', 'não selecionada']),
    # The box is named by its title, and its text is said once.
    ('alt+i', ['alt da esquerda', 'i', 'alerta %s.' % TITLE,
               'Você precisa marcar pelo menos uma versão do JAWS para instalar os scripts!',
               'OK botão de apertar.']),
    ('Escape', ['ESC', 'Instalação do pacote quadro.', 'Instalar botão de apertar.']),
    ('shift+Tab', ['shift da esquerda', 'Informações botão de apertar.']),
    ('shift+Tab', ['shift da esquerda', 'Versões painel.',
                   '16.0 caixa de seleção não selecionada.']),
    ('shift+Tab', ['shift da esquerda', '17.0 caixa de seleção não selecionada.']),
    ('space', ['espaço', 'selecionada']),
    ('alt+o', ['alt da esquerda', 'o', 'Informações diálogo.', 'Informações apenas leitura texto.',
               'Informações do pacote.']),
    # Form2 closed: the focus is where its handler put it, on Instalar.
    ('Escape', ['ESC', 'Instalação do pacote quadro.', 'Instalar botão de apertar.']),
    ('alt+i', ['alt da esquerda', 'i', 'alerta %s.' % TITLE,
               'Instalação concluída com êxito.\nPor favor, reinicie o JAWS.',
               'OK botão de apertar.']),
]
# The start-up stop: no Setup.ini, so a box alone, with no window beneath it, and no title
# to give it (the title comes from Setup.ini): named by its kind, as GTK names a warning.
START_UP_STOP = [
    (None, ['alerta Aviso.', 'Não foi encontrado o arquivo setup.ini.\n'
            'Ele é necessário para a instalação!', 'OK botão de apertar.']),
]

# The uninstall window of a named package installed into 17.0 alone.
REMOVAL = 'Remoção de Scripts do Bloco de Notas'
UNINSTALL_WINDOW = [
    (None, ['%s quadro.' % REMOVAL, 'Versões do JAWS com o pacote painel.',
            '17.0 caixa de seleção selecionada.']),
    ('alt+r', ['alt da esquerda', 'r', 'alerta %s.' % REMOVAL,
               'Remoção concluída. Por favor, reinicie o JAWS.', 'OK botão de apertar.']),
]


def environment(base, box):
    env = {k: v for k, v in base.items()
           if k.lower() not in ('programfiles', 'appdata', 'allusersprofile')}
    env.update({'programfiles': box.programs, 'APPDATA': box.appdata,
                'AllUsersProfile': box.allusers, 'INSTALADOR_SOUND': 'silent',
                # GTK's caches live until exit by design; LeakSanitizer would call them leaks.
                'ASAN_OPTIONS': 'detect_leaks=0'})
    return env


def start(session, box, args=('--ui=gtk',)):
    """The installer on Orca's desktop, reading a sandbox JAWS tree."""
    return subprocess.Popen([EXE, *args, '--package-dir', box.package],
                            env=environment(session.env, box),
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


class Speech(unittest.TestCase):
    starts, silent = 0, []  # the starts, and those Orca never announced with their logs

    @classmethod
    def tearDownClass(cls):
        print('silent starts: %d of %d%s' % (len(cls.silent), cls.starts,
                                              ''.join('\n  ' + s for s in cls.silent)))

    def orca(self):
        session = orca.Session(LOCALE)
        try:
            session.__enter__()
            session.start_orca()
        except Exception as e:  # noqa: BLE001 -- a start that fails is the test's failure
            session.__exit__(None, None, None)
            self.fail('Orca could not be started: %s' % e)
        self.addCleanup(session.__exit__, None, None, None)
        return session

    def hear(self, box, steps, last_key, status, args=('--ui=gtk',)):
        """Starts the program under a fresh Orca, types each step's key and checks every
        utterance Orca makes after it; then `last_key` ends the program with `status`.

        A start Orca says nothing of (its first window's activation never reached Orca) is
        a silent start: a user would not know the program is open. It is counted, and fails.
        """
        session = self.orca()
        mark = session.mark()
        proc = start(session, box, args)
        Speech.starts += 1
        try:
            for key, expected in steps:
                expected = [orca.normalise(u) for u in expected]
                if key:
                    mark = session.mark()
                    subprocess.run(['xdotool', 'key', '--clearmodifiers', key], env=session.env,
                                   timeout=d.DEFAULT_WAIT, check=True)
                try:
                    session.wait_speech(mark, 10, '%r after %s' % (
                        expected[-1], key or 'the start'), lambda said: expected[-1] in said)
                    session.wait_quiet()
                except AssertionError:
                    if not key and expected[0] not in session.speech(mark):
                        self.silent_start(session, mark)
                    raise
                said = session.speech(mark)
                print('%-9s -> %s' % (key or 'start', ' | '.join(said)), flush=True)
                # Each step is checked on its own: the keys that follow do not depend on it.
                session.keep |= said != expected  # Orca's log stays for a look
                with self.subTest(after=key or 'the start'):
                    self.assertEqual(said, expected)
            subprocess.run(['xdotool', 'key', last_key], env=session.env, timeout=d.DEFAULT_WAIT)
            self.assertEqual(proc.wait(10), status)
        except BaseException:
            session.keep = True
            raise
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            stderr = proc.stderr.read().decode('utf-8', 'replace')
            proc.stderr.close()
        for fault in ('-CRITICAL', '-WARNING', 'runtime error:', 'AddressSanitizer'):
            self.assertNotIn(fault, stderr)

    def silent_start(self, session, mark):
        session.keep = True
        Speech.silent.append('%s (%s)' % (self.id(), session.log))
        self.fail('a silent start: Orca never announced the window%s' % (
            '' if ACTIVATED.search(session.text()[mark:]) else ', nor heard it activate'))

    def test_every_start_is_heard(self):
        # Eight starts after one another under one Orca, each ended once it is announced.
        box = Sandbox()
        self.addCleanup(box.remove)
        session = self.orca()
        for _ in range(8):
            session.wait_quiet()
            mark, proc = session.mark(), start(session, box)
            Speech.starts += 1
            try:
                session.wait_speech(mark, 10, 'the title', lambda said: orca.normalise(
                    MAIN_WINDOW[0][1][0]) in said)
            except AssertionError:
                self.silent_start(session, mark)
            finally:
                proc.kill()
                proc.wait()
                proc.stderr.close()

    def test_start_up_stop_box(self):
        box = Sandbox()
        self.addCleanup(box.remove)
        os.remove(box.path('pkg', 'Setup.ini'))
        self.hear(box, START_UP_STOP, 'Return', 1)

    def test_main_window_walk_boxes_and_information(self):
        box = Sandbox()
        self.addCleanup(box.remove)
        # Enter on the success box's OK ends the program after the installation.
        self.hear(box, MAIN_WINDOW, 'Return', 0)

    def test_uninstall_window_title_frame_box_and_result(self):
        setup = sandbox.settings()
        setup['Package'] = {'Name': 'Scripts do Bloco de Notas'}
        box = Sandbox(setup=setup)
        self.addCleanup(box.remove)
        installed = subprocess.run([EXE, '--silent', '--package-dir', box.package],
                                   env=environment(os.environ, box), capture_output=True)
        self.assertEqual(installed.returncode, 0, installed.stderr)
        self.hear(box, UNINSTALL_WINDOW, 'Return', 0, ('--uninstall', '--ui=gtk'))


if __name__ == '__main__':
    orca.run_in_namespace(200)
    EXE = os.path.abspath(sys.argv.pop(1))
    LOCALE = tempfile.mkdtemp(prefix='instalador-orca-locale-')
    try:
        unittest.main(verbosity=2)
    finally:
        shutil.rmtree(LOCALE, ignore_errors=True)
