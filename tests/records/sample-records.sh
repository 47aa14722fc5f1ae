#!/usr/bin/env bash
# sample-records.sh PROGRAM DIR: runs the check on virtual boards once for each outcome a record
# can tell, leaving NAME.json and NAME.xml in DIR for the record readers to check.
set -uo pipefail
program=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)
examples="$here/../../examples"
rm -rf "$dir" && mkdir -p "$dir"

# refuse NAME WHY: ends the script, telling why and what the check printed.
refuse() {
    echo "sample $1: $2" >&2
    cat "$dir/$1.out" >&2
    exit 1
}

# expect NAME EXPECTED-EXIT STATUS: refuses a sample with another exit status, or without both
# records: every outcome writes them.
expect() {
    [ "$3" -eq "$2" ] || refuse "$1" "exit status $3, expected $2"
    [ -s "$dir/$1.json" ] && [ -s "$dir/$1.xml" ] || refuse "$1" "a record is missing"
}

# sample NAME EXPECTED-EXIT ARGS...: one check, its records named NAME.
sample() {
    local name=$1 expected=$2 status=0
    shift 2
    "$program" check "$@" --json "$dir/$name.json" --junit "$dir/$name.xml" \
        >"$dir/$name.out" 2>&1 || status=$?
    expect "$name" "$expected" "$status"
}

# within NAME PID WHY COMMAND...: runs COMMAND every 0.1 s until it succeeds; after 10 s, kills
# the check PID and refuses the sample, telling WHY.
within() {
    local name=$1 pid=$2 why=$3 tries=0
    shift 3
    until "$@"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            kill -KILL "$pid" 2>/dev/null
            refuse "$name" "$why"
        fi
        sleep 0.1
    done
}

ended() {
    ! kill -0 "$1" 2>/dev/null
}

# interrupted NAME EXPECTED-EXIT ARGS...: as sample, but the check gets SIGTERM once the line of
# its first step is out, so the run has surely begun.
interrupted() {
    local name=$1 expected=$2 status=0 pid
    shift 2
    "$program" check "$@" --json "$dir/$name.json" --junit "$dir/$name.xml" \
        >"$dir/$name.out" 2>&1 &
    pid=$!
    within "$name" "$pid" "no step ran within 10 s" grep -q '^1 ' "$dir/$name.out"
    kill -TERM "$pid"
    within "$name" "$pid" "still running 10 s after SIGTERM" ended "$pid"
    wait "$pid" || status=$?
    expect "$name" "$expected" "$status"
}

sample passed 0 "$examples/smoke.toml" --virtual-board --station-id "bench 1" --operator "Zoë"
sample failed 1 "$here/failing.toml" --virtual-board
sample hostile 1 "$here/failing.toml" --virtual-bench "$here/hostile-bench.toml"
# The wait for a board ends once the sources have looked, long before the bench plugs its board
# in. A usable board of the machine's own would be checked instead: this sample then fails.
sample no-board 3 "$here/failing.toml" --virtual-bench "$here/late-bench.toml"
sample undecided 4 "$here/undecided.toml" --virtual-board
interrupted aborted 4 "$here/interrupted.toml" --virtual-board
# With no terminal to answer them, the operator steps end in error at once and stop the line
# test: its teardown still runs.
sample no-operator 4 "$examples/line.toml" --virtual-board </dev/null
grep -q "needs an operator: standard input is not a terminal" "$dir/no-operator.out" ||
    refuse no-operator "the operator step did not say it needs an operator"
# The same on a terminal, its operator answering: every kind of step passes, the label scanned.
status=0
python3 "$here/answer-operator.py" "$dir/operator.out" "$program" check "$examples/line.toml" \
    --virtual-board --json "$dir/operator.json" --junit "$dir/operator.xml" || status=$?
expect operator 0 "$status"
