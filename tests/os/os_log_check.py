#!/usr/bin/env python3
"""Checks what Linux read after the firmware run (scripts/os-run.sh).

Input: the run's serial log. The test application prints its own checks and
tally ("[fw-test] ..."), then starts the kernel; the initramfs prints, between
"=== begin NAME" and "=== end NAME" lines, the TPM 1.2 event log Linux took
over from the firmware (securityfs), the SMBIOS tables it found and the PCRs
its TPM driver reads (sysfs).

The host finds TpmPlatformDxe's ready-to-boot records in that log by their
content, recomputes each digest from what was measured, replays the whole log
with tpm2_eventlog (and on its own) and compares PCRs 0-7 with Linux's.
Prints one line per check and "N passed, N failed"; exit status 0 only when
every check passed.

Usage: os_log_check.py SERIAL_LOG [--keep-log FILE]
"""
import base64
import hashlib
import re
import struct
import subprocess
import sys
import tempfile
import uuid

EV_SEPARATOR = 0x4
EV_EFI_VARIABLE_BOOT = 0x80000002
EV_EFI_ACTION = 0x80000007
EV_EFI_HANDOFF_TABLES = 0x80000009

PLATFORM_TABLE_GUID = uuid.UUID("11D8AC35-FB8A-44D1-8D09-0B5606D321B9").bytes_le
SMBIOS_TABLE_GUID = uuid.UUID("EB9D2D31-2D88-11D3-9A16-0090273FC14D").bytes_le
GLOBAL_VARIABLE_GUID = uuid.UUID("8BE4DF61-93CA-11D2-AA0D-00E098032B8C").bytes_le

WAKE_EVENT = b"Wake Event \x06"
CALLING = b"Calling EFI Application from Boot Option"
RETURNING = b"Returning from EFI Application from Boot Option"
SEPARATOR = b"\xff\xff\xff\xff"
REPLAYED_PCRS = 8


def platform_table():
    """The 48-byte table the test application installs before ready-to-boot."""
    table = bytearray(0xA0 + i for i in range(48))
    table[4] = len(table)
    table[5:8] = b"\0\0\0"
    return bytes(table)


def sha1(data):
    return hashlib.sha1(data).digest()


class Record:
    def __init__(self, index, offset, pcr, type_, digest, event):
        self.index, self.offset = index, offset
        self.pcr, self.type, self.digest, self.event = pcr, type_, digest, event

    def is_action(self, text):
        return self.type == EV_EFI_ACTION and self.event == text


def parse_log(raw):
    """TCG 1.2 records (TCG_PCR_EVENT); raises ValueError on a record that
    runs past the end."""
    records, off = [], 0
    while off < len(raw):
        if off + 32 > len(raw):
            raise ValueError(f"truncated record header at offset {off}")
        pcr, type_ = struct.unpack_from("<II", raw, off)
        digest = raw[off + 8:off + 28]
        (size,) = struct.unpack_from("<I", raw, off + 28)
        if off + 32 + size > len(raw):
            raise ValueError(f"record at offset {off} runs past the log's end")
        records.append(Record(len(records), off, pcr, type_, digest, raw[off + 32:off + 32 + size]))
        off += 32 + size
    return records


def replay(records):
    pcrs = [bytes(20)] * REPLAYED_PCRS
    for r in records:
        if r.pcr < REPLAYED_PCRS:
            pcrs[r.pcr] = sha1(pcrs[r.pcr] + r.digest)
    return pcrs


class Serial:
    """The parts of the serial log the checks read."""

    def __init__(self, text):
        text = re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text).replace("\r", "")
        self.lines = text.split("\n")
        self.blocks = {}
        name = None
        for line in self.lines:
            m = re.match(r"^=== begin (\S+)", line)
            if m:
                name, self.blocks[m.group(1)] = m.group(1), []
            elif line.startswith("=== end"):
                name = None
            elif name is not None:
                self.blocks[name].append(line)

    def app_line(self, pattern):
        for line in self.lines:
            if line.startswith("[fw-test]"):
                m = re.search(pattern, line)
                if m:
                    return m
        return None

    def base64_block(self, name):
        if name not in self.blocks:
            return None
        # Kernel messages may slip between the lines: keep only base64 lines.
        body = "".join(l.strip() for l in self.blocks[name]
                       if re.fullmatch(r"[A-Za-z0-9+/=]+", l.strip()))
        return base64.b64decode(body)

    def pcrs(self):
        """PCR-NN lines of the TPM 1.2 driver's pcrs file."""
        found = {}
        for line in self.blocks.get("pcrs", []):
            m = re.match(r"^PCR-(\d\d):((?: [0-9A-F]{2}){20})\s*$", line)
            if m:
                found[int(m.group(1))] = bytes.fromhex(m.group(2).replace(" ", ""))
        return found


def smbios_table(entry, table):
    """The structure table the entry point describes: a 2.x entry point gives
    its exact length, a 3.0 one its maximum size."""
    if entry is None or table is None:
        return None
    if entry[:4] == b"_SM_" and len(entry) >= 0x1C:
        (length,) = struct.unpack_from("<H", entry, 0x16)
    elif entry[:5] == b"_SM3_" and len(entry) >= 0x18:
        (length,) = struct.unpack_from("<I", entry, 0x0C)
    else:
        return None
    return table[:length] if length <= len(table) else None


def tpm2_eventlog_pcrs(raw, keep=None):
    """tpm2_eventlog's replay of the log: {pcr: value} from its 'pcrs:' part,
    or (None, reason)."""
    with tempfile.NamedTemporaryFile(suffix=".bin") as f:
        f.write(raw)
        f.flush()
        if keep:
            with open(keep, "wb") as k:
                k.write(raw)
        try:
            out = subprocess.run(["tpm2_eventlog", f.name], capture_output=True, text=True,
                                 timeout=60)
        except FileNotFoundError:
            return None, "tpm2_eventlog not installed"
    if out.returncode != 0:
        return None, f"tpm2_eventlog exit {out.returncode}: {out.stderr.strip()[:120]}"
    # Its YAML for legacy logs repeats keys: read the lines as text.
    pcrs, in_pcrs, in_sha1 = {}, False, False
    for line in out.stdout.split("\n"):
        if line.startswith("pcrs:"):
            in_pcrs = True
        elif in_pcrs and line.strip().startswith("sha1:"):
            in_sha1 = True
        elif in_sha1:
            m = re.match(r"^\s+(\d+)\s*:\s*0x([0-9A-Fa-f]{40})\s*$", line)
            if not m:
                break
            pcrs[int(m.group(1))] = bytes.fromhex(m.group(2))
    return pcrs, None


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def __call__(self, ok, text):
        print(("PASS " if ok else "FAIL ") + text)
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        return ok


def check_driver_records(check, records, serial):
    """The ready-to-boot records TpmPlatformDxe added, found by content."""
    # The wake event opens the driver's records: the rest follow it in order.
    wake = [r for r in records if r.pcr == 6 and r.is_action(WAKE_EVENT)]
    check(len(wake) == 1 and wake[0].digest == sha1(WAKE_EVENT),
          f"wake event \"Wake Event \" + 06 in PCR 6, digest of its 12 bytes "
          f"({len(wake)} found)")
    if len(wake) != 1:
        return
    at = wake[0].index + 1

    def next_record():
        nonlocal at
        r = records[at] if at < len(records) else None
        at += 1
        return r

    r = next_record()
    ok = (r is not None and r.pcr == 0 and r.type == EV_EFI_HANDOFF_TABLES and len(r.event) == 32
          and struct.unpack_from("<Q", r.event, 0)[0] == 1 and r.event[8:24] == PLATFORM_TABLE_GUID
          and r.digest == sha1(platform_table()))
    check(ok, "platform table handoff record in PCR 0, digest of the table's 48 bytes")

    smbios = smbios_table(serial.base64_block("smbios-entry-point"),
                          serial.base64_block("smbios-table"))
    r = next_record()
    ok = (smbios is not None and r is not None and r.pcr == 1 and r.type == EV_EFI_HANDOFF_TABLES
          and len(r.event) == 32 and r.event[8:24] == SMBIOS_TABLE_GUID
          and r.digest == sha1(smbios))
    check(ok, "SMBIOS handoff record in PCR 1, digest of the structure table Linux found "
              f"({len(smbios) if smbios is not None else 'no'} bytes)")

    r = next_record()
    check(r is not None and r.pcr == 5 and r.is_action(CALLING) and r.digest == sha1(CALLING),
          f"\"{CALLING.decode()}\" in PCR 5, digest of the text")

    boot = []
    while at < len(records) and records[at].type == EV_EFI_VARIABLE_BOOT:
        boot.append(next_record())
    names, ok = [], bool(boot)
    for r in boot:
        if len(r.event) < 32:
            ok = False
            continue
        name_chars, data_size = struct.unpack_from("<QQ", r.event, 16)
        name = r.event[32:32 + 2 * name_chars].decode("utf-16-le", "replace")
        data = r.event[32 + 2 * name_chars:]
        names.append(name)
        ok = (ok and r.pcr == 5 and r.event[:16] == GLOBAL_VARIABLE_GUID
              and len(data) == data_size and r.digest == sha1(r.event))
    if ok:
        order_record = boot[0].event
        order_data = order_record[32 + 2 * len(names[0]):]
        order = [f"Boot{n:04X}" for n in struct.unpack(f"<{len(order_data) // 2}H", order_data)]
        ok = names[0] == "BootOrder" and names[1:] == order
    check(ok, f"BootOrder and its options in PCR 5, in order, digest of each variable record "
              f"({', '.join(names) or 'none'})")

    separators_ok = True
    for pcr in range(REPLAYED_PCRS):
        r = next_record()
        separators_ok = (separators_ok and r is not None and r.pcr == pcr
                         and r.type == EV_SEPARATOR and r.event == SEPARATOR
                         and r.digest == sha1(SEPARATOR))
    check(separators_ok, "separators for PCR 0 to 7 in order, digest of FF FF FF FF")

    # The application signals ready-to-boot a second time and says which
    # records that logged; the firmware's own listener logs the return action
    # on every signal (the application counted how often), the driver adds one.
    window = serial.app_line(r"a later ready-to-boot logged records (\d+) to (\d+)$")
    alone = serial.app_line(r"firmware alone (\d+)\)")
    if not check(window is not None and alone is not None,
                 "the application named the second ready-to-boot's records"):
        return
    first, last = int(window.group(1)), int(window.group(2))
    returning = [r for r in records[first:last + 1] if r.pcr == 5 and r.is_action(RETURNING)]
    expected = int(alone.group(1)) + 1
    check(first >= at and last < len(records) and len(returning) == expected
          and all(r.digest == sha1(RETURNING) for r in returning),
          f"\"{RETURNING.decode()}\" in PCR 5 from the second ready-to-boot (records {first} to "
          f"{last}): {len(returning)}, the firmware's {alone.group(1)} and the driver's one, "
          f"digest of the text")


def check_run(serial, keep_log=None):
    check = Checks()
    tally = serial.app_line(r"\] (\d+) passed, (\d+) failed$")
    check(tally is not None and tally.group(2) == "0" and int(tally.group(1)) > 0,
          "the application's checks on the firmware: " +
          (f"{tally.group(1)} passed, {tally.group(2)} failed" if tally else "no tally"))
    started = serial.app_line(r"os: starting (\S+)")
    check(started is not None, "the application started the kernel " +
          (started.group(1) if started else "(no such line)"))
    running = next((l for l in serial.lines if l.startswith("=== os: Linux")), None)
    check(running is not None, running[4:] if running else "Linux's initramfs did not run")

    raw = serial.base64_block("event-log")
    records = None
    if raw is not None:
        try:
            records = parse_log(raw)
        except ValueError as e:
            check(False, f"the event log Linux read parses: {e}")
    if records is None:
        check(False, "Linux handed over the firmware's TPM 1.2 event log")
    else:
        check(bool(records), f"Linux read the firmware's event log: {len(raw)} bytes, "
                             f"{len(records)} records")
        check_driver_records(check, records, serial)

    linux = serial.pcrs()
    check(all(i in linux for i in range(REPLAYED_PCRS)),
          f"Linux's TPM driver read PCRs 0 to 7 ({len(linux)} PCRs)")
    if records is not None:
        tool, reason = tpm2_eventlog_pcrs(raw, keep_log)
        if tool is None:
            check(False, f"tpm2_eventlog replays the log: {reason}")
        else:
            for i in range(REPLAYED_PCRS):
                check(i in tool and tool.get(i) == linux.get(i),
                      f"PCR {i}: tpm2_eventlog's replay equals the value Linux read"
                      f" ({tool[i].hex() if i in tool else 'none'})")
        own = replay(records)
        check(all(own[i] == linux.get(i) for i in range(REPLAYED_PCRS)),
              "this checker's own SHA-1 replay agrees for PCRs 0 to 7")
    print(f"{check.passed} passed, {check.failed} failed")
    return check.failed == 0 and check.passed > 0


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--keep-log"):
        print(__doc__.strip().split("\n")[-1], file=sys.stderr)
        return 2
    with open(argv[1], errors="replace") as f:
        serial = Serial(f.read())
    return 0 if check_run(serial, argv[3] if len(argv) == 4 else None) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
