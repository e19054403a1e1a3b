#!/usr/bin/env python3
"""The OS run's checker against a serial log of a real run (fixtures/serial.log,
OVMF + swtpm + Debian's kernel): the log as recorded passes every check, and
each kind of damage fails exactly the checks that should catch it. The PCR
replays run the real tpm2_eventlog."""
import base64
import contextlib
import io
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import os_log_check as checker  # noqa: E402

FIXTURE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures", "serial.log")


def read_fixture():
    with open(FIXTURE, errors="replace") as f:
        return f.read()


def replace_block(text, name, data):
    """The serial text with block NAME's base64 replaced by data's."""
    begin = text.index(f"=== begin {name}")
    start = text.index("\n", begin) + 1
    end = text.index("=== end", start)
    encoded = base64.b64encode(data).decode()
    lines = "\n".join(encoded[i:i + 76] for i in range(0, len(encoded), 76))
    return text[:start] + lines + "\n" + text[end:]


def edit_log(text, edit):
    """Applies edit(raw bytearray, records) to the event log block."""
    raw = bytearray(checker.Serial(text).base64_block("event-log"))
    edit(raw, checker.parse_log(bytes(raw)))
    return replace_block(text, "event-log", bytes(raw))


def record_where(records, predicate):
    return next(r for r in records if predicate(r))


def flip_wake_digest(raw, records):
    r = record_where(records, lambda r: r.is_action(checker.WAKE_EVENT))
    raw[r.offset + 8] ^= 0x01


def platform_event_guid(raw, records):
    # The event data names the table; the digest and so the PCRs stay as they were.
    r = record_where(records, lambda r: r.type == checker.EV_EFI_HANDOFF_TABLES and r.pcr == 0)
    raw[r.offset + 32 + 8] ^= 0xFF


def boot_option_data(raw, records):
    r = [r for r in records if r.type == checker.EV_EFI_VARIABLE_BOOT][-1]
    raw[r.offset + 32 + len(r.event) - 1] ^= 0xFF


def truncate_log(raw, records):
    del raw[records[-1].offset + 40:]


def edit_smbios(text):
    table = bytearray(checker.Serial(text).base64_block("smbios-table"))
    table[10] ^= 0xFF
    return replace_block(text, "smbios-table", bytes(table))


def edit_pcr3(text):
    return re.sub(r"^PCR-03: ([0-9A-F]{2})", lambda m: "PCR-03: " + ("00" if m.group(1) != "00"
                  else "01"), text, flags=re.M)


# name, edit of the serial text, the checks that must fail (by their start).
CASES = [
    ("as recorded", lambda t: t, []),
    ("wake digest flipped", lambda t: edit_log(t, flip_wake_digest),
     ["wake event", "PCR 6:", "this checker's own"]),
    ("platform table GUID changed", lambda t: edit_log(t, platform_event_guid),
     ["platform table"]),
    ("a boot option's data changed", lambda t: edit_log(t, boot_option_data),
     ["BootOrder and its options"]),
    ("SMBIOS table Linux found differs", edit_smbios, ["SMBIOS handoff"]),
    ("Linux read another PCR 3", edit_pcr3, ["PCR 3:", "this checker's own"]),
    ("application reported a failure",
     lambda t: t.replace("[fw-test] 58 passed, 0 failed", "[fw-test] 57 passed, 1 failed"),
     ["the application's checks"]),
    ("firmware logs two return actions alone",
     lambda t: t.replace("firmware alone 1)", "firmware alone 2)"), ["\"Returning from"]),
    ("second ready-to-boot not named",
     lambda t: t.replace("a later ready-to-boot logged", "a later signal logged"),
     ["the application named"]),
    ("log cut inside its last record", lambda t: edit_log(t, truncate_log),
     ["the event log Linux read parses", "Linux handed over"]),
    ("kernel never started",
     lambda t: t[:t.index("[fw-test] os: starting")],
     ["the application started", "Linux's initramfs", "Linux handed over",
      "Linux's TPM driver read"]),
]


def run(text):
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        ok = checker.check_run(checker.Serial(text))
    lines = out.getvalue().strip().split("\n")
    return ok, lines


class CheckerTest(unittest.TestCase):
    def test_cases(self):
        fixture = read_fixture()
        for name, edit, failing in CASES:
            with self.subTest(name):
                ok, lines = run(edit(fixture))
                failed = [l[5:] for l in lines if l.startswith("FAIL ")]
                self.assertEqual(ok, not failing)
                self.assertEqual(len(failed), len(failing), "\n".join(failed))
                for start in failing:
                    self.assertTrue(any(f.startswith(start) for f in failed),
                                    f"no failing check starts with {start!r}:\n" +
                                    "\n".join(failed))
                self.assertRegex(lines[-1], rf"^\d+ passed, {len(failing)} failed$")

    def test_recorded_run_finds_every_driver_record(self):
        ok, lines = run(read_fixture())
        self.assertTrue(ok)
        self.assertEqual(lines[-1], "22 passed, 0 failed")

    def test_parse_log_rejects_a_record_past_the_end(self):
        raw = checker.Serial(read_fixture()).base64_block("event-log")
        for cut in (1, 20, 33):
            with self.subTest(cut=cut), self.assertRaises(ValueError):
                checker.parse_log(raw[:-cut])


if __name__ == "__main__":
    unittest.main()
