#!/usr/bin/env bash
# postgres-server.sh setup|start|stop|cleanup STATE: a throwaway PostgreSQL server for the
# records tests. setup makes a cluster (initdb) in a new temporary folder, starts it on a free
# port, listening only on a unix socket in that folder, makes the database zov_records, and
# writes its URL to STATE/url; stop and start stop it and start it again on the same port
# (the outage test); cleanup stops it and removes the folder. The server never runs as root:
# as root, it runs as nobody. Trust authentication, for the socket only.
set -euo pipefail
action=$1
state=$2

bin() {
    local found
    found=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    if [ -n "$found" ] && [ -x "$found/$1" ]; then echo "$found/$1"; else command -v "$1"; fi
}

# as_server COMMAND...: runs it as the user the server runs as.
as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        (cd / && runuser -u nobody -- "$@")
    else
        "$@"
    fi
}

running() {
    as_server "$(bin pg_ctl)" -D "$(cat "$state/cluster")/data" status >/dev/null 2>&1
}

start_server() {
    local cluster port
    cluster=$(cat "$state/cluster")
    port=$(cat "$state/port")
    running && return 0
    as_server "$(bin pg_ctl)" -D "$cluster/data" -l "$cluster/server.log" -w -t 60 \
        -o "-p $port -k $cluster -c listen_addresses=''" start >/dev/null
}

stop_server() {
    local cluster
    cluster=$(cat "$state/cluster")
    running || return 0
    as_server "$(bin pg_ctl)" -D "$cluster/data" -m fast -w -t 60 stop >/dev/null
}

case $action in
setup)
    [ -f "$state/cluster" ] && "$0" cleanup "$state" || true
    mkdir -p "$state"
    cluster=$(mktemp -d /tmp/zov-pg.XXXXXX)
    [ "$(id -u)" -eq 0 ] && chown nobody "$cluster"
    echo "$cluster" >"$state/cluster"
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
        >"$state/port"
    as_server "$(bin initdb)" -D "$cluster/data" -U zov -A trust --no-sync >"$cluster/initdb.log"
    start_server
    "$(bin createdb)" -h "$cluster" -p "$(cat "$state/port")" -U zov zov_records
    echo "postgresql://zov@${cluster//\//%2F}:$(cat "$state/port")/zov_records" >"$state/url"
    ;;
start) start_server ;;
stop) stop_server ;;
cleanup)
    if [ -f "$state/cluster" ]; then
        stop_server 2>/dev/null || true
        rm -rf "$(cat "$state/cluster")"
        rm -f "$state/cluster" "$state/url" "$state/port"
    fi
    ;;
*)
    echo "usage: $0 setup|start|stop|cleanup STATE" >&2
    exit 2
    ;;
esac
