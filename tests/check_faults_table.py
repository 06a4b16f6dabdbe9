#!/usr/bin/env python3
# Every proof that docs/FAULTS.md names exists. In each row's Proof column:
# `name.sh` is in tests/scripts; `file.cpp` (or a path) exists; in
# `file: Suite.Test, Suite, name` each Suite.Test is a TEST, TEST_F or
# TEST_P of the file, each bare Suite (a capitalised name) a suite of it and
# each other name a word of it; a bare `Suite.Test` is a test in tests/;
# rows in quotes right after a test ("one", "two") are rows of its file: the
# first string of a braced row in C++ code, the message of an e2e_check in a
# script, never a comment. Prints each miss and fails when there is one.
# Usage: check_faults_table.py SOURCE_ROOT
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1])
sources = {p: p.read_text(errors="replace") for p in (root / "tests").rglob("*") if p.suffix in (".cpp", ".h", ".sh")}
misses = []


def code(path):
    """The file's text without its comments."""
    text = sources.get(path, "")
    if path.suffix == ".sh":
        return "\n".join(line for line in text.splitlines() if not line.lstrip().startswith("#"))
    text = re.sub(r"/\*.*?\*/", "", text, flags=re.S)
    return re.sub(r'(?m)^((?:[^"\n]*?"(?:[^"\\\n]|\\.)*")*[^"\n]*?)//.*$', r"\1", text)


def has_row(path, row):
    pattern = r'\be2e_check\s+"' if path.suffix == ".sh" else r"\{\s*\""
    return re.search(pattern + re.escape(row), code(path)) is not None


def defines(text, suite, test=r"\w+"):
    return re.search(rf"\bTEST(_F|_P)?\(\s*{suite}\s*,\s*{test}\s*\)", text)


def proof_files(ref):
    """The files that hold the proof `ref` names; None for a name that is no proof."""
    if m := re.fullmatch(r"([A-Z][A-Za-z0-9]*)(?:\.([A-Z][A-Za-z0-9]*))?", ref):
        return [p for p, text in sources.items() if defines(text, *m.groups())] if m.group(2) else None
    if m := re.fullmatch(r"([\w./-]+\.\w+)(?:: ([\w., ]+))?", ref):
        name = m.group(1)
        if "/" in name:
            files = [root / name] if (root / name).exists() else []
        else:
            files = list((root / "tests/scripts").glob(name)) if name.endswith(".sh") else \
                [p for p in sources if p.name == name]
        for n in (m.group(2) or "").split(","):
            suite, _, test = n.strip().partition(".")
            text = files[0].read_text(errors="replace") if files else ""
            found = defines(text, suite, test or r"\w+") if test or re.fullmatch(r"[A-Z]\w*", suite) else \
                re.search(rf"\b{n.strip()}\b", text)
            if n.strip() and not found:
                files = []
        return files if name.endswith((".cpp", ".sh")) or m.group(2) else None
    return None


for number, line in enumerate((root / "docs/FAULTS.md").read_text().splitlines(), 1):
    if not line.startswith("| ") or line.startswith("| Situation"):
        continue
    proof = line.rstrip(" |").rsplit(" | ", 1)[-1]
    for m in re.finditer(r'`([^`]+)`(\s*\(")?', proof):
        files = proof_files(m.group(1))
        if files is None and m.group(2) and re.fullmatch(r"[A-Z]\w*", m.group(1)):  # a suite and its rows
            files = [p for p, text in sources.items() if defines(text, m.group(1))]
        if files == []:
            misses.append(f"docs/FAULTS.md:{number}: no {m.group(1)}")
        if not files or not m.group(2):
            continue
        depth, end = 0, len(proof)
        for i in range(m.end() - 2, len(proof)):
            depth += {"(": 1, ")": -1}.get(proof[i], 0)
            if depth == 0:
                end = i
                break
        for row in re.findall(r'"([^"]+)"', proof[m.end() - 1:end]):
            if not any(has_row(p, row) for p in files):
                misses.append(f'docs/FAULTS.md:{number}: {m.group(1)} has no row "{row}"')

print("\n".join(misses) or "every proof named in docs/FAULTS.md exists")
sys.exit(1 if misses else 0)
