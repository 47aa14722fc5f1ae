"""read-junitparser.py SAMPLES EXPECTED: reads every JUnit record (*.xml) in SAMPLES with
junitparser, as Debian packages it, and checks each by the rules every record keeps and, for the
samples EXPECTED names, against what they must hold. Prints each problem; exits 1 if any."""
import json
import math
import re
import sys
from pathlib import Path

from junitparser import Error, Failure, JUnitXml, Properties, Skipped, TestSuite

# UTC without a zone suffix, the form the JUnit schema CI servers read has.
TIMESTAMP = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d")
COUNTS = ("tests", "failures", "errors", "skipped")
problems = []


def problem(sample, text):
    problems.append(f"{sample}: {text}")


def properties(element):
    found = element.child(Properties)
    return {} if found is None else {each.name: each.value for each in found}


def outcome(case):
    """("failure" or "error", its message), or None for a case that passed or was skipped."""
    for result in case.result:
        if isinstance(result, (Failure, Error)):
            return type(result).__name__.lower(), result.message
    return None


def stated(sample, element, what):
    """The counts as written. junitparser makes a count that is not written up from the
    elements, rewriting the others as it goes: a record must write all four, and they are read
    from the parsed tree, not through the properties that would rewrite them."""
    written = {name: element._elem.get(name) for name in COUNTS}
    missing = [name for name, value in written.items() if value is None]
    if missing:
        problem(sample, f"{what} does not state {', '.join(missing)}")
    return {name: int(value) for name, value in written.items() if value is not None}


def counts(suite):
    """What the suite's elements hold, by the names of the attributes that count them."""
    cases = list(suite)
    kinds = [(outcome(case) or ("",))[0] for case in cases]
    skipped = sum(any(isinstance(r, Skipped) for r in case.result) for case in cases)
    return {"tests": len(cases), "failures": kinds.count("failure"),
            "errors": kinds.count("error"), "skipped": skipped}


def check_rules(sample, root, suites):
    totals = dict.fromkeys(COUNTS, 0)
    for suite in suites:
        written = stated(sample, suite, f"suite {suite.name!r}")
        for name, found in counts(suite).items():
            totals[name] += found
            if name in written and written[name] != found:
                problem(sample, f"suite {suite.name!r}: {name}={written[name]} but {found} elements")
        if not TIMESTAMP.fullmatch(suite.timestamp or ""):
            problem(sample, f"timestamp {suite.timestamp!r} is not UTC date and time")
        for time in [suite.time] + [case.time for case in suite]:
            if time is None or math.isnan(time) or time < 0:
                problem(sample, f"time {time!r} is not a length of time")
        for element in [suite, *suite]:
            for name, value in properties(element).items():
                if not name or value is None:
                    problem(sample, f"property {name!r} without a name or value")
        for case in suite:
            if outcome(case) and not outcome(case)[1]:
                problem(sample, f"case {case.name!r}: a {outcome(case)[0]} without a message")
    written = stated(sample, root, "testsuites") if root is not None else {}
    for name, total in totals.items():
        if name in written and written[name] != total:
            problem(sample, f"testsuites: {name}={written[name]} but {total} in its suites")


def check_expected(sample, suites, want):
    if len(suites) != 1:
        return problem(sample, f"{len(suites)} suites, not one")
    suite = suites[0]
    found = {"suite": suite.name, **stated(sample, suite, "suite")}
    for name, value in found.items():
        if value != want.get(name):
            problem(sample, f"{name} is {value!r}, not {want[name]!r}")
    cases = list(suite)
    if [case.name for case in cases] != [case["name"] for case in want["cases"]]:
        return problem(sample, f"cases {[case.name for case in cases]}")
    for element, wanted in [(suite, want), *zip(cases, want["cases"])]:
        held = properties(element)
        for name, value in wanted.get("properties", {}).items():
            if held.get(name) != value:
                problem(sample, f"property {name!r} is {held.get(name)!r}, not {value!r}")
    for case, wanted in zip(cases, want["cases"]):
        expected = next(((kind, wanted[kind]) for kind in ("failure", "error") if kind in wanted),
                        None)
        if outcome(case) != expected:
            problem(sample, f"case {case.name!r}: {outcome(case)!r}, not {expected!r}")


def main():
    samples, expected_file = Path(sys.argv[1]), Path(sys.argv[2])
    expected = json.loads(expected_file.read_text(encoding="utf-8"))["samples"]
    records = sorted(samples.glob("*.xml"))
    for name in expected:
        if not (samples / f"{name}.xml").exists():
            problem(name, "no record written")
    for path in records:
        try:
            xml = JUnitXml.fromfile(str(path))
        except Exception as error:  # whatever the reader gives up with
            problem(path.stem, f"cannot be read: {error}")
            continue
        root, suites = (None, [xml]) if isinstance(xml, TestSuite) else (xml, list(xml))
        check_rules(path.stem, root, suites)
        if path.stem in expected:
            check_expected(path.stem, suites, expected[path.stem])
    for each in problems:
        print(each)
    print(f"junitparser: {len(records)} records read, {len(problems)} problems")
    return 1 if problems or not records else 0


if __name__ == "__main__":
    sys.exit(main())
