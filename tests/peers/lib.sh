# Helpers for peer files. KX_PEERS_DIR is a fresh folder for this run.

# kx_wait_until SECONDS COMMAND...: polls COMMAND every 50 ms.
kx_wait_until() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $end ] && return 1
    sleep 0.05
  done
}

# kx_stop_pid FILE: stops the process whose pid is in FILE and reaps it.
kx_stop_pid() {
  local f=$1
  [ -f "$f" ] || return 0
  local pid; pid=$(cat "$f")
  kill "$pid" 2>/dev/null
  # Peers are children of this shell, so wait reaps them (no lingering zombies).
  ( sleep 5; kill -9 "$pid" 2>/dev/null ) &
  local killer=$!
  wait "$pid" 2>/dev/null
  kill "$killer" 2>/dev/null; wait "$killer" 2>/dev/null
  rm -f "$f"
  return 0
}
