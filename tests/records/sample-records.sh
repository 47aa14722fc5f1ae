#!/usr/bin/env bash
# sample-records.sh PROGRAM DIR: runs the check on virtual boards once for each outcome a record
# can tell, leaving NAME.json and NAME.xml in DIR for the record readers to check.
set -uo pipefail
program=$1
dir=$2
here=$(cd "$(dirname "$0")" && pwd)
examples="$here/../../examples"
rm -rf "$dir" && mkdir -p "$dir"

# sample NAME EXPECTED-EXIT ARGS...: one check, its records named NAME.
sample() {
    local name=$1 expected=$2 status=0
    shift 2
    "$program" check "$@" --json "$dir/$name.json" --junit "$dir/$name.xml" \
        >"$dir/$name.out" 2>&1 || status=$?
    if [ "$status" -ne "$expected" ]; then
        echo "sample $name: exit status $status, expected $expected" >&2
        cat "$dir/$name.out" >&2
        exit 1
    fi
}

sample passed 0 "$examples/smoke.toml" --virtual-board --station-id "bench 1" --operator "Zoë"
sample failed 1 "$here/failing.toml" --virtual-board
sample hostile 1 "$here/failing.toml" --virtual-bench "$here/hostile-bench.toml"
