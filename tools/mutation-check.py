#!/usr/bin/env python3
"""How much the tests catch: a seeded sample of small wrong changes to the
core (src/ but for src/ui/ and src/platform/), each built and tested on its
own; a change the tests let pass is a place they do not look.

Usage: tools/mutation-check.py [--count N] [--seed S] [--build DIR] [--list] [--rooms ROOM,...]
The same seed and count give the same sample. The source is put back after
every change, also when the run is interrupted. --rooms samples those rooms
of src/ instead of the core (--rooms ui: the window's code and its tests; a
room may be one file, --rooms server,cli/Run.cpp)."""

import argparse
import os
import random
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CORE = os.path.join(ROOT, "src")
LEFT_OUT = {"ui", "platform"}
# The platform's files that hold no code of one system alone, and that the
# core's tests reach: sampled with the core.
PLATFORM_SAMPLED = {"Files.cpp", "RotatingLog.cpp", "WineRegistry.cpp", "PlatformCommon.cpp"}

# (name, pattern, replacement): each match is one possible change.
OPERATORS = [
    ("== to !=", r"==", "!="),
    ("!= to ==", r"!=", "=="),
    ("<= to <", r"<=", "<"),
    (">= to >", r">=", ">"),
    ("< to <=", r"(?<![<\w:])<(?![<=])(?=\s)", "<="),
    ("> to >=", r"(?<=\s)>(?![>=])", ">="),
    ("&& to ||", r"&&", "||"),
    ("|| to &&", r"\|\|", "&&"),
    ("true to false", r"\btrue\b", "false"),
    ("false to true", r"\bfalse\b", "true"),
    ("constant + 1", r"(?<![\w.])([0-9]+)(?![\w.'x])", None),
    ("call removed", r"^(\s*)([a-zA-Z_][\w:.>-]*\([^;]*\);)\s*$", None),
]


def code_part(line):
    """The line without its comment and string contents (what may change)."""
    out, quote, i = [], None, 0
    while i < len(line):
        c = line[i]
        if quote:
            out.append(" ")
            if c == "\\":
                out.append(" ")
                i += 1
            elif c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(" ")
        elif line.startswith("//", i):
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)


def sites(rooms=None):
    found = []
    # A room is a folder of src/ ("server"), or one file of it ("cli/Run.cpp").
    wanted_rooms = {r for r in rooms or () if "/" not in r}
    wanted_files = {r for r in rooms or () if "/" in r}
    for folder, _, files in sorted(os.walk(CORE)):
        room = os.path.relpath(folder, CORE).split(os.sep)[0]
        relative = os.path.relpath(folder, CORE).replace(os.sep, "/")
        chosen_files = {f.rsplit("/", 1)[1] for f in wanted_files if f.rsplit("/", 1)[0] == relative}
        if (room not in wanted_rooms and not chosen_files) if rooms else (room in LEFT_OUT and room != "platform"):
            continue
        for name in sorted(files):
            if not name.endswith(".cpp"):
                continue
            if room == "platform" and not rooms and name not in PLATFORM_SAMPLED:
                continue
            if rooms and room not in wanted_rooms and name not in chosen_files:
                continue
            path = os.path.join(folder, name)
            with open(path, encoding="utf-8", errors="surrogateescape") as f:
                lines = f.read().split("\n")
            for number, line in enumerate(lines):
                stripped = line.strip()
                if stripped.startswith(("#", "//", "*", "/*")) or "static_assert" in line or "template" in line:
                    continue
                code = code_part(line)
                for operator, pattern, replacement in OPERATORS:
                    if operator == "call removed":
                        if re.match(pattern, code) and not re.match(r"\s*(return|if|for|while|switch|case|else)\b", code):
                            found.append((room, path, number, operator, line, line[: len(line) - len(line.lstrip())] + ";"))
                        continue
                    for match in re.finditer(pattern, code):
                        start, end = match.span()
                        if operator == "constant + 1":
                            new = str(int(match.group(1)) + 1)
                        else:
                            new = replacement
                        found.append((room, path, number, operator, line, line[:start] + new + line[end:]))
    return found


def sample(all_sites, count, seed):
    """Every room at least once, then at random; the same seed, the same sample."""
    rng = random.Random(seed)
    by_room = {}
    for site in all_sites:
        by_room.setdefault(site[0], []).append(site)
    chosen = []
    for room in sorted(by_room):
        chosen.append(rng.choice(by_room[room]))
    rest = [s for s in all_sites if s not in chosen]
    rng.shuffle(rest)
    chosen += rest[: max(0, count - len(chosen))]
    return chosen


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=timeout).returncode
    except subprocess.TimeoutExpired:
        return -1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--count", type=int, default=60)
    parser.add_argument("--seed", type=int, default=2026)
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--list", action="store_true", help="print the sample, change nothing")
    parser.add_argument("--rooms", help="the rooms (folders, or files such as cli/Run.cpp) of src/ to change, by "
                        "comma (default: the core)")
    args = parser.parse_args()
    chosen = sample(sites(args.rooms.split(",") if args.rooms else None), args.count, args.seed)
    if args.list:
        for room, path, number, operator, line, new in chosen:
            shown = line.strip() if operator == "call removed" else new.strip()
            print(f"{os.path.relpath(path, ROOT)}:{number + 1}: {operator}: {shown}")
        return 0
    subprocess.run(["cmake", "-S", ROOT, "-B", args.build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"], check=True,
                   stdout=subprocess.DEVNULL)
    if run(["cmake", "--build", args.build, "-j2"], ROOT, 3600) != 0:
        print("the unchanged tree does not build")
        return 1
    env_tests = ["ctest", "-j2", "-LE", "engine", "--timeout", "120", "--stop-on-failure"]
    if run(env_tests, args.build, 1800) != 0:
        print("the unchanged tree fails its tests")
        return 1
    started = time.time()
    caught, survived, stillborn = 0, [], 0
    rooms = {}
    for index, (room, path, number, operator, line, new) in enumerate(chosen, 1):
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            original = f.read()
        lines = original.split("\n")
        lines[number] = new
        try:
            with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write("\n".join(lines))
            if run(["cmake", "--build", args.build, "-j2"], ROOT, 1200) != 0:
                stillborn += 1
                verdict = "does not build"
            elif run(env_tests, args.build, 1200) != 0:
                caught += 1
                verdict = "caught"
                rooms.setdefault(room, [0, 0])[0] += 1
            else:
                survived.append((path, number, operator, new))
                verdict = "SURVIVED"
                rooms.setdefault(room, [0, 0])[1] += 1
        finally:
            with open(path, "w", encoding="utf-8", errors="surrogateescape") as f:
                f.write(original)
        print(f"[{index}/{len(chosen)}] {os.path.relpath(path, ROOT)}:{number + 1} {operator}: {verdict}", flush=True)
    run(["cmake", "--build", args.build, "-j2"], ROOT, 3600)
    built = caught + len(survived)
    print(f"\nseed {args.seed}, {len(chosen)} changes: {built} built, {caught} caught, {len(survived)} survived, "
          f"{stillborn} did not build; score {100.0 * caught / max(1, built):.1f}% "
          f"({(time.time() - started) / 60:.1f} minutes)")
    for room in sorted(rooms):
        print(f"  {room:10} caught {rooms[room][0]}, survived {rooms[room][1]}")
    for path, number, operator, new in survived:
        print(f"  survived: {os.path.relpath(path, ROOT)}:{number + 1}: {operator}: {new.strip()}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
