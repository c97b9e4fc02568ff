#!/usr/bin/env bash
# Runs the import and the invoice benchmarks on both engines, one after the other on the same
# machine: each on a new SQLite file, then on a new database of a throw-away PostgreSQL server
# (scripts/pg-test-server.sh), which is stopped and removed afterwards.
#
#   bench/run-pg.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR holds the built benchmarks (default: build-rel, a Release build); WORK_DIR the
# SQLite files and the server (default: a new temporary folder, removed afterwards). The
# benchmarks' options come from IMPORT_ARGS (default "--sessions 1000000 --users 10000") and
# INVOICE_ARGS (default "--customers 10000 --sessions 100").
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m -- "${1:-$here/build-rel}")
import_args=${IMPORT_ARGS:---sessions 1000000 --users 10000}
invoice_args=${INVOICE_ARGS:---customers 10000 --sessions 100}
server_script=$here/scripts/pg-test-server.sh

for b in bench_import bench_invoice; do
    [ -x "$build/bench/$b" ] || {
        echo "run-pg: $build/bench/$b is not built (cmake --build $build --target $b)" >&2
        exit 1
    }
done

if [ -n "${2:-}" ]; then
    work=$(realpath -m -- "$2")
    mkdir -p -- "$work"
    remove_work=false
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/tk-bench-XXXXXX")
    remove_work=true
fi
server=$work/pg-server

# The client programs of the same installation as the server's.
bindir=${PG_BINDIR:-}
if [ -z "$bindir" ] && command -v pg_config >/dev/null; then
    bindir=$(pg_config --bindir)
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/createdb" ]; then
    bindir=$(printf "%s\n" /usr/lib/postgresql/*/bin | sort -t/ -k5 -V -r | head -n 1)
fi
[ -x "$bindir/createdb" ] || {
    echo "run-pg: createdb not found; install Debian's postgresql package" >&2
    exit 1
}

cleanup() {
    "$server_script" stop "$server" || echo "run-pg: could not stop the server in $server" >&2
    if $remove_work; then rm -rf -- "$work"; fi
}
trap cleanup EXIT

"$server_script" start "$server"

# A new empty database on the server for each run; prints its URL.
new_database() {
    "$bindir/createdb" -h "$server" -U tk "$1"
    "$server_script" url "$server" "$1"
}

run() {
    echo
    echo "== $* =="
    TZ=Europe/Berlin "$@"
}

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
# shellcheck disable=SC2086
run "$build/bench/bench_import" $import_args --dir "$work"
# shellcheck disable=SC2086
run "$build/bench/bench_import" $import_args --dir "$work" --db "$(new_database tk_bench_import)"
# shellcheck disable=SC2086
run "$build/bench/bench_invoice" $invoice_args --dir "$work"
# shellcheck disable=SC2086
run "$build/bench/bench_invoice" $invoice_args --dir "$work" \
    --db "$(new_database tk_bench_invoice)"
echo
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
