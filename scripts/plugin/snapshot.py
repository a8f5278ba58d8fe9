"""What a run added to the PC: the registry (read from the stopped prefix's registry files) and
the files of drive C:, before and after, and the difference."""
import os
import re

from . import beneath

# Keys that Wine itself changes whenever a prefix runs, whatever runs in it.
NOISY_KEYS = (
    'machine\\software\\microsoft\\windows nt\\currentversion\\perflib',
    'machine\\software\\wine\\ports',
    'machine\\system\\currentcontrolset\\control\\deviceclasses',
    'machine\\system\\currentcontrolset\\enum\\root',
    'machine\\system\\currentcontrolset\\enum\\display',
    'machine\\system\\currentcontrolset\\enum\\wine',
    'machine\\system\\currentcontrolset\\control\\video',
    'machine\\system\\currentcontrolset\\control\\class\\{4d36e968-e325-11ce-bfc1-08002be10318}',
    'machine\\hardware',
    'machine\\software\\microsoft\\windows\\currentversion\\explorer\\mountpoints2',
    'user\\software\\microsoft\\windows\\currentversion\\explorer\\mountpoints2',
    'user\\software\\wine\\explorer',
    'machine\\system\\mounteddevices',
    'machine\\software\\microsoft\\cryptography',
    'machine\\system\\currentcontrolset\\services\\eventlog',
    'user\\volatile environment',
)
NOISY_FOLDERS = ('windows/temp', 'windows/logs', 'users/public')


def _unescape_key(text):
    """A key's path as written in a registry file (each backslash doubled) as it is."""
    return text.replace('\\\\', '\\')


def parse_wine_registry(text, root):
    """{key path: {value name: data text}} of a Wine registry file (system.reg, user.reg).
    root prefixes every key ('machine' or 'user'). The default value is named '@'."""
    keys = {}
    current = None
    pending = ''
    for raw in text.splitlines():
        line = pending + raw.lstrip() if pending else raw
        if line.endswith('\\') and current is not None and not line.startswith('['):
            pending = line[:-1]
            continue
        pending = ''
        if line.startswith('['):
            end = line.rfind(']')
            if end > 0:
                current = root + '\\' + _unescape_key(line[1:end])
                keys.setdefault(current, {})
            continue
        if current is None or not line or line.startswith(('#', ';', 'WINE REGISTRY')):
            continue
        if line.startswith('@='):
            keys[current]['@'] = line[2:]
        elif line.startswith('"'):
            end = line.find('"', 1)
            if end > 0 and '\\' not in line[1:end]:  # a name without escapes: read at once
                if line[end + 1:end + 2] == '=':
                    keys[current][line[1:end]] = line[end + 2:]
                continue
            i, name = 1, []
            while i < len(line):
                if line[i] == '\\' and i + 1 < len(line):
                    name.append(line[i + 1])
                    i += 2
                    continue
                if line[i] == '"':
                    break
                name.append(line[i])
                i += 1
            rest = line[i + 1:]
            if rest.startswith('='):
                keys[current][''.join(name)] = rest[1:]
    return keys


def read_registry(prefix_path):
    """{key: {name: value}} of a stopped prefix's registry files, read as files of the PC (a link
    or a FIFO at their names raises beneath.Refused)."""
    keys = {}
    for name, root in (('system.reg', 'machine'), ('user.reg', 'user')):
        try:
            data = beneath.read_bytes(prefix_path, os.path.join(prefix_path, name))
        except FileNotFoundError:
            continue
        text = data.decode('utf-8', 'replace').replace('\r\n', '\n').replace('\r', '\n')
        keys.update(parse_wine_registry(text, root))
    return keys


# A key that is one of NOISY_KEYS or lies under one.
_NOISY = re.compile('(?:%s)(?:\\\\|$)' % '|'.join(re.escape(key) for key in NOISY_KEYS))


def _noisy(key):
    return _NOISY.match(key.lower()) is not None


def registry_diff(before, after):
    """{'added': [(key, {values})], 'removed': [key], 'changed': [(key, name, old, new)]}
    where a new value of an existing key counts as changed with old None."""
    added, removed, changed = [], [], []
    for key in sorted(after):
        if _noisy(key):
            continue
        if key not in before:
            added.append((key, after[key]))
            continue
        old, new = before[key], after[key]
        if old == new:
            continue
        for name in sorted(set(old) | set(new)):
            if old.get(name) != new.get(name):
                changed.append((key, name, old.get(name), new.get(name)))
    # A registry file leaves out a key that has subkeys but no values of its own.
    parents = set()
    for key in after:
        parts = key.split('\\')
        for i in range(1, len(parts)):
            parents.add('\\'.join(parts[:i]))
    for key in sorted(before):
        if key not in after and key not in parents and not _noisy(key):
            removed.append(key)
    return {'added': added, 'removed': removed, 'changed': changed}


def read_files(drive_c):
    """{relative path: (size, modification time)} of every file under drive_c ('dir' entries
    for folders, size -1), of a stopped PC. No link is followed: a drive_c that is one (a program
    of the PC can put a link to any host folder in its place) raises beneath.Refused."""
    if os.path.islink(drive_c):
        raise beneath.refused(drive_c, 'a symbolic link')
    files = {}
    for root, dirs, names in os.walk(drive_c):
        rel_root = os.path.relpath(root, drive_c)
        rel_root = '' if rel_root == '.' else rel_root + '/'
        for name in dirs:
            files[rel_root + name + '/'] = (-1, 0)
        for name in names:
            path = os.path.join(root, name)
            try:
                st = os.lstat(path)
            except OSError:
                continue
            files[rel_root + name] = (st.st_size, st.st_mtime_ns)
    return files


def _noisy_file(path):
    lower = path.lower()
    return any(lower == n + '/' or lower.startswith(n + '/') for n in NOISY_FOLDERS)


def files_diff(before, after):
    """{'added': [(path, size)], 'removed': [path], 'changed': [(path, old size, new size)]}."""
    added = [(p, after[p][0]) for p in sorted(after) if p not in before and not _noisy_file(p)]
    removed = [p for p in sorted(before) if p not in after and not _noisy_file(p)]
    changed = [(p, before[p][0], after[p][0]) for p in sorted(after)
               if p in before and before[p] != after[p] and not p.endswith('/') and not _noisy_file(p)]
    return {'added': added, 'removed': removed, 'changed': changed}
