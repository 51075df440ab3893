"""End-to-end tests of the command line: --silent, --dry-run, --log, --check, --versions.

Usage: cli_test.py PATH-TO-INSTALADOR
"""

import glob
import itertools
import os
import random
import re
import resource
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

import sandbox
from sandbox import Sandbox, settings

UNINSTALLED = 'Desinstalação concluída.\n'
NOTHING = 'Nada deste pacote foi encontrado nas versões escolhidas: nada foi mudado.\n'
DONE = 'Instalação concluída com êxito.\nPor favor, reinicie o JAWS.\n'
FAILED = 'Não foi possível concluir a instalação.'
LOG_LINE = re.compile(r'^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (\w+)( .*)?$')
REPO = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..'))



def snapshot(root):
    """Every file and folder below root, files with their bytes and modes."""
    out = {}
    for folder, dirs, files in os.walk(root):
        for d in dirs:
            out[os.path.relpath(os.path.join(folder, d), root) + '/'] = None
        for f in files:
            full = os.path.join(folder, f)
            if os.path.islink(full) and not os.path.exists(full):
                out[os.path.relpath(full, root)] = 'dangling'
                continue
            if not os.path.isfile(full):
                out[os.path.relpath(full, root)] = 'not a file'
                continue
            with open(full, 'rb') as fh:
                out[os.path.relpath(full, root)] = (fh.read(), os.stat(full).st_mode)
    return out


class Result:
    def __init__(self, proc):
        self.status = proc.returncode
        self.out = proc.stdout.decode('utf-8')
        self.err = proc.stderr.decode('utf-8')
        self.lines = self.out.splitlines()


class Case(unittest.TestCase):
    def sandbox(self, **kwargs):
        box = Sandbox(**kwargs)
        self.addCleanup(box.remove)
        return box

    def env(self, box, **extra):
        env = {k: v for k, v in os.environ.items()
               if k.lower() not in ('programfiles', 'appdata', 'allusersprofile')}
        if box is not None:
            env.update({'programfiles': box.programs, 'APPDATA': box.appdata,
                        'AllUsersProfile': box.allusers})
        env.update({k: v for k, v in extra.items() if v is not None})
        return env

    def run_cli(self, box, *args, package=True, tmp=None, preexec=None):
        command = [sandbox.EXE, *args]
        if package and box is not None:
            command += ['--package-dir', box.package]
        return Result(subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=self.env(box, TMPDIR=tmp), timeout=120,
                                     preexec_fn=preexec))

    def log_events(self, path):
        with open(path, 'rb') as f:
            text = f.read().decode('utf-8')
        events = []
        for line in text.splitlines():
            match = LOG_LINE.match(line)
            self.assertIsNotNone(match, line)
            events.append(line.split(' ', 1)[1])
        return events


class ExitStatuses(Case):
    def test_installed_into_the_version_the_window_ticks(self):
        box = self.sandbox()
        run = self.run_cli(box, '--silent')
        self.assertEqual((run.status, run.out, run.err), (0, '', DONE))
        self.assertTrue(box.exists(box.user('17.0', 'PTB') + '/notepad.jss'))
        self.assertFalse(box.exists(box.user('16.0', 'PTB') + '/notepad.jss'))

    def test_startup_stops(self):
        cases = [
            ('no Setup.ini', lambda b: os.remove(b.path('pkg', 'Setup.ini')),
             'Não foi encontrado o arquivo setup.ini.\nEle é necessário para a instalação!\n'),
            ('no JAWS', lambda b: shutil.rmtree(b.programs),
             'Não foram encontradas versões do JAWS instaladas!\n'),
        ]
        for what, prepare, text in cases:
            with self.subTest(what):
                box = self.sandbox()
                prepare(box)
                before = snapshot(box.root)
                run = self.run_cli(box, '--silent')
                self.assertEqual((run.status, run.out, run.err), (1, '', text))
                self.assertEqual(snapshot(box.root), before)

    def test_usage_errors_write_nothing(self):
        cases = [
            ('unknown option', ['--silent', '--bogus'], 'opção desconhecida: --bogus'),
            ('unexpected argument', ['--silent', 'extra'], 'argumento inesperado: extra'),
            ('repeated', ['--silent', '--silent'], '--silent foi dada duas vezes'),
            ('repeated value', ['--silent', '--versions', '17.0', '--versions=16.0'],
             '--versions foi dada duas vezes'),
            ('silent with a front end', ['--silent', '--ui=gtk'], '--silent e --ui'),
            ('silent with headless', ['--silent', '--ui', 'headless'], '--silent e --ui'),
            ('versions alone', ['--versions', 'all'], '--versions só vai com --silent'),
            ('dry run alone', ['--dry-run'], '--dry-run só vai com --silent'),
            ('check with silent', ['--check', '--silent'], '--check não vai com nenhuma outra'),
            ('check with a log', ['--check', '--log', 'x.log'], '--check não vai com'),
            ('version with help', ['--version', '--help'], 'não vai com nenhuma outra opção'),
            ('empty versions', ['--silent', '--versions', ''], '--versions precisa de'),
            ('only commas', ['--silent', '--versions=,, ,'], '--versions precisa de pelo menos um'),
            ('a value for a flag', ['--silent=1'], '--silent não leva valor'),
            ('a missing value', ['--silent', '--log'], '--log precisa de um valor'),
            ('unknown front end', ['--ui=nothing'], "não tem a interface 'nothing'"),
            ('bundle with silent', ['--bundle', 'x', '--silent'], '--bundle não vai com nenhuma outra'),
            ('bundle without a file', ['--bundle'], '--bundle precisa de um valor'),
        ]
        for what, args, says in cases:
            with self.subTest(what):
                box = self.sandbox()
                before = snapshot(box.root)
                run = self.run_cli(box, *args)
                self.assertEqual(run.status, 2, run.err)
                self.assertIn(says, run.err)
                self.assertIn('uso:', run.err)
                self.assertEqual(run.out, '')
                self.assertEqual(snapshot(box.root), before)

    def test_a_log_that_cannot_be_written(self):
        box = self.sandbox()
        readonly = box.write('logs/readonly.log', b'kept\n')
        os.chmod(readonly, 0o444)
        os.mkfifo(box.path('logs', 'pipe'))
        opened, written = 'não foi possível abrir o log ', 'não foi possível escrever no log '
        for path, says in [(box.path('logs'), opened), (readonly, opened),
                           (box.path('no', 'such', 'x.log'), opened),
                           (box.path('logs', 'pipe'), opened), ('/dev/full', written)]:
            with self.subTest(path):
                before = snapshot(box.root)
                run = self.run_cli(box, '--silent', '--log', path)
                self.assertEqual(run.status, 2, run.err)
                self.assertIn(says + path, run.err)
                self.assertEqual(snapshot(box.root), before)

    def test_a_log_that_stops_taking_lines(self):
        def limit():  # the first line goes through, later ones are refused
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (3000, 3000))
        box = self.sandbox()
        run = self.run_cli(box, '--silent', '--log', box.path('run.log'), preexec=limit)
        self.assertEqual(run.status, 0, run.err)
        self.assertEqual(run.err.split('instalador: o log está incompleto: ')[0], DONE)
        self.assertTrue(box.exists(box.user('17.0', 'PTB') + '/notepad.jss'))

    def test_a_version_not_offered(self):
        long_name = 'x' * 10000
        for what, value in [('unknown', '17.0,18.0'), ('older than Startversion', '9.0'),
                            ('ten thousand characters', long_name)]:
            with self.subTest(what):
                box = self.sandbox(versions=('9.0', '16.0', '17.0'))
                before = snapshot(box.root)
                run = self.run_cli(box, '--silent', '--versions', value)
                self.assertEqual(run.status, 3)
                self.assertIn('versões oferecidas: 17.0, 16.0\n', run.err)
                self.assertLess(len(run.err), 300)
                self.assertEqual(snapshot(box.root), before)

    def test_a_version_without_a_language_folder(self):
        box = self.sandbox(languages=('ENU',))
        os.rename(box.path(*box.user('16.0', 'ENU').split('/')),
                  box.path(*box.user('16.0', 'DEU').split('/')))
        log = box.path('run.log')
        run = self.run_cli(box, '--silent', '--versions', 'all', '--log', log)
        self.assertEqual(run.status, 5, run.err)
        self.assertRegex(run.err, r'^instalador: a versão 16\.0 .*jaws\\16\.0\\settings\\;.*\n'
                         + DONE + '$')
        self.assertTrue(box.exists(box.user('17.0', 'ENU') + '/notepad.jss'))
        events = [e.split(' ')[1] for e in self.log_events(log) if e.startswith(('skip', 'end'))]
        self.assertEqual(events[-2:], ['step=version', 'status=5'])
        headless = box.run('click Check1(1)', 'key Alt+I')  # the window's rule stays
        self.assertEqual((headless.status, headless.of('msgbox')[-1]['text']), (0, DONE[:-1]))

    def test_failed_part_way_keeps_what_was_done(self):
        box = self.sandbox()
        os.remove(box.path(*box.shared('17.0', 'PTB').split('/'), 'default.jsd'))
        run = self.run_cli(box, '--silent', '--versions', 'all')
        self.assertEqual(run.status, 4)
        lines = run.err.splitlines()
        self.assertEqual(lines[0], FAILED)
        self.assertIn('default.jsd', lines[1])
        # The folder it failed in is put back; the one before stays installed.
        self.assertRegex(lines[3], r'^A pasta .*\\PTB foi deixada como estava antes da instalação\.$')
        self.assertTrue(box.exists(box.user('17.0', 'ENU') + '/notepad.jss'))
        self.assertFalse(box.exists(box.user('17.0', 'PTB') + '/notepad.jss'))


class Versions(Case):
    def installed(self, box, log):
        """The versions that received the package, in the order the log says."""
        order = []
        for event in self.log_events(log):
            m = re.search(r'jaws\\\\([^\\]+)\\\\settings\\\\ENU\\\\notepad.jss" result=ok', event)
            if event.startswith('copy ') and m:
                order.append(m.group(1))
        return order

    def test_choices(self):
        cases = [
            ('default', [], ['17.0']),
            ('all', ['--versions', 'ALL'], ['17.0', '16.0', '15.0']),
            ('order of the boxes', ['--versions', '15.0,17.0'], ['17.0', '15.0']),
            ('duplicates once', ['--versions=16.0, 16.0 ,16.0'], ['16.0']),
            ('case', ['--versions', 'beta.0'], ['Beta.0']),
        ]
        for what, args, expected in cases:
            with self.subTest(what):
                box = self.sandbox(versions=('15.0', '16.0', '17.0', 'Beta.0'),
                                   setup=settings(Configurations__Startversion='0'))
                if what != 'case':
                    shutil.rmtree(box.path('Program Files', 'Freedom Scientific', 'JAWS',
                                           'Beta.0'))
                log = box.path('run.log')
                run = self.run_cli(box, '--silent', '--log', log, *args)
                self.assertEqual(run.status, 0, run.err)
                self.assertEqual(self.installed(box, log), expected)

    def test_year_folders_only_with_the_key(self):
        for key, offered in [('1', ['2025', '2018', '17.0']), ('0', ['17.0']),
                             (None, ['17.0'])]:
            with self.subTest(YearVersions=key):
                box = self.sandbox(versions=('17.0', '2018', '2025', '2017'),
                                   setup=settings(Configurations__YearVersions=key))
                log = box.path('run.log')
                run = self.run_cli(box, '--silent', '--versions', 'all', '--log', log)
                self.assertEqual(run.status, 0, run.err)
                events = self.log_events(log)
                self.assertEqual([e.split('name=')[1] for e in events if e.startswith('offered')],
                                 offered)
                self.assertEqual(box.exists(box.user('2025', 'PTB') + '/notepad.jss'),
                                 key == '1')
                self.assertFalse(box.exists(box.user('2017', 'PTB') + '/notepad.jss'))


class DryRun(Case):
    def plan_and_log(self, box, *args, mode='--silent'):
        before = snapshot(box.root)
        tmp = tempfile.mkdtemp(prefix='instalador-tmp-')
        self.addCleanup(shutil.rmtree, tmp, True)
        dry = self.run_cli(box, mode, '--dry-run', *args, tmp=tmp)
        self.assertEqual(snapshot(box.root), before)
        self.assertEqual(os.listdir(tmp), [])
        log = box.path('..', os.path.basename(box.root) + '.log')
        self.addCleanup(lambda: os.path.exists(log) and os.remove(log))
        real = self.run_cli(box, mode, '--log', log, *args)
        done = []
        for event in self.log_events(log):
            if event.split(' ')[0] in ('copy', 'write', 'skip', 'backup', 'restore', 'remove',
                                       'delete'):
                if event.endswith(' result=ok'):
                    done.append(event[:-len(' result=ok')])
                elif ' result=' not in event:
                    done.append(event)
        return dry, real, done

    def test_prints_what_the_real_run_then_does(self):
        cases = [
            ('everything', {}, lambda b: None),
            ('confignames off and extras as a word',
             {'Configurations__ModifyScriptName': '0', 'Configurations__Extras': 'sim'},
             lambda b: None),
            ('no confignames.ini and a default script of the user\'s own', {},
             lambda b: (os.remove(b.path(*(b.shared('17.0', 'PTB') + '/confignames.ini')
                                         .split('/'))),
                        b.write(b.user('16.0', 'ENU') + '/default.jss', b'mine'))),
            ('no shared folder', {},
             lambda b: shutil.rmtree(b.path(*b.shared('16.0', 'PTB').split('/')))),
        ]
        for what, changes, prepare in cases:
            with self.subTest(what):
                box = self.sandbox(setup=settings(**changes))
                prepare(box)
                dry, real, done = self.plan_and_log(box, '--versions', 'all')
                self.assertEqual((dry.status, real.status), (0, 0), dry.err + real.err)
                self.assertEqual(dry.err, DONE)
                self.assertEqual(dry.lines, done)
                for line in dry.lines:
                    self.assertRegex(line, r'^(copy from="[^"]+" to="[^"]+"|'
                                           r'write file="[^"]+" section="[^"]+" key="[^"]*" '
                                           r'value="[^"]*"|skip step=(confignames|defaultscript)'
                                           r' reason="[^"]+")$')
                self.assertTrue(all(os.path.isabs(sandbox.unquote(f)) for f in
                                    re.findall(r'(?:from|to|file)=("[^"]*")', dry.out)))
        skips = [line for line in dry.lines if line.startswith('skip')]
        self.assertEqual(len(skips), 2)  # 16.0/PTB's shared folder: no confignames, no default

    def test_a_named_package_is_not_listed_outside_windows(self):
        setup = settings()
        setup['Package'] = {'Name': 'Scripts do Bloco de Notas'}
        dry, real, done = self.plan_and_log(self.sandbox(setup=setup), '--versions', 'all')
        self.assertEqual((dry.status, real.status, dry.err), (0, 0, DONE), real.err)
        self.assertEqual(dry.lines, done)
        self.assertRegex(dry.lines[-1], r'^skip step=register reason="[^"]+"$')

    def test_an_uninstall_prints_what_it_then_does(self):
        box = self.sandbox()
        box.write(box.user('17.0', 'PTB') + '/notepad.jss', b"the user's own")
        self.assertEqual(self.run_cli(box, '--silent', '--versions', 'all').status, 0)
        dry, real, done = self.plan_and_log(box, '--versions', 'all', mode='--uninstall')
        self.assertEqual((dry.status, real.status, dry.err), (0, 0, UNINSTALLED), real.err)
        self.assertEqual(dry.lines, done)
        kinds = {line.split(' ')[0] for line in dry.lines}
        self.assertEqual(kinds, {'remove', 'restore', 'delete'}, dry.lines)
        self.assertEqual(box.read(box.user('17.0', 'PTB') + '/notepad.jss'), b"the user's own")

    def test_failures_it_can_see_end_it_with_the_real_status(self):
        def read_only(b, relative):
            os.chmod(b.path(*relative.split('/')), 0o444)

        for what, prepare, status in [
                ('no extra1.ext', lambda b: os.remove(b.path('pkg', 'Extras', 'extra1.ext')), 4),
                ('no settings folder', lambda b: shutil.rmtree(
                    b.path('AppData', 'Freedom Scientific', 'JAWS', '16.0')), 4),
                ('no pastascripts', lambda b: shutil.rmtree(b.path('pkg', 'pastascripts')), 4),
                ('a folder where a package file goes, deep',
                 lambda b: b.write(b.user('16.0', 'PTB') + '/sub/deep.txt/x', b''), 4),
                ('a package file that cannot be read', lambda b: os.symlink(
                    b.path('nowhere'), b.path('pkg', 'pastascripts', 'zz.jss')), 4),
                ('a folder where Default.jsb goes',
                 lambda b: b.write(b.user('17.0', 'PTB') + '/Default.jsb/x', b''), 4),
                ('a folder where Default.jkm goes',
                 lambda b: b.write(b.user('16.0', 'PTB') + '/Default.jkm/x', b''), 4),
                ('a folder for a shared file', lambda b: (
                    os.remove(b.path(*(b.shared('16.0', 'PTB') + '/default.jsd').split('/'))),
                    b.write(b.shared('16.0', 'PTB') + '/default.jsd/x', b'')), 4),
                # Refused as Windows refuses a read-only file, by the real run as by the plan.
                ('a read-only script the package replaces', lambda b: (
                    b.write(b.user('17.0', 'PTB') + '/NOTEPAD.JSS', b'old'),
                    read_only(b, b.user('17.0', 'PTB') + '/NOTEPAD.JSS')), 4),
                ('a read-only Default.jkm', lambda b: (
                    b.write(b.user('16.0', 'ENU') + '/Default.jkm', b'[x]\r\n'),
                    read_only(b, b.user('16.0', 'ENU') + '/Default.jkm')), 4),
                ('a read-only confignames.ini',
                 lambda b: read_only(b, b.shared('17.0', 'ENU') + '/confignames.ini'), 4),
                ('a version with only DEU', lambda b: (
                    shutil.rmtree(b.path(*b.user('16.0', 'ENU').split('/'))),
                    os.rename(b.path(*b.user('16.0', 'PTB').split('/')),
                              b.path(*b.user('16.0', 'DEU').split('/')))), 5)]:
            with self.subTest(what):
                box = self.sandbox()
                prepare(box)
                dry, real, done = self.plan_and_log(box, '--versions', 'all')
                self.assertEqual((dry.status, real.status), (status, status), real.err)
                self.assertEqual(dry.err, real.err)
                self.assertEqual(dry.lines, done)
                # The step that failed has its own line in the log, with the reason the message
                # gives, also when the look before the copy found it.
                log = box.path('..', os.path.basename(box.root) + '.log')
                failed = [e for e in self.log_events(log)
                          if ' result=' in e and not e.endswith(' result=ok')]
                if status == 4 and what != 'no settings folder':
                    self.assertEqual(len(failed), 1, failed)
                    fields = {k: sandbox.unquote(v) for k, v in sandbox.TOKEN.findall(failed[0])}
                    path, reason = real.err.splitlines()[1:3]
                    self.assertIn(path, (fields.get('from'), fields.get('to'), fields.get('file')))
                    self.assertEqual(fields['result'], reason)


class Uninstall(Case):
    def mine(self, box):
        return box.write(box.user('17.0', 'ENU') + '/notepad.jss', b"the user's own")

    def test_table(self):
        def edited(box):
            box.write(box.user('16.0', 'PTB') + '/notepad.jss', b'edited since')
            return 'mantido'

        def hand_edited_record(box):
            base = box.path(*(box.APPDATA + '/Freedom Scientific/JAWS/17.0/Settings').split('/'))
            record = glob.glob(os.path.join(base, '*', '*', 'instalador-backup.ini'))[0]
            with open(record, 'ab') as f:
                f.write(b'Replaced9=12 zz ..\\..\\escape\r\n')
            return 'linha ignorada'

        cases = [
            # (what, installed first, what to do after, what standard error must say)
            ('never installed', False, lambda b: None, NOTHING),
            ('installed over the user\'s file', True, lambda b: None, UNINSTALLED),
            ('edited by the user since', True, edited, 'mantido'),
            ('a hand-edited record', True, hand_edited_record, 'linha ignorada'),
        ]
        for what, install, after, says in cases:
            with self.subTest(what):
                box = self.sandbox()
                self.mine(box)
                before = snapshot(box.root)
                if install:
                    self.assertEqual(self.run_cli(box, '--silent', '--versions', 'all').status, 0)
                after(box)
                run = self.run_cli(box, '--uninstall', '--versions', 'all')
                self.assertEqual(run.status, 0, run.err)
                self.assertIn(says, run.err)
                self.assertTrue(run.err.endswith(UNINSTALLED if install else NOTHING), run.err)
                now = {k: v for k, v in snapshot(box.root).items()
                       if 'instalador-backup' not in k and not k.endswith('instalador.lock')}
                if what == 'edited by the user since':
                    now.pop(box.user('16.0', 'PTB') + '/notepad.jss')
                    before.pop(box.user('16.0', 'PTB') + '/notepad.jss', None)
                self.assertEqual(now, before)
                again = self.run_cli(box, '--uninstall', '--versions', 'all')
                self.assertEqual(again.status, 0, again.err)
                self.assertTrue(again.err.endswith(NOTHING), again.err)

    def test_backups_that_cannot_be_kept_and_a_stamp_taken(self):
        box = self.sandbox()
        mine = self.mine(box)
        settings_17 = box.path(*(box.APPDATA + '/Freedom Scientific/JAWS/17.0/Settings').split('/'))
        box.write(box.APPDATA + '/Freedom Scientific/JAWS/17.0/Settings/instalador-backup', b'')
        run = self.run_cli(box, '--silent', '--versions', 'all')
        self.assertEqual(run.status, 4)
        self.assertIn('instalador-backup', run.err.splitlines()[1])
        self.assertIn('foi deixada como estava antes', run.err.splitlines()[3])
        with open(mine, 'rb') as f:
            self.assertEqual(f.read(), b"the user's own")
        # Stamp folders of this second and the next ones exist already: none is written into.
        os.remove(os.path.join(settings_17, 'instalador-backup'))
        now = time.time()
        taken = [time.strftime('%Y%m%d-%H%M%S', time.gmtime(now + s)) for s in range(10)]
        for stamp in taken:
            os.makedirs(os.path.join(settings_17, 'instalador-backup', stamp))
        self.assertEqual(self.run_cli(box, '--silent', '--versions', 'all').status, 0)
        for stamp in taken:
            self.assertEqual(os.listdir(os.path.join(settings_17, 'instalador-backup', stamp)), [])
        made = [n for n in os.listdir(os.path.join(settings_17, 'instalador-backup'))
                if n not in taken]
        self.assertEqual(len(made), 1)
        self.assertRegex(made[0], r'^\d{8}-\d{6}-2$')


class Log(Case):
    def test_lists_every_file_that_changed_and_is_appended(self):
        box = self.sandbox(versions=('16.0', '17.0'))
        log = box.write('run.log', b'an earlier line\n')
        before = snapshot(box.root)
        run = self.run_cli(box, '--silent', '--versions', 'all', '--log', log)
        self.assertEqual(run.status, 0, run.err)
        after = snapshot(box.root)
        # The lock file and the backups' record are the run's own, not changes to JAWS's
        # settings (each backup copy has its line).
        changed = {p for p in after if p != 'run.log' and after[p] != before.get(p)
                   and not p.endswith('/') and not p.endswith('instalador.lock')
                   and not p.endswith('instalador-backup.ini')}
        with open(log, 'rb') as f:
            earlier, rest = f.read().split(b'\n', 1)
        self.assertEqual(earlier, b'an earlier line')
        box.write('run.log', rest)
        events = self.log_events(log)
        named = set()
        for event in events:
            for field in ('to', 'file'):
                m = re.search(field + r'=("(?:[^"\\]|\\.)*")', event)
                if m and event.endswith('result=ok'):
                    named.add(os.path.relpath(sandbox.unquote(m.group(1)).replace('\\', '/'),
                                              box.root).lower())
        self.assertTrue(changed)
        self.assertEqual({p.lower() for p in changed} - named, set())
        kinds = [e.split(' ')[0] for e in events]
        for kind in ('read', 'found', 'offered', 'copy', 'write', 'sleep', 'mci', 'msgbox'):
            self.assertIn(kind, kinds)
        self.assertEqual(events[-1], 'end status=0')

    def test_with_the_headless_front_end(self):
        box = self.sandbox()
        log = box.path('h.log')
        env = {k: v for k, v in os.environ.items()
               if k.lower() not in ('programfiles', 'appdata', 'allusersprofile')}
        env.update({'programfiles': box.programs, 'APPDATA': box.appdata,
                    'AllUsersProfile': box.allusers})
        proc = subprocess.run([sandbox.EXE, '--ui=headless', '--log', log, '--package-dir',
                               box.package], input=b'click Command2\n', stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=env, timeout=60)
        self.assertEqual(proc.returncode, 0)
        events = self.log_events(log)
        self.assertIn('mci command="Close audio"', events)
        self.assertEqual(events[-1], 'end status=0')


class Check(Case):
    def check(self, folder):
        proc = subprocess.run([sandbox.EXE, '--check', '--package-dir', folder],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(proc.stderr, b'')
        lines = proc.stdout.decode('utf-8').splitlines()
        for line in lines:
            self.assertRegex(line, r'^(erro|aviso): \S')
        return proc.returncode, lines

    def test_the_example_package_is_clean(self):
        status, lines = self.check(os.path.join(REPO, 'examples', 'pacote'))
        self.assertEqual((status, lines), (0, []))

    def test_findings_and_status(self):
        cases = [
            ('a sound package with the old discovery', {}, 0, ['aviso: YearVersions']),
            ('a flag as a word', {'Sound__PlaySound': 'yes'}, 1,
             ['aviso: YearVersions', 'erro: [Sound] PlaySound=yes vale desligado']),
            ('a decimal comma', {'Configurations__Startversion': '10,5',
                                 'Configurations__YearVersions': '1'}, 1,
             ['erro: [Configurations] Startversion=10,5 é lido como 10']),
        ]
        for what, changes, status, starts in cases:
            with self.subTest(what):
                box = self.sandbox(setup=settings(**changes))
                got, lines = self.check(box.package)
                self.assertEqual(got, status, lines)
                self.assertEqual(len(lines), len(starts), lines)
                for line, start in zip(lines, starts):
                    self.assertTrue(line.startswith(start), line)

    def test_bad_packages(self):
        root = tempfile.mkdtemp(prefix='instalador-check-')
        self.addCleanup(shutil.rmtree, root, True)
        status, lines = self.check(root)
        self.assertEqual(status, 1)
        self.assertTrue(lines[0].startswith('erro: Setup.ini não existe'), lines)

        noise = random.Random(11).randbytes(3000)
        with open(os.path.join(root, 'Setup.ini'), 'wb') as f:
            f.write(noise)
        before = snapshot(root)
        status, lines = self.check(root)
        self.assertEqual(status, 1)
        self.assertTrue(any('pastascripts não existe' in line for line in lines), lines)
        self.assertEqual(snapshot(root), before)

        os.makedirs(os.path.join(root, 'pastascripts'))
        with open(os.path.join(root, 'pastascripts', 'a.jsb'), 'wb') as f:
            f.write(b'x')
        os.symlink('..', os.path.join(root, 'pastascripts', 'volta'))
        before = snapshot(root)
        status, lines = self.check(root)
        self.assertEqual(status, 1)
        self.assertTrue(any(line.startswith('erro: pastascripts não pode ser copiada')
                            for line in lines), lines)
        self.assertEqual(snapshot(root), before)


EXAMPLE = os.path.join(REPO, 'examples', 'pacote')
OURS = re.compile(r'(?:/[^/"\s]+)*/instalador-\d+-\w{6}')


class Bundle(Case):
    """A bundle runs the package it carries as the folder runs, and leaves nothing behind."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix='instalador-bundle-')
        self.addCleanup(shutil.rmtree, self.root, True)
        self.bundle = os.path.join(self.root, 'instalador-exemplo')
        made = self.run_cli(None, '--bundle', self.bundle, '--package-dir', EXAMPLE)
        self.assertEqual((made.status, made.out, made.err), (0, 'gravado: %s\n' % self.bundle, ''))

    def private_tmp(self):
        return tempfile.mkdtemp(dir=self.root)

    def run_bundle(self, bundle, box, *args, tmp, stdin=b''):
        env = {k: v for k, v in os.environ.items()
               if k.lower() not in ('programfiles', 'appdata', 'allusersprofile')}
        env.update({'TMPDIR': tmp, 'INSTALADOR_SOUND': 'silent'})
        if box is not None:
            env.update({'programfiles': box.programs, 'APPDATA': box.appdata,
                        'AllUsersProfile': box.allusers})
        proc = subprocess.run([bundle, *args], input=stdin, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=env, timeout=120)
        return Result(proc)

    def jaws(self, box):
        shutil.rmtree(box.package)
        # The backups name the run's own folders and time.
        return {k: v for k, v in snapshot(box.root).items() if 'instalador-backup' not in k}

    def test_runs_as_its_folder_does_and_leaves_nothing(self):
        keys = ''.join(k + '\n' for k in ('dump', 'key Alt+I')).encode()
        cases = [
            # (what, arguments, standard input, how the sandbox is spoiled, status)
            ('silent', ['--silent', '--versions', 'all'], b'', None, 0),
            ('headless install', ['--ui=headless'], keys, None, 0),
            ('headless Esc', ['--ui=headless'], b'key Esc\n', None, 0),
            ('start-up stop', ['--ui=headless'], b'dump\n', lambda b: shutil.rmtree(b.programs), 1),
            ('check', ['--check'], b'', None, 0),
        ]
        for what, args, stdin, spoil, status in cases:
            with self.subTest(what):
                runs, trees = [], []
                for bundle, extra in ((sandbox.EXE, ['--package-dir', EXAMPLE]),
                                      (self.bundle, [])):
                    box = self.sandbox()
                    if spoil:
                        spoil(box)
                    tmp = self.private_tmp()
                    run = self.run_bundle(bundle, box, *args, *extra, tmp=tmp, stdin=stdin)
                    self.assertEqual(os.listdir(tmp), [])
                    runs.append((run.status, OURS.sub('PKG', run.out.replace(EXAMPLE, 'PKG')),
                                 run.err))
                    trees.append(self.jaws(box))
                self.assertEqual(runs[0][0], status, runs[0])
                self.assertEqual(runs[1], runs[0])
                self.assertEqual(trees[1], trees[0])

    def test_a_damaged_bundle_says_so_and_leaves_nothing(self):
        with open(self.bundle, 'rb') as f:
            data = bytearray(f.read())
        damaged = os.path.join(self.root, 'danificado')
        for what, change in [('a byte of a file', lambda d: d.__setitem__(-3000, d[-3000] ^ 1)),
                             ('cut short', lambda d: d.__delitem__(slice(-200, -100)))]:
            with self.subTest(what):
                copy = bytearray(data)
                change(copy)
                with open(damaged, 'wb') as f:
                    f.write(copy)
                os.chmod(damaged, 0o755)
                box = self.sandbox()
                tmp = self.private_tmp()
                before = snapshot(box.root)
                run = self.run_bundle(damaged, box, '--silent', tmp=tmp)
                self.assertEqual((run.status, run.out), (1, ''))
                self.assertIn('danificado ou incompleto', run.err)
                self.assertEqual(os.listdir(tmp), [])
                self.assertEqual(snapshot(box.root), before)

    def test_an_interrupted_run_removes_its_folder_and_a_killed_ones_goes_with_the_next(self):
        for signal_, left in [(signal.SIGINT, 0), (signal.SIGTERM, 0), (signal.SIGKILL, 1)]:
            with self.subTest(signal_.name):
                tmp = self.private_tmp()
                box = self.sandbox()
                env = dict(os.environ, TMPDIR=tmp, INSTALADOR_SOUND='silent',
                           programfiles=box.programs, APPDATA=box.appdata,
                           AllUsersProfile=box.allusers)
                proc = subprocess.Popen([self.bundle, '--ui=headless'], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, env=env)
                proc.stdin.write(b'dump\n')
                proc.stdin.flush()
                self.assertTrue(proc.stdout.readline())  # started: the package is unpacked
                self.assertEqual(len(os.listdir(tmp)), 1)
                proc.send_signal(signal_)
                proc.communicate()
                self.assertEqual(proc.returncode, -signal_)
                self.assertEqual(len(os.listdir(tmp)), left)
                other = os.path.join(tmp, 'instalador-1-abcdef')  # a live process's (init's)
                os.makedirs(other)
                run = self.run_bundle(self.bundle, None, '--check', tmp=tmp)
                self.assertEqual(run.status, 0, run.err)
                self.assertEqual(os.listdir(tmp), ['instalador-1-abcdef'])

    def test_refusals_write_nothing(self):
        readonly = os.path.join(self.root, 'somente-leitura')
        with open(readonly, 'wb') as f:
            f.write(b'kept')
        os.chmod(readonly, 0o444)
        box = self.sandbox(setup=settings(Sound__PlaySound='yes'))
        cases = [
            # (what, output, package, status, says)
            ('an erro in the package', os.path.join(self.root, 'novo'), box.package, 1,
             'o pacote tem erros'),
            ('the running program', self.bundle, EXAMPLE, 4, 'é o próprio programa'),
            ('a missing folder', os.path.join(self.root, 'não', 'há'), EXAMPLE, 4,
             'a pasta onde gravar não existe'),
            ('a read-only file', readonly, EXAMPLE, 4, 'somente leitura'),
        ]
        for what, output, package, status, says in cases:
            with self.subTest(what):
                before = snapshot(self.root)
                run = self.run_bundle(self.bundle, None, '--bundle', output, '--package-dir',
                                      package, tmp=self.private_tmp())
                self.assertEqual(run.status, status, run.err)
                self.assertIn(says, run.err)
                after = snapshot(self.root)
                self.assertEqual({k: v for k, v in after.items() if not k.startswith('tmp')},
                                 {k: v for k, v in before.items() if not k.startswith('tmp')})


class VersionAndHelp(Case):
    def test_version_and_help(self):
        version = self.run_cli(None, '--version')
        self.assertEqual(version.status, 0)
        self.assertRegex(version.out, r'^instalador \d+\.\d+\.\d+\n$')
        help_ = self.run_cli(None, '--help')
        self.assertEqual(help_.status, 0)
        for option in ('--ui', '--package-dir', '--log', '--silent', '--versions', '--dry-run',
                       '--check', '--bundle', '--version', '--help'):
            self.assertIn(option, help_.out)
        for status in '012345':
            self.assertIn(status + ' ', help_.out)


class RefusedFiles(Case):
    """A file the run must read that is no file or far too big, or a file without write
    permission (read-only as Windows has it, even to root): a clear message, no hang, no change."""

    def make(self, path, kind):
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.lexists(path):
            os.remove(path)
        if kind == 'pipe':
            os.mkfifo(path)
        elif kind == 'folder':
            os.makedirs(path)
        elif kind == '/dev/zero':
            os.symlink('/dev/zero', path)
        else:
            with open(path, 'wb') as f:
                f.write(b'[Common Keys]\r\n')
                f.truncate(100 << 20 if kind == '100 MB' else 20)
            if kind == 'read-only':
                os.chmod(path, 0o444)

    def test_table(self):
        odd = ('pipe', 'folder', '/dev/zero', '100 MB')
        user, shared = Sandbox.user(Sandbox, '17.0', 'ENU'), Sandbox.shared(Sandbox, '17.0', 'ENU')
        for name, relative, kinds in [
                ('Setup.ini', 'pkg/Setup.ini', odd),
                ('confignames.ini', shared + '/confignames.ini', odd + ('read-only',)),
                ('Default.jkm', user + '/Default.jkm', odd + ('read-only',)),
                ('a package file', user + '/notepad.jss', ('read-only',)),
                ('the lock', 'AppData/Freedom Scientific/JAWS/instalador.lock', ('read-only',))]:
            for kind in kinds:
                with self.subTest(name + ' as ' + kind):
                    box = self.sandbox()
                    path = box.path(*relative.split('/'))
                    self.make(path, kind)
                    run = self.run_cli(box, '--silent')
                    lines = run.err.splitlines()
                    if name == 'Setup.ini' and kind in ('pipe', 'folder', '/dev/zero'):
                        self.assertEqual(run.status, 1, run.err)
                        self.assertIn('Não foi encontrado o arquivo setup.ini.', run.err)
                    else:
                        self.assertEqual((run.status, lines[0]), (4, FAILED), run.err)
                        self.assertEqual(lines[1].replace('\\', '/').lower(), path.lower())
                        if kind == 'read-only':
                            self.assertEqual(lines[2], 'Acesso negado.')
                            self.assertEqual(os.path.getsize(path), 20)


class TwoRuns(Case):
    """Two installations at once: the second waits for the first, no entry is lost and no
    temporary file of a live run is touched."""

    def start(self, box, package, appdata=None, hold=None, wait_ms=None):
        env = self.env(box, APPDATA=appdata, INSTALADOR_TEST_HOLD=hold,
                       INSTALADOR_TEST_HOLD_AT='rename:confignames.ini',
                       INSTALADOR_TEST_LOCK_WAIT_MS=wait_ms and str(wait_ms))
        return subprocess.Popen([sandbox.EXE, '--silent', '--versions', 'all', '--package-dir',
                                 package], stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)

    def second_package(self, box):
        box.setup(settings(Configurations__Application='wordpad',
                           Configurations__ScriptName='wordpad'))
        other = box.path('pkg2')
        shutil.copytree(box.package, other)
        box.setup(settings())
        return other

    def held(self, box):
        """Starts the first run and returns it once it stands between a read and its rename."""
        hold = box.write('hold', b'')
        first = self.start(box, box.package, hold=hold)
        while not os.path.exists(hold + '.held'):
            if first.poll() is not None:
                out, err = first.communicate()
                if first.returncode == 0:
                    # It never stopped to be held: a build without assertions has no such hook.
                    self.skipTest('the program has no test hold (INSTALADOR_TEST_HOLD): it was '
                                  'built with NDEBUG')
                self.fail((out, err))
            time.sleep(0.02)
        temps = [os.path.join(folder, n) for folder, _, names in os.walk(box.root)
                 for n in names if n.startswith('.instalador-tmp-')]
        self.assertEqual(len(temps), 1, temps)
        return first, hold, temps[0]

    def test_no_entry_lost(self):
        for what, other_user in [('the same user', False), ('another user', True)]:
            with self.subTest(what):
                box = self.sandbox()
                other = self.second_package(box)
                appdata = box.path('AppData2') if other_user else None
                if other_user:
                    shutil.copytree(box.appdata, appdata)
                first, hold, temp = self.held(box)
                second = self.start(box, other, appdata=appdata)
                time.sleep(1)
                self.assertIsNone(second.poll(), 'the second run must wait')
                self.assertTrue(os.path.exists(temp), 'the first run\'s temporary file')
                os.remove(hold)
                for run in (first, second):
                    out, err = run.communicate(timeout=60)
                    self.assertEqual((run.returncode, err.decode()), (0, DONE))
                for version, lang in itertools.product(('16.0', '17.0'), ('ENU', 'PTB')):
                    text = box.read(box.shared(version, lang) + '/confignames.ini')
                    self.assertIn(b'notepad=notepad', text)
                    self.assertIn(b'wordpad=wordpad', text)

    def test_a_lock_held_too_long_and_a_lock_of_a_dead_run(self):
        box = self.sandbox()
        first, hold, temp = self.held(box)
        before = snapshot(box.root)
        second = self.start(box, self.second_package(box), wait_ms=300)
        out, err = second.communicate(timeout=60)
        lock = os.path.join(box.appdata, 'Freedom Scientific', 'JAWS', 'instalador.lock')
        self.assertEqual((second.returncode, err.decode().replace('\\', '/').lower()),
                         (4, '\n'.join([FAILED, lock, 'Outra instalação está em andamento.\n'])
                          .lower()))
        after = snapshot(box.root)
        self.assertEqual({k: v for k, v in after.items() if not k.startswith('pkg2')}, before)
        # Killed while holding the lock: the next run neither waits nor keeps its leftover.
        first.kill()
        first.communicate()
        start = time.monotonic()
        third = self.start(box, box.package)
        out, err = third.communicate(timeout=60)
        self.assertEqual((third.returncode, err.decode()), (0, DONE))
        self.assertLess(time.monotonic() - start, 20)
        self.assertFalse(os.path.exists(temp))


if __name__ == '__main__':
    sandbox.EXE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
