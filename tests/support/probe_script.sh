# Sourced by the probe's test scripts (the probe as $1): strict mode, $probe, a $work folder removed at
# exit, checks.py importable from their Python parts, and kx_require_peers VAR... which ends the script
# unless every named peer variable is set: a failure under with-peers, a skip (77) otherwise.
set -uo pipefail
probe=$1
support=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export PYTHONPATH="$support"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kx_require_peers() {
  local v
  for v in "$@"; do
    if [ -z "${!v:-}" ]; then
      [ "${KX_REQUIRE_PEERS:-}" = 1 ] && { echo "peer missing: $v"; exit 1; }
      echo "no peers: skipped"; exit 77
    fi
  done
}
