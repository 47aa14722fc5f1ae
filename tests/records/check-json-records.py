#!/usr/bin/env python3
"""check-json-records.py SCHEMA DIR VERSION: every JSON record in DIR keeps the schema, and the
samples of sample-records.sh hold what their plans and boards make them hold.

The expected values come from the plans, the bench file and the virtual board's known answers
(A/D value 128, the text "Hello from ZOV!!"), never from a record.
"""
import hashlib
import json
import re
import sys
import tomllib
from pathlib import Path

try:
    import jsonschema
except ImportError:
    sys.exit("check-json-records.py: needs python3-jsonschema (Debian's package of jsonschema)")

HERE = Path(__file__).resolve().parent
EXAMPLES = HERE.parent.parent / "examples"

# The virtual board's answers, as board/VirtualBoard.h makes them.
VIRTUAL_BOARD = {"ad": 128, "text": "Hello from ZOV!!", "serial": "VB-0001",
                 "manufacturer": "ZOV Electronics", "product": "ZOV-USB Virtual Board"}
# The code each step sends (the board's protocol), and where write_port puts its value.
REQUEST_CODES = {"read_ad": 4, "read_text": 2, "read_inputs": 13, "write_port": 14}
PORT_VALUE_INDEX = 21
# DEL and the C1 controls (U+0080 to U+009F) in UTF-8: a record goes straight to a terminal with
# --json -, where they could move the cursor or start an escape sequence, so they must be escaped.
TERMINAL_CONTROLS = re.compile(rb"\x7f|\xc2[\x80-\x9f]")

# The samples sample-records.sh writes with known plans and boards: plan, bench (None: the
# built-in virtual board), outcome, and the --station-id and --operator it gives (None: not
# given).
SAMPLES = {
    "passed": (EXAMPLES / "smoke.toml", None, "pass", ("bench 1", "Zoë")),
    "failed": (HERE / "failing.toml", None, "fail", (None, None)),
    "hostile": (HERE / "failing.toml", HERE / "hostile-bench.toml", "fail", (None, None)),
}


class Problems:
    def __init__(self):
        self.told = []

    def expect(self, where, held, wanted):
        # A number must be a number: 128 is not "128", nor True 1.
        if held != wanted or type(held) is not type(wanted):
            self.told.append(f"{where}: {held!r}, expected {wanted!r}")


def board_of(bench):
    if bench is None:
        return dict(VIRTUAL_BOARD)
    first = tomllib.loads(bench.read_text(encoding="utf-8"))["board"][0]
    board = dict(VIRTUAL_BOARD)
    board.update({key: first[key] for key in board if key in first})
    return board


def check_figures(problems, where, kind, step, figures, board):
    """The first figure of a read step against the plan's limits and the board's answer."""
    if not figures:
        problems.told.append(f"{where}: no measurements")
        return
    figure = figures[0]
    if kind == "read_ad":
        keys = ("min", "max", "equals")
        problems.expect(f"{where} A/D value", figure["value"], board["ad"])
        wanted = step.get("min", 0) <= board["ad"] <= step.get("max", 255)
        problems.expect(f"{where} passed", figure["passed"], wanted)
    elif kind == "read_text":
        keys = ("equals", "prefix", "matches")
        problems.expect(f"{where} answer text", figure["value"], board["text"])
    else:
        keys = ("min", "max", "equals", "mask", "value", "bits_high", "bits_low")
    problems.expect(f"{where} limits", figure["limits"], {k: step[k] for k in keys if k in step})
    answer_time = figures[-1]
    problems.expect(f"{where} answer time unit", answer_time["unit"], "ms")
    if not isinstance(answer_time["value"], float | int):
        problems.told.append(f"{where}: answer time {answer_time['value']!r} is no number")


def check_sample(problems, name, record, plan_path, bench, outcome, labels, version):
    plan_bytes = plan_path.read_bytes()
    plan = tomllib.loads(plan_bytes.decode("utf-8"))
    board = board_of(bench)
    problems.expect(f"{name} outcome", record["outcome"], outcome)
    problems.expect(f"{name} plan sha256", record["plan"]["sha256"],
                    hashlib.sha256(plan_bytes).hexdigest())
    problems.expect(f"{name} plan file", Path(record["plan"]["file"]).resolve(), plan_path)
    problems.expect(f"{name} plan name", record["plan"]["name"], plan["name"])
    problems.expect(f"{name} program", record["producer"]["program"], "zov-usb-test")
    problems.expect(f"{name} version", record["producer"]["version"], version)
    producer = record["producer"]
    problems.expect(f"{name} station", (producer["station_id"], producer["operator"]), labels)
    for key in ("serial", "manufacturer", "product"):
        problems.expect(f"{name} board {key}", record["board"][key], board[key])
    report_size = record["board"]["report_format"]["output_report_size"] + 1  # with its id
    problems.expect(f"{name} steps", [s["step"] for s in record["steps"]],
                    list(range(1, len(plan["step"]) + 1)))
    for result in record["steps"]:
        step = plan["step"][result["step"] - 1]
        kind = step["type"]
        where = f"{name} step {result['step']}"
        problems.expect(f"{where} type", result["type"], kind)
        if kind.startswith("read_"):
            check_figures(problems, where, kind, step, result["measurements"], board)
        sent = result["sent"]
        problems.expect(f"{where} codes sent", [s["code"] for s in sent], [REQUEST_CODES[kind]])
        for report in sent:
            problems.expect(f"{where} report size", len(report["bytes"]), report_size)
            problems.expect(f"{where} code byte", report["bytes"][1], report["code"])
        if kind == "write_port" and sent:
            problems.expect(f"{where} port value sent", sent[0]["bytes"][PORT_VALUE_INDEX],
                            step["value"])


def main():
    schema_path, samples, version = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3]
    schema = json.loads(schema_path.read_text(encoding="utf-8"))
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    problems = Problems()
    records = sorted(samples.glob("*.json"))
    for path in records:
        raw = path.read_bytes()
        if control := TERMINAL_CONTROLS.search(raw):
            problems.told.append(f"{path.name}: holds {control.group()!r} unescaped")
        record = json.loads(raw.decode("utf-8"))
        errors = list(validator.iter_errors(record))
        for error in errors:
            place = "/".join(str(part) for part in error.absolute_path)
            problems.told.append(f"{path.name} /{place}: {error.message}")
        if path.stem in SAMPLES and not errors:
            check_sample(problems, path.stem, record, *SAMPLES[path.stem], version)
    missing = set(SAMPLES) - {path.stem for path in records}
    if missing:
        problems.told.append(f"samples missing from {samples}: {', '.join(sorted(missing))}")
    for problem in problems.told:
        print(problem, file=sys.stderr)
    if problems.told:
        return 1
    print(f"{len(records)} records keep {schema_path.name}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
