#!/usr/bin/env python3
"""Builds data/TULVAMSG.TXT from data/messages.tsv, or checks it.

The message file is Windows-1251 with CR LF line ends; message N is line N counted from 0, and
the file holds exactly LAST + 1 lines so that every number the program uses exists.

    python3 scripts/make-messages.py           # write data/TULVAMSG.TXT
    python3 scripts/make-messages.py --check   # verify it, exit 1 on any problem
"""

import argparse
import pathlib
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCE = ROOT / "data" / "messages.tsv"
TARGET = ROOT / "data" / "TULVAMSG.TXT"
ENCODING = "cp1251"
LAST = 1368

# Every number that the windows and the code read; each must have a non-empty text.
USED = {
    42, 47, 58, 90, 92, 112, 136, 138, 140, 181, 224, 238, 244, 256, 273, 312, 322, 388,
    389, 390, 391, 392, 393, 394, 395, 397, 398, 399, 400, 401, 402, 403, 408, 409, 412, 413,
    418, 421, 425, 428, 429, 430, 442, 443, 454, 456, 460, 461, 462, 463, 465, 466, 467, 469,
    470, 471, 472, 473, 478, 479, 480, 481, 482, 483, 484, 485, 498, 842, 843, 844, 889, 890,
    926, 927, 944, 985, 986, 987, 1013, 1237, 1238, 1354, 1355, 1356, 1357, 1358, 1359, 1360,
    1362, 1363, 1364, 1365, 1366, 1368,
}

# Texts that code compares with, not just shows.
EXACT = {42: "Да"}


def read_table(path):
    """Returns {number: text} or raises SystemExit with every problem found."""
    problems = []
    table = {}
    for lineno, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        if not raw.strip() or raw.startswith("#"):
            continue
        where = f"{path.name}:{lineno}"
        number, tab, text = raw.partition("\t")
        if not tab:
            problems.append(f"{where}: no TAB between number and text")
            continue
        if not number.isdigit() or not number.isascii():
            problems.append(f"{where}: {number!r} is not a message number")
            continue
        n = int(number)
        if n > LAST:
            problems.append(f"{where}: number {n} is beyond {LAST}")
        elif n in table:
            problems.append(f"{where}: number {n} appears twice")
        if "\t" in text or "\r" in text:
            problems.append(f"{where}: text holds a TAB or CR")
        if text != text.strip():
            problems.append(f"{where}: text has leading or trailing blanks")
        if text.startswith("@"):
            problems.append(f"{where}: text starts with '@' and would read as a reference")
        try:
            text.encode(ENCODING)
        except UnicodeEncodeError as e:
            problems.append(f"{where}: {text[e.start:e.end]!r} has no Windows-1251 form")
        table[n] = text
    if problems:
        raise SystemExit("\n".join(problems))
    return table


def render(table):
    lines = [table.get(n, "") for n in range(LAST + 1)]
    return "".join(line + "\r\n" for line in lines).encode(ENCODING)


def check(table):
    problems = []
    if not TARGET.exists():
        raise SystemExit(f"{TARGET} is missing; run scripts/make-messages.py")
    data = TARGET.read_bytes()
    try:
        text = data.decode(ENCODING, errors="strict")
    except UnicodeDecodeError as e:
        problems.append(f"byte 0x{data[e.start]:02X} at offset {e.start} is not Windows-1251")
        text = data.decode(ENCODING, errors="replace")
    if not data.endswith(b"\r\n"):
        problems.append("the last line does not end with CR LF")
    body = text[:-2] if text.endswith("\r\n") else text
    lines = body.split("\r\n")
    if any("\r" in line or "\n" in line for line in lines):
        problems.append("a line end other than CR LF is present")
    if len(lines) != LAST + 1:
        problems.append(f"{len(lines)} lines, expected {LAST + 1}")
    for n in sorted(USED):
        if n >= len(lines) or not lines[n]:
            problems.append(f"message {n} is used but empty")
    for n, expected in EXACT.items():
        if n < len(lines) and lines[n] != expected:
            problems.append(f"message {n} is {lines[n]!r}, must be {expected!r}")
    if data != render(table):
        problems.append(f"{TARGET.name} differs from {SOURCE.name}; run scripts/make-messages.py")
    if problems:
        raise SystemExit("\n".join(problems))
    filled = sum(1 for line in lines if line)
    print(f"{TARGET.name}: {len(lines)} lines, {filled} non-empty, all {len(USED)} used numbers "
          f"present, message 42 = {lines[42]!r}, valid Windows-1251 with CR LF: OK")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="verify instead of writing")
    args = parser.parse_args()
    table = read_table(SOURCE)
    if args.check:
        check(table)
        return
    missing = sorted(USED - {n for n, t in table.items() if t})
    if missing:
        raise SystemExit(f"used numbers without a text: {missing}")
    TARGET.write_bytes(render(table))
    print(f"wrote {TARGET.relative_to(ROOT)} ({LAST + 1} lines)")


if __name__ == "__main__":
    sys.exit(main())
