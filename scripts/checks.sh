# Shared by the counted check scripts (package-check.sh, desktop-check.sh): source it after
# setting WORK, a folder for the checks' logs. Set SHOW_PASSING_OUTPUT=1 to print what a
# passing check had to say as well (lintian's warnings, appstream's notes).

passed=0
failed=0

# check NAME COMMAND...: runs one check, its output in WORK/NAME.log, printed when the check
# fails; counts it and prints its time.
check() {
    local name=$1 log="$WORK/${1//[^a-zA-Z0-9]/_}.log" start=$EPOCHREALTIME status=0
    shift
    "$@" >"$log" 2>&1 || status=$?
    local seconds
    seconds=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')
    if [ "$status" -eq 0 ]; then
        passed=$((passed + 1))
        echo "$name: ok ($seconds s)"
        [ "${SHOW_PASSING_OUTPUT:-0}" = 1 ] && [ -s "$log" ] && sed 's/^/    /' "$log"
    else
        failed=$((failed + 1))
        echo "$name: FAILED ($seconds s)"
        sed 's/^/    /' "$log"
    fi
    return 0
}
