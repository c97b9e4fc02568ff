#!/usr/bin/env bash
# Fresh Debian 12 machine -> installed packages, a build, and the main job on a new database.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build="${TK_BUILD_DIR:-build}"
out="${TK_OUTPUT_DIR:-out}"
mkdir -p "$out"
rm -f "$out/tollk.db"
export QT_QPA_PLATFORM=offscreen
"$build/src/cli/tollkeeper-cli" --db "$out/tollk.db" init
"$build/src/cli/tollkeeper-cli" --db "$out/tollk.db" schema
