#!/usr/bin/env python3
"""Hostile-file sweep: damaged copies of every model and image of the shared corpus, read by a
sanitizer build of solvane-cli.

Each corpus file is damaged in a fixed set of ways (truncations, changed bytes, huge counts), all
chosen by a seeded generator so that a seed always gives the same files. Every command of SWEEPS
reads the damaged files of its kind; a run fails on a sanitizer report (AddressSanitizer,
UndefinedBehaviorSanitizer, LeakSanitizer), a crash, an exit status other than the command's own,
output that is not one JSON object per input, a run longer than the time-out, or a peak resident
size above the limit. The last line is the summary.

The damaged files are written beside their originals in a mirror of the corpus made of symbolic
links, so the textures and material libraries a model names are found as they would be.
"""

import argparse
import glob
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zlib
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, field

MODEL_EXTENSIONS = {
    ".3ds", ".prj", ".cob", ".scn", ".dxf", ".l3d", ".lwo", ".md2", ".mdl", ".obj", ".off", ".vtk",
    ".x", ".pro", ".svo", ".svs", ".3d2", ".nff", ".md3", ".ply", ".3dm",
}
IMAGE_EXTENSIONS = {".bmp", ".tga", ".ppm", ".pcx", ".iff", ".jpg", ".png"}
# Files read beside a model of the same name: damaging them runs the model's reader on them.
COMPANIONS = {".mtl": ".obj"}

MODEL = "model"
IMAGE = "image"


@dataclass
class Sweep:
    """One command run over the damaged inputs of one kind.

    args: the arguments after solvane-cli; "{inputs}" stands for the damaged files (up to `batch`
    of them per process), "{out}" for a fresh scratch path of the run. statuses: the exit statuses
    that mean a clean result. json: whether stdout holds one JSON object per input.
    """
    name: str
    kind: str
    args: list
    batch: int = 1
    statuses: tuple = (0, 1)
    json: bool = True
    default: bool = True  # run unless --sweeps names others


# One row per command. "{out}" is a scratch path of the run (a folder for convert --out-dir),
# removed afterwards.
SWEEPS = [
    Sweep("info", MODEL, ["info", "--json", "{inputs}"], batch=20),
    Sweep("image", IMAGE, ["image", "--json", "{inputs}"]),
    # Draws every damaged model headless: a GL context per file, so it is asked for by name.
    Sweep("thumbnail", MODEL, ["thumbnail", "--size", "64", "{inputs}", "{out}.png"], json=False, default=False),
]
# Every model writer writes every damaged model that still loads; a new writer joins with its name.
WRITER_FORMATS = ["svs", "svo", "3d2", "3ds", "cob", "dxf", "lwo", "mdl", "md2", "md3", "nff", "obj", "off", "ply", "pro",
                  "vtk", "x", "x-ascii", "stl", "glb"]
SWEEPS += [Sweep("convert-" + name, MODEL, ["convert", "--to", name, "--out-dir", "{out}", "{inputs}"], batch=20,
                 json=False) for name in WRITER_FORMATS]

SANITIZER_EXIT = 86
REPORT = re.compile(r"ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|WARNING: .*Sanitizer")


def kind_of(path):
    name = os.path.basename(path)
    if name.endswith(".ref.ppm"):
        return None  # reference decodes of the image corpus, not inputs
    extension = os.path.splitext(name)[1].lower()
    if extension in MODEL_EXTENSIONS or extension in COMPANIONS:
        return MODEL
    if extension in IMAGE_EXTENSIONS:
        return IMAGE
    if "." not in name and "/models/" in path:
        return MODEL  # identified by its content
    return None


def is_text(data):
    sample = data[:4096]
    if not sample:
        return False
    printable = sum(1 for b in sample if b in (9, 10, 13) or 32 <= b < 127)
    return printable / len(sample) > 0.95


HUGE_TEXT = [b"2147483647", b"-2147483648", b"99999999999999999999", b"4294967295", b"-1", b"1e308"]
HUGE_WORDS = [0x7FFFFFFF, 0xFFFFFFFF, 0x80000000, 0x40000000]


def damage(data, rng):
    """The damaged versions of one file: (tag, bytes) pairs."""
    n = len(data)
    out = []
    if n == 0:
        return [("grown", b"\xff" * 64)]
    # Truncations: half, all but the last byte, inside the header, anywhere.
    for tag, cut in (("half", n // 2), ("last", n - 1), ("head", rng.randrange(0, min(n, 64))),
                     ("cut", rng.randrange(0, n))):
        out.append((tag, data[:cut]))
    # Changed bytes: one, a scattering, a run of 0xFF.
    one = bytearray(data)
    one[rng.randrange(n)] ^= 1 << rng.randrange(8)
    out.append(("bit", bytes(one)))
    scattered = bytearray(data)
    for _ in range(max(8, n // 512)):
        scattered[rng.randrange(n)] = rng.randrange(256)
    out.append(("bytes", bytes(scattered)))
    run = bytearray(data)
    at = rng.randrange(n)
    run[at:at + 16] = b"\xff" * len(run[at:at + 16])
    out.append(("run", bytes(run)))
    # Huge counts: numbers of a text file replaced by extreme ones; 32-bit words of a binary file
    # (both byte orders, in the header and anywhere) set to extreme values.
    if is_text(data):
        numbers = [m.span() for m in re.finditer(rb"-?\d+(\.\d+)?", data[:1 << 20])]
        for index in range(4):
            if not numbers:
                break
            start, end = numbers[0] if index == 0 else rng.choice(numbers)
            value = HUGE_TEXT[rng.randrange(len(HUGE_TEXT))]
            out.append(("count%d" % index, data[:start] + value + data[end:]))
    else:
        for index in range(4):
            word = bytearray(data)
            limit = min(n, 256) if index < 2 else n
            at = rng.randrange(0, max(1, limit - 3)) & ~3
            value = HUGE_WORDS[rng.randrange(len(HUGE_WORDS))]
            order = "little" if index % 2 == 0 else "big"
            word[at:at + 4] = value.to_bytes(4, order)[:len(word[at:at + 4])]
            out.append(("count%d" % index, bytes(word)))
    return out


@dataclass
class Input:
    source: str     # corpus file (relative to the corpus)
    tag: str
    path: str       # damaged file in the mirror
    run_path: str   # what the command is given (a companion's model for a damaged companion)
    extra: list = field(default_factory=list)  # pristine copies made for it


def damaged_name(path, tag):
    folder, name = os.path.split(path)
    stem, extension = os.path.splitext(name)
    if name.startswith(".") or (extension and not re.fullmatch(r"\.[A-Za-z0-9]{1,3}", extension)):
        stem, extension = name, ""
    return os.path.join(folder, "%s~%s%s" % (stem, tag, extension))


def make_inputs(corpus, mirror, seed, rounds):
    inputs = {MODEL: [], IMAGE: []}
    files = []
    for root, _, names in os.walk(corpus):
        for name in names:
            files.append(os.path.relpath(os.path.join(root, name), corpus))
    for relative in sorted(files):
        kind = kind_of("/" + relative)
        if kind is None:
            continue
        with open(os.path.join(corpus, relative), "rb") as handle:
            data = handle.read()
        extension = os.path.splitext(relative)[1].lower()
        companion_of = None
        if extension in COMPANIONS:
            model = os.path.splitext(relative)[0] + COMPANIONS[extension]
            if not os.path.exists(os.path.join(corpus, model)):
                continue
            companion_of = model
        for round_index in range(rounds):
            rng = random.Random((seed << 32) ^ zlib.crc32(relative.encode()) ^ (round_index << 20))
            for tag, bytes_ in damage(data, rng):
                tag = "%s%d" % (tag, round_index) if rounds > 1 else tag
                path = damaged_name(os.path.join(mirror, relative), tag)
                with open(path, "wb") as handle:
                    handle.write(bytes_)
                item = Input(relative, tag, path, path)
                # A damaged model keeps its companions (an OBJ its material library).
                for companion, owner in COMPANIONS.items():
                    sibling = os.path.splitext(relative)[0] + companion
                    if extension == owner and os.path.exists(os.path.join(corpus, sibling)):
                        copy = damaged_name(os.path.join(mirror, sibling), tag)
                        shutil.copyfile(os.path.join(corpus, sibling), copy)
                        item.extra.append(copy)
                if companion_of:
                    run_path = damaged_name(os.path.join(mirror, companion_of), tag)
                    shutil.copyfile(os.path.join(corpus, companion_of), run_path)
                    item.run_path = run_path
                    item.extra.append(run_path)
                inputs[kind].append(item)
    return inputs


@dataclass
class Outcome:
    sweep: str
    inputs: list
    status: int = 0
    seconds: float = 0.0
    peak_kib: int = 0
    timed_out: bool = False
    stdout: str = ""
    stderr: str = ""
    loaded: int = 0  # inputs the command read successfully despite the damage
    problems: list = field(default_factory=list)


def run(cli, sweep, batch, timeout, env, scratch):
    args = []
    out = os.path.join(scratch, "out-%d-%d" % (os.getpid(), id(batch)))
    for arg in sweep.args:
        if arg == "{inputs}":
            args.extend(item.run_path for item in batch)
        else:
            args.append(arg.replace("{out}", out))
    outcome = Outcome(sweep.name, batch)
    with tempfile.TemporaryFile() as stdout, tempfile.TemporaryFile() as stderr:
        start = time.monotonic()
        process = subprocess.Popen([cli] + args, stdout=stdout, stderr=stderr, env=env, cwd=scratch)
        usage = None
        while True:
            pid, status, usage = os.wait4(process.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() - start > timeout and not outcome.timed_out:
                outcome.timed_out = True
                process.send_signal(signal.SIGKILL)
            time.sleep(0.005)
        process.returncode = os.waitstatus_to_exitcode(status)
        outcome.seconds = time.monotonic() - start
        outcome.status = process.returncode
        outcome.peak_kib = usage.ru_maxrss
        stdout.seek(0)
        stderr.seek(0)
        outcome.stdout = stdout.read().decode("utf-8", "replace")
        outcome.stderr = stderr.read().decode("utf-8", "replace")
    for path in glob.glob(glob.escape(out) + "*"):
        if os.path.isdir(path):
            shutil.rmtree(path, ignore_errors=True)
        else:
            os.remove(path)
    return outcome


def judge(outcome, sweep, limit_kib):
    problems = outcome.problems
    if outcome.timed_out:
        problems.append("time-out")
    elif "LeakSanitizer" in outcome.stderr:
        problems.append("leak")
    elif REPORT.search(outcome.stderr) or outcome.status == SANITIZER_EXIT:
        problems.append("sanitizer report")
    elif outcome.status < 0 or outcome.status not in sweep.statuses:
        problems.append("crash" if outcome.status < 0 else "exit status %d" % outcome.status)
    if outcome.peak_kib > limit_kib:
        problems.append("peak RSS %d MiB" % (outcome.peak_kib // 1024))
    if sweep.json and not problems:
        lines = [line for line in outcome.stdout.splitlines() if line.strip()]
        paths = []
        for line in lines:
            try:
                record = json.loads(line)
            except ValueError:
                problems.append("output is not JSON")
                break
            paths.append(record.get("path"))
            outcome.loaded += 1 if record.get("ok") else 0
        if paths and paths != [item.run_path for item in outcome.inputs]:
            problems.append("output does not name its inputs")
        elif not paths:
            problems.append("no output")
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cli", required=True, help="solvane-cli built with the sanitizers")
    parser.add_argument("--corpus", default=os.path.normpath(os.path.join(here, "..", "..", "shared", "corpus")))
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--rounds", type=int, default=1, help="damaged sets per file (each with new choices)")
    parser.add_argument("--timeout", type=float, default=20.0, help="seconds per run")
    parser.add_argument("--limit-mib", type=int, default=1024, help="peak resident size per run")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--keep", help="folder to copy the damaged files of failed runs into")
    parser.add_argument("--sweeps", help="commands to run, comma-separated (default: %s; also: %s)"
                        % (",".join(s.name for s in SWEEPS if s.default),
                           ",".join(s.name for s in SWEEPS if not s.default)))
    parser.add_argument("--suppressions", default=os.path.join(here, "..", "tests", "sanitizers", "lsan.supp"))
    options = parser.parse_args()
    options.cli = os.path.abspath(options.cli)
    if not os.path.isdir(options.corpus):
        print("hostile-sweep: no corpus at %s" % options.corpus, file=sys.stderr)
        return 2

    work = tempfile.mkdtemp(prefix="solvane-hostile-")
    try:
        mirror = os.path.join(work, "corpus")
        scratch = os.path.join(work, "scratch")
        os.makedirs(scratch)
        # A mirror of symbolic links: damaged files go beside the originals they replace.
        subprocess.run(["cp", "-rs", os.path.abspath(options.corpus), mirror], check=True)
        inputs = make_inputs(options.corpus, mirror, options.seed, options.rounds)

        env = dict(os.environ)
        env["ASAN_OPTIONS"] = ("detect_leaks=1:exitcode=%d:max_allocation_size_mb=%d:allocator_may_return_null=0"
                               ":detect_stack_use_after_return=1" % (SANITIZER_EXIT, options.limit_mib))
        env["UBSAN_OPTIONS"] = "halt_on_error=1:print_stacktrace=1:exitcode=%d" % SANITIZER_EXIT
        env["LSAN_OPTIONS"] = "exitcode=%d:suppressions=%s" % (SANITIZER_EXIT, os.path.abspath(options.suppressions))

        names = options.sweeps.split(",") if options.sweeps else [s.name for s in SWEEPS if s.default]
        unknown = set(names) - {s.name for s in SWEEPS}
        if unknown:
            print("hostile-sweep: no such command: %s" % ", ".join(sorted(unknown)), file=sys.stderr)
            return 2
        sweeps = [s for s in SWEEPS if s.name in names]
        jobs = []
        for sweep in sweeps:
            items = inputs[sweep.kind]
            for at in range(0, len(items), sweep.batch):
                jobs.append((sweep, items[at:at + sweep.batch]))
        limit_kib = options.limit_mib * 1024
        failures = []
        runs = 0
        peak = 0
        slowest = 0.0
        counts = {}
        loaded = 0
        with ThreadPoolExecutor(max_workers=options.jobs) as pool:
            futures = [pool.submit(run, options.cli, sweep, batch, options.timeout, env, scratch)
                       for sweep, batch in jobs]
            for (sweep, batch), future in zip(jobs, futures):
                outcome = future.result()
                runs += 1
                peak = max(peak, outcome.peak_kib)
                slowest = max(slowest, outcome.seconds)
                problems = judge(outcome, sweep, limit_kib)
                loaded += outcome.loaded
                for problem in problems:
                    key = problem.split(" ")[0] if problem.startswith("peak") else problem
                    counts[key] = counts.get(key, 0) + 1
                if problems:
                    failures.append((outcome, problems))

        for outcome, problems in failures:
            names = ", ".join("%s (%s)" % (item.source, item.tag) for item in outcome.inputs)
            print("FAIL %s: %s: %s" % (outcome.sweep, "; ".join(problems), names))
            report = [line for line in outcome.stderr.splitlines() if REPORT.search(line) or "SUMMARY" in line]
            for line in (report or outcome.stderr.splitlines())[:8]:
                print("    " + line)
            if options.keep:
                os.makedirs(options.keep, exist_ok=True)
                for item in outcome.inputs:
                    shutil.copy(item.path, os.path.join(options.keep, os.path.basename(item.path)))

        kinds = {sweep.kind for sweep in sweeps}
        sources = {item.source for kind in kinds for item in inputs[kind]}
        damaged = sum(len(inputs[kind]) for kind in kinds)
        def count(name):
            return counts.get(name, 0)
        other = sum(value for key, value in counts.items()
                    if key not in ("sanitizer report", "leak", "crash", "time-out", "peak"))
        print("hostile-sweep: commands: %s" % ", ".join(s.name for s in sweeps))
        print("hostile-sweep: seed %d: %d corpus files, %d damaged inputs (%d still read), %d runs of %d commands: "
              "%d sanitizer reports, "
              "%d leaks, %d crashes, %d time-outs (%.0f s), %d over %d MiB (peak %d MiB, slowest run %.1f s), "
              "%d other failures: %s"
              % (options.seed, len(sources), damaged, loaded, runs, len(sweeps),
                 count("sanitizer report"), count("leak"), count("crash"), count("time-out"), options.timeout,
                 count("peak"), options.limit_mib, peak // 1024, slowest, other,
                 "PASS" if not failures else "FAIL"))
        return 0 if not failures else 1
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
