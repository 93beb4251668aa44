#!/usr/bin/env bash
# Runs a command in a private network namespace with its own loopback, so that
# nothing it starts can reach, or collide with, a server outside it (such as
# the user's own Quillbay on 8765, or another test run).
# Where the kernel refuses namespaces it runs the command as it is, with a note.
#   usage: private_network.sh COMMAND [ARG...]
set -euo pipefail

if [ "${QUILLBAY_PRIVATE_NETWORK:-}" = 1 ]; then
  exec "$@"
fi

# As root a network namespace is enough; anyone else needs a user namespace
# (mapped to root inside it) to own one.
if [ "$(id -u)" -eq 0 ]; then
  unshare_args=(--net)
else
  unshare_args=(--user --map-root-user --net)
fi

if command -v ip >/dev/null 2>&1 && unshare "${unshare_args[@]}" true 2>/dev/null; then
  export QUILLBAY_PRIVATE_NETWORK=1
  exec unshare "${unshare_args[@]}" -- bash -c 'ip link set lo up && exec "$@"' private-network "$@"
fi

echo "note: this kernel gives no private network namespace; the tests share the machine's loopback" \
     "(ports 8765-8775 and others may meet a running Quillbay)." >&2
exec "$@"
