#!/usr/bin/env bash
# Fresh Debian 12 machine -> installed packages, a build, and the monthly job on the sample
# database: a fresh copy of the sample ISP's database is made in ./out on every run, its month
# of RADIUS sessions imported, every customer and group invoiced, and each invoice written as
# HTML, text and PDF into ./out/invoices with the job's log in ./out/Tollk.log.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${TK_BUILD_DIR:-build}"
out="${TK_OUTPUT_DIR:-out}"
# Only the two programs: the main job needs neither the tests nor the benchmarks.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target tollkeeper-cli tollkeeper
# Invoices of an earlier run go; the job writes them all again.
rm -rf "$out/invoices"
mkdir -p "$out"
export QT_QPA_PLATFORM=offscreen
"$build/src/cli/tollkeeper-cli" month --sample --out "$out"
