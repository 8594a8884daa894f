"""olefile_check.py FILE MANIFEST [CLASS] [--red-black]: olefile finds in the
compound file FILE exactly the streams of MANIFEST, each with its bytes, the
storages it lists with their class ids, and CLASS ({...}) as the root's
class id; with --red-black, each storage's entries form a red-black tree
ordered as compound files order names (what our writer promises; other
writers need not balance). MANIFEST lines: the path (storage names and stream name joined by /)
as UTF-16LE in hex, a tab, then for a stream the file holding its bytes,
for a storage its class id in braces. Prints each difference; exit status 1
if any."""
import sys

import olefile

red_black = "--red-black" in sys.argv
args = [a for a in sys.argv[1:] if a != "--red-black"]
path, manifest = args[:2]
expected, classes = {}, {}
for line in open(manifest, encoding="ascii"):
    name, data = line.rstrip("\n").split("\t")
    (classes if data.startswith("{") else expected)[bytes.fromhex(name).decode("utf-16-le")] = data

ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
found = {"/".join(entry) for entry in ole.listdir(streams=True, storages=False)}
problems = [f"missing {name!r}" for name in expected.keys() - found]
problems += [f"unexpected {name!r}" for name in found - expected.keys()]
for name in sorted(expected.keys() & found):
    want = open(expected[name], "rb").read()
    if ole.get_size(name) != len(want) or ole.openstream(name).read() != want:
        problems.append(f"{name!r}: size or bytes differ")
storages = {"/".join(entry) for entry in ole.listdir(streams=False, storages=True)}
problems += [f"storages {sorted(storages)}, not {sorted(classes)}"] if storages != set(classes) else []
for name in sorted(classes.keys() & storages):
    if "{" + ole.getclsid(name) + "}" != classes[name]:
        problems.append(f"{name!r}: class {ole.getclsid(name)}, not {classes[name]}")
if len(args) > 2 and "{" + ole.root.clsid + "}" != args[2]:
    problems.append(f"root class {ole.root.clsid}, not {args[2]}")


def key(name):
    """Shorter names first, then by upper-cased UTF-16 units."""
    return (len(name.encode("utf-16-le")), name.upper().encode("utf-16-be"))


def black_height(sid, parent_red, names):
    """The tree under `sid` in order into `names`; its black height."""
    if sid == olefile.NOSTREAM:
        return 1
    entry = ole.direntries[sid]
    red = entry.color == 0
    if red and parent_red:
        problems.append(f"{entry.name!r}: a red entry under a red one")
    left = black_height(entry.sid_left, red, names)
    names.append(entry.name)
    right = black_height(entry.sid_right, red, names)
    if left != right:
        problems.append(f"{entry.name!r}: {left} black entries on the left, {right} on the right")
    return left + (0 if red else 1)


storages = [ole.root] + [e for e in ole.direntries if e is not None and e.entry_type == 1]
for storage in storages if red_black else []:
    names = []
    if storage.sid_child != olefile.NOSTREAM and ole.direntries[storage.sid_child].color == 0:
        problems.append(f"{storage.name!r}: its tree's top is red")
    black_height(storage.sid_child, False, names)
    if [key(n) for n in names] != sorted(key(n) for n in names):
        problems.append(f"{storage.name!r}: entries out of order: {names}")
if problems:
    print("\n".join(problems))
sys.exit(1 if problems else 0)
