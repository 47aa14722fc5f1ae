#!/usr/bin/env bash
# scripts/package-check.sh BUILD_DIR: builds the Debian package in that (configured) build tree
# with cpack, unpacks it into BUILD_DIR/package-check/root and checks it as Debian's tools do:
# lintian (errors fail, warnings and notes are shown), appstreamcli on the installed metainfo
# and desktop-file-validate on the installed desktop entry. Prints one line per check with its
# time, then "package-check: N checks passed, M failed"; fails if any check did.
set -uo pipefail
BUILD=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
WORK=$BUILD/package-check
NAME=zov-usb-test

SHOW_PASSING_OUTPUT=1
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

# Besides the program, its menu entry, icon and udev rule: what Debian and software centres want.
EXPECTED_FILES=(
    usr/bin/$NAME
    usr/share/man/man1/$NAME.1.gz
    usr/share/doc/$NAME/copyright
    usr/share/doc/$NAME/changelog.gz
    usr/share/metainfo/$NAME.metainfo.xml
    usr/share/applications/$NAME.desktop
)

# build_package: the tree brought up to date, the package made afresh, unpacked, and its
# files listed; fails if one of EXPECTED_FILES is missing (a tree configured without scdoc).
build_package() {
    cmake --build "$BUILD" >"$WORK/build.log" 2>&1 || { tail -n 40 "$WORK/build.log"; return 1; }
    rm -f "$BUILD/${NAME}"_*.deb
    (cd "$BUILD" && cpack -G DEB) >"$WORK/cpack.log" 2>&1 || { cat "$WORK/cpack.log"; return 1; }
    rm -rf "$WORK/root"
    dpkg-deb -x "$(package_file)" "$WORK/root" || return 1
    echo "$(basename "$(package_file)"):"
    dpkg-deb -c "$(package_file)" | awk '$1 !~ /^d/ { print "    " $1, $NF }'
    local file status=0
    for file in "${EXPECTED_FILES[@]}"; do
        [ -f "$WORK/root/$file" ] || { echo "missing: /$file"; status=1; }
    done
    return "$status"
}

package_file() {
    ls "$BUILD/${NAME}"_*.deb
}

# run_lintian: every tag shown (-I: notes too); only errors fail. Lintian warns when run as
# root, as CI does; newer versions take --allow-root to say that is meant.
run_lintian() {
    local options=(--display-info --fail-on error)
    lintian --help 2>&1 | grep -q -- --allow-root && options+=(--allow-root)
    local status=0
    lintian "${options[@]}" "$(package_file)" >"$WORK/lintian.out" 2>&1 || status=$?
    grep -v '^running with root privileges is not recommended!$' "$WORK/lintian.out"
    return "$status"
}

# The component id is the desktop entry's name, zov-usb-test, as the window's app id under
# Wayland is the program's name; appstreamcli's warning that it is no reverse domain name is
# shown as a note.
run_appstream() {
    appstreamcli validate --no-net --pedantic --override=cid-desktopapp-is-not-rdns=info \
        "$WORK/root/usr/share/metainfo/$NAME.metainfo.xml"
}

run_desktop_file_validate() {
    desktop-file-validate "$WORK/root/usr/share/applications/$NAME.desktop"
}

mkdir -p "$WORK"
check package build_package
if [ "$failed" -eq 0 ]; then
    check lintian run_lintian
    check appstream run_appstream
    check desktop-file run_desktop_file_validate
else
    failed=$((failed + 3))
    echo "lintian, appstream, desktop-file: not run, as there is no package"
fi
echo "package-check: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]
