"""What reaches the disk, and in which order, read from the system calls under strace.

Usage: flush_order_test.py PATH-TO-INSTALADOR
"""

import codecs
import os
import re
import subprocess
import sys
import tempfile
import unittest

import sandbox
from cli_test import Case

TEMP, RECORD, BACKUP = '.instalador-tmp-', 'instalador-backup.ini', '/instalador-backup/'
CALLS = ('open,openat,creat,write,pwrite64,writev,ftruncate,copy_file_range,sendfile,rename,'
         'renameat,renameat2,mkdir,mkdirat,unlink,unlinkat,rmdir,fsync,fdatasync,syncfs,sync')
LINE = re.compile(r'^(?:\[pid +)?\d+\]? *(\w+)\((.*)\) += (-?\d+)')
ARG = re.compile(r'(\d+)<((?:[^>\\]|\\.)*)>|"((?:[^"\\]|\\.)*)"|(AT_FDCWD)')


def unescape(text):
    return codecs.escape_decode(text.encode('utf-8'))[0].decode('utf-8', 'replace')


def events(trace):
    """(call, paths, failed) for each call of interest, in order; *at calls joined into paths."""
    out, unfinished = [], {}
    for line in trace.splitlines():
        pid = line.split(None, 1)[0]
        if line.endswith('<unfinished ...>'):
            unfinished[pid] = line[:-len('<unfinished ...>')]
            continue
        if ' resumed>' in line:
            line = unfinished.pop(pid, '') + line.split(' resumed>', 1)[1]
        m = LINE.match(line)
        if not m:
            continue
        call, args, failed = m.group(1), m.group(2), int(m.group(3)) < 0
        vals = [unescape(next((g for g in a.groups()[1:3] if g is not None), ''))
                for a in ARG.finditer(args)]
        if call in ('openat', 'mkdirat', 'unlinkat', 'renameat', 'renameat2'):
            vals = [os.path.join(d, s) for d, s in zip(vals[::2], vals[1::2])]
        paths = vals[1:2] if call == 'copy_file_range' else vals[:1] if call in (
            'write', 'pwrite64', 'writev', 'ftruncate', 'sendfile') else vals
        if call in ('open', 'openat') and 'O_CREAT' not in args:
            continue
        call = 'rmdir' if 'AT_REMOVEDIR' in args else re.sub(
            r'^(open|mkdir|unlink|rename)at2?$', r'\1', call)
        out.append((call, paths, failed))
    return out


def check(evs, roots):
    """The faults in the order of the calls: a list of (check, call) pairs."""
    faults, dirty, pending, batch = [], set(), {}, set()
    committing, record = False, None  # a name changed since the step's last write; its folder

    def inside(path):
        return path is not None and path.startswith(roots)

    def durable(what, call):
        faults.extend((what, '%s %s (changed by %s)' % (call, f, c)) for f, c in pending.items())
        pending.clear()

    for call, paths, failed in evs:
        if call in ('fsync', 'fdatasync', 'syncfs', 'sync'):
            if failed:
                faults.append(('no flush fails', '%s %s' % (call, paths)))
            elif call in ('syncfs', 'sync'):
                batch |= dirty
                dirty.clear(), pending.clear()
                record = None
            else:
                dirty.discard(paths[0])
                pending.pop(paths[0], None)
                record = None if paths[0] == record else record
            continue
        if failed or not any(inside(p) for p in paths):
            continue
        path, target = paths[0], paths[-1]
        if record and BACKUP not in target:
            faults.append(('record durable before the change it records', call + ' ' + target))
            record = None
        temp = os.path.basename(target).startswith(TEMP)
        if call in ('open', 'creat') and not temp:
            continue  # the lock file: no step of the installation
        if call in ('open', 'creat', 'write', 'pwrite64', 'writev', 'ftruncate',
                    'copy_file_range', 'sendfile'):
            if committing:
                durable('names durable before the next step', call + ' ' + path)
            committing = False
            dirty.add(path)
        elif temp:
            dirty.discard(target)  # a write given up: nothing of it is installed
        elif call == 'rename':
            if path in dirty:
                faults.append(('data flushed before the rename', path + ' -> ' + target))
            if path not in batch:
                durable('names durable before the next step', call + ' ' + target)
            batch.discard(path)
            pending[os.path.dirname(target)] = call + ' ' + os.path.basename(target)
            committing = True
            record = os.path.dirname(target) if target.endswith(RECORD) else record
        else:  # mkdir, unlink, rmdir
            if call != 'mkdir':
                durable('names durable before the next step', call + ' ' + target)
                committing = True
            pending[os.path.dirname(target)] = call + ' ' + os.path.basename(target)
    durable('names durable at the end', 'exit')
    return faults


class FlushOrder(Case):
    maxDiff = None

    def traced(self, box, *args, status):
        with tempfile.NamedTemporaryFile('r', suffix='.trace') as out:
            env = self.env(box, ASAN_OPTIONS=os.environ.get('ASAN_OPTIONS', '') +
                           ':detect_leaks=0')  # LeakSanitizer cannot run traced
            proc = subprocess.run(['strace', '-f', '-y', '-qq', '-s', '4096', '-o', out.name,
                                   '-e', 'trace=' + CALLS, sandbox.EXE, *args,
                                   '--package-dir', box.package],
                                  stderr=subprocess.PIPE, env=env, timeout=300)
            self.assertEqual(proc.returncode, status, proc.stderr.decode('utf-8', 'replace'))
            evs = events(out.read())
        roots = tuple(os.path.realpath(p) + '/' for p in (box.appdata, box.allusers))
        return evs, check(evs, roots)

    def test_install_put_back_and_uninstall(self):
        # ENU is installed over a file of the user's, with the default script and a shared
        # entry; PTB lacks a shared companion of the default script and is put back.
        box = self.sandbox(versions=('17.0',))
        for lang in ('ENU', 'PTB'):
            box.write(box.user('17.0', lang) + '/notepad.jss', b"the user's own")
        os.remove(box.path(*box.shared('17.0', 'PTB').split('/'), 'default.jsd'))
        install, faults = self.traced(box, '--silent', '--versions', 'all', status=4)
        self.assertEqual(faults, [])
        renamed = {os.path.basename(p[-1]) for c, p, f in install if c == 'rename'}
        self.assertLessEqual({'notepad.jss', 'confignames.ini', 'default_fs.jsb',
                              'default_fs.jsd', 'Default.jsb', 'Default.jkm', RECORD}, renamed)
        self.assertIn('unlink', [c for c, _, _ in install])  # the put-back
        uninstall, faults = self.traced(box, '--uninstall', '--versions', 'all', status=0)
        self.assertEqual(faults, [])
        self.assertLessEqual({'unlink', 'rmdir', 'rename'}, {c for c, _, _ in uninstall})


if __name__ == '__main__':
    sandbox.EXE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=1)
