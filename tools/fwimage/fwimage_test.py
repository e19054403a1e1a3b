#!/usr/bin/env python3
"""Checks of fwimage.py on Debian's SMM-enabled OVMF code image: what it adds
reads back with valid headers and checksums, and damaged or foreign inputs
are refused with a message naming what did not match.

Usage: fwimage_test.py [IMAGE_BUILD_DIR]   (the built images to add; optional)
"""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import uuid

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, HERE)
import fwimage  # noqa: E402

OVMF = '/usr/share/OVMF/OVMF_CODE_4M.secboot.fd'
IMAGES = None


def ovmf():
    with open(OVMF, 'rb') as f:
        return bytearray(f.read())


@unittest.skipUnless(os.path.exists(OVMF), 'needs ' + OVMF)
class Refusals(unittest.TestCase):
    def refused(self, data, words):
        with self.assertRaises(fwimage.Refused) as caught:
            fwimage.Image(bytes(data), 'input')
        message = str(caught.exception)
        self.assertIn(words, message)
        return message

    def test_damaged_inputs(self):
        good = ovmf()
        image = fwimage.Image(bytes(good), 'input')
        lzma_file = image.file_at
        cases = [
            ('truncated', lambda d: d[:1000], 'not the size of a flash image'),
            ('all erased', lambda d: bytearray(b'\xff' * len(d)), 'no firmware volume header'),
            ('volume signature', lambda d: d.__setitem__(40, 0x5E) or d, 'no firmware volume header'),
            ('volume checksum', lambda d: d.__setitem__(0x32, d[0x32] ^ 1) or d, 'checksum'),
            ('volume revision', lambda d: d.__setitem__(55, 1) or d, 'revision 1'),
            ('file header checksum', lambda d: d.__setitem__(lzma_file + 16, d[lzma_file + 16] ^ 0xFF) or d,
             'wrong header checksum'),
            ('file state', lambda d: d.__setitem__(lzma_file + 23, 0xFF) or d, 'not a valid file'),
            ('file size', lambda d: d.__setitem__(lzma_file + 22, 0xF0) or d, 'outside its volume'),
            ('compressed data', lambda d: d.__setitem__(slice(image.sec_at + 0x1000, image.sec_at + 0x1100),
                                                        b'\0' * 0x100) or d, 'LZMA'),
        ]
        for name, damage, words in cases:
            with self.subTest(name):
                self.refused(damage(bytearray(good)), words)

    def test_bad_file_arguments(self):
        for arg in ['pei:6E0A3F52-94C1-4B7D-A2E8-3C5B1D07F9A4:x.efi', 'smm:not-a-guid:x.efi',
                    'dxe:6E0A3F52-94C1-4B7D-A2E8-3C5B1D07F9A4']:
            with self.subTest(arg):
                with self.assertRaises(ValueError):
                    fwimage.parse_file_arg(arg)

    def test_exit_codes(self):
        tool = os.path.join(HERE, 'fwimage.py')
        with tempfile.TemporaryDirectory() as tmp:
            bad = os.path.join(tmp, 'bad.fd')
            with open(bad, 'wb') as f:
                f.write(b'\0' * 0x20000)
            for args, code in [([], 2), (['frobnicate'], 2), (['list', bad], 1),
                               (['list', os.path.join(tmp, 'missing.fd')], 1)]:
                with self.subTest(args):
                    run = subprocess.run([sys.executable, tool] + args, capture_output=True, text=True)
                    self.assertEqual(run.returncode, code, run.stderr)
                    if code:
                        self.assertTrue(run.stderr.startswith('fwimage: ') or code == 2 and not args)


@unittest.skipUnless(os.path.exists(OVMF), 'needs ' + OVMF)
class Adding(unittest.TestCase):
    def test_added_files_read_back(self):
        pe = b'MZ' + bytes(range(256)) * 8
        if IMAGES and os.path.exists(os.path.join(IMAGES, 'button_smm/ButtonSmm.efi')):
            with open(os.path.join(IMAGES, 'button_smm/ButtonSmm.efi'), 'rb') as f:
                pe = f.read()
        smm_name = uuid.UUID('6E0A3F52-94C1-4B7D-A2E8-3C5B1D07F9A4')
        dxe_name = uuid.UUID('C4E7B2A9-1F38-4D56-9E0B-7A2D5C8F6134')
        needs = [uuid.UUID('1390954D-DA95-4227-9328-7282C217DAA8'),
                 uuid.UUID('E541B773-DD11-420C-B026-DF993653F8BF')]
        image = fwimage.Image(bytes(ovmf()), 'input')
        before = image.dxe_files()
        added = [(smm_name, fwimage.driver_file('smm', smm_name, pe, [], 'A')),
                 (dxe_name, fwimage.driver_file('dxe', dxe_name, pe, needs, 'B'))]
        image.add(added)
        out = fwimage.verify(bytes(image.data), before, added, 'output')
        files = out.dxe_files()
        self.assertEqual(len(files), len(before) + 2)
        expected = [(smm_name, 0x0A, 0x1C, b'\x06\x08'),
                    (dxe_name, 0x07, 0x13, b'\x02' + needs[0].bytes_le + b'\x02' + needs[1].bytes_le + b'\x03\x08')]
        for (at, hsize, size, ftype, attributes, name), (want, wtype, depex_type, depex) in \
                zip(files[-2:], expected):
            self.assertEqual((name, ftype), (want, wtype))
            body = out.inner[at + hsize:at + size]
            self.assertEqual(out.inner[at + 17], 0xAA)
            secs = list(fwimage.sections(out.inner, at + hsize, at + size, 'out'))
            self.assertEqual([s[3] for s in secs], [depex_type, 0x10, 0x15])
            s_at, s_hs, s_size, _ = secs[0]
            self.assertEqual(bytes(out.inner[s_at + 4:s_at + s_size]), depex)
            s_at, s_hs, s_size, _ = secs[1]
            self.assertEqual(bytes(out.inner[s_at + 4:s_at + s_size]), pe)
            self.assertTrue(body)
        # The compressed file's new size is in its header; the rest of the
        # first volume is erased again.
        size = fwimage.u24(out.data, out.file_at + 20)
        end = out.file_at + size
        self.assertEqual(bytes(out.data[fwimage.align(end, 8):out.main.end]),
                         b'\xff' * (out.main.end - fwimage.align(end, 8)))
        with self.assertRaises(fwimage.Refused) as caught:
            out.add([added[0]])
        self.assertIn('already holds', str(caught.exception))


if __name__ == '__main__':
    if len(sys.argv) > 1 and not sys.argv[1].startswith('-'):
        IMAGES = sys.argv.pop(1)
    unittest.main(verbosity=1)
