#!/usr/bin/env bash
# A private MariaDB server for the tests and the demo, never the machine's
# own service: its data, socket, pid and log files all live in one folder.
#
#   db_server.sh start DIR   stop anything left in DIR, wipe it, create a new
#                            data folder, start the server on a free loopback
#                            port, load tests/schema.sql and create the user
#   db_server.sh stop DIR    shut the server of DIR down, leave no process
#   db_server.sh sql DIR [SQL...]
#                            run SQL (the arguments, or standard input) as the
#                            administrator over the socket; rows tab-separated
#
# After start, DIR holds the files port, socket, user and password (one
# value each, no line end) for the clients.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
schema_file=$here/schema.sql
db_user=velq
db_password='velq-Test-4711'
start_wait=60
stop_wait=30

die() { echo "db_server.sh: $*" >&2; exit 1; }

usage() { die "usage: db_server.sh start|stop|sql DIR [SQL...]"; }

check_dir() {
  local dir=$1
  [[ -n $dir ]] || usage
  case $dir in
    / | /root | /home | /tmp | /var/lib/mysql | /var/lib/mysql/* | /run/mysqld | /run/mysqld/*)
      die "refusing to use $dir" ;;
  esac
}

# Absolute form of a folder that may not exist yet.
abs_dir() {
  local dir=$1
  if [[ $dir != /* ]]; then dir=$(pwd)/$dir; fi
  echo "${dir%/}"
}

server_pid() {
  local dir=$1 pid
  [[ -f $dir/mysqld.pid ]] || return 1
  pid=$(cat "$dir/mysqld.pid" 2>/dev/null) || return 1
  [[ $pid =~ ^[0-9]+$ ]] || return 1
  kill -0 "$pid" 2>/dev/null || return 1
  echo "$pid"
}

socket_path() {
  local dir=$1
  if [[ -f $dir/socket ]]; then cat "$dir/socket"; else echo "$dir/mysqld.sock"; fi
}

admin_sql() {
  local dir=$1
  shift
  mariadb --no-defaults --user=root --socket="$(socket_path "$dir")" \
    --batch --skip-column-names "$@"
}

free_port() {
  if command -v python3 >/dev/null 2>&1; then
    python3 - <<'PY' 2>/dev/null && return 0
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
  fi
  local port tries
  for ((tries = 0; tries < 200; tries++)); do
    port=$((20000 + RANDOM % 40000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

do_stop() {
  local dir=$1 pid i sock
  pid=$(server_pid "$dir") || { rm -f "$dir/mysqld.pid"; return 0; }
  sock=$(socket_path "$dir")
  timeout 20 mariadb-admin --no-defaults --user=root --socket="$sock" \
    --connect-timeout=5 shutdown >/dev/null 2>&1 || true
  for ((i = 0; i < stop_wait * 10; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 100; i++)); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null || true
    sleep 0.5
  fi
  rm -f "$dir/mysqld.pid"
  # A socket kept outside DIR (long paths) lives in a folder of its own.
  if [[ -f $dir/socket ]]; then
    local sdir
    sdir=$(dirname "$(cat "$dir/socket")")
    if [[ $sdir == */velq-mariadb.* && -d $sdir ]]; then rm -rf "$sdir"; fi
  fi
}

do_start() {
  local dir=$1 port sock run_as=() attempt pid i
  do_stop "$dir"
  rm -rf "$dir"
  mkdir -p "$dir/data" "$dir/tmp"

  sock=$dir/mysqld.sock
  if ((${#sock} > 100)); then
    sock=$(mktemp -d /tmp/velq-mariadb.XXXXXX)/mysqld.sock
  fi
  printf '%s' "$sock" >"$dir/socket"

  if [[ $(id -u) -eq 0 ]]; then run_as=(--user=root); else run_as=(--user="$(id -un)"); fi

  if ! mariadb-install-db --no-defaults "${run_as[@]}" --datadir="$dir/data" \
      --auth-root-authentication-method=normal --skip-test-db \
      >"$dir/install.log" 2>&1; then
    cat "$dir/install.log" >&2
    die "mariadb-install-db failed"
  fi

  for attempt in 1 2 3 4 5; do
    port=$(free_port) || die "no free port found"
    # setsid and closed standard streams: the server must not hold the
    # caller's pipes open (the test runner waits for them).
    setsid /usr/sbin/mariadbd --no-defaults "${run_as[@]}" \
      --datadir="$dir/data" --tmpdir="$dir/tmp" \
      --socket="$sock" --port="$port" --bind-address=127.0.0.1 \
      --pid-file="$dir/mysqld.pid" --log-error="$dir/mysqld.log" \
      --character-set-server=latin1 --collation-server=latin1_swedish_ci \
      --innodb-buffer-pool-size=32M --innodb-log-file-size=16M \
      --max-connections=200 --skip-name-resolve \
      </dev/null >>"$dir/mysqld.out" 2>&1 &
    local launcher=$!
    for ((i = 0; i < start_wait * 10; i++)); do
      if timeout 5 mariadb-admin --no-defaults --user=root --socket="$sock" \
          --connect-timeout=2 ping >/dev/null 2>&1; then
        break
      fi
      kill -0 "$launcher" 2>/dev/null || break
      sleep 0.1
    done
    if pid=$(server_pid "$dir") && timeout 5 mariadb-admin --no-defaults --user=root \
        --socket="$sock" --connect-timeout=2 ping >/dev/null 2>&1; then
      break
    fi
    # Not up: most often the port was taken in the meantime. Try another.
    kill -KILL "$launcher" 2>/dev/null || true
    wait "$launcher" 2>/dev/null || true
    rm -f "$dir/mysqld.pid"
    port=
  done
  [[ -n $port ]] || { tail -n 40 "$dir/mysqld.log" >&2 || true; die "server did not start"; }

  admin_sql "$dir" <"$schema_file" || { do_stop "$dir"; die "loading $schema_file failed"; }
  admin_sql "$dir" <<SQL || { do_stop "$dir"; die "creating the user failed"; }
CREATE USER '$db_user'@'127.0.0.1' IDENTIFIED BY '$db_password';
CREATE USER '$db_user'@'localhost' IDENTIFIED BY '$db_password';
GRANT ALL PRIVILEGES ON QXSYSTEM.* TO '$db_user'@'127.0.0.1';
GRANT ALL PRIVILEGES ON QXSYSTEM.* TO '$db_user'@'localhost';
FLUSH PRIVILEGES;
SQL

  printf '%s' "$port" >"$dir/port"
  printf '%s' "$db_user" >"$dir/user"
  printf '%s' "$db_password" >"$dir/password"
  echo "MariaDB for tests running: port $port, socket $sock, folder $dir"
}

[[ $# -ge 2 ]] || usage
cmd=$1
check_dir "$2"
dir=$(abs_dir "$2")
check_dir "$dir"
shift 2
case $cmd in
  start) do_start "$dir" ;;
  stop) do_stop "$dir"; echo "MariaDB for tests stopped: $dir" ;;
  sql)
    server_pid "$dir" >/dev/null || die "no server running in $dir"
    if (($#)); then admin_sql "$dir" -e "$*"; else admin_sql "$dir"; fi ;;
  *) usage ;;
esac
