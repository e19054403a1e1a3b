#!/usr/bin/env python3
"""Mutation testing of the driver code: plants small faults (a flipped operator, a deleted
statement, a constant off by one, a swapped status, an inverted condition, a changed mask)
one at a time in a scratch copy of the tree, rebuilds, runs the tests that can see the
file, and reports which faults no test noticed.

Exit status: 0 when the run completed (whatever the score), 1 when --min-score is given and
not met, 2 on bad usage or a tree whose tests fail without any mutant.
"""

import argparse
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import mutants  # noqa: E402
import report  # noqa: E402
import runner  # noqa: E402

DEFAULT_SEED = 18
DRIVER_FOLDERS = ("tpm_platform/", "button_smm/", "support/")


def driver_sources(repo):
    """The driver sources mutants are made of: the images' own code, not the x64 backend
    (no host test runs it) nor the host-only helpers."""
    listing = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard",
                              *DRIVER_FOLDERS], cwd=repo, check=True, capture_output=True,
                             text=True).stdout.split()
    return sorted(p for p in listing
                  if p.endswith(".cpp") and not p.endswith(".host.cpp")
                  and not p.startswith("support/arch/") and os.path.isfile(os.path.join(repo, p)))


def parse_args(argv):
    ap = argparse.ArgumentParser(
        prog="scripts/mutate.sh", description=__doc__,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--sample", type=int, default=45, metavar="N",
                    help="mutants to run, spread over the files by size (default 45)")
    ap.add_argument("--seed", type=int, default=DEFAULT_SEED, metavar="S",
                    help=f"seed of the sample (default {DEFAULT_SEED}); the same seed and "
                    "sources give the same mutants")
    ap.add_argument("--files", action="append", default=[], metavar="PREFIX",
                    help="only sources whose path starts with PREFIX (repeatable)")
    ap.add_argument("--list", action="store_true",
                    help="print the sampled mutants and stop (no build)")
    ap.add_argument("--all-tests", action="store_true",
                    help="run every test program that can see the file, to name all killers "
                    "(default: stop at the first program that fails)")
    ap.add_argument("--timeout", type=float, default=0, metavar="SECONDS",
                    help="test time allowed per mutant (default: 3 times the unmutated run "
                    "of the same programs, plus 30 s)")
    ap.add_argument("--build-timeout", type=float, default=900, metavar="SECONDS",
                    help="build time allowed per mutant before it counts as not compiled")
    ap.add_argument("--out", default="build/mutate", metavar="DIR",
                    help="scratch tree, its build and the reports (default build/mutate)")
    ap.add_argument("--in-place", default=None, metavar="BUILD",
                    help="no scratch tree: plant the mutants in the working tree's sources "
                    "and rebuild BUILD, an existing build of them (scripts/test.sh uses its "
                    "sanitizer build). Each file is put back after its mutant, and by the "
                    "next run if one is killed; BUILD is rebuilt unmutated at the end")
    ap.add_argument("--equivalents", default="tests/mutate/equivalents.txt", metavar="FILE",
                    help="reviewed equivalent mutants (default tests/mutate/equivalents.txt)")
    ap.add_argument("--min-score", type=float, default=None, metavar="PERCENT",
                    help="exit 1 when the score is below PERCENT")
    args = ap.parse_args(argv)
    if args.sample < 1:
        ap.error("--sample must be 1 or more")
    return args


def run_sample(args, chosen, scratch, equivalents, results, built):
    """Runs each mutant in turn; returns the summary of the results."""
    summary = None
    for index, m in enumerate(chosen, 1):
        labels = runner.labels_for(m.file)
        original = scratch.read(m.file)
        killers = []
        targets = scratch.targets(labels)
        built.update(targets)
        try:
            scratch.write(m.file, m.apply(original))
            if not scratch.compile(targets, args.build_timeout):
                outcome = runner.Outcome.NOT_COMPILED
            else:
                timeout = args.timeout or 3 * sum(p[3] for p in scratch.select(labels)) + 30
                outcome, killers = scratch.run_tests(labels, timeout, args.all_tests)
        finally:
            scratch.restore(m.file, original)
        entry = {
            "file": m.file, "line": m.line, "kind": m.kind, "mutation": m.description,
            "source": m.source_line, "result": outcome, "killers": killers,
        }
        reason = equivalents.get(m.key)
        if reason is not None and outcome == runner.Outcome.SURVIVED:
            entry["result"] = report.EQUIVALENT
            entry["reason"] = reason
        results.append(entry)
        shown = entry["result"] + (f" ({', '.join(killers[:2])})" if killers else "")
        print(f"[{index}/{len(chosen)}] {m.file}:{m.line} {m.kind} `{m.description}`: {shown}",
              flush=True)
        # The tables so far, so an interrupted run still leaves its results.
        summary = report.write(results, args.seed, len(chosen),
                               os.path.join(args.out, "report.json"),
                               os.path.join(args.out, "report.md"))
    return summary


def main(argv):
    args = parse_args(argv)
    repo = subprocess.run(["git", "rev-parse", "--show-toplevel"], check=True,
                          capture_output=True, text=True).stdout.strip()
    os.chdir(repo)
    if args.in_place:
        # Before the sources are read: a killed run may have left a mutant in one.
        scratch = runner.InPlace(repo, os.path.abspath(args.in_place), print)
        scratch.sync()
    equivalents = report.read_equivalents(args.equivalents)
    sources = [p for p in driver_sources(repo)
               if not args.files or any(p.startswith(f) for f in args.files)]
    if not sources:
        print("mutate: no driver sources match --files", file=sys.stderr)
        return 2
    by_file = {}
    for path in sources:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        by_file[path] = (len(text.encode()), mutants.generate(path, text))
    chosen = mutants.sample(by_file, args.sample, args.seed)
    total = sum(len(ms) for _, ms in by_file.values())
    print(f"mutate: seed {args.seed}, {len(chosen)} of {total} mutants in {len(sources)} files",
          flush=True)
    if args.list:
        for m in chosen:
            print(f"{m.file}:{m.line}: {m.kind}: {m.description}: {m.source_line}")
        return 0

    # A stop asked for by a signal still puts the mutated file back (the finally below).
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda signum, _frame: sys.exit(128 + signum))
    if not args.in_place:
        scratch = runner.Scratch(repo, os.path.abspath(args.out), print)
        os.makedirs(scratch.src, exist_ok=True)
        scratch.sync()
    scratch.configure()
    begin = time.monotonic()
    print(f"mutate: building {scratch.build}", flush=True)
    # The whole build once: CTest learns the tests from the built programs.
    if not scratch.compile(["all"], args.build_timeout * 4):
        print("mutate: the tree does not build without mutants", file=sys.stderr)
        return 2
    scratch.discover()
    wanted = [runner.labels_for(m.file) for m in chosen]
    scratch.baseline(None if None in wanted else set().union(*wanted))
    print(f"mutate: {len(scratch.programs)} test programs pass unmutated "
          f"({time.monotonic() - begin:.0f} s)", flush=True)

    os.makedirs(args.out, exist_ok=True)
    results = []
    built = set()
    try:
        summary = run_sample(args, chosen, scratch, equivalents, results, built)
    finally:
        # In place, the build must not keep the last mutant's programs.
        if args.in_place and built and not scratch.compile(sorted(built), args.build_timeout):
            print(f"mutate: {args.in_place} does not rebuild unmutated", file=sys.stderr)
    print(report.score_line(summary))
    for r in results:
        if r["result"] == runner.Outcome.SURVIVED:
            print(f"survived: {r['file']}:{r['line']} `{r['mutation']}`: {r['source']}")
    print(f"mutate: tables in {args.out}/report.md and report.json "
          f"({time.monotonic() - begin:.0f} s)")
    if args.min_score is not None and summary["score"] is not None and \
            summary["score"] < args.min_score:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
