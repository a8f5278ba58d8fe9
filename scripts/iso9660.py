"""ISO 9660 images read as Windows reads them, and as Linux does, in bounded time and bytes.

Windows shows a CD by its Joliet tree (long Unicode names) when the image has one, else by its
ISO 9660 names; Linux shows the Rock Ridge names of the ISO 9660 tree. An image may carry trees that
differ (other names, other files, another file's data under a name): tree_differences() tells how.

Every read is bounded, whatever the directory records claim: the entries visited, the bytes of one
directory, the bytes of one file, all bytes read together, the depth of folders; a directory read
twice (records that point back) is refused. What passes a bound is IsoError, with the reason.

Python 3 standard library only (scripts/check-image.py uses it as well as the plug-in run)."""
import os
import struct

SECTOR = 2048
MAX_ENTRIES = 100000            # no device CD holds anything near this many files and folders
MAX_DIRECTORY_BYTES = 4 << 20   # one directory: some 60 000 records
MAX_FILE_BYTES = 64 << 20       # one file read (a config.ini, a language file, a program's headers)
MAX_READ_BYTES = 256 << 20      # all that one look at an image reads
MAX_DEPTH = 16
JOLIET_ESCAPES = (b'%/@', b'%/C', b'%/E')
# Rock Ridge file types (PX mode) other than files and folders: what Windows never shows.
SPECIAL_TYPES = {0o010000: 'FIFO', 0o020000: 'character device', 0o060000: 'block device',
                 0o120000: 'symbolic link', 0o140000: 'socket'}


class IsoError(ValueError):
    """The image cannot be read (within the bounds): the reason."""


class Entry:
    """A file or folder of one tree. path: its names joined by backslashes; kind: 'file',
    'folder' or (Rock Ridge) one of SPECIAL_TYPES' values."""

    def __init__(self, path, extent, size, kind):
        self.path, self.extent, self.size, self.kind = path, extent, size, kind

    def __repr__(self):
        return 'Entry(%r, %d, %d, %r)' % (self.path, self.extent, self.size, self.kind)


class IsoImage:
    """One look at an ISO image: its volume descriptors, its trees, its files' data, within the
    bounds (which a caller may set lower or higher per image)."""

    def __init__(self, path, max_entries=MAX_ENTRIES, max_read=MAX_READ_BYTES):
        self.path = path
        self.max_entries = max_entries
        self.max_read = self.budget = max_read
        self.size = os.path.getsize(path)
        self.file = open(path, 'rb')
        self.primary, self.joliet = self._volume_descriptors()
        if self.primary is None:
            self.close()
            raise IsoError('no ISO 9660 primary volume descriptor')

    def close(self):
        self.file.close()

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    # -- bounded reading ---------------------------------------------------------------------
    def read_at(self, offset, size, what):
        if offset + size > self.size:
            raise IsoError('%s lies past the end of the image (%d bytes at %d of %d)' % (what, size, offset, self.size))
        if size > self.budget:
            raise IsoError('%s would pass the %d MB that one look at an image reads: the image is not read further'
                           % (what, self.max_read >> 20))
        self.budget -= size
        self.file.seek(offset)
        return self.file.read(size)

    def read(self, entry, limit=None):
        """The data of a file entry (its first limit bytes when limit is given)."""
        size = entry.size if limit is None else min(entry.size, limit)
        if size > MAX_FILE_BYTES:
            raise IsoError('%s claims %d bytes: more than the %d MB read of one file' % (entry.path, entry.size,
                                                                                     MAX_FILE_BYTES >> 20))
        return self.read_at(entry.extent * SECTOR, size, 'the data of %s' % entry.path)

    def _volume_descriptors(self):
        primary = joliet = None
        for sector in range(16, 64):
            if (sector + 1) * SECTOR > self.size:
                break
            descriptor = self.read_at(sector * SECTOR, SECTOR, 'a volume descriptor')
            if descriptor[1:6] != b'CD001' or descriptor[0] == 255:
                break
            if descriptor[0] == 1 and primary is None:
                primary = descriptor
            elif descriptor[0] == 2 and descriptor[88:91] in JOLIET_ESCAPES and joliet is None:
                joliet = descriptor
        return primary, joliet

    # -- the trees ----------------------------------------------------------------------------
    def joliet_tree(self):
        """The Joliet tree's entries, or None when the image has none."""
        if self.joliet is None:
            return None
        return Walk(self, 'joliet').entries(self.joliet[156:190])

    def iso_tree(self):
        """The ISO 9660 tree by its own names (upper case, without ';1'), as Windows shows an image
        without Joliet names."""
        return Walk(self, 'iso').entries(self.primary[156:190])

    def rock_ridge_tree(self):
        """The ISO 9660 tree by its Rock Ridge names, or None when it has none."""
        walk = Walk(self, 'rock ridge')
        found = walk.entries(self.primary[156:190])
        return found if walk.rock_ridge_seen else None

    def windows_tree(self):
        """The tree Windows shows: the Joliet tree where there is one."""
        tree = self.joliet_tree()
        return tree if tree is not None else self.iso_tree()


class Walk:
    """One walk down a tree ('joliet', 'iso' or 'rock ridge' names)."""

    def __init__(self, image, names):
        self.image, self.names = image, names
        self.read_extents = set()
        self.entries_left = image.max_entries
        self.found = []
        self.skip = 0                # the SUSP bytes to skip in each record (the root's SP entry)
        self.rock_ridge_seen = False

    def entries(self, root_record):
        self._directory(root_record, '', 0)
        return self.found

    def _directory(self, record, prefix, depth):
        if depth > MAX_DEPTH:
            raise IsoError('folders nested more than %d deep' % MAX_DEPTH)
        extent, size = struct.unpack_from('<I', record, 2)[0], struct.unpack_from('<I', record, 10)[0]
        where = prefix.rstrip('\\') or '\\'
        if extent in self.read_extents:
            raise IsoError('the directory record \'%s\' points at a directory read already: the image\'s '
                           'directories would be read again and again' % where)
        self.read_extents.add(extent)
        if size > MAX_DIRECTORY_BYTES:
            raise IsoError('the directory \'%s\' claims %d bytes: more than the %d MB of a directory the check '
                           'reads' % (where, size, MAX_DIRECTORY_BYTES >> 20))
        data = self.image.read_at(extent * SECTOR, size, 'the directory \'%s\'' % where)
        offset = 0
        while offset < len(data):
            length = data[offset]
            if length == 0:  # records never cross a sector: go on at the next one
                offset = (offset // SECTOR + 1) * SECTOR
                continue
            entry = data[offset:offset + length]
            offset += length
            if len(entry) < 34:
                raise IsoError('a directory record of \'%s\' is cut short' % where)
            self.entries_left -= 1
            if self.entries_left < 0:
                raise IsoError('more than %d directory entries: no device CD holds so many, the image is not read '
                               'further' % self.image.max_entries)
            self._entry(entry, prefix, depth)

    def _entry(self, entry, prefix, depth):
        raw_name = entry[33:33 + entry[32]]
        susp = self.system_use(entry) if self.names == 'rock ridge' else {}
        if raw_name in (b'\x00', b'\x01'):
            if raw_name == b'\x00' and depth == 0 and self.names == 'rock ridge':
                self.skip = susp.get('SP', self.skip)
            return
        if 'RE' in susp:  # a folder moved here from deep below: its place is where CL points
            return
        name = self.name_of(raw_name, susp)
        relative = prefix + name
        kind = 'folder' if entry[25] & 0x02 or 'CL' in susp else SPECIAL_TYPES.get(susp.get('PX', 0) & 0o170000, 'file')
        extent = susp.get('CL', struct.unpack_from('<I', entry, 2)[0])
        size = struct.unpack_from('<I', entry, 10)[0]
        if kind == 'folder':
            record = bytearray(entry)
            struct.pack_into('<I', record, 2, extent)
            if 'CL' in susp:
                size = self.relocated_size(extent)
                struct.pack_into('<I', record, 10, size)
            self.found.append(Entry(relative, extent, size, 'folder'))
            self._directory(bytes(record), relative + '\\', depth + 1)
        else:
            self.found.append(Entry(relative, extent, size, kind))

    def relocated_size(self, extent):
        """The size of a relocated folder, from its own '.' record."""
        first = self.image.read_at(extent * SECTOR, 34, 'a relocated folder')
        return struct.unpack_from('<I', first, 10)[0]

    def name_of(self, raw_name, susp):
        if self.names == 'joliet':
            return raw_name.decode('utf-16-be', 'replace').split(';')[0]
        if 'NM' in susp:
            self.rock_ridge_seen = True
            return susp['NM']
        name = raw_name.decode('ascii', 'replace').split(';')[0]
        return name[:-1] if name.endswith('.') else name

    # -- Rock Ridge -----------------------------------------------------------------------------
    def system_use(self, entry):
        """{'NM': the name, 'PX': the mode, 'SP': bytes to skip, 'CL': a folder's extent, 'RE': True}
        of a record's System Use entries, with their continuation areas (CE) followed, bounded."""
        name_length = entry[32]
        start = 33 + name_length + (1 - name_length % 2) + self.skip
        found, name_parts = {}, []
        area, continuations = entry[start:], 0
        while area:
            next_area = b''
            position = 0
            while position + 4 <= len(area):
                signature, length = area[position:position + 2], area[position + 2]
                if length < 4 or position + length > len(area):
                    break
                body = area[position + 4:position + length]
                if signature == b'NM' and body and not body[0] & 0x06:
                    name_parts.append(body[1:])
                elif signature == b'PX' and len(body) >= 8:
                    found['PX'] = struct.unpack_from('<I', body, 0)[0]
                    self.rock_ridge_seen = True
                elif signature == b'SP' and len(body) >= 3 and body[:2] == b'\xbe\xef':
                    found['SP'] = body[2]
                elif signature == b'CL' and len(body) >= 8:
                    found['CL'] = struct.unpack_from('<I', body, 0)[0]
                elif signature == b'RE':
                    found['RE'] = True
                elif signature == b'CE' and len(body) >= 24:
                    block, offset, size = (struct.unpack_from('<I', body, i)[0] for i in (0, 8, 16))
                    continuations += 1
                    if continuations > 64:
                        raise IsoError('a record\'s Rock Ridge entries go on in more than 64 areas')
                    next_area = self.image.read_at(block * SECTOR + offset, min(size, SECTOR),
                                                   'a Rock Ridge continuation area')
                elif signature == b'ST':
                    break
                position += length
            area = next_area
        if name_parts:
            found['NM'] = b''.join(name_parts).decode('utf-8', 'replace')
        return found


def tree_differences(image, first, second):
    """How two trees of one image differ: [(path, what)] for names only in one of them and for
    files whose data differ (compared byte for byte where they lie apart), each path once. first
    and second are (name of the tree, its entries)."""
    (first_name, first_entries), (second_name, second_entries) = first, second
    ones = {e.path: e for e in first_entries}
    others = {e.path: e for e in second_entries}
    differences = []
    for path in sorted(set(ones) | set(others)):
        one, other = ones.get(path), others.get(path)
        if other is None:
            differences.append((path, 'only in the %s tree' % first_name))
        elif one is None:
            differences.append((path, 'only in the %s tree' % second_name))
        elif one.kind != other.kind:
            differences.append((path, 'a %s in the %s tree, a %s in the %s tree' % (one.kind, first_name, other.kind,
                                                                                    second_name)))
        elif one.kind == 'file' and (one.extent, one.size) != (other.extent, other.size):
            if one.size != other.size or image.read(one) != image.read(other):
                differences.append((path, 'other data in each tree (%d bytes in the %s tree, %d in the %s tree)' % (
                    one.size, first_name, other.size, second_name)))
    return differences


def windows_and_linux_differences(image):
    """How the tree Windows reads (Joliet) and the one Linux reads (Rock Ridge) of an image differ;
    [] when it lacks one of them."""
    joliet, rock_ridge = image.joliet_tree(), image.rock_ridge_tree()
    if joliet is None or rock_ridge is None:
        return []
    return tree_differences(image, ('Joliet', joliet), ('Rock Ridge', rock_ridge))
