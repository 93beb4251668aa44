#!/usr/bin/env bash
# Runs a command on an X screen of its own: a private Xvfb that starts before it
# and ends after it. Tests that send real keys and clicks run this way, because
# on a shared screen any other test's window may be mapped over the spot they
# click, or be handed the keyboard meant for their dialog.
# Listing a test binary's tests (CTest's discovery) needs no screen.
#   usage: own_screen.sh COMMAND [ARG...]
set -euo pipefail

case " $* " in
  *" --gtest_list_tests "*) exec "$@" ;;
esac

ready=$(mktemp)
# -displayfd picks a free display itself (two screens starting at once never
# meet) and writes its number once the server takes clients. -noreset: an X
# server resets when its last client leaves, and refuses anyone meanwhile.
Xvfb -displayfd 3 -screen 0 1400x900x24 -noreset -nolisten tcp 3>"$ready" 2>"$ready.log" &
server=$!
child=
stop_server() {
  [ -n "$child" ] && kill "$child" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
  wait "$server" 2>/dev/null || true
  rm -f "$ready" "$ready.log"
}
trap stop_server EXIT
trap 'exit 143' TERM INT

display=
for _ in $(seq 600); do
  read -r display <"$ready" || true
  [ -n "$display" ] && break
  if ! kill -0 "$server" 2>/dev/null; then
    echo "own_screen.sh: Xvfb did not start: $(cat "$ready.log")" >&2
    exit 1
  fi
  sleep 0.05
done
if [ -z "$display" ]; then
  echo "own_screen.sh: Xvfb gave no display within 30 s" >&2
  exit 1
fi

# In the background, so that a TERM (CTest's timeout) is answered at once, and reaches the command too.
DISPLAY=":$display" "$@" &
child=$!
status=0
wait "$child" || status=$?
child=
exit "$status"
