#!/usr/bin/env python3
"""Packs a folder into a zip whose bytes depend on the folder's contents only.

Usage: pack-zip.py OUT.zip PARENT NAME SOURCE_DIR

Packs PARENT/NAME as NAME/... into OUT.zip. Whoever packs the same files
gets the same zip, whatever the folder, clock, time zone, locale or umask:
  - members in byte order of their paths, folders as entries of their own;
  - every member dated SOURCE_DATE_EPOCH when it is set, else the time of
    the last commit of the git work tree SOURCE_DIR (as UTC, the zip format
    keeps no zone), else 1980-01-01;
  - permissions rw-r--r-- for files and rwxr-xr-x for folders, no owner,
    no extra fields.
"""
import os
import subprocess
import sys
import time
import zipfile

DOS_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC, the earliest date a zip holds


def source_date(source_dir):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        out = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                             capture_output=True, text=True, check=True).stdout.strip()
        return int(out)
    except (OSError, subprocess.CalledProcessError, ValueError):
        print("pack-zip: no SOURCE_DATE_EPOCH and no git commit: members dated 1980-01-01",
              file=sys.stderr)
        return DOS_EPOCH


def members(parent, name):
    """(path in the zip, path on disk) of NAME and everything under it, sorted."""
    found = [(name + "/", os.path.join(parent, name))]
    for folder, dirs, files in os.walk(os.path.join(parent, name)):
        rel = os.path.relpath(folder, parent).replace(os.sep, "/")
        found += [(f"{rel}/{d}/", os.path.join(folder, d)) for d in dirs]
        found += [(f"{rel}/{f}", os.path.join(folder, f)) for f in files]
    return sorted(found, key=lambda m: m[0].encode())


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    out, parent, name, source_dir = sys.argv[1:]
    date = time.gmtime(max(source_date(source_dir), DOS_EPOCH))[:6]
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w") as z:
        for arcname, path in members(parent, name):
            info = zipfile.ZipInfo(arcname, date)
            info.create_system = 3  # Unix: the high word of external_attr is the mode
            if arcname.endswith("/"):
                info.external_attr = (0o40755 << 16) | 0x10  # 0x10: MS-DOS folder bit
                z.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    z.writestr(info, f.read(), compresslevel=9)
    os.replace(partial, out)


if __name__ == "__main__":
    main()
