"""The reviewed list of equivalent mutants, the score, and the JSON and markdown tables."""

import json

from runner import Outcome

EQUIVALENT = "equivalent"


def read_equivalents(path):
    """Entries of the equivalents file: FILE | SOURCE LINE | MUTATION | REASON, one a line;
    '#' starts a comment line. Returns {(file, line, mutation): reason}."""
    entries = {}
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.strip()
            if not line or line.startswith("#"):
                continue
            parts = [p.strip() for p in line.split(" | ")]
            if len(parts) != 4 or not all(parts):
                raise SystemExit(f"{path}:{number}: expected FILE | SOURCE LINE | MUTATION | "
                                 "REASON")
            entries[(parts[0], " ".join(parts[1].split()), parts[2])] = parts[3]
    return entries


def score(results):
    """killed / (compiled - equivalent); a run that timed out counts as killed, since the
    tests did not pass."""
    counts = {k: 0 for k in (Outcome.KILLED, Outcome.SURVIVED, Outcome.NOT_COMPILED,
                             Outcome.TIMED_OUT, EQUIVALENT)}
    for r in results:
        counts[r["result"]] += 1
    killed = counts[Outcome.KILLED] + counts[Outcome.TIMED_OUT]
    judged = killed + counts[Outcome.SURVIVED]  # compiled minus equivalent
    return counts, killed, judged, (100.0 * killed / judged if judged else None)


def write(results, seed, sample, json_path, md_path):
    counts, killed, judged, percent = score(results)
    summary = {
        "seed": seed,
        "sample": sample,
        "counts": counts,
        "score": None if percent is None else round(percent, 1),
        "killed": killed,
        "judged": judged,
    }
    with open(json_path, "w", encoding="utf-8") as f:
        json.dump({"summary": summary, "mutants": results}, f, indent=2)
        f.write("\n")
    lines = [
        f"# Mutation run: seed {seed}, {sample} mutants",
        "",
        score_line(summary),
        "",
        "| Where | Mutation | Result | Killed by |",
        "|---|---|---|---|",
    ]
    for r in results:
        by = ", ".join(r["killers"][:3]) + (" ..." if len(r["killers"]) > 3 else "")
        if r["result"] == EQUIVALENT:
            by = r["reason"]
        mutation = r["mutation"].replace("|", "\\|")
        lines.append(f"| {r['file']}:{r['line']} | `{mutation}` | {r['result']} | "
                     f"{by.replace('|', '/')} |")
    with open(md_path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")
    return summary


def score_line(summary):
    c = summary["counts"]
    percent = "n/a" if summary["score"] is None else f"{summary['score']}%"
    return (f"Score {percent}: {summary['killed']} killed of {summary['judged']} "
            f"(killed {c[Outcome.KILLED]}, timed out {c[Outcome.TIMED_OUT]}, survived "
            f"{c[Outcome.SURVIVED]}, equivalent {c[EQUIVALENT]}, not compiled "
            f"{c[Outcome.NOT_COMPILED]}); seed {summary['seed']}")
