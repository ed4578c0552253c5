#!/usr/bin/env python3
"""bnddiff --kit checked from outside, by python's own zip reader and unzip.

  kit_check.py native BNDDIFF BNDPATCH
      kits of a bundle and of a folder read back, their readmes' hashes,
      apply.sh run, the kit folder found, what is refused
  kit_check.py windows BNDDIFF BNDDIFF_EXE BNDPATCH_X64_EXE BNDPATCH_X86_EXE
      one kit from each bnddiff (the .exe under wine) byte for byte, and
      its apply.bat run under wine
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAILED:", what, file=sys.stderr)


def bundle(pieces):
    """A bundle: a 512-byte table of offsets, then the pieces end to end."""
    offsets = [512]
    for p in pieces:
        offsets.append(offsets[-1] + len(p))
    table = b"".join(struct.pack("<I", o) for o in offsets)
    return table + bytes(512 - len(table)) + b"".join(pieces)


OLD = bundle([b"line of the first piece\n" * 40, b"the second piece\n" * 60])
NEW = bundle([b"line of the first piece\n" * 40, b"the second piece, translated\n" * 60])
SH = shutil.which("sh")  # found before any run narrows PATH
NAMES = ["README.txt", "DATA.BND.bndpatch", "bndpatch.html", "apply.bat", "apply.sh",
         "x64/bndpatch.exe", "x86/bndpatch.exe"]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run(args, cwd, env=None):
    return subprocess.run(args, cwd=cwd, env=env, capture_output=True, stdin=subprocess.DEVNULL)


def kit_folder(folder, x64=b"x64 program", x86=b"x86 program"):
    write(os.path.join(folder, "bndpatch.html"), b"<!doctype html><title>page</title>\n")
    write(os.path.join(folder, "x64", "bndpatch.exe"), x64)
    write(os.path.join(folder, "x86", "bndpatch.exe"), x86)


def check_zip(kit, kitf, patch):
    with zipfile.ZipFile(kit) as z:
        check(z.testzip() is None, "every entry's CRC-32 holds")
        check(z.namelist() == NAMES, "the entries, in order: %s" % z.namelist())
        check(z.comment == b"bndtools kit", "the comment marks a kit")
        for info in z.infolist():
            check(info.date_time == (1980, 1, 1, 0, 0, 0), info.filename + " is dated 1980-01-01 00:00")
            mode = 0o100755 if info.filename == "apply.sh" else 0o100644
            check(info.external_attr >> 16 == mode, info.filename + " has mode %o" % mode)
        check(z.read("DATA.BND.bndpatch") == patch, "the patch is the one bnddiff writes alone")
        for name in NAMES[2:3] + NAMES[5:]:
            check(z.read(name) == read(os.path.join(kitf, name)), name + " is the kit folder's")
        bat = z.read("apply.bat")
        check(bat.count(b"\n") == bat.count(b"\r\n") > 0, "apply.bat's lines end in CR LF")
        for name in ("apply.sh", "README.txt"):
            check(b"\r" not in z.read(name), name + "'s lines end in LF")
        return z.read("README.txt").decode()


def checksum_lines(readme):
    return re.findall(r"^([0-9a-f]{64})  (\S+)$", readme, re.M)


def sh_path(root):
    """A PATH with dirname, which apply.sh needs, and no bndpatch."""
    bin_dir = os.path.join(root, "bin")
    os.makedirs(bin_dir, exist_ok=True)
    if not os.path.exists(os.path.join(bin_dir, "dirname")):
        os.symlink(shutil.which("dirname"), os.path.join(bin_dir, "dirname"))
    return bin_dir


def bundle_kit(bnddiff, bndpatch, root):
    kit_folder(os.path.join(root, "kitf"))
    write(os.path.join(root, "OLD.BND"), OLD)
    write(os.path.join(root, "DATA.BND"), NEW)
    r = run([bnddiff, "--kit", "K.zip", "--kit-files", "kitf", "OLD.BND", "DATA.BND"], root)
    check(r.returncode == 0, "bnddiff --kit: %s" % r.stderr)
    check(run([bnddiff, "OLD.BND", "DATA.BND", "P"], root).returncode == 0, "bnddiff")
    readme = check_zip(os.path.join(root, "K.zip"), os.path.join(root, "kitf"), read(os.path.join(root, "P")))
    check(checksum_lines(readme) == [(hashlib.sha256(OLD).hexdigest(), "DATA.BND"),
                                     (hashlib.sha256(NEW).hexdigest(), "DATA.BND")],
          "the readme holds the original's SHA-256, then the result's")
    if shutil.which("unzip"):
        check(run(["unzip", "-tq", "K.zip"], root).returncode == 0, "unzip -t finds no error")

    game = os.path.join(root, "game")
    zipfile.ZipFile(os.path.join(root, "K.zip")).extractall(game)
    write(os.path.join(game, "DATA.BND"), OLD)
    path = sh_path(root)
    r = run([SH, "apply.sh"], game, dict(os.environ, PATH=path))
    check(r.returncode == 1 and b"bndpatch.html" in r.stderr, "apply.sh without bndpatch names the page: %s" % r.stderr)
    check(read(os.path.join(game, "DATA.BND")) == OLD, "apply.sh without bndpatch changes nothing")
    r = run([SH, "apply.sh"], game, dict(os.environ, PATH=os.path.dirname(bndpatch) + os.pathsep + path))
    check(r.returncode == 0, "apply.sh: %s" % r.stderr)
    check(read(os.path.join(game, "DATA.BND")) == NEW, "apply.sh makes the new bundle")
    check(read(os.path.join(game, "DATA.BND.BAK")) == OLD, "apply.sh keeps the original")

    # Refused with nothing written: a kit file missing, a file that is no kit.
    os.remove(os.path.join(root, "kitf", "x86", "bndpatch.exe"))
    before = sorted(os.listdir(root))
    r = run([bnddiff, "--kit", "K2.zip", "--kit-files", "kitf", "OLD.BND", "DATA.BND"], root)
    check(r.returncode == 1 and b"kitf/x86/bndpatch.exe: is missing" in r.stderr, "a missing kit file: %s" % r.stderr)
    check(sorted(os.listdir(root)) == before, "a missing kit file: nothing written")
    kit_folder(os.path.join(root, "kitf"))
    with zipfile.ZipFile(os.path.join(root, "K3.zip"), "w") as z:
        z.writestr("someone's.txt", "a zip that is no kit")
    other = read(os.path.join(root, "K3.zip"))
    for kit, status in (("K3.zip", 2), ("K.zip", 0)):
        r = run([bnddiff, "--kit", kit, "--kit-files", "kitf", "OLD.BND", "DATA.BND"], root)
        check(r.returncode == status, "%s in the kit's place: status %d, %s" % (kit, r.returncode, r.stderr))
    check(read(os.path.join(root, "K3.zip")) == other, "a zip that is no kit is kept")


def default_folders(bnddiff, root):
    """The kit folder given, else kit/ beside the program, else its install's share/bndtools."""
    write(os.path.join(root, "OLD.BND"), OLD)
    write(os.path.join(root, "DATA.BND"), NEW)
    for folder in ("tree/kit", "share/bndtools", "prefix/share/bndtools", "given"):
        kit_folder(os.path.join(root, folder))
    for program, args, status, said in (
            ("tree/bnddiff", [], 0, "with the files of %s/tree/kit\n"),  # also where share/ is beside tree/
            ("prefix/bin/bnddiff", [], 0, "with the files of %s/prefix/share/bndtools\n"),
            ("tree/bnddiff", ["--kit-files", "given"], 0, "with the files of given\n"),
            ("lone/bin/bnddiff", [], 1, "%s/lone/bin/kit: is not a folder, nor is %s/lone/share/bndtools")):
        write(os.path.join(root, program), read(bnddiff))
        os.chmod(os.path.join(root, program), 0o755)
        r = run([os.path.join(root, program), "--kit", "K.zip"] + args + ["OLD.BND", "DATA.BND"], root)
        check(r.returncode == status and said.replace("%s", root).encode() in r.stdout + r.stderr,
              "the kit folder of %s: %s %s" % (program, r.stdout, r.stderr))


def folder_kit(bnddiff, bndpatch, root):
    old = {"data/DATA.BND": OLD, "text/credits.txt": b"made by\n", "gone.txt": b"removed\n"}
    new = {"data/DATA.BND": NEW, "text/credits.txt": b"made by\nand translated by\n", "added.txt": b"new\n"}
    for name, data in old.items():
        write(os.path.join(root, "Game-1.0", name), data)
        write(os.path.join(root, "game", name), data)
    for name, data in new.items():
        write(os.path.join(root, "Game-fr", name), data)
    kit_folder(os.path.join(root, "kitf"))
    r = run([bnddiff, "-r", "--kit", "Game-fr.zip", "--kit-files", "kitf", "Game-1.0", "Game-fr"], root)
    check(r.returncode == 0, "bnddiff -r --kit: %s" % r.stderr)
    with zipfile.ZipFile(os.path.join(root, "Game-fr.zip")) as z:
        check(z.namelist()[1] == "Game-fr.bndpatch", "a folder's patch is named after the kit")
        lines = checksum_lines(z.read("README.txt").decode())
    sums = [(hashlib.sha256(files[n]).hexdigest(), n) for files in (old, new) for n in sorted(files)]
    check(lines == sums, "the readme holds each file's SHA-256 before, then after, by path")
    zipfile.ZipFile(os.path.join(root, "Game-fr.zip")).extractall(os.path.join(root, "game"))
    path = os.path.dirname(bndpatch) + os.pathsep + sh_path(root)
    r = run([SH, "apply.sh"], os.path.join(root, "game"), dict(os.environ, PATH=path))
    check(r.returncode == 0, "apply.sh of a folder: %s" % r.stderr)
    for name, data in new.items():
        check(read(os.path.join(root, "game", name)) == data, "apply.sh makes " + name)
    check(not os.path.exists(os.path.join(root, "game", "gone.txt")), "apply.sh removes gone.txt")


def windows(bnddiff, bnddiff_exe, x64_exe, x86_exe, root):
    """The .exe runs from a folder with kit/ beside it, which it finds itself."""
    kit_folder(os.path.join(root, "w", "kit"), read(x64_exe), read(x86_exe))
    write(os.path.join(root, "w", "bnddiff.exe"), read(bnddiff_exe))
    write(os.path.join(root, "OLD.BND"), OLD)
    write(os.path.join(root, "DATA.BND"), NEW)
    kits = []
    for name, command in (("native.zip", [bnddiff, "--kit-files", "w/kit"]), ("windows.zip", ["wine", "w/bnddiff.exe"])):
        r = run(command + ["--kit", name, "OLD.BND", "DATA.BND"], root)
        check(r.returncode == 0, " ".join(command) + ": %s" % r.stderr)
        kits.append(read(os.path.join(root, name)) if r.returncode == 0 else b"")
    check(kits[0] == kits[1], "the kit made on Windows is the kit made here, byte for byte")
    game = os.path.join(root, "game")
    zipfile.ZipFile(os.path.join(root, "windows.zip")).extractall(game)
    write(os.path.join(game, "DATA.BND"), OLD)
    r = run(["wine", "cmd", "/c", "apply.bat"], game)
    check(r.returncode == 0, "apply.bat under wine: %s %s" % (r.stdout, r.stderr))
    check(read(os.path.join(game, "DATA.BND")) == NEW, "apply.bat makes the new bundle")


def main():
    programs = [os.path.abspath(p) for p in sys.argv[2:]]
    with tempfile.TemporaryDirectory() as root:
        if sys.argv[1:2] == ["native"] and len(sys.argv) == 4:
            bundle_kit(*programs, os.path.join(root, "bundle"))
            folder_kit(*programs, os.path.join(root, "folder"))
            default_folders(programs[0], os.path.join(root, "default"))
        elif sys.argv[1:2] == ["windows"] and len(sys.argv) == 6:
            windows(*programs, root)
        else:
            print(__doc__, file=sys.stderr)
            return 2
    print("%d checks failed" % len(failures) if failures else "every check holds")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
