"""The executable users get: a stripped GUI-subsystem program under 1 MB that imports nothing
but Windows' own DLLs, read from its PE headers with objdump.

Usage: win32_executable_test.py INSTALADOR.EXE OBJDUMP
"""

import os
import re
import subprocess
import sys
import unittest

EXE = OBJDUMP = None

# DLLs every Windows since 7 has; msvcrt.dll is the system's own C runtime.
WINDOWS_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'comctl32.dll', 'winmm.dll',
                'msvcrt.dll', 'advapi32.dll', 'shell32.dll', 'ole32.dll', 'oleaut32.dll'}


class Executable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = subprocess.run([OBJDUMP, '-p', EXE], capture_output=True, text=True,
                                     check=True).stdout

    def test_imports_only_windows_own_dlls(self):
        dlls = {d.lower() for d in re.findall(r'DLL Name: (\S+)', self.headers)}
        self.assertIn('user32.dll', dlls)
        self.assertIn('winmm.dll', dlls)
        self.assertEqual(dlls - WINDOWS_DLLS, set())

    def test_gui_subsystem_and_stripped(self):
        self.assertRegex(self.headers, r'Subsystem\s+0+2\s+\(Windows GUI\)')
        symbols = subprocess.run([OBJDUMP, '-t', EXE], capture_output=True, text=True).stdout
        self.assertNotRegex(symbols, r'\bmain\b')

    def test_under_one_megabyte(self):
        self.assertLess(os.path.getsize(EXE), 1024 * 1024)


if __name__ == '__main__':
    EXE = sys.argv.pop(1)
    OBJDUMP = sys.argv.pop(1)
    unittest.main(verbosity=2)
