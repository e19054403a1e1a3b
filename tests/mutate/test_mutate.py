"""Tests of the mutation tester's own parts: which mutants a source gives, the sample,
the equivalents file and the score. Run by CTest (label mutate) with python3 -m unittest."""

import os
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools", "mutate"))

import mutants  # noqa: E402
import report  # noqa: E402
from runner import InPlace, Outcome  # noqa: E402


def described(source):
    return sorted((m.line, m.kind, m.description) for m in mutants.generate("x.cpp", source))


class Generation(unittest.TestCase):

    def test_mutants_of_small_sources(self):
        cases = [
            ("comments, strings and tables are not code",
             "// if (a == b) x = 1;\n"
             "/* return a < b; */\n"
             "constexpr UINT8 kTable[] = {1, 2};\n"
             "#define LIMIT (3 + 4)\n"
             "static_assert(sizeof(int) == 4, \"a == b\");\n",
             []),
            ("a condition and the call it guards",
             "void F(int a) {\n  if (a == 1)\n    Foo();\n}\n",
             [(2, "constant", "1 -> 0"), (2, "constant", "1 -> 2"), (2, "negate",
               "negate condition"), (2, "relational", "== -> !="),
              (3, "delete", "delete statement")]),
            ("a local declaration: its initializer mutates, it is never deleted",
             "void F(int a) {\n  UINTN n = a + 1;\n  static_assert(sizeof(n) == 8, \"\");\n}\n",
             [(2, "arithmetic", "+ -> -"), (2, "constant", "1 -> 0"),
              (2, "constant", "1 -> 2")]),
            ("template brackets and unary minus are not operators",
             "void F(long y) {\n  x = static_cast<UINT8>(-y);\n}\n",
             [(2, "delete", "delete statement")]),
            ("a template declaration holds no comparison",
             "void F(int n) {\n  FixedRecord<8> Record;\n  Use(Record, n < 2);\n}\n",
             [(3, "constant", "2 -> 1"), (3, "constant", "2 -> 3"), (3, "delete", "delete statement"),
              (3, "relational", "< -> >=")]),
            ("statuses swap both ways",
             "EFI_STATUS F(bool ok) {\n  if (ok)\n    return EFI_SUCCESS;\n"
             "  return EFI_NOT_FOUND;\n}\n",
             [(2, "negate", "negate condition"), (3, "status", "EFI_SUCCESS -> EFI_DEVICE_ERROR"),
              (4, "status", "EFI_NOT_FOUND -> EFI_DEVICE_ERROR"),
              (4, "status", "EFI_NOT_FOUND -> EFI_SUCCESS")]),
            ("masks, shifts, logic and hex constants keep their form",
             "UINT8 F(UINT8 v, bool a, bool b) {\n  return (v & 0x0F) << (a && b);\n}\n",
             [(2, "constant", "0x0F -> 0x10"), (2, "constant", "0x0F -> 0xE"),
              (2, "logical", "&& -> ||"), (2, "mask", "& -> |"), (2, "mask", "<< -> >>")]),
            ("member functions of a struct are code; its fields are not",
             "struct S {\n  UINTN Room = 3;\n  bool Full() const { return Room == 1; }\n};\n",
             [(3, "constant", "1 -> 0"), (3, "constant", "1 -> 2"),
              (3, "relational", "== -> !=")]),
            ("a loop header and a multi-line statement",
             "void F(UINTN n) {\n  for (UINTN i = 0; i < n; ++i)\n    Out(i,\n        n);\n}\n",
             [(2, "arithmetic", "++ -> --"), (2, "constant", "0 -> 1"),
              (2, "relational", "< -> >="), (3, "delete", "delete statement")]),
            ("case labels stay, the statements after them mutate",
             "int F(int k) {\n  switch (k) {\n  case 16:\n    return 2;\n  default:\n"
             "    return 0;\n  }\n}\n",
             [(4, "constant", "2 -> 1"), (4, "constant", "2 -> 3"), (6, "constant", "0 -> 1")]),
        ]
        for name, source, expected in cases:
            with self.subTest(name):
                self.assertEqual(described(source), sorted(expected))

    def test_applied_mutant_changes_only_its_span(self):
        source = "int F(int a) {\n  return a <= 2; // a <= 2\n}\n"
        (m,) = [m for m in mutants.generate("x.cpp", source) if m.kind == "relational"]
        self.assertEqual(m.apply(source), "int F(int a) {\n  return a > 2; // a <= 2\n}\n")
        deleted = "void F() {\n  Foo(1,\n      2);\n  Bar();\n}\n"
        (d,) = [m for m in mutants.generate("x.cpp", deleted)
                if m.kind == "delete" and m.line == 2]
        self.assertEqual(d.apply(deleted), "void F() {\n  ;\n  Bar();\n}\n")


class Sampling(unittest.TestCase):

    def files(self):
        body = "int F(int a) {\n" + "  a = a + 1;\n" * 40 + "  return a;\n}\n"
        small = "int G(int a) {\n" + "  a = a + 1;\n" * 40 + "  return a;\n}\n"
        return {"big.cpp": (3000, mutants.generate("big.cpp", body)),
                "small.cpp": (1000, mutants.generate("small.cpp", small))}

    def test_spread_by_size_and_fixed_by_seed(self):
        files = self.files()
        cases = [(8, 6, 2), (4, 3, 1), (1, 1, 0)]
        for count, big, small in cases:
            with self.subTest(count=count):
                chosen = mutants.sample(files, count, 18)
                self.assertEqual(len(chosen), count)
                self.assertEqual(sum(m.file == "big.cpp" for m in chosen), big)
                self.assertEqual(sum(m.file == "small.cpp" for m in chosen), small)
                again = mutants.sample(files, count, 18)
                self.assertEqual([m.key for m in chosen], [m.key for m in again])
        self.assertNotEqual([m.key for m in mutants.sample(files, 8, 18)],
                            [m.key for m in mutants.sample(files, 8, 19)])

    def test_sample_never_exceeds_the_mutants(self):
        files = {"a.cpp": (10, mutants.generate("a.cpp", "void F() {\n  Foo();\n}\n"))}
        self.assertEqual(len(mutants.sample(files, 50, 1)), 1)


class Equivalents(unittest.TestCase):

    def test_every_reviewed_entry_names_a_mutant_of_the_current_source(self):
        path = os.path.join(ROOT, "tests", "mutate", "equivalents.txt")
        entries = report.read_equivalents(path)
        self.assertTrue(entries)
        for (file, line, mutation), reason in entries.items():
            with self.subTest(file=file, line=line, mutation=mutation):
                with open(os.path.join(ROOT, file), encoding="utf-8") as f:
                    keys = {m.key for m in mutants.generate(file, f.read())}
                self.assertIn((file, line, mutation), keys)
                self.assertGreater(len(reason), 20)

    def test_malformed_entries_are_refused(self):
        for text in ["a.cpp | x | y\n", "a.cpp | x |  | reason\n"]:
            with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
                f.write("# comment\n" + text)
            try:
                with self.assertRaises(SystemExit):
                    report.read_equivalents(f.name)
            finally:
                os.unlink(f.name)


class Score(unittest.TestCase):

    def test_score_counts_killed_over_compiled_minus_equivalent(self):
        def results(*outcomes):
            return [{"result": o} for o in outcomes]
        cases = [
            (results(Outcome.KILLED, Outcome.KILLED, Outcome.SURVIVED, Outcome.NOT_COMPILED),
             2, 3),
            (results(Outcome.KILLED, Outcome.TIMED_OUT, report.EQUIVALENT), 2, 2),
            (results(Outcome.NOT_COMPILED), 0, 0),
        ]
        for rs, killed, judged in cases:
            with self.subTest(rs=[r["result"] for r in rs]):
                _, k, j, percent = report.score(rs)
                self.assertEqual((k, j), (killed, judged))
                self.assertEqual(percent, None if judged == 0 else 100.0 * killed / judged)


class InPlaceSources(unittest.TestCase):
    """In place, the working tree's own sources carry the mutants: whatever happens to the
    run, they must come back byte for byte."""

    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.repo = os.path.join(self.dir.name, "repo")
        self.build = os.path.join(self.repo, "build", "sanitize")
        os.makedirs(os.path.join(self.repo, "drv"))
        os.makedirs(self.build)
        self.original = "int F() { return 1; }\n"
        with open(os.path.join(self.repo, "drv", "a.cpp"), "w", encoding="utf-8") as f:
            f.write(self.original)
        self.said = []

    def tearDown(self):
        self.dir.cleanup()

    def source(self):
        with open(os.path.join(self.repo, "drv", "a.cpp"), encoding="utf-8") as f:
            return f.read()

    def test_put_back_after_the_mutant_and_after_a_killed_run(self):
        cases = [("restored by the run", True), ("run killed, the next run restores", False)]
        for name, finishes in cases:
            with self.subTest(name):
                tree = InPlace(self.repo, self.build, self.said.append)
                tree.write("drv/a.cpp", "int F() { return 2; }\n")
                self.assertEqual(self.source(), "int F() { return 2; }\n")
                if finishes:
                    tree.restore("drv/a.cpp", self.original)
                    self.assertEqual(self.source(), self.original)
                InPlace(self.repo, self.build, self.said.append).sync()
                self.assertEqual(self.source(), self.original)
                self.assertFalse(os.path.exists(os.path.join(self.build, "mutate-originals",
                                                             "drv", "a.cpp")))
        self.assertEqual(self.said, ["mutate: drv/a.cpp put back from an interrupted run"])

    def test_a_build_that_is_not_configured_is_refused(self):
        with self.assertRaises(SystemExit):
            InPlace(self.repo, self.build, self.said.append).configure()


if __name__ == "__main__":
    unittest.main()
