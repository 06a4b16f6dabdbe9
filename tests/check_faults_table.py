#!/usr/bin/env python3
"""Every proof that docs/FAULTS.md names exists.

In the Proof column of each table: a script `name.sh` is in tests/scripts;
a file `name_test.cpp` (or any path) exists; `file: Suite.Test` is a TEST,
TEST_F or TEST_P of that file, and a bare `Suite.Test` one of tests/;
another name after a file (`drive_paths.cpp: DriveRoot`) is a word of it;
the rows named in quotes right after a test ("row one", "row two") are
strings of the file that holds it. Prints each miss and fails when there is
one.  Usage: check_faults_table.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[1])
tests = root / "tests"
sources = {p: p.read_text(errors="replace") for p in tests.rglob("*") if p.suffix in (".cpp", ".h", ".sh")}
misses = []


def find_file(name):
    if "/" in name:
        path = root / name
        return [path] if path.exists() else []
    if name.endswith(".sh"):
        return [p for p in (tests / "scripts").glob(name)]
    return [p for p in sources if p.name == name]


def defines(text, suite, test=None):
    name = r"\s*,\s*" + re.escape(test) + r"\s*\)" if test else r"\s*,"
    return re.search(r"\bTEST(?:_F|_P)?\(\s*" + re.escape(suite) + name, text) is not None


def check_reference(ref, where):
    """The files that hold what `ref` names; records a miss when there are none."""
    if re.fullmatch(r"[\w./-]+\.\w+: [\w., ]+", ref):
        name, names = (part.strip() for part in ref.split(":", 1))
        files = find_file(name)
        if not files:
            misses.append(f"{where}: no file {name}")
            return []
        text = files[0].read_text(errors="replace")
        for n in (n.strip() for n in names.split(",")):
            suite, _, test = n.partition(".")
            found = defines(text, suite, test) if test else re.search(r"\b" + re.escape(n) + r"\b", text)
            if not found:
                misses.append(f"{where}: {name} has no {n}")
                return []
        return files
    if re.fullmatch(r"[\w./-]+\.(cpp|sh)", ref):
        files = find_file(ref)
        if not files:
            misses.append(f"{where}: no file {ref}")
        return files
    if re.fullmatch(r"[A-Z][A-Za-z0-9]*\.[A-Z][A-Za-z0-9]*", ref):
        suite, test = ref.split(".")
        files = [p for p, text in sources.items() if defines(text, suite, test)]
        if not files:
            misses.append(f"{where}: no test {ref}")
        return files
    return None  # not a proof: a file name of the product, a registry key, a function


for number, line in enumerate((root / "docs" / "FAULTS.md").read_text().splitlines(), 1):
    if not line.startswith("| ") or line.startswith("| Situation"):
        continue
    proof = line.rstrip(" |").rsplit(" | ", 1)[-1]
    where = f"docs/FAULTS.md:{number}"
    for m in re.finditer(r"`([^`]+)`(\s*\(\")?", proof):
        files = check_reference(m.group(1), where)
        if files is None and m.group(2) and re.fullmatch(r"[A-Z][A-Za-z0-9]*", m.group(1)):
            files = [p for p, text in sources.items() if defines(text, m.group(1))]  # a suite with its rows
            if not files:
                misses.append(f"{where}: no test suite {m.group(1)}")
        if not m.group(2) or not files:
            continue
        depth, end = 0, m.end() - 2
        for end in range(m.end() - 2, len(proof)):
            depth += {"(": 1, ")": -1}.get(proof[end], 0)
            if depth == 0:
                break
        for row in re.findall(r'"([^"]+)"', proof[m.end() - 1:end]):
            if not any(f'"{row}"' in sources.get(p, "") for p in files):
                misses.append(f'{where}: {m.group(1)} has no row "{row}"')

for miss in misses:
    print(miss)
print(f"{len(misses)} names in docs/FAULTS.md without their test" if misses else "every proof named exists")
sys.exit(1 if misses else 0)
