#!/usr/bin/env python3
"""Runs clang-tidy over the project's own translation units of a Ninja build, in parallel.

A unit that comes out clean is remembered under a key made of everything its result depends
on: clang-tidy's version, .clang-tidy, the unit's compile command, and the contents of the
source and of every header the build's compile of it read (Ninja's dependency log). A unit whose
key is remembered is not checked again, so a later run checks only what changed. A unit whose
object file is missing or older than its source or one of its headers has no key (the log may
not name all it reads now) and is always checked.

Keys leave out where the checkout and the build folder are, so checkouts of one machine share
what they remember: in $ORVELLE_CLANG_TIDY_CACHE, by default $XDG_CACHE_HOME/orvelle-clang-tidy
(~/.cache/orvelle-clang-tidy), one empty file per clean unit; delete it whenever you like.

Exit status 0 when every unit is clean, 1 when clang-tidy reported anything (its output is
printed), 2 when it could not run.
"""
import argparse
import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys
import time
from pathlib import Path


# Units clang-tidy cannot read, and why; they are named in every run's summary and left to the
# compiler's warnings.
UNREADABLE = {
    "viewer/PdfAssembly.cpp": "clang 14 cannot parse qpdf 11's headers (a std::vector of JSON "
                              "inside JSON's own definition)",
    "tests/fixtures/PdfOutline.cpp": "the same qpdf headers",
}


def Arguments(entry):
    if "arguments" in entry:
        return list(entry["arguments"])
    return shlex.split(entry["command"])


def ObjectFile(arguments):
    for i, argument in enumerate(arguments[:-1]):
        if argument == "-o":
            return arguments[i + 1]
    return None


def NinjaDependencies(build):
    """Object file (as Ninja names it, relative to the build) -> the files its compile read."""
    try:
        text = subprocess.run(["ninja", "-C", str(build), "-t", "deps"], capture_output=True,
                              text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return {}
    dependencies = {}
    current = None
    for line in text.splitlines():
        if not line.strip():
            current = None
        elif not line.startswith(" "):
            name, _, state = line.partition(":")
            current = [] if "(VALID)" in state else None
            if current is not None:
                dependencies[name] = current
        elif current is not None:
            current.append(line.strip())
    return dependencies


class FileHashes:
    def __init__(self):
        self.known = {}

    def Of(self, path):
        if path not in self.known:
            try:
                self.known[path] = hashlib.sha256(Path(path).read_bytes()).hexdigest()
            except OSError:
                self.known[path] = "missing"
        return self.known[path]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the build folder (Ninja)")
    parser.add_argument("--clang-tidy", default="clang-tidy", dest="tidy")
    parser.add_argument("-j", type=int, default=os.cpu_count() or 2, dest="jobs")
    options = parser.parse_args()

    root = Path(__file__).resolve().parent.parent
    build = Path(options.build).resolve()
    try:
        entries = json.loads((build / "compile_commands.json").read_text())
        tracked = set(subprocess.run(["git", "ls-files", "*.cpp"], cwd=root, capture_output=True,
                                     text=True, check=True).stdout.split())
        version = subprocess.run([options.tidy, "--version"], capture_output=True, text=True,
                                 check=True).stdout
    except (OSError, ValueError, subprocess.CalledProcessError) as error:
        print(f"clang-tidy cannot run: {error}", file=sys.stderr)
        return 2
    config = (root / ".clang-tidy").read_bytes()

    units = []
    seen = set()
    for entry in entries:
        source = Path(entry["directory"], entry["file"]).resolve()
        try:
            relative = source.relative_to(root).as_posix()
        except ValueError:
            continue
        if relative in tracked and relative not in seen and relative not in UNREADABLE:
            seen.add(relative)
            units.append((relative, entry))

    dependencies = NinjaDependencies(build)
    hashes = FileHashes()
    cache_home = os.environ.get("XDG_CACHE_HOME") or os.path.join(Path.home(), ".cache")
    cache = Path(os.environ.get("ORVELLE_CLANG_TIDY_CACHE") or
                 os.path.join(cache_home, "orvelle-clang-tidy"))
    cache.mkdir(parents=True, exist_ok=True)

    def Portable(text):
        # The build folder first: it may lie inside the checkout.
        return text.replace(str(build), "<build>").replace(str(root), "<root>")

    def Key(relative, entry):
        arguments = Arguments(entry)
        object_file = ObjectFile(arguments)
        read = dependencies.get(object_file or "")
        if read is None:
            return None
        folder = entry["directory"]
        files = [str(root / relative)] + [os.path.normpath(os.path.join(folder, path))
                                          for path in read]
        try:
            built = os.stat(os.path.join(folder, object_file)).st_mtime_ns
            if any(os.stat(path).st_mtime_ns > built for path in files):
                return None
        except OSError:
            return None
        key = hashlib.sha256()
        for part in (version.encode(), config, Portable("\0".join(arguments)).encode()):
            key.update(hashlib.sha256(part).digest())
        for path in files:
            key.update(f"{Portable(path)}={hashes.Of(path)}\n".encode())
        return key.hexdigest()

    pending = []
    for relative, entry in units:
        key = Key(relative, entry)
        if key is None or not (cache / key).exists():
            pending.append((relative, entry, key))

    def Check(unit):
        relative, entry, key = unit
        started = time.monotonic()
        run = subprocess.run([options.tidy, "-p", str(build), "--quiet", str(root / relative)],
                             capture_output=True, text=True)
        # clang-tidy prints "N warnings generated." for what it suppressed; only findings count.
        findings = "\n".join(line for line in run.stdout.splitlines() if line.strip())
        errors = "\n".join(line for line in run.stderr.splitlines()
                           if line.strip() and not line.endswith("generated."))
        clean = run.returncode == 0 and not findings
        # Remembered only when nothing it reads was changed while it was checked.
        if clean and key is not None and Key(relative, entry) == key:
            (cache / key).touch()
        return relative, clean, findings, errors, time.monotonic() - started

    print(f"clang-tidy: {len(pending)} of {len(units)} units to check "
          f"({len(units) - len(pending)} unchanged since a clean check)", flush=True)
    for relative, why in UNREADABLE.items():
        print(f"clang-tidy: {relative} not checked: {why}", flush=True)
    failed = 0
    started = time.monotonic()
    durations = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, options.jobs)) as pool:
        for relative, clean, findings, errors, seconds in pool.map(Check, pending):
            durations.append((seconds, relative))
            if not clean:
                failed += 1
                print(f"== {relative}\n{findings}\n{errors}".rstrip(), flush=True)
    if durations:
        durations.sort(reverse=True)
        slowest = ", ".join(f"{name} {seconds:.0f} s" for seconds, name in durations[:3])
        print(f"clang-tidy: {len(durations)} units in {time.monotonic() - started:.0f} s "
              f"({sum(seconds for seconds, _ in durations):.0f} s of checks; slowest: {slowest})",
              flush=True)
    if failed:
        print(f"clang-tidy: findings in {failed} units", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
