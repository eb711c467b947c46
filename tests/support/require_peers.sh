# Sourced by the probe's test scripts: kx_require_peers VAR... ends the script
# unless every named peer variable is set: a failure under with-peers (a peer
# that should be there is missing), a skip (77) otherwise.
kx_require_peers() {
  local v
  for v in "$@"; do
    if [ -z "${!v:-}" ]; then
      [ "${KX_REQUIRE_PEERS:-}" = 1 ] && { echo "peer missing: $v"; exit 1; }
      echo "no peers: skipped"; exit 77
    fi
  done
}
