# X server for tests that need a real window: Xvfb on a free display.
# Writes DISPLAY into xvfb.env.

peer_start() {
  local fifo="$KX_PEERS_DIR/xvfb.displayfd"
  mkfifo "$fifo" || return 1
  # -displayfd picks a free display and writes its number once it accepts clients.
  Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp -noreset 9>"$fifo" \
    >"$KX_PEERS_DIR/xvfb.log" 2>&1 &
  echo $! >"$KX_PEERS_DIR/xvfb.pid"
  local display=""
  # The read ends when Xvfb writes the number (or exits and closes the pipe).
  read -r -t 20 display <"$fifo"
  rm -f "$fifo"
  if [ -z "$display" ]; then
    echo "Xvfb did not start; its log:" >&2
    cat "$KX_PEERS_DIR/xvfb.log" >&2
    kx_stop_pid "$KX_PEERS_DIR/xvfb.pid"
    return 1
  fi
  echo "DISPLAY=:$display" >"$KX_PEERS_DIR/xvfb.env"
}

peer_stop() {
  kx_stop_pid "$KX_PEERS_DIR/xvfb.pid"
}
