#!/usr/bin/env python3
"""scripts/include-check.py [ROOT]: checks every #include "folder/..." in the library folders
against the libraries' link graph, so that no folder reaches into one it may not.

Each top folder with a CMakeLists.txt is one library (or, like app/, a library and the
program). A folder may include its own files and those of every library its targets link,
directly or through another library's PUBLIC links: the target_link_libraries lines are the
rule, so the build and this check cannot disagree. The board monitor is for the program and
its measurements alone: outside monitor/, only app/, tests/ and bench/ include it, whatever
the links say; so are the run records' database (records/), which reads the check's record
model while the check knows only its own RunStore interface. Needs no build. Prints each include that breaks a rule as FILE:LINE, then
"include-check: N checks passed, M failed" (one check per include of a project folder).
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)

# Folders holding harnesses rather than libraries: they may include anything they link.
HARNESSES = {"tests", "bench", "fuzz"}
# Folders only the program and its harnesses include, whatever the links say: the board
# monitor, and the records database (the check must not depend on it; app/ wires the two).
RESTRICTED = {"monitor": {"monitor", "app", "tests", "bench"},
              "records": {"records", "app", "tests", "bench"}}

SOURCE_SUFFIXES = {".h", ".hpp", ".cpp"}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/([^"]+)"')
COMMAND = re.compile(r"\b(add_library|add_executable|target_sources|target_link_libraries)\s*\(([^)]*)\)",
                     re.S)


def library_folders():
    return sorted(p.parent.name for p in ROOT.glob("*/CMakeLists.txt")
                  if p.parent.name not in HARNESSES)


def read_targets(folders):
    """Each folder's targets, and each target's (public, private) links to other targets."""
    targets_of = {folder: set() for folder in folders}
    links = {}
    for folder in folders:
        text = re.sub(r"#[^\n]*", "", (ROOT / folder / "CMakeLists.txt").read_text())
        for command, arguments in COMMAND.findall(text):
            words = arguments.split()
            if not words:
                continue
            target = words[0]
            if command != "target_link_libraries":
                targets_of[folder].add(target)
                continue
            public, private = links.setdefault(target, (set(), set()))
            into = public  # no keyword: as PUBLIC, for the includes' sake
            for word in words[1:]:
                if word in ("PUBLIC", "INTERFACE"):
                    into = public
                elif word == "PRIVATE":
                    into = private
                else:
                    into.add(word)
    return targets_of, links


def allowed_folders(folders):
    """Each folder and the folders it may include, from the link graph."""
    targets_of, links = read_targets(folders)
    folders_of = {}  # commands/ adds its files to window/'s library: a target can span folders
    for folder, targets in targets_of.items():
        for target in targets:
            folders_of.setdefault(target, set()).add(folder)

    def public_closure(target, seen):
        for linked in links.get(target, (set(), set()))[0]:
            if linked in folders_of and linked not in seen:
                seen.add(linked)
                public_closure(linked, seen)
        return seen

    allowed = {}
    for folder, targets in targets_of.items():
        reach = set(targets)
        for target in targets:
            public, private = links.get(target, (set(), set()))
            for linked in (public | private) & folders_of.keys():
                reach.add(linked)
                public_closure(linked, reach)
        allowed[folder] = set().union(*(folders_of[target] for target in reach))
    return allowed


def includes(folder):
    for path in sorted((ROOT / folder).rglob("*")):
        if path.suffix not in SOURCE_SUFFIXES:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if match:
                yield path.relative_to(ROOT).as_posix(), number, match.group(1), match.group(
                    1) + "/" + match.group(2)


def main():
    folders = library_folders()
    allowed = allowed_folders(folders)
    passed = failed = 0
    for folder in folders + sorted(HARNESSES):
        if not (ROOT / folder).is_dir():
            continue
        for file, number, target, header in includes(folder):
            if target not in folders:
                continue  # a harness's own helpers, or a generated header
            problem = None
            if target in RESTRICTED and folder not in RESTRICTED[target]:
                problem = f"only app/, tests/ and bench/ use {target}/"
            elif folder in allowed and target not in allowed[folder]:
                problem = f"{folder}/ does not link {target}/ (it may include: " \
                          f"{', '.join(sorted(allowed[folder] - {folder})) or 'no other folder'})"
            if problem:
                failed += 1
                print(f"{file}:{number}: includes {header}: {problem}")
            else:
                passed += 1
    print(f"include-check: {passed} checks passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
