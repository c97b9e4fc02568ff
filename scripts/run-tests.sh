#!/usr/bin/env bash
# Fresh Debian 12 machine -> installed packages, a build, and the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build="${TK_BUILD_DIR:-build}"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
