#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests, reachable only through a Unix socket in its own
# folder.
#
#   pg-test-server.sh start DIR      initdb into DIR/data, start the server, wait until it answers
#   pg-test-server.sh restart DIR    stop a server left running in DIR, then start afresh
#   pg-test-server.sh stop DIR       stop the server (if running) and remove DIR
#   pg-test-server.sh url DIR [DB]   print the URL of database DB (default: postgres) on it
#
# The superuser is `tk` and local connections are trusted; the socket is open to the folder's
# owner only (and root), so trust lets in nobody else. The server never listens on TCP.
# initdb refuses to run as root: as root, the server runs as the `postgres` system user that
# Debian's postgresql package creates, and the folder belongs to it. When that user cannot reach
# DIR (a build tree under /root, say), the server lives in a folder under /tmp and DIR is a
# symbolic link to it; clients connect through DIR either way.
# The server binaries come from $PG_BINDIR, `pg_config --bindir` or /usr/lib/postgresql/*/bin
# (Debian keeps them off PATH).
set -euo pipefail

readonly superuser=tk
readonly marker=.tk-pg-test-server

die() {
    echo "pg-test-server: $*" >&2
    exit 1
}

usage() {
    echo "usage: $0 start|restart|stop DIR | url DIR [DBNAME]" >&2
    exit 2
}

find_bindir() {
    local d
    if [ -n "${PG_BINDIR:-}" ]; then
        [ -x "$PG_BINDIR/initdb" ] || die "no initdb in PG_BINDIR=$PG_BINDIR"
        echo "$PG_BINDIR"
        return
    fi
    if command -v pg_config >/dev/null; then
        d=$(pg_config --bindir 2>/dev/null || true)
        if [ -n "$d" ] && [ -x "$d/initdb" ] && [ -x "$d/pg_ctl" ]; then
            echo "$d"
            return
        fi
    fi
    # The newest installed major version.
    for d in $(printf "%s\n" /usr/lib/postgresql/*/bin | sort -t/ -k5 -V -r); do
        if [ -x "$d/initdb" ] && [ -x "$d/pg_ctl" ]; then
            echo "$d"
            return
        fi
    done
    die "PostgreSQL server binaries (initdb, pg_ctl) not found; install Debian's postgresql package"
}

# Percent-encodes a string for a URL component (every byte but the unreserved ones).
urlencode() {
    local LC_ALL=C s=$1 out="" c i
    for ((i = 0; i < ${#s}; i++)); do
        c=${s:i:1}
        case $c in
        [A-Za-z0-9._~-]) out+=$c ;;
        *) out+=$(printf '%%%02X' "'$c") ;;
        esac
    done
    echo "$out"
}

# The folder the server really lives in (DIR itself, or the target of the link DIR).
real_dir() {
    if [ -L "$dir" ]; then readlink -f "$dir"; else echo "$dir"; fi
}

# The postmaster's pid when a server is running on DIR's data folder, else nothing. The pid
# file alone is not proof: after a crash or reboot its pid may belong to another process, so the
# process must also have the data folder as its working directory (the postmaster chdirs there).
running_pid() {
    local data pid
    data="$(real_dir)/data"
    [ -f "$data/postmaster.pid" ] || return 0
    pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null || true)
    [[ "$pid" =~ ^[0-9]+$ ]] || return 0
    if [ "$(readlink "/proc/$pid/cwd" 2>/dev/null || true)" = "$(readlink -f "$data")" ]; then
        echo "$pid"
    fi
}

# Runs a command as the owner of the server's folder (root cannot run initdb or pg_ctl).
as_owner() {
    local owner
    owner=$(stat -c %U "$(real_dir)")
    if [ "$(id -u)" -eq 0 ] && [ "$owner" != root ]; then
        (cd / && runuser -u "$owner" -- "$@")
    else
        "$@"
    fi
}

# Removes DIR (and the folder it links to), but only when it is one of ours or empty, so a
# mistyped DIR never deletes someone's files. Prints the reason given, if any, first.
remove_dir() {
    local real
    [ -e "$dir" ] || [ -L "$dir" ] || return 0
    real=$(real_dir)
    if [ -d "$real" ] && [ ! -e "$real/$marker" ] && [ -n "$(ls -A "$real")" ]; then
        die "$dir is not a test server folder (no $marker in it); not removing it"
    fi
    [ $# -eq 0 ] || echo "pg-test-server: $1"
    rm -rf -- "$real"
    if [ -L "$dir" ]; then rm -f -- "$dir"; fi
}

# Creates the empty server folder, owned by the user the server runs as.
make_dir() {
    local real
    mkdir -p -- "$(dirname "$dir")"
    mkdir -m 700 -- "$dir"
    if [ "$(id -u)" -ne 0 ]; then
        touch "$dir/$marker"
        return
    fi
    getent passwd postgres >/dev/null ||
        die "running as root needs the postgres system user (Debian's postgresql package)"
    chown postgres: "$dir"
    if ! runuser -u postgres -- test -w "$dir" -a -x "$dir"; then
        rmdir -- "$dir"
        real=$(mktemp -d /tmp/tk-pg-XXXXXXXX)
        chown postgres: "$real"
        chmod 700 "$real"
        ln -s -- "$real" "$dir"
        echo "pg-test-server: postgres cannot reach $(dirname "$dir"); server folder is $real"
    fi
    touch "$(real_dir)/$marker"
}

start() {
    local bindir real pid quoted
    bindir=$(find_bindir)
    pid=$(running_pid)
    [ -z "$pid" ] || die "a test server is already running in $dir (pid $pid); stop it first"
    remove_dir "removing the stale folder $dir of an earlier run"
    make_dir
    real=$(real_dir)

    as_owner "$bindir/initdb" --pgdata="$real/data" --username="$superuser" --auth=trust \
        --encoding=UTF8 --lc-collate=C --lc-ctype=C.UTF-8 --lc-messages=C --no-sync \
        --no-instructions >"$real/initdb.log" 2>&1 ||
        die "initdb failed: $(cat "$real/initdb.log")"

    # A test server: durability is worth nothing here, so writes skip fsync. Text sorts by
    # bytes (collation C) as the embedded engine does, while case folding knows Unicode.
    quoted=${real//\'/\'\'}
    cat >>"$real/data/postgresql.conf" <<EOF

# Throw-away test server (scripts/pg-test-server.sh)
listen_addresses = ''
unix_socket_directories = '$quoted'
unix_socket_permissions = 0700
fsync = off
synchronous_commit = off
full_page_writes = off
shared_buffers = 32MB
max_wal_size = 1GB
log_min_messages = warning
EOF

    as_owner "$bindir/pg_ctl" start --pgdata="$real/data" --log="$real/server.log" --wait \
        --timeout=120 --silent ||
        die "the server did not start: $(tail -n 20 "$real/server.log" 2>/dev/null)"

    # The server answers, and has what the engine creates in every database.
    local has
    has=$("$bindir/psql" -X -q -At -h "$dir" -U "$superuser" -d postgres \
        -c "SELECT count(*) FROM pg_available_extensions WHERE name = 'citext'") ||
        die "the server started but does not accept connections (log: $real/server.log)"
    [ "$has" = 1 ] || die "the citext extension is not available on this PostgreSQL"
    echo "pg-test-server: running in $dir ($("$bindir/postgres" --version))"
}

stop() {
    local bindir pid
    pid=$(running_pid)
    if [ -n "$pid" ]; then
        bindir=$(find_bindir)
        as_owner "$bindir/pg_ctl" stop --pgdata="$(real_dir)/data" --mode=immediate --wait \
            --silent || die "could not stop the test server in $dir (pid $pid)"
    fi
    remove_dir
}

[ $# -ge 2 ] || usage
cmd=$1
dir=$(realpath -ms -- "$2")
case $cmd in
start)
    [ $# -eq 2 ] || usage
    start
    ;;
restart)
    [ $# -eq 2 ] || usage
    stop
    start
    ;;
stop)
    [ $# -eq 2 ] || usage
    stop
    ;;
url)
    [ $# -le 3 ] || usage
    echo "postgresql://$superuser@/$(urlencode "${3:-postgres}")?host=$(urlencode "$dir")"
    ;;
*) usage ;;
esac
