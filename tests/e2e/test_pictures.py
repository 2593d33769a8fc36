"""The window's pictures and icon: the committed files are what
src/assets/make_pictures.py draws, have the sizes and formats the window
expects, and are carried by the built exe under the names the code looks up."""

import os
import struct
import subprocess
import sys
import unittest

import quellixtest as qt

ASSETS = os.path.join(qt.SOURCE_DIR, "src", "assets")

# name: (width, height, PNG colour type); 6 is RGBA, 2 plain RGB.
PICTURES = {
    "imgButton": (267, 67, 6),
    "imgButtonHover": (267, 67, 6),
    "imgButtonFocused": (267, 67, 6),
    "imgCheckRed": (150, 53, 6),
    "imgCheckRedHover": (150, 53, 6),
    "imgCheckRedFocused": (150, 53, 6),
    "imgRedSet": (32, 32, 6),
    "imgGreenSet": (32, 32, 6),
    "imgStopIcon": (32, 32, 6),
    "imgRemoteAss": (32, 32, 6),
    "imgAdguard": (32, 32, 6),
    "imgStartmeter": (32, 32, 2),
    "Image1": (32, 32, 6),
}
ICON_SIZES = [16, 32, 48]

RT_ICON, RT_RCDATA, RT_GROUP_ICON, RT_MANIFEST = 3, 10, 14, 24


def read(path):
    with open(path, "rb") as f:
        return f.read()


def png_header(data):
    """(width, height, bit depth, colour type) from the IHDR chunk."""
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG")
    return struct.unpack(">IIBB", data[16:26])


def ico_directory(data):
    """[(width, height, bits, bytes)] of an .ico file."""
    _, kind, count = struct.unpack("<HHH", data[:6])
    if kind != 1:
        raise ValueError("not an icon file")
    out = []
    for k in range(count):
        w, h, _, _, _, bits, length, offset = struct.unpack("<BBBBHHII", data[6 + 16 * k:22 + 16 * k])
        out.append((w or 256, h or 256, bits, data[offset:offset + length]))
    return out


def pe_resources(path):
    """{type: {name or id: bytes}} of a PE file's resource section (first
    language of each). Names come back as the exe stores them."""
    data = read(path)
    pe, = struct.unpack("<I", data[0x3C:0x40])
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    sections, optional_size = struct.unpack("<H", data[pe + 6:pe + 8])[0], struct.unpack("<H", data[pe + 20:pe + 22])[0]
    optional = pe + 24
    magic, = struct.unpack("<H", data[optional:optional + 2])
    directories = optional + (96 if magic == 0x10B else 112)
    rsrc_rva, rsrc_size = struct.unpack("<II", data[directories + 16:directories + 24])
    table = optional + optional_size
    spans = []
    for k in range(sections):
        vsize, vaddr, raw_size, raw_ptr = struct.unpack("<IIII", data[table + 40 * k + 8:table + 40 * k + 24])
        spans.append((vaddr, max(vsize, raw_size), raw_ptr))

    def at(rva):
        for vaddr, size, raw in spans:
            if vaddr <= rva < vaddr + size:
                return raw + rva - vaddr
        raise ValueError("RVA %#x outside every section" % rva)

    base = at(rsrc_rva)

    def entries(offset):
        named, ids = struct.unpack("<HH", data[base + offset + 12:base + offset + 16])
        for k in range(named + ids):
            name, target = struct.unpack("<II", data[base + offset + 16 + 8 * k:base + offset + 24 + 8 * k])
            if name & 0x80000000:
                o = base + (name & 0x7FFFFFFF)
                length, = struct.unpack("<H", data[o:o + 2])
                key = data[o + 2:o + 2 + 2 * length].decode("utf-16-le")
            else:
                key = name
            yield key, target

    out = {}
    for kind, t in entries(0):
        out[kind] = {}
        for name, n in entries(t & 0x7FFFFFFF):
            _, leaf = next(entries(n & 0x7FFFFFFF))
            rva, size = struct.unpack("<II", data[base + leaf:base + leaf + 8])
            out[kind][name] = data[at(rva):at(rva) + size]
    return out


class CommittedPictures(unittest.TestCase):
    def test_files_are_what_the_script_draws(self):
        # Catches a design changed in the script but not written out, and any
        # file that does not decode (CRCs, sizes, filters) back to the drawing.
        r = subprocess.run([sys.executable, os.path.join(ASSETS, "make_pictures.py"), "--check"],
                           capture_output=True, text=True, timeout=600)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)

    def test_each_picture_has_its_size_and_format(self):
        for name, (width, height, ctype) in PICTURES.items():
            with self.subTest(name=name):
                self.assertEqual(png_header(read(os.path.join(ASSETS, name + ".png"))),
                                 (width, height, 8, ctype))

    def test_icon_holds_16_32_and_48_pixels_in_32_bits(self):
        entries = ico_directory(read(os.path.join(ASSETS, "quellix.ico")))
        self.assertEqual([(w, h, bits) for w, h, bits, _ in entries],
                         [(s, s, 32) for s in ICON_SIZES])


class ExeResources(unittest.TestCase):
    def exes(self):
        found = [e for e in (qt.EXE, qt.EXE32) if e and os.path.exists(e)]
        if not found:
            self.skipTest("no quellix.exe was built")
        return found

    def test_every_picture_is_carried_under_its_component_name(self):
        for exe in self.exes():
            rcdata = pe_resources(exe).get(RT_RCDATA, {})
            for name in PICTURES:
                with self.subTest(exe=exe, name=name):
                    # Resource names are matched without regard to case.
                    self.assertIn(name.upper(), sorted(rcdata))
                    self.assertTrue(rcdata[name.upper()] == read(os.path.join(ASSETS, name + ".png")),
                                    "the resource is not %s.png" % name)

    def test_main_icon_and_manifest(self):
        icon_file = ico_directory(read(os.path.join(ASSETS, "quellix.ico")))
        for exe in self.exes():
            with self.subTest(exe=exe):
                res = pe_resources(exe)
                group = res.get(RT_GROUP_ICON, {}).get("MAINICON")
                self.assertIsNotNone(group, "no MAINICON icon group")
                _, kind, count = struct.unpack("<HHH", group[:6])
                self.assertEqual((kind, count), (1, len(ICON_SIZES)))
                for k in range(count):
                    w, h, _, _, _, bits, length, icon_id = struct.unpack("<BBBBHHIH", group[6 + 14 * k:20 + 14 * k])
                    self.assertEqual((w, h, bits), (ICON_SIZES[k], ICON_SIZES[k], 32))
                    self.assertTrue(res[RT_ICON].get(icon_id) == icon_file[k][3],
                                    "icon %d is not the %d-pixel image of quellix.ico" % (icon_id, w))
                manifest = res.get(RT_MANIFEST, {}).get(1, b"")
                self.assertIn(b'level="highestAvailable"', manifest)
                self.assertIn(b'uiAccess="false"', manifest)


if __name__ == "__main__":
    qt.main()
