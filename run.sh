#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the console with the given options,
# e.g. ./run.sh --virtual-board
set -euo pipefail
ROOT=$(cd "$(dirname "$0")" && pwd)
source "$ROOT/scripts/common.sh"

ensure_packages "${BUILD_PACKAGES[@]}"
build_tree "$ROOT/build"
exec "$ROOT/build/zov-usb-test" "$@"
