"""The Windows program, headless, under Wine: the same sessions as natively, on the real
Windows file system API, profile functions and environment.

Wine sets programfiles, appdata and allusersprofile itself, so the JAWS tree is laid out where
they point inside the prefix.

Usage: wine_test.py PATH-TO-INSTALADOR.EXE PATH-TO-WINE-RUN
"""

import getpass
import itertools
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import sandbox
from cli_test import snapshot
from sandbox import Sandbox

WINE_RUN = DRIVER = None


class WineSandbox(Sandbox):
    PROGRAMS, ALLUSERS = 'Program Files', 'ProgramData'

    def __init__(self, *args, appdata=None, allusers=None, **kwargs):
        self.APPDATA = appdata or 'users/%s/AppData/Roaming' % getpass.getuser()  # Wine's user
        self.ALLUSERS = allusers or self.ALLUSERS
        super().__init__(*args, **kwargs)

    def make_root(self):
        prefix = os.environ.get('INSTALADOR_WINEPREFIX') or os.path.join(
            os.environ.get('TMPDIR', '/tmp'), 'instalador-wine')
        subprocess.run([WINE_RUN, 'cmd', '/c', 'exit'], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)  # makes the prefix when missing
        root = os.path.join(prefix, 'drive_c')
        for top in (self.PROGRAMS, self.APPDATA, self.ALLUSERS):
            shutil.rmtree(os.path.join(root, *top.split('/'), 'Freedom Scientific'), True)
        shutil.rmtree(os.path.join(root, 'pkg'), True)
        return root

    def command(self):
        return [WINE_RUN, sandbox.EXE, '--ui=headless', '--package-dir', 'C:\\pkg']

    def run(self, *commands, **kwargs):
        return super().run(*commands, stderr_allowed=True, **kwargs)

    def remove(self):
        pass  # the next sandbox clears the same folders; the prefix is temporary


class UnderWine(unittest.TestCase):
    def test_start_up_install_and_end(self):
        box = WineSandbox()
        box.write(box.user('17.0', 'ENU') + '/NOTEPAD.JSS', b'old')
        run = box.run('dump', 'click Check1(1)', 'key Alt+I')
        d = run.dumps()[0]
        self.assertEqual((d['Form1']['left'], d['Form1']['top'], d['Check1(0)']['caption'],
                          d['Check1(1)']['caption'], d['Check1(2)']['visible']),
                         ('2032.5', '480', '17.0', '16.0', '0'))
        self.assertEqual(run.of('msgbox')[-1]['text'],
                         'Instalação concluída com êxito.\nPor favor, reinicie o JAWS.')
        self.assertEqual(run.of('sleep'), [{'ms': '100'}] * 4)
        self.assertEqual(run.of('end'), [{'status': '0'}])
        self.assertEqual(run.status, 0)
        for version in ('16.0', '17.0'):
            for lang in ('ENU', 'PTB'):
                user, shared = box.user(version, lang), box.shared(version, lang)
                self.assertEqual(box.read(user + '/Default.jsb'), b'package default script')
                self.assertEqual(box.read(user + '/sub/deep.txt'), b'deep')
                self.assertIn(b'windows+backspace=swSayAlert(1)', box.read(user + '/Default.jkm'))
                self.assertIn(b'notepad=notepad', box.read(shared + '/confignames.ini'))
        self.assertEqual(box.read(box.user('17.0', 'ENU') + '/NOTEPAD.JSS'), b'script source\r\n')

    def test_information_window_and_start_up_stop(self):
        box = WineSandbox()
        run = box.run('key Alt+O', 'dump', 'key Esc', 'close')
        d = run.dumps()[0]
        self.assertEqual(d['Form2']['caption'], 'Informações')
        self.assertEqual(d['Text1']['text'], 'Informações do pacote\r\nLinha 2')
        self.assertEqual(d['Sair']['left'], '4272.5')
        self.assertEqual(run.of('unload'), [{'name': 'Form2'}, {'name': 'Form1'}])
        os.remove(box.path('pkg', 'Setup.ini'))
        run = box.run('dump')
        self.assertEqual(run.of('msgbox')[0]['text'],
                         'Não foi encontrado o arquivo setup.ini.\nEle é necessário para a instalação!')
        self.assertEqual(run.status, 1)


class CommandLineUnderWine(unittest.TestCase):
    def cli(self, *args):
        return wine(sandbox.EXE, *args)

    def test_windows_spellings_of_the_options(self):
        box = WineSandbox()
        status, out, err = self.cli('/S', '/Versions=ALL', '/DRY-RUN', '/package-dir', 'C:\\pkg')
        self.assertEqual(status, 0, err)
        self.assertTrue(out.startswith(r'copy from="C:\\pkg\\pastascripts\\'), out)
        self.assertFalse(box.exists(box.user('17.0', 'ENU') + '/notepad.jss'))
        status, out, err = self.cli('/SILENT', '/LOG', 'C:\\pkg\\run.log', '/PACKAGE-DIR=C:\\pkg')
        self.assertEqual(status, 0, err)
        self.assertEqual(err.replace('\r', ''),
                         'Instalação concluída com êxito.\nPor favor, reinicie o JAWS.\n')
        self.assertTrue(box.exists(box.user('17.0', 'ENU') + '/notepad.jss'))
        self.assertTrue(box.read('pkg/run.log').endswith(b' end status=0\n'))
        for args in (['/S', '/silent'], ['/?', '/S'], ['/s', '/ui=headless']):
            with self.subTest(args=args):
                self.assertEqual(self.cli(*args)[0], 2)
        self.assertEqual(self.cli('/?')[0], 0)
        self.assertEqual(self.cli('/check', '/package-dir', 'C:\\nothing')[0], 1)

    def test_the_dry_run_ends_as_the_real_run(self):
        def read_only(b, relative):
            os.chmod(b.write(relative, b'[x]\r\n'), 0o444)  # Wine's read-only attribute

        args = ('/S', '/versions=all', '/package-dir', 'C:\\pkg')
        for what, prepare, status in [
                ('a read-only Default.jkm',
                 lambda b: read_only(b, b.user('16.0', 'ENU') + '/Default.jkm'), 4),
                ('a read-only script the package replaces',
                 lambda b: read_only(b, b.user('17.0', 'PTB') + '/NOTEPAD.JSS'), 4),
                ('a folder where Default.jsb goes',
                 lambda b: b.write(b.user('17.0', 'PTB') + '/Default.jsb/x', b''), 4),
                ('a version with only DEU', lambda b: (
                    shutil.rmtree(b.path(*b.user('16.0', 'ENU').split('/'))),
                    os.rename(b.path(*b.user('16.0', 'PTB').split('/')),
                              b.path(*b.user('16.0', 'DEU').split('/')))), 5)]:
            with self.subTest(what):
                prepare(WineSandbox())
                dry = self.cli(*args, '/DRY-RUN')
                self.assertEqual((dry[0], dry[2]), (status, self.cli(*args)[2]))


    def test_install_then_uninstall_gives_the_user_back_every_byte(self):
        box = WineSandbox()
        box.write(box.user('17.0', 'ENU') + '/NOTEPAD.JSS', b"the user's own")
        box.write(box.user('16.0', 'PTB') + '/Default.jkm', b'[Common Keys]\r\nInsert+T=Title\r\n')

        before = jaws_tree(box)
        args = ('/versions=all', '/package-dir', 'C:\\pkg')
        status, _, err = self.cli('/S', *args)
        self.assertEqual(status, 0, err)
        self.assertNotEqual(jaws_tree(box), before)
        status, _, err = self.cli('/UNINSTALL', *args)
        self.assertEqual((status, err.replace('\r', '')), (0, 'Desinstalação concluída.\n'))
        self.assertEqual(jaws_tree(box), before)


class ListOfInstalledProgramsUnderWine(unittest.TestCase):
    KEY = r'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\instalador-bloco-de-notas'

    def setUp(self):
        subprocess.run([WINE_RUN, 'reg', 'delete', self.KEY, '/f'], capture_output=True)

    def reg(self):
        """The key's values as `reg query` gives them, or None when it is not there."""
        proc = subprocess.run([WINE_RUN, 'reg', 'query', self.KEY], capture_output=True,
                              text=True, timeout=120)
        if proc.returncode != 0:
            return None
        return {f[0]: (f[1], f[2] if len(f) > 2 else '') for f in
                (line.strip().split(None, 2) for line in proc.stdout.splitlines())
                if len(f) >= 2 and f[1].startswith('REG_')}

    def kept_folder(self, box):
        """The kept uninstaller's folder, as Windows names it, with nothing in its place."""
        local = windows_variable('LOCALAPPDATA')
        shutil.rmtree(in_prefix(box, local + '\\instalador'), True)
        return local + '\\instalador\\bloco-de-notas'

    def test_named_install_registers_replaces_and_quiet_uninstall_takes_all_away(self):
        package = dict(Package__Name='Scripts do Bloco de Notas', Package__Version='2.1',
                       Package__Publisher='Fulano Scripts', Package__Id='bloco-de-notas')
        box = WineSandbox(setup=sandbox.settings(**package))
        folder = self.kept_folder(box)
        program = folder + '\\desinstalar.exe'
        kept = in_prefix(box, program)
        box.write(box.user('17.0', 'ENU') + '/notepad.jss', b"the user's own")
        before = jaws_tree(box)
        install = ('/SILENT', '/versions=all', '/package-dir', 'C:\\pkg')
        dry = wine(sandbox.EXE, *install, '/DRY-RUN')[1].splitlines()
        self.assertRegex(dry[-12], r'^copy from="[^"]+" to="%s"$' %
                         re.escape(program.replace('\\', '\\\\')))
        self.assertEqual([line.split(' value=')[1].split(' ')[0] for line in dry[-11:]],
                         ['DisplayName', 'DisplayVersion', 'Publisher', 'DisplayIcon',
                          'InstallLocation', 'UninstallString', 'QuietUninstallString',
                          'EstimatedSize', 'InstallDate', 'NoModify', 'NoRepair'])
        self.assertEqual((self.reg(), os.path.exists(kept)), (None, False))
        self.assertEqual(wine(sandbox.EXE, *install)[0], 0)
        values = self.reg()
        self.assertEqual({k: v[1] for k, v in values.items() if k != 'EstimatedSize'}, {
            'DisplayName': 'Scripts do Bloco de Notas', 'DisplayVersion': '2.1',
            'Publisher': 'Fulano Scripts', 'DisplayIcon': program, 'InstallLocation': folder,
            'UninstallString': '"%s" --uninstall --ui=win32' % program,
            'QuietUninstallString': '"%s" --uninstall --versions all' % program,
            'InstallDate': time.strftime('%Y%m%d', time.gmtime()),
            'NoModify': '0x1', 'NoRepair': '0x1'})
        self.assertEqual(values['EstimatedSize'][0], 'REG_DWORD')
        first = os.path.getsize(kept)

        # A newer version of the same Id replaces the key's version and the kept bundle.
        box.setup(sandbox.settings(**dict(package, Package__Version='2.2')))
        box.write('pkg/pastascripts/novo.jss', b'x' * 5000)
        box.write('pkg/pastascripts/notepad.jss', b'version 2.2')  # over 2.1's, kept first
        self.assertEqual(wine(sandbox.EXE, *install)[0], 0)
        self.assertEqual(self.reg()['DisplayVersion'][1], '2.2')
        self.assertGreater(os.path.getsize(kept), first)

        # The quiet uninstall as the registry gives it, with no package folder at hand: every
        # version of the Id comes off, and the user's own script is back, not 2.1's.
        quiet = self.reg()['QuietUninstallString'][1]
        path, args = quiet[1:].split('" ', 1)
        replace(box.package, box.path('pacote-movido'), shutil.move)
        status, _, err = wine(path, *args.split())
        self.assertEqual((status, err), (0, 'Desinstalação concluída.\n'))
        self.assertEqual(jaws_tree(box), before)
        self.assertIsNone(self.reg())
        self.assertFalse(os.path.exists(os.path.dirname(kept)))

    def test_an_entry_that_cannot_be_written_does_not_fail_the_installation(self):
        box = WineSandbox(setup=sandbox.settings(Package__Name='Bloco de Notas'))
        # The kept folder's place taken by a file.
        box.write('/'.join(self.kept_folder(box).split('\\')[1:]), b'')
        status, _, err = wine(sandbox.EXE, '/S', '/package-dir', 'C:\\pkg')
        self.assertEqual((status, self.reg()), (0, None), err)
        self.assertRegex(err, 'A entrada do pacote na lista de programas instalados não pôde ser '
                         'gravada(.|\n)*Instalação concluída com êxito\\.\nPor favor, reinicie '
                         'o JAWS\\.\n\\Z')

    def test_two_installations_of_the_same_id_at_once_with_a_name_of_10000_characters(self):
        box = WineSandbox(setup=sandbox.settings(Package__Name='Bloco de Notas ' * 667,
                                                 Package__Id='bloco-de-notas'))
        folder = in_prefix(box, self.kept_folder(box))
        runs = [subprocess.Popen([WINE_RUN, sandbox.EXE, '/S', '/package-dir', 'C:\\pkg'],
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                for _ in range(2)]
        self.assertEqual([run.wait(timeout=120) for run in runs], [0, 0])
        shown = self.reg()['DisplayName'][1]
        self.assertTrue(shown.startswith('Bloco de Notas Bloco'), shown)
        self.assertEqual(os.listdir(folder), ['desinstalar.exe'])
        listed = subprocess.run(['unzip', '-l', os.path.join(folder, 'desinstalar.exe')],
                                capture_output=True, text=True)
        self.assertIn('pastascripts/notepad.jss', listed.stdout)


def wine(*args):
    proc = subprocess.run([WINE_RUN, *args], capture_output=True, timeout=120)
    return (proc.returncode, proc.stdout.decode('utf-8'),
            proc.stderr.decode('utf-8').replace('\r', ''))


def windows_variable(name):
    return subprocess.run([WINE_RUN, 'cmd', '/c', 'echo', '%' + name + '%'], capture_output=True,
                          text=True, check=True).stdout.strip()


def in_prefix(box, windows):
    """Where a path on C: is inside the prefix."""
    return box.path(*windows[3:].split('\\'))


def replace(source, target, how=shutil.copytree):
    shutil.rmtree(target, True)
    how(source, target)


def files(folder):
    """Every file and folder below `folder`, with the files' bytes."""
    return {k: v and v[0] for k, v in snapshot(folder).items()}


def jaws_tree(box):
    """The JAWS folders' files and their bytes, without the backups and the lock."""
    return {base + '/' + k: v for top in (box.APPDATA, box.ALLUSERS)
            for base in [top + '/Freedom Scientific'] for k, v in files(box.path(base)).items()
            if 'instalador-backup' not in k and not k.endswith('instalador.lock')}


INSTALLED = (b'script source\r\n', True, True)


def installed(box, version, lang, script='notepad.jss'):
    """The package's script, and whether its key and its shared entry are in."""
    user = box.user(version, lang)
    return (box.read(user + '/' + script), b'windows+backspace=' in box.read(user + '/Default.jkm'),
            b'notepad=notepad' in box.read(box.shared(version, lang) + '/confignames.ini'))


def ours_in_temp(box):
    """The folders of ours in the user's temporary folder inside the prefix."""
    folder = in_prefix(box, windows_variable('TEMP'))
    return [n for n in os.listdir(folder) if n.startswith('instalador-')]


def make_bundle(box, name):
    """A bundle of the sandbox's package, at C:\\NAME."""
    made = subprocess.run([WINE_RUN, sandbox.EXE, '/bundle', 'C:\\' + name, '/package-dir',
                           'C:\\pkg'], capture_output=True, timeout=120)
    assert made.returncode == 0, made.stderr
    return box.path(name)


class SignedBundleUnderWine(unittest.TestCase):
    """A bundle signed as authors sign theirs still finds its package, installs, and leaves
    nothing in the temporary folder."""

    def test_build_sign_verify_and_install(self):
        box = WineSandbox()
        work = tempfile.mkdtemp(prefix='instalador-sign-')
        self.addCleanup(shutil.rmtree, work, True)
        bundle, signed = make_bundle(box, 'b.exe'), os.path.join(work, 'assinado.exe')
        key, cert = os.path.join(work, 'key.pem'), os.path.join(work, 'cert.pem')
        for command in (
                ['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '1',
                 '-subj', '/CN=Autor de teste', '-addext', 'extendedKeyUsage=codeSigning',
                 '-keyout', key, '-out', cert],
                ['osslsigncode', 'sign', '-certs', cert, '-key', key, '-n', 'Pacote de teste',
                 '-in', bundle, '-out', signed],
                ['osslsigncode', 'verify', '-CAfile', cert, '-in', signed]):
            with self.subTest(command[:2]):
                done = subprocess.run(command, capture_output=True, timeout=120)
                self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertGreater(os.path.getsize(signed), os.path.getsize(bundle))
        # The signed bundle alone, away from the package it was made from.
        os.remove(bundle)
        shutil.move(box.package, box.path('pacote-original'))
        self.addCleanup(shutil.rmtree, box.path('pacote-original'), True)
        run = subprocess.run([WINE_RUN, signed, '/S', '/versions=all'], capture_output=True,
                             timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr.decode('utf-8').replace('\r', ''),
                         'Instalação concluída com êxito.\nPor favor, reinicie o JAWS.\n')
        for version in ('16.0', '17.0'):
            user = box.user(version, 'PTB')
            self.assertEqual(box.read(user + '/notepad.jss'), b'script source\r\n')
            self.assertEqual(box.read(user + '/sub/deep.txt'), b'deep')
        self.assertEqual(ours_in_temp(box), [])


def windows_path(relative):
    return 'C:\\' + relative.replace('/', '\\')


def run_with(variables, *args, env=None, wait=True):
    """A run with Windows environment variables that Wine would otherwise set itself."""
    line = ''.join('set %s=%s&& ' % kv for kv in variables.items()) + ' '.join(args)
    proc = subprocess.Popen([WINE_RUN, 'cmd', '/c', line], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, env=dict(os.environ, **(env or {})))
    if not wait:
        return proc
    out, err = proc.communicate(timeout=120)
    return proc.returncode, err.decode('utf-8').replace('\r', '')


def program():
    return 'Z:' + sandbox.EXE.replace('/', '\\')


class FilesInUse(unittest.TestCase):
    """Files that another program (a scanner, JAWS) holds open with no sharing at all: a short
    hold is waited for; a long one fails naming the file as in use, and the folder, whose put-back
    meets a held file too, is as it was. The short hold begins before the run, which Wine takes
    half a second or more to start: the run meets the files held for a while, within its wait."""

    ARGS = ('/versions=17.0', '/package-dir', 'C:\\pkg')

    def hold(self, box, ms, *relative):
        holder = subprocess.Popen([WINE_RUN, DRIVER, 'hold', str(ms),
                                   *(windows_path(r) for r in relative)],
                                  stdout=subprocess.PIPE)
        self.addCleanup(holder.wait, 30)
        self.assertEqual(holder.stdout.readline().strip(), b'held')

    def test_held_briefly_waited_for_held_long_named(self):
        for ms, held, put_back, status in [(1500, 3, False, 0), (10000, 3, False, 4),
                                           (10000, 1, True, 4)]:
            with self.subTest(ms=ms, put_back=put_back):
                box = WineSandbox()
                user, shared = box.user('17.0', 'ENU'), box.shared('17.0', 'ENU')
                box.write(user + '/NOTEPAD.JSS', b'old')
                box.write(user + '/Default.jkm', b'[Common Keys]\r\n')
                folder = box.path(*user.split('/'))
                before = files(folder)
                self.hold(box, ms, *[shared + '/confignames.ini', user + '/NOTEPAD.JSS',
                                     user + '/Default.jkm'][:held])
                run = run_with({}, program(), '/S', *self.ARGS, wait=False)
                if put_back:
                    # Once the package's file is in, its put-back meets it held for a second.
                    while box.read(user + '/NOTEPAD.JSS') == b'old':
                        self.assertIsNone(run.poll())
                        time.sleep(0.05)
                    self.hold(box, 1000, user + '/NOTEPAD.JSS')
                err = run.communicate(timeout=120)[1].decode('utf-8')
                self.assertEqual(run.returncode, status, err)
                after = files(folder)
                if status:
                    self.assertIn('O arquivo está sendo usado por outro programa.', err)
                    self.assertEqual(after, before, err)
                else:
                    self.assertEqual(installed(box, '17.0', 'ENU', 'NOTEPAD.JSS'), INSTALLED)

    def test_uninstall_past_a_held_file(self):
        for ms, status in [(1500, 0), (10000, 4)]:
            with self.subTest(ms=ms):
                box = WineSandbox()
                user = box.user('17.0', 'ENU')
                box.write(user + '/NOTEPAD.JSS', b'old')
                self.assertEqual(run_with({}, program(), '/S', *self.ARGS)[0], 0)
                self.hold(box, ms, user + '/NOTEPAD.JSS')
                code, err = run_with({}, program(), '/UNINSTALL', *self.ARGS)
                self.assertEqual(code, status, err)
                self.assertEqual(box.read(user + '/NOTEPAD.JSS'),
                                 b'script source\r\n' if status else b'old')
                if status:
                    self.assertIn('O arquivo está sendo usado por outro programa.', err)


class AnyUserAnyPath(unittest.TestCase):
    def test_two_users_at_once_lose_no_entry_of_the_shared_file(self):
        box = WineSandbox()
        box.setup(sandbox.settings(Configurations__Application='wordpad',
                                   Configurations__ScriptName='wordpad'))
        replace(box.package, box.path('pkg2'))
        box.setup(sandbox.SETUP)
        other = 'users/outro/AppData/Roaming'
        replace(os.path.join(box.appdata, 'Freedom Scientific'),
                box.path(*other.split('/'), 'Freedom Scientific'))
        box.write('hold', b'')
        if box.exists('hold.held'):
            os.remove(box.path('hold.held'))
        first = run_with({}, program(), '/S', '/versions=all', '/package-dir', 'C:\\pkg',
                         env={'INSTALADOR_TEST_HOLD': 'C:\\hold',
                              'INSTALADOR_TEST_HOLD_AT': 'rename:confignames.ini'}, wait=False)
        while not box.exists('hold.held'):
            if first.poll() is not None:
                self.fail(first.communicate())
            time.sleep(0.05)
        second = run_with({'APPDATA': windows_path(other)}, program(), '/S',
                          '/versions=all', '/package-dir', 'C:\\pkg2', wait=False)
        time.sleep(5)  # time enough to finish, were it not waiting
        waited = second.poll() is None
        os.remove(box.path('hold'))
        for run in (first, second):
            self.assertEqual(run.wait(timeout=120), 0, run.communicate())
        for version, lang in itertools.product(('16.0', '17.0'), ('ENU', 'PTB')):
            text = box.read(box.shared(version, lang) + '/confignames.ini')
            self.assertIn(b'notepad=notepad', text)
            self.assertIn(b'wordpad=wordpad', text)
        self.assertTrue(waited, 'the second user\'s run waits for the first')

    def test_a_cyrillic_user_name_and_a_path_past_260_characters(self):
        long = '/'.join(['pasta-com-um-nome-bem-comprido-%02d' % i for i in range(8)])
        for (name, appdata, allusers), bundled in itertools.product([
                ('Cyrillic', 'users/Иван/AppData/Roaming', 'ProgramData'),
                ('long', 'users/' + long, 'ProgramData/' + long)], (False, True)):
            with self.subTest(name, bundle=bundled):
                box = WineSandbox(appdata=appdata, allusers=allusers)
                temp = appdata + '/Temp'
                os.makedirs(box.path(*temp.split('/')), exist_ok=True)
                command = ['C:\\b.exe'] if bundled else [program(), '/package-dir', 'C:\\pkg']
                if bundled:
                    make_bundle(box, 'b.exe')
                variables = {'APPDATA': appdata, 'ALLUSERSPROFILE': allusers, 'TEMP': temp,
                             'TMP': temp}
                code, err = run_with({k: windows_path(v) for k, v in variables.items()},
                                     *command, '/SILENT', '/versions=all')
                self.assertEqual(code, 0, err)
                self.assertEqual([installed(box, v, 'PTB') for v in ('16.0', '17.0')],
                                 [INSTALLED] * 2)
                self.assertEqual(os.listdir(box.path(*temp.split('/'))), [])


if __name__ == '__main__':
    sandbox.EXE = os.path.abspath(sys.argv.pop(1))
    WINE_RUN = os.path.abspath(sys.argv.pop(1))
    DRIVER = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
