"""A sandbox JAWS tree and package in a temporary folder, and the headless transcript parser."""

import copy
import os
import re
import shutil
import subprocess
import tempfile

EXE = None  # set by the test runner

TOKEN = re.compile(r'(\w+)=("(?:[^"\\]|\\.)*"|[^ ]*)')


def unquote(value):
    if not value.startswith('"'):
        return value
    out, i, body = [], 0, value[1:-1]
    while i < len(body):
        c = body[i]
        if c != '\\':
            out.append(c)
            i += 1
            continue
        n = body[i + 1]
        if n == 'x':
            out.append(chr(int(body[i + 2:i + 4], 16)))
            i += 4
            continue
        out.append({'n': '\n', 'r': '\r', 't': '\t'}.get(n, n))
        i += 2
    return ''.join(out)


def parse(line):
    """('event', {field: value}) for one transcript line."""
    event, _, rest = line.partition(' ')
    return event, {m.group(1): unquote(m.group(2)) for m in TOKEN.finditer(rest)}


class Run:
    def __init__(self, stdout, status):
        self.lines = stdout.decode('utf-8').splitlines()
        self.status = status
        self.events = [parse(line) for line in self.lines]

    def of(self, event):
        return [fields for name, fields in self.events if name == event]

    def names(self):
        return [name for name, _ in self.events]

    def dumps(self):
        """Each dump as {control or window name: fields}, plus 'apptitle'."""
        result, current = [], None
        for name, fields in self.events:
            if name == 'apptitle':
                current = {'apptitle': fields['text']}
            elif name in ('window', 'control') and current is not None:
                current[fields['name']] = fields
                if name == 'control':
                    current.setdefault('_order_' + fields['window'], []).append(fields['name'])
            elif name == 'dump' and current is not None:
                result.append(current)
                current = None
        return result


SETUP = {
    'Configurations': {
        'title': 'Instalação do pacote', 'Frametitle': 'Versões', 'Startversion': '11',
        'Application': 'notepad', 'ScriptName': 'notepad', 'ModifyScriptName': '1',
        'Extras': '1'},
    'Sound': {'SoundFile': 'abertura.wav', 'PlaySound': '0', 'PlayMode': '0', 'Volume': '80'},
    'Info': {'ShowInfo': '1', 'InfoFile': 'leiame.txt', 'InfoTitle': 'Informações'},
}


def settings(**changes):
    """SETUP with changes given as section__key=value (None removes the key)."""
    result = copy.deepcopy(SETUP)
    for name, value in changes.items():
        section, key = name.split('__')
        if value is None:
            result[section].pop(key, None)
        else:
            result.setdefault(section, {})[key] = value
    return result


class Sandbox:
    """A package folder and JAWS folders under one temporary root."""

    # Where the three environment folders lie below the root.
    PROGRAMS, APPDATA, ALLUSERS = 'Program Files', 'AppData', 'ProgramData'

    def __init__(self, versions=('16.0', '17.0'), languages=('ENU', 'PTB'), setup=None):
        self.root = self.make_root()
        self.package = self.path('pkg')
        self.programs = self.path(*self.PROGRAMS.split('/'))
        self.appdata = self.path(*self.APPDATA.split('/'))
        self.allusers = self.path(*self.ALLUSERS.split('/'))
        os.makedirs(os.path.join(self.package, 'pastascripts'))
        self.write('pkg/pastascripts/notepad.jss', b'script source\r\n')
        self.write('pkg/pastascripts/RedidUzizu.jsb', b'package compiled script')
        self.write('pkg/pastascripts/sub/deep.txt', b'deep')
        self.write('pkg/Extras/extra1.ext', b'package default script')
        self.write('pkg/Audio/abertura.wav', b'RIFF')
        self.write('pkg/Info/leiame.txt', 'Informações do pacote\r\nLinha 2'.encode('cp1252'))
        self.setup(setup if setup is not None else SETUP)
        for v in versions:
            os.makedirs(os.path.join(self.programs, 'Freedom Scientific', 'JAWS', v))
            for lang in languages:
                self.language(v, lang)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def write(self, relative, data):
        full = self.path(*relative.split('/'))
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, 'wb') as f:
            f.write(data)
        return full

    def read(self, relative):
        with open(self.path(*relative.split('/')), 'rb') as f:
            return f.read()

    def exists(self, relative):
        return os.path.exists(self.path(*relative.split('/')))

    def setup(self, sections):
        text = ''.join('[%s]\r\n' % s + ''.join('%s=%s\r\n' % kv for kv in keys.items())
                       for s, keys in sections.items())
        self.write('pkg/Setup.ini', text.encode('cp1252'))

    def make_root(self):
        return tempfile.mkdtemp(prefix='instalador-e2e-')

    def user(self, version, lang):
        return self.APPDATA + '/Freedom Scientific/JAWS/%s/Settings/%s' % (version, lang)

    def shared(self, version, lang):
        return self.ALLUSERS + '/Freedom Scientific/JAWS/%s/Settings/%s' % (version, lang)

    def language(self, version, lang, shared=True):
        os.makedirs(self.path(*self.user(version, lang).split('/')), exist_ok=True)
        if shared:
            self.write(self.shared(version, lang) + '/confignames.ini', b'[ConfigNames]\r\nx=y\r\n')
            self.write(self.shared(version, lang) + '/default.jsb', b'shared jsb ' + version.encode())
            self.write(self.shared(version, lang) + '/default.jsd', b'shared jsd ' + version.encode())

    def command(self):
        return [EXE, '--ui=headless', '--package-dir', self.package]

    def run(self, *commands, env=None, stderr_allowed=False):
        environment = {k: v for k, v in os.environ.items()
                       if k.lower() not in ('programfiles', 'appdata', 'allusersprofile')}
        environment.update({'programfiles': self.programs, 'APPDATA': self.appdata,
                            'AllUsersProfile': self.allusers, 'INSTALADOR_SOUND': 'silent'})
        environment.update(env or {})
        proc = subprocess.run(self.command(),
                              input=''.join(c + '\n' for c in commands).encode('utf-8'),
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment,
                              timeout=120)
        if proc.stderr and not stderr_allowed:
            raise AssertionError('stderr: ' + proc.stderr.decode('utf-8', 'replace'))
        return Run(proc.stdout, proc.returncode)

    def remove(self):
        shutil.rmtree(self.root, ignore_errors=True)
