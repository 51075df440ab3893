"""End-to-end tests of the command line: --silent, --dry-run, --log, --check, --versions.

Usage: cli_test.py PATH-TO-INSTALADOR
"""

import os
import random
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

import sandbox
from sandbox import Sandbox, settings

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

    def run_cli(self, box, *args, package=True, tmp=None):
        env = {k: v for k, v in os.environ.items()
               if k.lower() not in ('programfiles', 'appdata', 'allusersprofile')}
        if box is not None:
            env.update({'programfiles': box.programs, 'APPDATA': box.appdata,
                        'AllUsersProfile': box.allusers})
        if tmp is not None:
            env['TMPDIR'] = tmp
        command = [sandbox.EXE, *args]
        if package and box is not None:
            command += ['--package-dir', box.package]
        return Result(subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=env, timeout=120))

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
            ('unknown option', ['--silent', '--bogus'], 'unknown option: --bogus'),
            ('unexpected argument', ['--silent', 'extra'], 'unexpected argument: extra'),
            ('repeated', ['--silent', '--silent'], '--silent is given twice'),
            ('repeated value', ['--silent', '--versions', '17.0', '--versions=16.0'],
             '--versions is given twice'),
            ('silent with a front end', ['--silent', '--ui=gtk'], '--silent and --ui'),
            ('silent with headless', ['--silent', '--ui', 'headless'], '--silent and --ui'),
            ('versions alone', ['--versions', 'all'], '--versions goes only with --silent'),
            ('dry run alone', ['--dry-run'], '--dry-run goes only with --silent'),
            ('check with silent', ['--check', '--silent'], '--check goes with no other'),
            ('check with a log', ['--check', '--log', 'x.log'], '--check goes with no other'),
            ('version with help', ['--version', '--help'], 'goes with no other option'),
            ('empty versions', ['--silent', '--versions', ''], '--versions needs at least one'),
            ('only commas', ['--silent', '--versions=,, ,'], '--versions needs at least one'),
            ('a value for a flag', ['--silent=1'], '--silent takes no value'),
            ('a missing value', ['--silent', '--log'], '--log needs a value'),
            ('unknown front end', ['--ui=nothing'], "no front end 'nothing'"),
        ]
        for what, args, says in cases:
            with self.subTest(what):
                box = self.sandbox()
                before = snapshot(box.root)
                run = self.run_cli(box, *args)
                self.assertEqual(run.status, 2, run.err)
                self.assertIn(says, run.err)
                self.assertIn('usage:', run.err)
                self.assertEqual(run.out, '')
                self.assertEqual(snapshot(box.root), before)

    def test_a_log_that_cannot_be_opened(self):
        box = self.sandbox()
        os.makedirs(box.path('logs'))
        readonly = box.write('logs/readonly.log', b'kept\n')
        os.chmod(readonly, 0o444)
        for what, path in [('a folder', box.path('logs')), ('read-only', readonly),
                           ('missing folder', box.path('no', 'such', 'x.log'))]:
            with self.subTest(what):
                before = snapshot(box.root)
                run = self.run_cli(box, '--silent', '--log', path)
                self.assertEqual(run.status, 2)
                self.assertIn('cannot open the log ' + path, run.err)
                self.assertEqual(snapshot(box.root), before)

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
        os.remove(box.path('pkg', 'Extras', 'extra1.ext'))
        run = self.run_cli(box, '--silent', '--versions', 'all')
        self.assertEqual(run.status, 4)
        self.assertTrue(run.err.startswith(FAILED + '\n'), run.err)
        self.assertIn('extra1.ext', run.err)
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
    def plan_and_log(self, box, *args):
        before = snapshot(box.root)
        tmp = tempfile.mkdtemp(prefix='instalador-tmp-')
        self.addCleanup(shutil.rmtree, tmp, True)
        dry = self.run_cli(box, '--silent', '--dry-run', *args, tmp=tmp)
        self.assertEqual(snapshot(box.root), before)
        self.assertEqual(os.listdir(tmp), [])
        log = box.path('..', os.path.basename(box.root) + '.log')
        self.addCleanup(lambda: os.path.exists(log) and os.remove(log))
        real = self.run_cli(box, '--silent', '--log', log, *args)
        done = []
        for event in self.log_events(log):
            if event.split(' ')[0] in ('copy', 'write', 'skip'):
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


class Log(Case):
    def test_lists_every_file_that_changed_and_is_appended(self):
        box = self.sandbox(versions=('16.0', '17.0'))
        log = box.write('run.log', b'an earlier line\n')
        before = snapshot(box.root)
        run = self.run_cli(box, '--silent', '--versions', 'all', '--log', log)
        self.assertEqual(run.status, 0, run.err)
        after = snapshot(box.root)
        changed = {p for p in after if p != 'run.log' and after[p] != before.get(p)
                   and not p.endswith('/')}
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


class VersionAndHelp(Case):
    def test_version_and_help(self):
        version = self.run_cli(None, '--version')
        self.assertEqual(version.status, 0)
        self.assertRegex(version.out, r'^instalador \d+\.\d+\.\d+\n$')
        help_ = self.run_cli(None, '--help')
        self.assertEqual(help_.status, 0)
        for option in ('--ui', '--package-dir', '--log', '--silent', '--versions', '--dry-run',
                       '--check', '--version', '--help'):
            self.assertIn(option, help_.out)
        for status in '012345':
            self.assertIn(status + ' ', help_.out)


if __name__ == '__main__':
    sandbox.EXE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
