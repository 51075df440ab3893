"""The Windows program with its own windows, under Wine, Xvfb and a window manager: what a
screen reader's helper sees (window classes, texts, styles, pixel geometry, states, focus and
MSAA) and what a keyboard user does (SendInput), through the MinGW driver.

One Xvfb display, one window manager, one Wine prefix and one driver process serve the run.
Screenshots go to the folder printed at the start.

Usage: win32_test.py INSTALADOR.EXE DRIVER.EXE WINE-RUN
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import wave

import sandbox
import wine_test
from wine_test import WineSandbox

EXE = DRIVER = WINE_RUN = PLANTED_DLL = None
# What a web page may drop into Downloads beside a bundle: DLLs that programs, and the system's
# own DLLs for them, load by name.
PLANTED = ('winmm uxtheme dwmapi cryptbase cryptsp textshaping propsys profapi userenv msimg32 '
           'oleacc secur32 sspicli winhttp wtsapi32 dbghelp msacm32 mciqtz32 mciwave '
           'mciseq').split()
SHOTS = None

# Window styles as the driver reports them.
WS_VISIBLE, WS_DISABLED, WS_TABSTOP, WS_GROUP = 0x10000000, 0x08000000, 0x00010000, 0x00020000
WS_VSCROLL, WS_HSCROLL = 0x00200000, 0x00100000
BS_TYPEMASK, BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_CHECKBOX, BS_AUTOCHECKBOX, BS_GROUPBOX = (
    0xF, 0x0, 0x1, 0x2, 0x3, 0x7)
ES_MULTILINE, ES_READONLY = 0x4, 0x800
SS_ICON = 0x3
MB_OK_ID, MB_TEXT_ID = 1, 0xFFFF
ROLE_PUSHBUTTON, ROLE_CHECKBUTTON, ROLE_GROUPING, ROLE_TEXT = 0x2B, 0x2C, 0x14, 0x2A
STATE_UNAVAILABLE, STATE_FOCUSED, STATE_CHECKED, STATE_INVISIBLE, STATE_FOCUSABLE = (
    0x1, 0x4, 0x10, 0x8000, 0x100000)

# Form1 at 96 DPI: 15 twips a pixel, relative to the client area.
FORM1_CLIENT = (445, 339)
FORM1_RECTS = {
    'Versões': (8, 8, 353, 201),
    '17.0': (32, 32, 233, 25),
    '16.0': (32, 80, 233, 25),
    'Inf&ormações': (0, 288, 97, 33),
    '&Instalar': (184, 288, 97, 33),
    '&Sair': (368, 288, 97, 41),
}


def write_wav(path, seconds):
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b'\0\1' * 8000 * seconds)


def display():
    """A display of our own: Xvfb picks a free number and writes it to the pipe."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write), '-screen', '0', '1024x768x24',
                             '-nolisten', 'tcp'], pass_fds=(write,),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b''
    while not number.endswith(b'\n'):
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    name = ':' + number.decode().strip()
    wm = subprocess.Popen(['openbox'], env=dict(os.environ, DISPLAY=name),
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1)
    return name, xvfb, wm


class Driver:
    def __init__(self, env):
        self.proc = subprocess.Popen([WINE_RUN, DRIVER], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, env=env)

    def __call__(self, *words):
        line = ' '.join(str(w) for w in words) + '\n'
        self.proc.stdin.write(line.encode('utf-8'))
        self.proc.stdin.flush()
        reply = self.proc.stdout.readline()
        if not reply:
            raise AssertionError('the driver ended')
        return json.loads(reply)

    def quit(self):
        try:
            self('quit')
        except (AssertionError, BrokenPipeError):
            pass
        self.proc.wait(timeout=20)


class Screen:
    """The controls of one window by their text, from the driver's tree."""

    def __init__(self, tree):
        self.window = tree['window']
        self.children = tree['children']

    def __getitem__(self, text):
        found = [c for c in self.children if c['text'] == text]
        if len(found) != 1:
            raise AssertionError('%d controls with text %r in %r' % (
                len(found), text, [c['text'] for c in self.children]))
        return found[0]

    def handle(self, text):
        return self[text]['hwnd']

    def by_id(self, ident):
        return [c for c in self.children if c['id'] == ident]


class WindowsProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.display, cls.xvfb, cls.wm = display()
        cls.env = dict(os.environ, DISPLAY=cls.display)
        try:
            cls.driver = Driver(cls.env)
            cls.wine = cls.driver('wine')['wine']
        except BaseException:
            cls.stop_display()
            raise
        cls.running = []

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.stop_display()

    @classmethod
    def stop_display(cls):
        for p in (cls.wm, cls.xvfb):
            p.terminate()
            p.wait(timeout=10)

    def tearDown(self):
        for proc in self.running:
            if proc.poll() is None:
                proc.kill()
                proc.wait(timeout=20)
        self.running.clear()

    # -- helpers

    def start(self, box, sound=False, extra=(), bundle=None):
        env = dict(self.env)
        env.pop('INSTALADOR_SOUND', None)
        if not sound:
            env['INSTALADOR_SOUND'] = 'silent'
        command = [bundle, *extra] if bundle else [EXE, '--package-dir', 'C:\\pkg', *extra]
        proc = subprocess.Popen([WINE_RUN, *command], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.running.append(proc)
        return proc

    def wait(self, cls='-', title='-', ms=30000):
        hwnd = self.driver('wait', cls, title.replace(' ', '%20') if title != '-' else '-',
                           ms)['hwnd']
        self.assertNotEqual(hwnd, 0, 'no window %s %r appeared' % (cls, title))
        return hwnd

    def form(self, title='Instalação do pacote'):
        return self.wait('instalador', title)

    def screen(self, hwnd):
        return Screen(self.driver('tree', hwnd))

    def focus_text(self, hwnd):
        return self.driver('focus', hwnd).get('focusText')

    def keys(self, *keys):
        self.driver('keys', *keys)
        time.sleep(0.3)

    def ended(self, proc, status):
        proc.wait(timeout=30)
        self.assertEqual(proc.returncode, status)

    def message(self, ms=30000):
        """The open message box: (hwnd, text, has an icon)."""
        hwnd = self.wait('#32770', ms=ms)
        s = self.screen(hwnd)
        text = s.by_id(MB_TEXT_ID)[0]['text']
        icon = any(c.get('icon') for c in s.children)
        return hwnd, s.window['text'], text, icon

    def answer(self, box_hwnd):
        self.driver('keys', 'Enter')
        self.assertTrue(self.driver('gone', box_hwnd, 10000)['gone'])

    def said(self):
        """The open message box's (title, text, has an icon), once it is answered."""
        box_hwnd, *shown = self.message()
        self.answer(box_hwnd)
        return tuple(shown)

    def shot(self, name):
        path = os.path.join(SHOTS, name + '.png')
        xwd = subprocess.run(['xwd', '-root', '-display', self.display], capture_output=True,
                             check=True).stdout
        subprocess.run(['convert', 'xwd:-', path], input=xwd, check=True)

    def expect_on_windows(self, check):
        """A check that Wine's MSAA cannot pass (roles, checked state, default actions) counts
        on Windows only."""
        if self.wine:
            try:
                check()
            except AssertionError:
                return
            self.fail('passed under Wine: make it a plain check')
        check()

    # -- the tests

    def test_start_up_stops_show_their_box_in_front_and_end_with_status_1(self):
        box = WineSandbox()
        os.remove(box.path('pkg', 'Setup.ini'))
        proc = self.start(box)
        hwnd, title, text, icon = self.message()
        self.assertEqual((title, text, icon),
                         ('', 'Não foi encontrado o arquivo setup.ini.\nEle é necessário para a '
                              'instalação!', True))
        self.assertEqual(self.driver('windows')['foreground'], hwnd)
        self.assertEqual(self.focus_text(hwnd), 'OK')
        self.assertEqual(self.driver('wait', 'instalador', '-', 0)['hwnd'], 0)
        self.answer(hwnd)
        self.ended(proc, 1)

        box = WineSandbox(versions=())
        proc = self.start(box)
        hwnd, title, text, icon = self.message()
        self.assertEqual((title, text, icon),
                         ('Instalação do pacote', 'Não foram encontradas versões do JAWS '
                                                  'instaladas!', False))
        self.answer(hwnd)
        self.ended(proc, 1)

        # A bundle whose package is damaged says so before any window, and leaves nothing.
        bundle = wine_test.make_bundle(WineSandbox(), 'danificado.exe')
        self.addCleanup(os.remove, bundle)
        with open(bundle, 'r+b') as f:
            data = f.read()
            f.seek(data.index(b'script source'))
            f.write(b'S')
        proc = self.start(box, bundle=bundle)
        hwnd, title, text, icon = self.message()
        self.assertEqual((title, icon), ('instalador', True))
        self.assertIn('danificado ou incompleto', text)
        self.assertEqual(self.driver('wait', 'instalador', '-', 0)['hwnd'], 0)
        self.answer(hwnd)
        self.ended(proc, 1)
        self.assertEqual(wine_test.ours_in_temp(box), [])

    def test_the_window_as_designed(self):
        box = WineSandbox()
        proc = self.start(box)
        hwnd = self.form()
        s = self.screen(hwnd)
        w = s.window
        self.assertEqual((w['class'], w['owner'], tuple(w['client'][2:])),
                         ('instalador', 0, FORM1_CLIENT))
        self.assertEqual(tuple(w['screen'][:2]), (136, 32))  # Left 2032.5, Top 480
        self.assertEqual(self.driver('windows')['foreground'], hwnd)
        self.assertEqual(self.focus_text(hwnd), '17.0')
        kinds = {'Versões': BS_GROUPBOX, '17.0': BS_AUTOCHECKBOX, '16.0': BS_AUTOCHECKBOX,
                 'Inf&ormações': BS_PUSHBUTTON, '&Instalar': BS_PUSHBUTTON,
                 '&Sair': BS_PUSHBUTTON}
        for text, rect in FORM1_RECTS.items():
            c = s[text]
            self.assertEqual((c['class'], c['style'] & BS_TYPEMASK), ('Button', kinds[text]), text)
            slack = 1 if text == '&Instalar' else 0  # the window's Left snaps to a pixel
            for got, want in zip(c['rect'], rect):
                self.assertLessEqual(abs(got - want), slack, (text, c['rect'], rect))
            self.assertTrue(c['visible'] and c['enabled'], text)
            self.assertEqual(bool(c['style'] & WS_TABSTOP), kinds[text] != BS_GROUPBOX, text)
        self.assertEqual((s['17.0']['check'], s['16.0']['check']), (1, 0))
        # The two boxes left without a version, hidden and disabled; tab order is z-order.
        hidden = [c for c in s.children if c['text'] == 'Check1']
        self.assertEqual([(c['visible'], c['enabled']) for c in hidden], [(False, False)] * 2)
        self.assertEqual([c['text'] for c in s.children],
                         ['Versões', '17.0', '16.0', 'Check1', 'Check1', 'Inf&ormações',
                          '&Instalar', '&Sair'])
        # MSAA: names without the mark, shortcuts, states.
        for text, name, shortcut in [('&Instalar', 'Instalar', 'Alt+I'),
                                     ('&Sair', 'Sair', 'Alt+S'),
                                     ('Inf&ormações', 'Informações', 'Alt+O'),
                                     ('17.0', '17.0', '')]:
            acc = self.driver('msaa', s.handle(text))
            # The letter as the caption writes it: Windows and Wine differ in its case.
            self.assertEqual((acc['name'], acc['shortcut'].upper()), (name, shortcut.upper()),
                             text)
        state = self.driver('msaa', s.handle('17.0'))['state']
        self.assertTrue(state & STATE_FOCUSED and state & STATE_FOCUSABLE)
        self.assertTrue(self.driver('msaa', hidden[0]['hwnd'])['state'] & STATE_INVISIBLE)
        self.expect_on_windows(lambda: self.assertEqual(
            self.driver('msaa', s.handle('&Instalar')).get('role'), ROLE_PUSHBUTTON))
        self.expect_on_windows(lambda: self.assertTrue(
            self.driver('msaa', s.handle('17.0'))['state'] & STATE_CHECKED))
        self.shot('form1')
        self.keys('Esc')
        self.ended(proc, 0)

    def test_the_window_at_120_dpi(self):
        key = 'HKCU\\Control Panel\\Desktop'
        subprocess.run([WINE_RUN, 'reg', 'add', key, '/v', 'LogPixels', '/t', 'REG_DWORD', '/d',
                        '120', '/f'], env=self.env, capture_output=True, check=True)
        try:
            proc = self.start(WineSandbox())
            s = self.screen(self.form())
            # 12 twips a pixel: the client area, and a control inside the frame.
            self.assertEqual(tuple(s.window['client'][2:]), (557, 424))
            self.assertEqual(tuple(s.window['screen'][:2]), (169, 40))
            self.assertEqual(s['16.0']['rect'], [10 + 30, 10 + 90, 291, 31])
            self.assertEqual(s['&Sair']['rect'], [460, 360, 121, 51])
            self.keys('Esc')
            self.ended(proc, 0)
        finally:
            subprocess.run([WINE_RUN, 'reg', 'delete', key, '/v', 'LogPixels', '/f'],
                           env=self.env, capture_output=True)

    def test_no_information_button_when_show_info_is_off(self):
        setup = {k: dict(v) for k, v in sandbox.SETUP.items()}
        setup['Info']['ShowInfo'] = '0'
        box = WineSandbox(setup=setup)
        proc = self.start(box)
        s = self.screen(self.form())
        c = s['Inf&ormações']
        self.assertEqual((c['visible'], c['enabled']), (False, False))
        self.keys('Alt+O')
        self.assertEqual(self.driver('wait', 'instalador', 'Informações', 500)['hwnd'], 0)
        self.keys('Alt+S')
        self.ended(proc, 0)

    def test_tab_walks_the_tab_order_both_ways_and_wraps(self):
        proc = self.start(WineSandbox())
        hwnd = self.form()
        forward = ['16.0', 'Inf&ormações', '&Instalar', '&Sair', '17.0']
        seen = []
        for _ in forward:
            self.keys('Tab')
            seen.append(self.focus_text(hwnd))
        self.assertEqual(seen, forward)
        seen = []
        for _ in forward:
            self.keys('Shift+Tab')
            seen.append(self.focus_text(hwnd))
        self.assertEqual(seen, ['&Sair', '&Instalar', 'Inf&ormações', '16.0', '17.0'])
        # Space toggles the focused box; Enter on a box does nothing.
        self.keys('Space', 'Enter')
        self.assertEqual(self.screen(hwnd)['17.0']['check'], 0)
        self.driver('close', hwnd)
        self.ended(proc, 0)

    def test_frame_access_key_passes_the_focus_on_and_enter_presses_the_focused_button(self):
        setup = {k: dict(v) for k, v in sandbox.SETUP.items()}
        setup['Configurations']['Frametitle'] = '&Versões'
        proc = self.start(WineSandbox(setup=setup))
        hwnd = self.form()
        self.keys('Shift+Tab')
        self.assertEqual(self.focus_text(hwnd), '&Sair')
        self.keys('Alt+V')
        self.assertEqual(self.focus_text(hwnd), '17.0')
        self.assertEqual(self.screen(hwnd)['17.0']['check'], 1)  # moved to, not toggled
        self.keys('Shift+Tab', 'Enter')
        self.ended(proc, 0)

    def test_installation_with_the_keyboard_alone(self):
        box = WineSandbox()
        proc = self.start(box)
        hwnd = self.form()
        self.keys('Tab', 'Space')  # tick 16.0 too
        self.assertEqual(self.screen(hwnd)['16.0']['check'], 1)
        self.keys('Alt+I')
        box_hwnd, title, text, icon = self.message()
        self.assertEqual((title, text, icon), ('Instalação do pacote',
                                               'Instalação concluída com êxito.\nPor favor, '
                                               'reinicie o JAWS.', False))
        self.assertFalse(self.driver('tree', hwnd)['window']['enabled'])
        self.assertEqual(self.driver('tree', box_hwnd)['window']['owner'], hwnd)
        self.shot('message-box')
        self.answer(box_hwnd)
        self.ended(proc, 0)
        for version in ('16.0', '17.0'):
            for lang in ('ENU', 'PTB'):
                user = box.user(version, lang)
                self.assertEqual(box.read(user + '/notepad.jss'), b'script source\r\n')
                self.assertEqual(box.read(user + '/Default.jsb'), b'package default script')

    def test_no_tick_failed_install_and_the_window_staying(self):
        box = WineSandbox()
        # A folder where the package's script would go: the copy fails.
        os.makedirs(box.path(*box.user('17.0', 'ENU').split('/'), 'notepad.jss'))
        proc = self.start(box)
        hwnd = self.form()
        self.keys('Space', 'Alt+I')
        box_hwnd, title, text, icon = self.message()
        self.assertEqual((text, icon), ('Você precisa marcar pelo menos uma versão do JAWS '
                                        'para instalar os scripts!', True))
        self.answer(box_hwnd)
        time.sleep(0.3)
        self.assertEqual(self.focus_text(hwnd), '&Instalar')
        self.keys('Shift+Tab', 'Shift+Tab', 'Shift+Tab', 'Space', 'Alt+I')
        box_hwnd, title, text, icon = self.message()
        self.assertTrue(text.startswith('Não foi possível concluir a instalação.\n'), text)
        self.assertIn('notepad.jss', text)
        self.assertTrue(icon)
        self.answer(box_hwnd)
        time.sleep(0.3)
        self.assertTrue(self.driver('tree', hwnd)['window']['visible'])
        self.assertEqual(self.focus_text(hwnd), '&Instalar')
        self.assertIsNone(proc.poll())
        self.keys('Esc')
        self.ended(proc, 0)

    def test_the_uninstall_window(self):
        box = WineSandbox(setup=sandbox.settings(Package__Name='Scripts do Bloco de Notas'))
        installed = subprocess.run([WINE_RUN, EXE, '/S', '/package-dir', 'C:\\pkg'],
                                   env=self.env, capture_output=True, timeout=120)
        self.assertEqual(installed.returncode, 0, installed.stderr)  # into 17.0 alone
        proc = self.start(box, extra=('--uninstall', '--ui=win32'))
        hwnd = self.form('Remoção de Scripts do Bloco de Notas')
        s = self.screen(hwnd)
        self.assertEqual(tuple(s.window['client'][2:]), FORM1_CLIENT)
        self.assertEqual([(c['text'], c['visible']) for c in s.children],
                         [('Versões do JAWS com o pacote', True), ('17.0', True),
                          ('Check1', False), ('Check1', False), ('Check1', False),
                          ('Inf&ormações', False), ('&Remover', True), ('&Sair', True)])
        self.assertEqual((s['17.0']['check'], self.focus_text(hwnd)), (1, '17.0'))
        acc = self.driver('msaa', s.handle('&Remover'))
        self.assertEqual((acc['name'], acc['shortcut'].upper()), ('Remover', 'ALT+R'))
        self.shot('uninstall-window')
        self.keys('Space', 'Alt+R')
        self.assertEqual(self.said(), ('Remoção de Scripts do Bloco de Notas', 'Você precisa '
                                       'marcar pelo menos uma versão do JAWS para remover o '
                                       'pacote!', True))
        time.sleep(0.3)
        self.assertEqual(self.focus_text(hwnd), '&Remover')
        self.keys('Shift+Tab', 'Space', 'Alt+R')
        self.assertEqual(self.said()[1:], ('Remoção concluída. Por favor, reinicie o JAWS.', False))
        self.ended(proc, 0)
        self.assertFalse(box.exists(box.user('17.0', 'ENU') + '/notepad.jss'))
        # Nothing left to remove: said, and the program ends.
        proc = self.start(box, extra=('--uninstall', '--ui=win32'))
        self.assertEqual(self.said()[1], 'Este pacote não está instalado em nenhuma versão do '
                                         'JAWS.')
        self.ended(proc, 0)

    def information(self, content, lines):
        box = WineSandbox()
        box.write('pkg/Info/leiame.txt', content)
        proc = self.start(box)
        hwnd = self.form()
        self.keys('Alt+O')
        info = self.form('Informações')
        s = self.screen(info)
        self.assertEqual((s.window['owner'], self.driver('tree', hwnd)['window']['enabled']),
                         (hwnd, False))
        edits = [c for c in s.children if c['class'] == 'Edit']
        self.assertEqual(len(edits), 1)
        edit = edits[0]
        self.assertEqual(edit['style'] & (ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL),
                         ES_MULTILINE | ES_READONLY)
        self.assertEqual(self.driver('lines', edit['hwnd'])['lines'], lines)
        self.assertEqual(self.focus_text(info), edit['text'])
        self.assertEqual(self.driver('msaa', s.handle('&Fechar'))['shortcut'].upper(), 'ALT+F')
        # The text is named by the window's caption: a hidden label just before it carries it,
        # which MSAA reads under Wine too, besides the annotation service Wine lacks.
        self.assertEqual(self.driver('msaa', edit['hwnd'])['name'], 'Informações')
        return proc, hwnd, info, s

    def test_information_window_in_windows_1252_then_esc(self):
        proc, hwnd, info, s = self.information(
            'Informações do pacote\r\nLinha 2\nLinha 3\rLinha 4'.encode('cp1252'),
            ['Informações do pacote', 'Linha 2', 'Linha 3', 'Linha 4'])
        self.keys('Tab')
        self.assertEqual(self.focus_text(info), '&Fechar')
        self.shot('form2')
        self.keys('Esc')
        self.assertTrue(self.driver('gone', info, 10000)['gone'])
        time.sleep(0.3)
        self.assertEqual(self.focus_text(hwnd), '&Instalar')
        self.assertTrue(self.driver('tree', hwnd)['window']['enabled'])
        self.keys('Alt+S')
        self.ended(proc, 0)

    def test_information_window_in_utf8_with_one_line_feed(self):
        # The program reads a file that is valid UTF-8 as UTF-8.
        proc, hwnd, info, s = self.information('Informações\nLinha 2'.encode('utf-8'),
                                               ['Informações', 'Linha 2'])
        self.keys('Alt+F')
        self.assertTrue(self.driver('gone', info, 10000)['gone'])
        time.sleep(0.3)
        self.assertEqual(self.focus_text(hwnd), '&Instalar')
        # Opened again, and closed with its close box this time.
        self.keys('Shift+Tab', 'Alt+O')
        info = self.form('Informações')
        self.driver('close', info)
        self.assertTrue(self.driver('gone', info, 10000)['gone'])
        time.sleep(0.3)
        self.assertEqual(self.focus_text(hwnd), '&Instalar')
        self.driver('close', hwnd)
        self.ended(proc, 0)

    def test_close_box_while_the_sound_plays(self):
        setup = {k: dict(v) for k, v in sandbox.SETUP.items()}
        setup['Sound'].update(PlaySound='1', PlayMode='0', Volume='50')
        box = WineSandbox(setup=setup)
        write_wav(box.path('pkg', 'Audio', 'abertura.wav'), 20)
        proc = self.start(box, sound=True)
        hwnd = self.form()
        self.driver('close', hwnd)
        self.ended(proc, 0)
        # From a bundle, the sound it plays is a file of its unpacked package: closed first, so
        # that the package can go. (Without Volume, which a wav ignores: the check refuses it.)
        del setup['Sound']['Volume']
        box.setup(setup)
        bundle = wine_test.make_bundle(box, 'janela.exe')
        self.addCleanup(os.remove, bundle)
        proc = self.start(box, sound=True, bundle=bundle)
        hwnd = self.form()
        self.driver('close', hwnd)
        self.ended(proc, 0)
        self.assertEqual(wine_test.ours_in_temp(box), [])

    def test_screen_reader_action_returns_before_the_box_closes(self):
        proc = self.start(WineSandbox())
        hwnd = self.form()
        s = self.screen(hwnd)

        def action():
            reply = self.driver('doaction', s.handle('&Instalar'))
            self.assertEqual(reply['hr'], 0)
            self.assertLess(reply['ms'], 2000)
            box_hwnd = self.message(ms=10000)[0]
            self.answer(box_hwnd)

        self.expect_on_windows(action)
        if self.wine:
            # What accDoDefaultAction does on Windows: a click that returns at once.
            self.driver('click', s.handle('&Instalar'))
            self.answer(self.message()[0])
        self.ended(proc, 0)

    def test_no_dll_beside_the_program_or_a_bundle_is_loaded(self):
        """A Downloads folder where a web page dropped DLLs under names that programs load: the
        window with its welcome sound (a WAV, then an MP3), --check, /SILENT and a bundle load
        none of them, and none of their code runs. version.dll and imm32.dll are left out:
        Wine's own user32 loads them from the program's folder before the program's first
        instruction, which Windows does not."""
        box = WineSandbox()
        folder = box.path('Downloads')
        wine_test.replace(box.package, folder)
        shutil.copy(EXE, os.path.join(folder, 'instalador.exe'))
        write_wav(os.path.join(folder, 'Audio', 'abertura.wav'), 5)
        with open(os.path.join(folder, 'Audio', 'abertura.mp3'), 'wb') as f:
            f.write((b'\xff\xfb\x90\x64' + bytes(413)) * 200)  # MPEG-1 layer 3 frames of silence
        for name in PLANTED:
            shutil.copy(PLANTED_DLL, os.path.join(folder, name + '.dll'))
        env = dict(self.env, INSTALADOR_WINEDEBUG='+loaddll',
                   INSTALADOR_WINEDLLOVERRIDES=','.join(PLANTED) + '=n,b')
        env.pop('INSTALADOR_SOUND', None)
        trace = tempfile.TemporaryFile()
        here = 'C:\\Downloads\\'

        def run(*args, window=False):
            proc = subprocess.Popen([WINE_RUN, *args], env=env, stdout=subprocess.DEVNULL,
                                    stderr=trace)
            self.running.append(proc)
            if window:
                hwnd = self.form()
                time.sleep(1)  # the sound begins
                self.driver('close', hwnd)
            proc.wait(timeout=120)
            return proc.returncode

        for sound in ('abertura.wav', 'abertura.mp3'):
            box.setup(sandbox.settings(Sound__PlaySound='1', Sound__SoundFile=sound,
                                       Sound__Volume=None))
            shutil.copy(box.path('pkg', 'Setup.ini'), folder)
            self.assertEqual(run(here + 'instalador.exe', window=True), 0)
        run(here + 'instalador.exe', '--check')
        self.assertEqual(run(here + 'instalador.exe', '/SILENT'), 0)
        self.assertEqual(run(here + 'instalador.exe', '/bundle', here + 'b.exe'), 0)
        self.assertEqual(run(here + 'b.exe', '/SILENT'), 0)
        trace.seek(0)
        lines = trace.read().decode('utf-8', 'replace').splitlines()
        self.assertTrue(any('mciqtz32' in line for line in lines), 'the MP3 was opened')
        loaded = {m.lower() for line in lines
                  for m in re.findall(r'Loaded L"C:\\\\Downloads\\\\([^"]+)"', line)}
        self.assertEqual(loaded, {'instalador.exe', 'b.exe'})
        self.assertEqual([n for n in os.listdir(folder) if n.endswith('.loaded')], [])

    def test_the_executable(self):
        path = 'Z:' + EXE.replace('/', '\\')
        version = self.driver('version', path)
        self.assertEqual(version.get('ProductName'), 'instalador')
        self.assertEqual(version.get('FileDescription'), 'Instalação de scripts para o JAWS')
        self.assertRegex(version.get('ProductVersion', ''), r'^\d+\.\d+\.\d+$')
        manifest = self.driver('manifest', path)['manifest']
        for part in ('Microsoft.Windows.Common-Controls', 'asInvoker', 'PerMonitorV2',
                     '<longPathAware xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">'
                     'true</longPathAware>'):
            self.assertIn(part, manifest)
        self.assertNotIn('<activeCodePage', manifest)


if __name__ == '__main__':
    EXE = sandbox.EXE = os.path.abspath(sys.argv.pop(1))
    DRIVER = os.path.abspath(sys.argv.pop(1))
    WINE_RUN = wine_test.WINE_RUN = os.path.abspath(sys.argv.pop(1))
    PLANTED_DLL = os.path.abspath(sys.argv.pop(1))
    SHOTS = os.environ.get('INSTALADOR_SHOTS') or tempfile.mkdtemp(prefix='instalador-shots-')
    os.makedirs(SHOTS, exist_ok=True)
    print('screenshots in', SHOTS, flush=True)
    unittest.main(verbosity=2)
