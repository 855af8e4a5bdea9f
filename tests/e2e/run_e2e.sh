#!/usr/bin/env bash
# Starts a private JACK server (dummy driver, no realtime) and knobwright-sim
# on it, runs the end-to-end test program against them, and stops both again
# whatever happens. Usage: run_e2e.sh SIM_BINARY TEST_BINARY [test args...]
set -u
SIM="$1"; TEST="$2"; shift 2

if ! command -v jackd >/dev/null || ! command -v jack_lsp >/dev/null; then
  echo "jackd/jack_lsp not installed: skipped"
  exit 77
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -w "${XDG_RUNTIME_DIR}" ]; then
  export XDG_RUNTIME_DIR="$(mktemp -d /tmp/kw-runtime.XXXXXX)"
  chmod 0700 "$XDG_RUNTIME_DIR"
fi
export JACK_NO_AUDIO_RESERVATION=1
# A server of our own, so parallel runs and other JACK users never meet.
export JACK_DEFAULT_SERVER="kw-e2e-$$-$RANDOM"
WORK="$(mktemp -d /tmp/kw-e2e.XXXXXX)"
JACK_PID=""; SIM_PID=""

cleanup() {
  exec 3>&-
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  [ -n "$JACK_PID" ] && kill "$JACK_PID" 2>/dev/null && wait "$JACK_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# 1024 frames: smaller periods lost single messages on a fully loaded machine.
# A server now and then dies while starting on a busy machine (its shared
# memory registry is shared with every other JACK server); try again then.
start_jack() {
  jackd -n "$JACK_DEFAULT_SERVER" --no-realtime -d dummy -r 48000 -p "${KW_JACK_PERIOD:-1024}" >>"$WORK/jackd.log" 2>&1 &
  JACK_PID=$!
  for _ in $(seq 100); do
    jack_lsp >/dev/null 2>&1 && return 0
    kill -0 "$JACK_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill "$JACK_PID" 2>/dev/null && wait "$JACK_PID" 2>/dev/null
  JACK_PID=""
  return 1
}
started=""
for attempt in 1 2 3; do
  if start_jack; then started=1; break; fi
  echo "JACK server attempt $attempt failed" >>"$WORK/jackd.log"
  sleep 0.5
done
if [ -z "$started" ]; then
  echo "JACK server did not start:"; cat "$WORK/jackd.log"
  exit 1
fi

# The simulator's panel listens on a FIFO that tests write commands into;
# holding it open read-write here keeps it from ever reading end-of-file.
mkfifo "$WORK/panel"
exec 3<>"$WORK/panel"
"$SIM" --api jack --volatile --trace <"$WORK/panel" >"$WORK/sim.log" 2>&1 &
SIM_PID=$!
for _ in $(seq 100); do
  [ "$(jack_lsp 2>/dev/null | grep -c 'Virtual CS1x')" -ge 2 ] && break
  kill -0 "$SIM_PID" 2>/dev/null || break
  sleep 0.1
done
if [ "$(jack_lsp 2>/dev/null | grep -c 'Virtual CS1x')" -lt 2 ]; then
  echo "knobwright-sim did not come up:"; cat "$WORK/sim.log"
  exit 1
fi

# Bounded, so a hung test still leaves time to stop the server and the sim.
KW_SIM_PANEL="$WORK/panel" KW_SIM_TRACE="$WORK/sim.log" KW_SIM_PORT="knobwright-sim:Virtual CS1x" timeout 90 "$TEST" "$@"
rc=$?
if [ $rc -ne 0 ]; then
  echo "--- simulator trace ---"; cat "$WORK/sim.log"
fi
exit $rc
