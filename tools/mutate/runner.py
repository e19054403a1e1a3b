"""The tree a mutant is applied in, its incremental build and its tests.

By default the tree is a scratch copy of the repository's files under build/mutate/src,
never the working tree itself: a mutant written there cannot be left behind in anyone's
sources, and an interrupted run leaves nothing to clean up but the copy. Its build
(build/mutate/build) is a host build without images, fuzz targets or sanitizers.

In place (InPlace), the mutants go into the working tree's own sources and an existing
build of it is rebuilt: no second full build, which is what a CI machine that has just
built and tested the tree wants. Each original is saved beside the build before its file
is touched, put back after the mutant, and put back by the next run if this one was
killed in between.
"""

import concurrent.futures
import json
import os
import shutil
import signal
import subprocess
import time

# Tests that need more than the host build, or are not tests of the drivers' behaviour.
EXCLUDED_LABELS = {"firmware", "images", "fuzz", "mutate"}

# Which tests can see a source folder's code. Every test program links both drivers, but
# only those that start the drivers on the board (or call them) run their code; support/
# is everywhere, so it gets them all.
LABELS_BY_FOLDER = {
    "button_smm/": {"buttons", "smm", "sim", "faults"},
    "tpm_platform/": {"acpi", "measure", "ppi", "sim", "tpm", "tpm_core", "faults"},
}


def labels_for(path):
    for folder, labels in LABELS_BY_FOLDER.items():
        if path.startswith(folder):
            return labels
    return None  # unsure: every test


class Outcome:
    KILLED = "killed"
    SURVIVED = "survived"
    NOT_COMPILED = "not compiled"
    TIMED_OUT = "timed out"


class Scratch:

    def __init__(self, repo, root, log):
        self.repo = repo
        self.src = os.path.join(root, "src")
        self.build = os.path.join(root, "build")
        self.log = log
        self.programs = []  # [(name, argv, labels, baseline seconds)]

    # -- the copy ----------------------------------------------------------------------

    def sync(self):
        """Copies the repository's files (tracked and new, not ignored) into the scratch
        tree; unchanged files are left alone so the build stays incremental."""
        listing = subprocess.run(
            ["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
            cwd=self.repo, check=True, capture_output=True).stdout.decode()
        wanted = set()
        for rel in filter(None, listing.split("\0")):
            source = os.path.join(self.repo, rel)
            if not os.path.isfile(source):
                continue  # deleted in the working tree
            wanted.add(rel)
            target = os.path.join(self.src, rel)
            if os.path.isfile(target) and _same(source, target):
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            # A fresh time stamp: the source's own may be older than objects built from
            # the copy it replaces, and the build would keep them.
            shutil.copy(source, target)
        for dirpath, _, names in os.walk(self.src):
            for name in names:
                rel = os.path.relpath(os.path.join(dirpath, name), self.src)
                if rel not in wanted:
                    os.remove(os.path.join(dirpath, name))

    def read(self, rel):
        with open(os.path.join(self.src, rel), encoding="utf-8") as f:
            return f.read()

    def write(self, rel, text):
        with open(os.path.join(self.src, rel), "w", encoding="utf-8") as f:
            f.write(text)

    def restore(self, rel, text):
        self.write(rel, text)

    # -- the build ---------------------------------------------------------------------

    def configure(self):
        if os.path.isfile(os.path.join(self.build, "CMakeCache.txt")):
            return
        args = ["cmake", "-S", self.src, "-B", self.build, "-G", "Ninja",
                "-DCMAKE_CXX_COMPILER=clang++", "-DBUILD_IMAGES=OFF", "-DBUILD_FUZZERS=OFF",
                "-DSANITIZE=OFF", "-DCMAKE_BUILD_TYPE=Mutate", "-DCMAKE_CXX_FLAGS_MUTATE=-O1"]
        if shutil.which("ccache"):
            args.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        if shutil.which("ld.lld"):
            args.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
        subprocess.run(args, check=True, stdout=subprocess.DEVNULL)

    def compile(self, targets, timeout):
        """Builds the targets; False when the build fails."""
        try:
            result = subprocess.run(["cmake", "--build", self.build, "--target", *targets],
                                    capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired:
            return False
        return result.returncode == 0

    # -- the tests ---------------------------------------------------------------------

    def discover(self):
        """The test programs CTest knows, each with its labels: one run of a program runs
        all its tests, so a mutant costs one process per program, not one per test."""
        shown = subprocess.run(["ctest", "--show-only=json-v1"], cwd=self.build, check=True,
                               capture_output=True).stdout
        programs = {}
        for test in json.loads(shown)["tests"]:
            labels = set()
            for prop in test.get("properties", []):
                if prop["name"] == "LABELS":
                    labels.update(prop["value"])
            command = test.get("command")
            if not command or not labels or labels & EXCLUDED_LABELS:
                continue
            program = command[0]
            gtest = any(a.startswith("--gtest_filter") for a in command[1:])
            argv = [program, "--gtest_brief=1"] if gtest else command
            entry = programs.setdefault(tuple(argv), set())
            entry.update(labels)
        self.programs = [[os.path.basename(a[0]), list(a), sorted(l), 0.0]
                         for a, l in sorted(programs.items())]
        return self.programs

    def targets(self, labels):
        return sorted({p[0] for p in self.select(labels)})

    def select(self, labels):
        chosen = [p for p in self.programs if labels is None or set(p[2]) & labels]
        return sorted(chosen, key=lambda p: p[3])  # cheapest first

    def baseline(self, labels_wanted):
        """Runs unmutated the programs the sample will run (labels_wanted: a set of labels,
        or None for every program), side by side; their times set the order and the
        timeout of the mutant runs. A program that fails unmutated (one that needs the
        images, say) cannot judge a mutant: it is left out, and said so."""
        self.programs = self.select(labels_wanted)

        def timed(p):
            begin = time.monotonic()
            code, out = _run(p[1], self.build, None)
            return p, time.monotonic() - begin, code, out

        passing = []
        with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 1) as pool:
            for p, seconds, code, out in pool.map(timed, self.programs):
                p[3] = seconds
                if code == 0:
                    passing.append(p)
                else:
                    self.log(f"mutate: {p[0]} fails without any mutant, left out:\n"
                             + "\n".join(out.splitlines()[-5:]))
        if not passing:
            raise SystemExit("mutate: every test program fails without any mutant")
        self.programs = passing

    def run_tests(self, labels, timeout, all_programs):
        """(outcome, killing tests). Programs run cheapest first; unless all_programs, the
        first program that fails ends the run."""
        deadline = time.monotonic() + timeout
        killers = []
        for name, argv, _, _ in self.select(labels):
            left = deadline - time.monotonic()
            if left <= 0:
                return Outcome.TIMED_OUT, killers
            code, out = _run(argv, self.build, left)
            if code is None:
                return Outcome.TIMED_OUT, killers
            if code != 0:
                failed = [line.split("]", 1)[1].split()[0] for line in out.splitlines()
                          if line.startswith("[  FAILED  ]") and "listed below" not in line]
                failed = sorted(set(failed))
                if not failed:
                    failed = [f"(exit {code})"]
                killers.extend(f"{name}:{t}" for t in failed)
                if not all_programs:
                    break
        return (Outcome.KILLED if killers else Outcome.SURVIVED), killers


class InPlace(Scratch):
    """The working tree and an existing build of it (see the module's text)."""

    def __init__(self, repo, build, log):
        super().__init__(repo, os.path.dirname(build), log)
        self.src = repo
        self.build = build
        self.saved = os.path.join(build, "mutate-originals")

    def sync(self):
        """Puts back the originals a killed run left saved."""
        if not os.path.isdir(self.saved):
            return
        for dirpath, _, names in os.walk(self.saved):
            for name in names:
                kept = os.path.join(dirpath, name)
                rel = os.path.relpath(kept, self.saved)
                shutil.copy(kept, os.path.join(self.src, rel))
                os.remove(kept)
                self.log(f"mutate: {rel} put back from an interrupted run")
        shutil.rmtree(self.saved)

    def configure(self):
        if not os.path.isfile(os.path.join(self.build, "CMakeCache.txt")):
            raise SystemExit(f"mutate: {self.build} is not a configured build")

    def write(self, rel, text):
        kept = os.path.join(self.saved, rel)
        if not os.path.exists(kept):
            os.makedirs(os.path.dirname(kept), exist_ok=True)
            shutil.copy(os.path.join(self.src, rel), kept)
        super().write(rel, text)

    def restore(self, rel, text):
        super().write(rel, text)
        os.remove(os.path.join(self.saved, rel))


def _same(a, b):
    sa, sb = os.stat(a), os.stat(b)
    if sa.st_size != sb.st_size:
        return False
    with open(a, "rb") as fa, open(b, "rb") as fb:
        return fa.read() == fb.read()


def _run(argv, cwd, timeout):
    """(exit code or None on timeout, output). The program runs in its own process group
    so a timeout ends whatever it started too."""
    proc = subprocess.Popen(argv, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.communicate()
        return None, ""
    return proc.returncode, out.decode(errors="replace")
