#!/usr/bin/env python3
"""Firmware-image tool: adds driver files to the DXE volume of a prebuilt
OVMF code image, so that the firmware dispatches them as it dispatches its own.

  fwimage.py add INPUT OUTPUT FILE...   write a copy of INPUT with the files added
  fwimage.py list IMAGE                 list the volumes and files (DXE volume too)

FILE is KIND:GUID:PE[:DEPEX]
  KIND   dxe  (DXE driver file, DXE dependency section)
         smm  (SMM driver file, SMM dependency section)
  GUID   the file's name, e.g. 3D4A2C6E-0A1B-4C7D-8E9F-1A2B3C4D5E6F
  PE     the PE32+ image to carry in the file's PE32 section
  DEPEX  protocol GUIDs joined by '+': the file is dispatched once all are
         installed; without it the dependency is TRUE.

Every volume and file header read is checked (signature, revision, header
checksum, sizes, file states); an image this tool does not understand is
refused with a message saying what did not match. Every header, checksum and
size written is checked again by reading the output back.

Exit status: 0 done, 1 input refused or output failed its checks, 2 usage.
"""
import lzma
import struct
import sys
import uuid

FFS2_GUID = uuid.UUID('8C8CE578-8A3D-4F1C-9935-896185C32DD3')
FFS3_GUID = uuid.UUID('5473C07A-3DCB-4DCA-BD6F-1E9689E7349A')
LZMA_GUID = uuid.UUID('EE4E5898-3914-4259-9D6E-DC7BD79403CF')
FVH_SIGNATURE = b'_FVH'
ERASE_POLARITY = 0x800           # FV attribute: erased bytes read 0xFF
FFS_ATTRIB_LARGE_FILE = 0x01
FFS_ATTRIB_CHECKSUM = 0x40
FFS_FIXED_CHECKSUM = 0xAA
FILE_STATE_VALID = 0x07          # header construction, header valid, data valid
TYPE_FREEFORM, TYPE_DXE_CORE, TYPE_DRIVER, TYPE_SMM, TYPE_PAD = 0x02, 0x05, 0x07, 0x0A, 0xF0
SEC_GUID_DEFINED, SEC_PE32, SEC_DXE_DEPEX, SEC_UI, SEC_FV_IMAGE, SEC_SMM_DEPEX = \
    0x02, 0x10, 0x13, 0x15, 0x17, 0x1C
DEPEX_PUSH, DEPEX_AND, DEPEX_TRUE, DEPEX_END = 0x02, 0x03, 0x06, 0x08
KINDS = {'dxe': (TYPE_DRIVER, SEC_DXE_DEPEX), 'smm': (TYPE_SMM, SEC_SMM_DEPEX)}


class Refused(Exception):
    """The input is not an image this tool understands, or an output check failed."""


def u24(data, at):
    return data[at] | data[at + 1] << 8 | data[at + 2] << 16


def sum8(data):
    return sum(data) & 0xFF


def align(value, to):
    return (value + to - 1) & ~(to - 1)


class Volume:
    """A firmware volume at `offset` of `data`, its header checked."""

    def __init__(self, data, offset, where):
        self.data, self.offset, self.where = data, offset, where
        if offset + 0x48 > len(data) or data[offset + 40:offset + 44] != FVH_SIGNATURE:
            raise Refused('%s: no firmware volume header ("_FVH" signature) at offset %#x'
                          % (where, offset))
        self.fs_guid = uuid.UUID(bytes_le=bytes(data[offset + 16:offset + 32]))
        self.length, = struct.unpack_from('<Q', data, offset + 32)
        self.attributes, self.header_length, _, self.ext_offset, _, revision = \
            struct.unpack_from('<IHHHBB', data, offset + 44)
        if revision != 2:
            raise Refused('%s: volume at %#x has revision %d, expected 2' % (where, offset, revision))
        if self.fs_guid not in (FFS2_GUID, FFS3_GUID):
            raise Refused('%s: volume at %#x has file system %s, expected FFS2 or FFS3'
                          % (where, offset, self.fs_guid))
        if self.header_length < 0x48 or self.header_length % 2 or \
                offset + self.length > len(data) or self.length < self.header_length:
            raise Refused('%s: volume at %#x has header length %#x and length %#x, which do not '
                          'fit the %#x bytes there' % (where, offset, self.header_length,
                                                       self.length, len(data) - offset))
        words = struct.unpack_from('<%dH' % (self.header_length // 2), data, offset)
        if sum(words) & 0xFFFF:
            raise Refused('%s: volume header checksum at %#x is wrong' % (where, offset))
        if not self.attributes & ERASE_POLARITY:
            raise Refused('%s: volume at %#x has erase polarity 0; only 1 is handled'
                          % (where, offset))
        blocks = 0
        at = offset + 0x38
        while True:
            count, size = struct.unpack_from('<II', data, at)
            at += 8
            if count == 0 and size == 0:
                break
            blocks += count * size
            if at > offset + self.header_length:
                raise Refused('%s: block map of the volume at %#x is not terminated' % (where, offset))
        if blocks != self.length:
            raise Refused('%s: block map of the volume at %#x covers %#x bytes, the volume %#x'
                          % (where, offset, blocks, self.length))
        start = self.header_length
        if self.ext_offset:
            ext_size, = struct.unpack_from('<I', data, offset + self.ext_offset + 16)
            start = self.ext_offset + ext_size
        self.files_start = offset + align(start, 8)
        self.end = offset + self.length

    def files(self):
        """Yields (offset, header size, total size, type, attributes, name); checks each header.
        Stops at the first erased header; sets self.free to its offset."""
        at = self.files_start
        self.free = None
        while at + 24 <= self.end:
            header = self.data[at:at + 24]
            if header == b'\xff' * 24:
                self.free = at
                return
            name = uuid.UUID(bytes_le=bytes(header[0:16]))
            ftype, attributes, state = header[18], header[19], header[23]
            size, header_size = u24(header, 20), 24
            if attributes & FFS_ATTRIB_LARGE_FILE:
                size, = struct.unpack_from('<Q', self.data, at + 24)
                header_size = 32
            where = '%s: file %s at %#x' % (self.where, name, at)
            if (~state & 0xFF) & FILE_STATE_VALID != FILE_STATE_VALID:
                raise Refused('%s has state %#04x, not a valid file' % (where, state))
            if size < header_size or at + size > self.end:
                raise Refused('%s has size %#x outside its volume' % (where, size))
            check = bytearray(self.data[at:at + header_size])
            check[17] = 0
            check[23] = 0
            if sum8(check):
                raise Refused('%s has a wrong header checksum' % where)
            if attributes & FFS_ATTRIB_CHECKSUM:
                if sum8(self.data[at + header_size:at + size]) + header[17] & 0xFF:
                    raise Refused('%s has a wrong data checksum' % where)
            elif header[17] != FFS_FIXED_CHECKSUM:
                raise Refused('%s has data checksum %#04x, expected the fixed %#04x'
                              % (where, header[17], FFS_FIXED_CHECKSUM))
            yield at, header_size, size, ftype, attributes, name
            at = align(at + size, 8)
        self.free = None


def sections(data, start, end, where):
    """Yields (offset, header size, total size, type) of the sections in [start, end)."""
    at = start
    while at + 4 <= end:
        at = align(at, 4)
        if at + 4 > end:
            break
        size, header_size = u24(data, at), 4
        if size == 0xFFFFFF:
            size, = struct.unpack_from('<I', data, at + 4)
            header_size = 8
        if size < header_size or at + size > end:
            raise Refused('%s: section at %#x has size %#x outside its file' % (where, at, size))
        yield at, header_size, size, data[at + 3]
        at += size


class Image:
    """The code image: its compressed main volume and the DXE volume inside."""

    def __init__(self, data, where):
        self.data = bytearray(data)
        self.where = where
        if len(data) % 0x1000 or len(data) < 0x10000:
            raise Refused('%s: %d bytes is not the size of a flash image (a multiple of 4 KiB)'
                          % (where, len(data)))
        self.main = Volume(self.data, 0, where)
        found = []
        for at, hsize, size, ftype, attributes, name in self.main.files():
            if ftype == TYPE_PAD:
                continue
            for s, shs, ssize, stype in sections(self.data, at + hsize, at + size, where):
                if stype == SEC_GUID_DEFINED and \
                        uuid.UUID(bytes_le=bytes(self.data[s + shs:s + shs + 16])) == LZMA_GUID:
                    found.append((at, hsize, size, ftype, attributes, s, shs, ssize))
        if len(found) != 1:
            raise Refused('%s: expected one LZMA-compressed section in the first volume, found %d'
                          % (where, len(found)))
        (self.file_at, self.file_hsize, self.file_size, self.file_type, self.file_attributes,
         self.sec_at, self.sec_hsize, self.sec_size) = found[0]
        if self.file_hsize != 24 or self.sec_hsize != 4:
            raise Refused('%s: the compressed file uses large-file headers; not handled' % where)
        if align(self.sec_at + self.sec_size, 8) < align(self.file_at + self.file_size, 8) or \
                self.sec_at != self.file_at + 24:
            raise Refused('%s: the compressed file holds more than its LZMA section; not handled'
                          % where)
        if self.main.free is None:
            raise Refused('%s: the first volume has no free space after its files' % where)
        if align(self.file_at + self.file_size, 8) != self.main.free:
            raise Refused('%s: files follow the compressed file in the first volume; not handled'
                          % where)
        self.data_offset, self.guided_attributes = \
            struct.unpack_from('<HH', self.data, self.sec_at + 20)
        if self.data_offset != 24:
            raise Refused('%s: LZMA section data offset %#x, expected 0x18' % (where, self.data_offset))
        stream = bytes(self.data[self.sec_at + 24:self.sec_at + self.sec_size])
        self.props = stream[:5]
        expected, = struct.unpack_from('<Q', stream, 5)
        try:
            self.inner = bytearray(lzma.decompress(stream, format=lzma.FORMAT_ALONE))
        except lzma.LZMAError as error:
            raise Refused('%s: the LZMA section does not decompress: %s' % (where, error))
        if len(self.inner) != expected:
            raise Refused('%s: the LZMA stream gave %d bytes, its header says %d'
                          % (where, len(self.inner), expected))
        self.dxe = None
        for s, shs, ssize, stype in sections(self.inner, 0, len(self.inner), where + ' (unpacked)'):
            if stype != SEC_FV_IMAGE:
                continue
            volume = Volume(self.inner, s + shs, where + ' (unpacked)')
            if any(f[3] == TYPE_DXE_CORE for f in volume.files()):
                if self.dxe is not None:
                    raise Refused('%s: two volumes hold a DXE core' % where)
                self.dxe = volume
        if self.dxe is None:
            raise Refused('%s: no volume inside the LZMA section holds the DXE core' % where)

    def dxe_files(self):
        return list(self.dxe.files())

    def add(self, files):
        existing = {f[5] for f in self.dxe_files()}
        at = self.dxe.free
        if at is None:
            raise Refused('%s: the DXE volume has no free space' % self.where)
        for name, blob in files:
            if name in existing:
                raise Refused('%s: the DXE volume already holds a file %s' % (self.where, name))
            at = align(at, 8)
            if at + len(blob) > self.dxe.end:
                raise Refused('%s: %d bytes of file %s do not fit the %d free bytes of the DXE '
                              'volume' % (self.where, len(blob), name, self.dxe.end - at))
            if self.inner[at:at + len(blob)] != b'\xff' * len(blob):
                raise Refused('%s: free space of the DXE volume at %#x is not erased'
                              % (self.where, at))
            self.inner[at:at + len(blob)] = blob
            existing.add(name)
            at += len(blob)
        self.repack()

    def repack(self):
        lc_lp_pb = self.props[0]
        dict_size, = struct.unpack_from('<I', self.props, 1)
        lc, rest = lc_lp_pb % 9, lc_lp_pb // 9
        # The fast encoder mode: three times quicker than the default for some
        # 10% more bytes, which the first volume has room for (checked below).
        filters = [{'id': lzma.FILTER_LZMA1, 'preset': 1, 'dict_size': dict_size,
                    'lc': lc, 'lp': rest % 5, 'pb': rest // 5}]
        stream = bytearray(lzma.compress(bytes(self.inner), format=lzma.FORMAT_ALONE,
                                         filters=filters))
        if bytes(stream[:5]) != self.props:
            raise Refused('LZMA properties changed on repacking: %s, expected %s'
                          % (stream[:5].hex(), self.props.hex()))
        # The firmware's decoder takes the unpacked size from the stream header;
        # the encoder leaves it "unknown".
        struct.pack_into('<Q', stream, 5, len(self.inner))
        section_size = 24 + len(stream)
        file_size = 24 + section_size
        if section_size >= 0xFFFFFF:
            raise Refused('the repacked section needs a large-file header; not handled')
        header = bytearray(self.data[self.file_at:self.file_at + 24])
        header[20:23] = struct.pack('<I', file_size)[:3]
        section = bytearray(self.data[self.sec_at:self.sec_at + 24])
        section[0:3] = struct.pack('<I', section_size)[:3]
        body = bytes(section) + bytes(stream)
        finish_header(header, body)
        end = self.file_at + file_size
        if end > self.main.end:
            raise Refused('the repacked file (%d bytes) does not fit the first volume' % file_size)
        self.data[self.file_at:self.main.end] = bytes(header) + body + \
            b'\xff' * (self.main.end - end)


def finish_header(header, body):
    """Sets the checksums and state of a 24-byte file header for `body`."""
    header[16] = header[17] = header[23] = 0
    header[16] = (-sum8(header)) & 0xFF
    if header[19] & FFS_ATTRIB_CHECKSUM:
        header[17] = (-sum8(body)) & 0xFF
    else:
        header[17] = FFS_FIXED_CHECKSUM
    header[23] = ~FILE_STATE_VALID & 0xFF


def section(stype, payload):
    size = 4 + len(payload)
    if size >= 0xFFFFFF:
        raise Refused('a section of %d bytes needs a large header; not handled' % size)
    return struct.pack('<I', size)[:3] + bytes([stype]) + payload


def depex(guids):
    if not guids:
        return bytes([DEPEX_TRUE, DEPEX_END])
    out = b''
    for i, guid in enumerate(guids):
        out += bytes([DEPEX_PUSH]) + guid.bytes_le
        if i:
            out += bytes([DEPEX_AND])
    return out + bytes([DEPEX_END])


def driver_file(kind, name, pe, dependencies, ui_name):
    ftype, depex_type = KINDS[kind]
    if pe[:2] != b'MZ':
        raise Refused('%s is not a PE image (no "MZ")' % ui_name)
    ui = (ui_name + '\0').encode('utf-16-le')
    body = b''
    for s in (section(depex_type, depex(dependencies)), section(SEC_PE32, pe), section(SEC_UI, ui)):
        body += b'\0' * (align(len(body), 4) - len(body)) + s
    size = 24 + len(body)
    if size >= 0xFFFFFF:
        raise Refused('file %s is too large for a small-file header' % name)
    header = bytearray(name.bytes_le + b'\0\0' + bytes([ftype, 0]) + struct.pack('<I', size)[:3] + b'\0')
    finish_header(header, body)
    return bytes(header) + body


def parse_file_arg(arg):
    parts = arg.split(':')
    if len(parts) not in (3, 4) or parts[0] not in KINDS:
        raise ValueError('FILE must be KIND:GUID:PE[:DEPEX] with KIND dxe or smm: %r' % arg)
    kind, name, path = parts[0], uuid.UUID(parts[1]), parts[2]
    dependencies = [uuid.UUID(g) for g in parts[3].split('+')] if len(parts) == 4 and parts[3] else []
    return kind, name, path, dependencies


def verify(out_data, before, added, where):
    """Reads the output back: every header and checksum again, the DXE volume
    holding exactly the old files and then the new ones, byte for byte."""
    image = Image(out_data, where)
    files = image.dxe_files()
    names = [f[5] for f in files]
    if names != [f[5] for f in before] + [name for name, _ in added]:
        raise Refused('%s: the DXE volume does not list the expected files after writing' % where)
    for (at, hsize, size, ftype, attributes, name), (_, blob) in zip(files[len(before):], added):
        if bytes(image.inner[at:at + size]) != blob:
            raise Refused('%s: file %s reads back different' % (where, name))
    return image


def cmd_add(args):
    if len(args) < 3:
        raise ValueError('add needs INPUT OUTPUT FILE...')
    source, target, files = args[0], args[1], [parse_file_arg(a) for a in args[2:]]
    data = open(source, 'rb').read()
    image = Image(data, source)
    before = image.dxe_files()
    added = []
    for kind, name, path, dependencies in files:
        pe = open(path, 'rb').read()
        ui_name = path.rsplit('/', 1)[-1].rsplit('.', 1)[0]
        added.append((name, driver_file(kind, name, pe, dependencies, ui_name)))
    image.add(added)
    if len(image.data) != len(data):
        raise Refused('output size %d differs from the input %d' % (len(image.data), len(data)))
    verify(bytes(image.data), before, added, target + ' (output)')
    with open(target, 'wb') as out:
        out.write(image.data)
    for name, blob in added:
        print('added %s (%d bytes) to the DXE volume' % (name, len(blob)))
    print('wrote %s: DXE volume %d -> %d files, compressed section %#x bytes'
          % (target, len(before), len(before) + len(added), image.data[image.file_at + 20] |
             image.data[image.file_at + 21] << 8 | image.data[image.file_at + 22] << 16))


def cmd_list(args):
    if len(args) != 1:
        raise ValueError('list needs IMAGE')
    image = Image(open(args[0], 'rb').read(), args[0])
    print('volume @0x0 length %#x, compressed file %s' % (image.main.length, hex(image.file_size)))
    print('DXE volume: %#x bytes unpacked at %#x' % (image.dxe.length, image.dxe.offset))
    for at, hsize, size, ftype, attributes, name in image.dxe_files():
        print('  %s type %#04x size %#x' % (name, ftype, size))
    print('free: %#x bytes' % (image.dxe.end - align(image.dxe.free, 8)))


def main(argv):
    if len(argv) < 2 or argv[1] in ('-h', '--help'):
        print(__doc__.strip())
        return 0 if len(argv) >= 2 else 2
    commands = {'add': cmd_add, 'list': cmd_list}
    try:
        if argv[1] not in commands:
            raise ValueError('unknown command %r' % argv[1])
        commands[argv[1]](argv[2:])
    except ValueError as error:
        print('fwimage: %s (see fwimage.py --help)' % error, file=sys.stderr)
        return 2
    except (Refused, OSError) as error:
        print('fwimage: %s' % error, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
