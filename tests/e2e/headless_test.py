"""End-to-end tests: the built program, headless, against sandbox folders.

Usage: headless_test.py PATH-TO-INSTALADOR
"""

import os
import sys
import unittest

import sandbox
from sandbox import SETUP, Sandbox, settings

NO_SETUP = 'Não foi encontrado o arquivo setup.ini.\nEle é necessário para a instalação!'
NO_JAWS = 'Não foram encontradas versões do JAWS instaladas!'
NONE_TICKED = 'Você precisa marcar pelo menos uma versão do JAWS para instalar os scripts!'
DONE = 'Instalação concluída com êxito.\nPor favor, reinicie o JAWS.'
TITLE = 'Instalação do pacote'



class Case(unittest.TestCase):
    def sandbox(self, **kwargs):
        box = Sandbox(**kwargs)
        self.addCleanup(box.remove)
        return box

    def assertEndsWith(self, run, status):
        self.assertEqual(run.names()[-1], 'end', run.lines)
        self.assertEqual(run.of('end'), [{'status': str(status)}])
        self.assertEqual(run.status, status)


class StartupStops(Case):
    def test_stops_with_their_message_and_status_1(self):
        cases = [
            # (what, prepare, text, icon, title)
            ('no Setup.ini', lambda b: os.remove(b.path('pkg', 'Setup.ini')), NO_SETUP,
             'exclamation', ''),
            ('no Setup.ini and no JAWS', lambda b: (os.remove(b.path('pkg', 'Setup.ini')),
                                                    b.remove_programs()), NO_SETUP,
             'exclamation', ''),
            ('no JAWS root', lambda b: b.remove_programs(), NO_JAWS, 'none', TITLE),
            ('empty JAWS root', lambda b: b.empty_programs(), NO_JAWS, 'exclamation', TITLE),
            ('no qualifying folder', lambda b: b.programs_with('17', 'Settings', '9.0'), NO_JAWS,
             'exclamation', TITLE),
        ]
        for what, prepare, text, icon, title in cases:
            with self.subTest(what):
                box = self.sandbox()
                prepare(box)
                run = box.run('dump')
                self.assertEqual(run.of('msgbox'), [
                    {'title': title, 'icon': icon, 'buttons': 'ok', 'text': text}])
                self.assertNotIn('show', run.names())
                self.assertNotIn('mci', run.names())
                self.assertEndsWith(run, 1)


def _remove_programs(self):
    import shutil
    shutil.rmtree(self.programs)


def _empty_programs(self):
    _remove_programs(self)
    os.makedirs(os.path.join(self.programs, 'Freedom Scientific', 'Jaws'))


def _programs_with(self, *names):
    _empty_programs(self)
    for name in names:
        os.makedirs(os.path.join(self.programs, 'Freedom Scientific', 'Jaws', name))


Sandbox.remove_programs = _remove_programs
Sandbox.empty_programs = _empty_programs
Sandbox.programs_with = _programs_with


class StartupWindow(Case):
    def test_layout_tab_order_and_captions(self):
        box = self.sandbox(versions=('15.0', '16.0', '17.0'))
        run = box.run('dump', 'close')
        self.assertEqual(run.names()[:2], ['show', 'apptitle'])
        self.assertEqual(run.of('show')[0], {'name': 'Form1', 'modal': '0'})
        d = run.dumps()[0]
        self.assertEqual(d['apptitle'], TITLE)
        self.assertEqual({k: d['Form1'][k] for k in ('caption', 'left', 'top', 'width', 'height',
                                                     'focus')},
                         {'caption': TITLE, 'left': '2032.5', 'top': '480', 'width': '6680',
                          'height': '5090', 'focus': 'Check1(0)'})
        self.assertEqual(d['_order_Form1'], ['Frame1', 'Check1(0)', 'Check1(1)', 'Check1(2)',
                                             'Check1(3)', 'Command3', 'Command1', 'Command2'])
        expected = {
            # name: (caption, left, top, width, height, enabled, visible, extra)
            'Frame1': ('Versões', '120', '120', '5295', '3015', '1', '1', {}),
            'Check1(0)': ('17.0', '360', '360', '3495', '375', '1', '1', {'value': '1'}),
            'Check1(1)': ('16.0', '360', '1080', '3495', '375', '1', '1', {'value': '0'}),
            'Check1(2)': ('15.0', '360', '1680', '3495', '375', '1', '1', {'value': '0'}),
            'Check1(3)': ('Check1', '360', '2280', '3495', '375', '0', '0', {'value': '0'}),
            'Command1': ('&Instalar', '2760', '4320', '1455', '495', '1', '1', {'cancel': '0'}),
            'Command2': ('&Sair', '5520', '4320', '1455', '615', '1', '1', {'cancel': '1'}),
            'Command3': ('Inf&ormações', '0', '4320', '1455', '495', '1', '1', {'cancel': '0'}),
        }
        for name, (caption, left, top, width, height, enabled, visible, extra) in expected.items():
            with self.subTest(name):
                c = d[name]
                self.assertEqual((c['caption'], c['left'], c['top'], c['width'], c['height'],
                                  c['enabled'], c['visible']),
                                 (caption, left, top, width, height, enabled, visible))
                for k, v in extra.items():
                    self.assertEqual(c[k], v)
        self.assertEqual(d['Check1(0)']['container'], 'Frame1')

    def test_show_info_flag_and_start_version(self):
        cases = [
            # (ShowInfo, Startversion, Command3 enabled/visible, captions shown)
            ('1', '11', '1', ['17.0', '16.0', '15.0']),
            ('-1', '16', '1', ['17.0', '16.0']),
            ('0', '16.5', '0', ['17.0', '16.0']),
            (None, '17.5', '0', []),
            ('yes', '', '0', ['17.0', '16.0', '15.0']),
        ]
        for show, start, command3, captions in cases:
            with self.subTest(show=show, start=start):
                box = self.sandbox(versions=('15.0', '16.0', '17.0'),
                                   setup=settings(Info__ShowInfo=show,
                                                  Configurations__Startversion=start))
                run = box.run('dump')
                if not captions:
                    self.assertEqual(run.of('msgbox')[0]['text'], NO_JAWS)
                    continue
                d = run.dumps()[0]
                self.assertEqual((d['Command3']['enabled'], d['Command3']['visible']),
                                 (command3, command3))
                shown = [d['Check1(%d)' % i]['caption'] for i in range(4)
                         if d['Check1(%d)' % i]['visible'] == '1']
                self.assertEqual(shown, captions)

    def test_welcome_sound_commands(self):
        sound = 'Audio\\abertura.wav'
        cases = [
            # (PlaySound, PlayMode, Volume, mci commands at start, message)
            ('0', '1', '50', [], None),
            ('1', None, None, ['OPEN "{0}" TYPE waveaudio alias audio',
                               'setaudio audio volume to 0', 'PLAY audio From 0'], None),
            ('1', '1', '50.5', ['OPEN "{0}" TYPE waveaudio alias audio',
                                'setaudio audio volume to 500', 'PLAY audio Notify Repeat'], None),
            ('1', '2', '51.5', ['OPEN "{0}" TYPE waveaudio alias audio',
                                'setaudio audio volume to 520', 'PLAY audio From 0 Wait'], None),
            ('1', '0', '101', ['OPEN "{0}" TYPE waveaudio alias audio', 'PLAY audio From 0'],
             'Valor incorreto para o volume'),
            ('1', '3', '10', ['OPEN "{0}" TYPE waveaudio alias audio',
                              'setaudio audio volume to 100', 'PLAY audio From 0'],
             'valor encorreto para playmode!'),
            ('1', '300', '10', ['OPEN "{0}" TYPE waveaudio alias audio',
                                'setaudio audio volume to 100', 'PLAY audio From 0'],
             'valor encorreto para playmode!'),
        ]
        for play, mode, volume, commands, message in cases:
            with self.subTest(play=play, mode=mode, volume=volume):
                box = self.sandbox(setup=settings(Sound__PlaySound=play, Sound__PlayMode=mode,
                                                  Sound__Volume=volume))
                run = box.run('key Esc')
                path = box.package + '\\' + sound
                sent = [m['command'] for m in run.of('mci')]
                self.assertEqual(sent, [c.format(path) for c in commands] + ['Close audio'])
                boxes = run.of('msgbox')
                if message:
                    self.assertEqual(boxes, [{'title': TITLE, 'icon': 'none', 'buttons': 'ok',
                                              'text': message}])
                else:
                    self.assertEqual(boxes, [])
                if commands:  # the sound starts before the window is shown
                    self.assertLess(run.names().index('mci'), run.names().index('show'))

    def test_missing_sound_file(self):
        box = self.sandbox(setup=settings(Sound__PlaySound='1', Sound__SoundFile='nada.mp3'))
        run = box.run('close')
        self.assertEqual(run.of('msgbox')[0]['text'], 'arquivo de áudio não encontrado')
        self.assertEqual(run.of('mci')[0]['command'], 'OPEN  TYPE  alias audio')


class SoundThroughSdl(Case):
    def test_the_welcome_sound_is_heard_before_the_window(self):
        import array
        import io
        import math
        import wave
        samples = array.array('h', (int(12000 * math.sin(2 * math.pi * 440 * i / 44100))
                                    for i in range(44100 // 5)))
        data = io.BytesIO()
        with wave.open(data, 'wb') as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(44100)
            w.writeframes(samples.tobytes())
        box = self.sandbox(setup=settings(Sound__PlaySound='1', Sound__PlayMode='2'))
        box.write('pkg/Audio/abertura.wav', data.getvalue())
        out = box.path('rendered.raw')
        run = box.run('close', env={'INSTALADOR_SOUND': 'sdl', 'SDL_AUDIODRIVER': 'disk',
                                    'SDL_DISKAUDIOFILE': out}, stderr_allowed=True)
        self.assertEqual([m['command'] for m in run.of('mci')][-2:],
                         ['PLAY audio From 0 Wait', 'Close audio'])
        self.assertEndsWith(run, 0)
        with open(out, 'rb') as f:
            rendered = array.array('h', f.read())
        self.assertGreater(max(abs(x) for x in rendered), 3000)


class ExitPaths(Case):
    def test_every_way_out_closes_the_sound_and_ends_with_0(self):
        cases = [
            # (commands, unload line expected)
            (['click Command2'], False),
            (['key Esc'], False),
            (['key Alt+S'], False),
            (['key Tab', 'key Tab', 'key Tab', 'key Tab', 'key Space'], False),  # Command2
            (['close'], True),
            ([], True),  # input ends: a close request
        ]
        for commands, unload in cases:
            with self.subTest(commands=commands):
                box = self.sandbox(setup=settings(Sound__PlaySound='1'))
                run = box.run(*commands)
                self.assertEqual(run.of('mci')[-1], {'command': 'Close audio'})
                self.assertEqual(run.of('msgbox'), [])
                self.assertEqual(run.of('unload') == [{'name': 'Form1'}], unload)
                self.assertEndsWith(run, 0)

    def test_nothing_runs_after_the_end(self):
        box = self.sandbox()
        run = box.run('click Command2', 'dump', 'click Command1')
        self.assertEqual(run.names(), ['show', 'mci', 'end'])


class Installation(Case):
    def test_no_tick_warns_and_a_second_press_installs(self):
        box = self.sandbox()
        run = box.run('click Check1(0)', 'click Command1', 'dump', 'click Check1(1)',
                      'click Command1')
        boxes = run.of('msgbox')
        self.assertEqual(boxes[0], {'title': TITLE, 'icon': 'exclamation', 'buttons': 'ok',
                                    'text': NONE_TICKED})
        self.assertEqual(boxes[1], {'title': TITLE, 'icon': 'none', 'buttons': 'ok',
                                    'text': DONE})
        self.assertEqual(run.dumps()[0]['Form1']['focus'], 'Command1')
        self.assertEndsWith(run, 0)
        self.assertEqual(run.of('mci')[-1], {'command': 'Close audio'})
        self.assertTrue(box.exists(box.user('16.0', 'ENU') + '/notepad.jss'))
        self.assertFalse(box.exists(box.user('17.0', 'ENU') + '/notepad.jss'))

    def test_files_in_every_language_folder_of_every_ticked_version(self):
        box = self.sandbox()
        box.language('17.0', 'ptg')
        box.language('17.0', 'DEU')
        box.write(box.user('17.0', 'ENU') + '/mine.jss', b'mine')
        box.write(box.user('17.0', 'ENU') + '/NOTEPAD.JSS', b'old')
        run = box.run('key Tab', 'key Space', 'key Alt+I')
        self.assertEqual(run.of('msgbox')[-1]['text'], DONE)
        self.assertEqual(run.of('sleep'), [{'ms': '100'}] * 5)
        for version, lang in [('17.0', 'ENU'), ('17.0', 'PTB'), ('17.0', 'ptg'),
                              ('16.0', 'ENU'), ('16.0', 'PTB')]:
            with self.subTest(version=version, lang=lang):
                user, shared = box.user(version, lang), box.shared(version, lang)
                self.assertEqual(box.read(user + '/sub/deep.txt'), b'deep')
                self.assertEqual(box.read(user + '/Default.jsb'), b'package default script')
                self.assertEqual(box.read(user + '/default_fs.jsb'), b'shared jsb ' +
                                 version.encode())
                self.assertEqual(box.read(user + '/default_fs.jsd'), b'shared jsd ' +
                                 version.encode())
                self.assertEqual(box.read(user + '/Default.jkm'),
                                 b'[Common Keys]\r\nwindows+backspace=swSayAlert(1)\r\n')
                self.assertEqual(box.read(shared + '/confignames.ini'),
                                 b'[ConfigNames]\r\nx=y\r\nnotepad=notepad\r\n')
        self.assertFalse(box.exists(box.user('17.0', 'DEU') + '/notepad.jss'))
        self.assertEqual(box.read(box.user('17.0', 'ENU') + '/mine.jss'), b'mine')
        # The user's file that matches ignoring case is the one replaced, and keeps its name.
        self.assertEqual(box.read(box.user('17.0', 'ENU') + '/NOTEPAD.JSS'), b'script source\r\n')
        self.assertNotIn('notepad.jss', os.listdir(box.path(*box.user('17.0', 'ENU').split('/'))))

    def test_a_failure_is_reported_and_the_window_stays(self):
        box = self.sandbox()
        import shutil
        shutil.rmtree(box.path('AppData', 'Freedom Scientific', 'JAWS', '16.0'))
        run = box.run('click Check1(1)', 'click Command1', 'dump', 'click Command2')
        failure = run.of('msgbox')[0]
        lines = failure['text'].split('\n')
        self.assertEqual((failure['title'], failure['icon']), (TITLE, 'exclamation'))
        self.assertEqual(lines[0], 'Não foi possível concluir a instalação.')
        self.assertIn('16.0', lines[1])
        self.assertTrue(lines[2])
        self.assertEqual(len(run.dumps()), 1)
        self.assertNotIn(DONE, [m['text'] for m in run.of('msgbox')])
        # 17.0 came first and stays installed; nothing is undone.
        self.assertTrue(box.exists(box.user('17.0', 'ENU') + '/notepad.jss'))
        self.assertEndsWith(run, 0)


    def test_a_link_cycle_in_the_package_is_reported_not_followed(self):
        box = self.sandbox(versions=('17.0',))
        os.symlink('..', box.path('pkg', 'pastascripts', 'sub', 'loop'))
        run = box.run('click Command1', 'key Esc')
        failure = run.of('msgbox')[0]['text'].split('\n')
        self.assertEqual(failure[0], 'Não foi possível concluir a instalação.')
        self.assertTrue(failure[1].endswith('loop'), failure)
        self.assertEndsWith(run, 0)


class InformationWindow(Case):
    def test_text_title_layout_and_return(self):
        utf8 = 'Informações em UTF-8\nç'.encode('utf-8')
        cases = [
            # (file bytes or None, InfoTitle, expected text)
            ('Informações do pacote\r\nLinha 2'.encode('cp1252'), 'Informações',
             'Informações do pacote\r\nLinha 2'),
            (utf8, 'Sobre', 'Informações em UTF-8\nç'),
            (b'\xef\xbb\xbf' + utf8, None, 'Informações em UTF-8\nç'),
            (b'', 'Vazio', ''),
            (None, 'Sem arquivo', 'Text1'),
        ]
        for data, title, text in cases:
            with self.subTest(title=title):
                box = self.sandbox(setup=settings(Info__InfoTitle=title))
                if data is None:
                    os.remove(box.path('pkg', 'Info', 'leiame.txt'))
                else:
                    box.write('pkg/Info/leiame.txt', data)
                run = box.run('key Alt+O', 'dump', 'key Esc', 'dump')
                self.assertEqual(run.of('show')[1], {'name': 'Form2', 'modal': '1'})
                first, after = run.dumps()
                self.assertEqual(first['Form2']['caption'], title or '')
                self.assertEqual(first['Text1']['text'], text)
                self.assertEqual({k: first['Text1'][k] for k in ('left', 'top', 'width', 'height')},
                                 {'left': '100', 'top': '100', 'width': '9800', 'height': '5000'})
                self.assertEqual((first['Sair']['left'], first['Sair']['top'],
                                  first['Sair']['cancel']), ('4272.5', '5400', '1'))
                self.assertEqual((first['Form2']['width'], first['Form2']['height']),
                                 ('10000', '7000'))
                self.assertEqual(first['Form1']['focus'], 'Command1')
                self.assertEqual(run.of('unload'), [{'name': 'Form2'}, {'name': 'Form1'}])
                self.assertNotIn('Form2', after)
                self.assertEqual(after['Form1']['focus'], 'Command1')

    def test_form1_takes_no_input_while_form2_is_shown(self):
        box = self.sandbox()
        run = box.run('click Command3', 'click Command2', 'click Sair', 'click Command2')
        self.assertEqual(run.of('error'), [{'text': 'unknown control: Command2'}])
        self.assertEqual(run.names()[-3:], ['unload', 'mci', 'end'])


class Keyboard(Case):
    def test_tab_order_access_keys_and_space(self):
        box = self.sandbox()
        run = box.run('key Tab', 'dump', 'key Space', 'key Shift+Tab', 'key Shift+Tab', 'dump',
                      'key Tab', 'key Tab', 'key Tab', 'dump')
        d = run.dumps()
        self.assertEqual(d[0]['Form1']['focus'], 'Check1(1)')
        self.assertEqual(d[0]['Check1(1)']['value'], '0')
        self.assertEqual(d[1]['Check1(1)']['value'], '1')
        self.assertEqual(d[1]['Form1']['focus'], 'Command2')  # wraps around
        self.assertEqual(d[2]['Form1']['focus'], 'Command3')


class Protocol(Case):
    def test_bad_commands_give_errors_and_the_program_goes_on(self):
        box = self.sandbox(versions=('17.0',), setup=settings(Info__ShowInfo='0'))
        run = box.run('jump', 'click Nothing', 'click Check1(3)', 'click Command3', 'key F5',
                      'key Alt+', '', 'dump', 'key Esc')
        self.assertEqual([e['text'] for e in run.of('error')], [
            'unknown command: jump', 'unknown control: Nothing', 'control is hidden: Check1(3)',
            'control is hidden: Command3', 'unknown key: F5', 'unknown key: Alt+'])
        self.assertEqual(len(run.dumps()), 1)
        self.assertEndsWith(run, 0)

    def test_quoting_of_control_characters(self):
        box = self.sandbox(setup=settings(Configurations__title='a"b\\c\td\x01'))
        run = box.run('dump')
        self.assertIn('apptitle text="a\\"b\\\\c\\td\\x01"', run.lines)

    def test_usage_errors(self):
        import subprocess
        proc = subprocess.run([sandbox.EXE, '--ui=headless', '--bogus'], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
        self.assertEqual(proc.returncode, 2)
        self.assertIn('opção desconhecida: --bogus'.encode(), proc.stderr)


if __name__ == '__main__':
    sandbox.EXE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
