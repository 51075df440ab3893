"""The executable users get: a stripped GUI-subsystem program under 512 KB that imports nothing
but the system's known DLLs, read from its PE headers with objdump; and what packaging makes of it.

Usage: win32_executable_test.py INSTALADOR.EXE OBJDUMP CPACK CPACK-CONFIG
"""

import os
import re
import subprocess
import sys
import tempfile
import unittest
import zipfile

EXE = OBJDUMP = CPACK = CPACK_CONFIG = None
PACKAGE = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'examples', 'pacote')

# The known DLLs of every Windows since 7 (HKLM\System\CurrentControlSet\Control\Session
# Manager\KnownDLLs): the loader takes them, and what they import, from the system folder only.
# Any other import (winmm, comctl32, oleacc…) is looked for beside the program first.
KNOWN_DLLS = {'advapi32.dll', 'comdlg32.dll', 'gdi32.dll', 'imagehlp.dll', 'imm32.dll',
              'kernel32.dll', 'msctf.dll', 'msvcrt.dll', 'normaliz.dll', 'nsi.dll', 'ole32.dll',
              'oleaut32.dll', 'psapi.dll', 'rpcrt4.dll', 'sechost.dll', 'setupapi.dll',
              'shell32.dll', 'shlwapi.dll', 'user32.dll', 'wldap32.dll', 'ws2_32.dll'}


class Executable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run([OBJDUMP, '-p', EXE], capture_output=True, text=True,
                                     check=True).stdout

    def test_imports_only_known_dlls(self):
        dlls = {d.lower() for d in re.findall(r'DLL Name: (\S+)', self.headers)}
        self.assertIn('user32.dll', dlls)
        self.assertEqual(dlls - KNOWN_DLLS, set())

    def test_gui_subsystem_and_stripped(self):
        self.assertRegex(self.headers, r'Subsystem\s+0+2\s+\(Windows GUI\)')
        symbols = subprocess.run([OBJDUMP, '-t', EXE], capture_output=True, text=True).stdout
        self.assertIn('no symbols', symbols.partition('SYMBOL TABLE:')[2])

    def test_under_512_kilobytes(self):
        self.assertLess(os.path.getsize(EXE), 512 * 1024)

    def test_the_zip_holds_the_program_beside_the_example_package_and_its_bundle(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([CPACK, '--config', CPACK_CONFIG, '-B', out], check=True,
                           stdout=subprocess.DEVNULL)
            [name] = [n for n in os.listdir(out) if n.endswith('.zip')]
            # The bundle: the program's bytes, then the package as a ZIP archive that a ZIP
            # tool lists as it lists a self-extracting one.
            bundle = os.path.join(out, 'instalador-exemplo.exe')
            with open(EXE, 'rb') as f, open(bundle, 'rb') as b:
                program = f.read()
                self.assertEqual(b.read(len(program)), program)
            listed = subprocess.run(['unzip', '-Z1', bundle], capture_output=True, text=True)
            carried = {n for n in listed.stdout.splitlines() if not n.endswith('/')}
            with zipfile.ZipFile(os.path.join(out, name)) as z:
                names = [n for n in z.namelist() if not n.endswith('/')]
                top = name[:-len('.zip')] + '/'
                self.assertTrue(all(n.startswith(top) for n in names), names)
                inside = {n[len(top):] for n in names}
                with open(EXE, 'rb') as f:
                    self.assertEqual(z.read(top + 'instalador.exe'), f.read())
        expected = {'instalador.exe'}
        for folder, _, files in os.walk(PACKAGE):
            for f in files:
                expected.add(os.path.relpath(os.path.join(folder, f), PACKAGE).replace(os.sep, '/'))
        self.assertEqual(inside, expected)
        self.assertEqual(carried, expected - {'instalador.exe'})


if __name__ == '__main__':
    EXE = sys.argv.pop(1)
    OBJDUMP = sys.argv.pop(1)
    CPACK = sys.argv.pop(1)
    CPACK_CONFIG = sys.argv.pop(1)
    unittest.main(verbosity=2)
