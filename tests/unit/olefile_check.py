"""olefile_check.py FILE MANIFEST [CLASS]: olefile finds in the compound file
FILE exactly the streams of MANIFEST, each with its bytes, and CLASS
({...}) as the root's class id. MANIFEST lines: the stream's path (storage
names and stream name joined by /) as UTF-16LE in hex, a tab, the file
holding its bytes. Prints each difference; exit status 1 if any."""
import sys

import olefile

path, manifest = sys.argv[1:3]
expected = {}
for line in open(manifest, encoding="ascii"):
    name, data = line.rstrip("\n").split("\t")
    expected[bytes.fromhex(name).decode("utf-16-le")] = data

ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
found = {"/".join(entry) for entry in ole.listdir(streams=True, storages=False)}
problems = [f"missing {name!r}" for name in expected.keys() - found]
problems += [f"unexpected {name!r}" for name in found - expected.keys()]
for name in sorted(expected.keys() & found):
    want = open(expected[name], "rb").read()
    if ole.get_size(name) != len(want) or ole.openstream(name).read() != want:
        problems.append(f"{name!r}: size or bytes differ")
if len(sys.argv) > 3 and "{" + ole.root.clsid + "}" != sys.argv[3]:
    problems.append(f"root class {ole.root.clsid}, not {sys.argv[3]}")
if problems:
    print("\n".join(problems))
sys.exit(1 if problems else 0)
