# A Prometheus server on 127.0.0.1 that scrapes, every second, the /metrics
# page a watching probe serves on KX_METRICS_PORT (free now, taken by the test).
# Writes KX_PROMETHEUS (its address) and KX_METRICS_PORT into prometheus.env.

_free_port() {
  /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

peer_start() {
  command -v prometheus >/dev/null || { echo "prometheus is not installed" >&2; return 1; }
  local dir="$KX_PEERS_DIR/prometheus"
  mkdir -p "$dir/data"
  local metrics web
  metrics=$(_free_port) && web=$(_free_port) || return 1
  cat >"$dir/prometheus.yml" <<YML
global:
  scrape_interval: 1s
  evaluation_interval: 1s
scrape_configs:
  - job_name: kxtonescope
    static_configs:
      - targets: ['127.0.0.1:$metrics']
YML
  prometheus --config.file="$dir/prometheus.yml" --storage.tsdb.path="$dir/data" \
    --web.listen-address="127.0.0.1:$web" >"$dir/prometheus.log" 2>&1 &
  echo $! >"$dir/pid"
  if ! kx_wait_until 30 curl -sf "http://127.0.0.1:$web/-/ready"; then
    echo "prometheus did not come up; see $dir/prometheus.log" >&2
    kx_stop_pid "$dir/pid"
    return 1
  fi
  printf 'KX_PROMETHEUS=http://127.0.0.1:%s\nKX_METRICS_PORT=%s\n' "$web" "$metrics" >"$KX_PEERS_DIR/prometheus.env"
}

peer_stop() {
  kx_stop_pid "$KX_PEERS_DIR/prometheus/pid"
}
