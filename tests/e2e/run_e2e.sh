#!/usr/bin/env bash
# Starts a private JACK server (dummy driver, no realtime) and knobwright-sim
# on it, runs the end-to-end test program against them, and stops both again
# whatever happens. Usage: run_e2e.sh SIM_BINARY TEST_BINARY [test args...]
#
# While the test runs it may write commands, one a line, into the FIFO named
# by KW_E2E_CONTROL; each is answered by a line "<command> ok" or "<command>
# failed" appended to the file KW_E2E_ACK:
#   kill-jack     the server dies (SIGKILL), the simulator with it
#   restart-jack  a new server and a new simulator come up under the same names
#   restart-sim   the simulator alone is stopped and started again
#   stop-sim      the simulator alone is stopped (SIGTERM)...
#   start-sim     ...and started again
# The server and the simulator stay children of this script, so a killed one
# is reaped at once (JACK refuses a new server while the old one is a zombie).
set -u
SIM="$1"; TEST="$2"; shift 2

if ! command -v jackd >/dev/null || ! command -v jack_lsp >/dev/null; then
  echo "jackd/jack_lsp not installed: skipped"
  exit 77
fi
. "$(dirname "$0")/../../scripts/offscreen-env.sh"
export JACK_NO_AUDIO_RESERVATION=1
# A server of our own, so parallel runs and other JACK users never meet.
export JACK_DEFAULT_SERVER="kw-e2e-$$-$RANDOM"
WORK="$(mktemp -d /tmp/kw-e2e.XXXXXX)"
JACK_PID=""; SIM_PID=""

cleanup() {
  exec 3>&- 4>&-
  [ -n "${TEST_PID:-}" ] && kill "$TEST_PID" 2>/dev/null && wait "$TEST_PID" 2>/dev/null
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  [ -n "$JACK_PID" ] && kill "$JACK_PID" 2>/dev/null && wait "$JACK_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Realtime scheduling where the machine allows it (root, or an rtprio limit):
# without it, a loaded machine starves the clients' process threads, a
# client misses its cycle, the MIDI of that cycle is lost, and the dummy
# driver's graph may stall for good. Without it the server still runs.
if chrt -f 10 true 2>/dev/null; then JACK_RT=(-R); else JACK_RT=(--no-realtime); fi
# 1024 frames: smaller periods lost single messages on a fully loaded machine.
# A server now and then dies while starting on a busy machine (its shared
# memory registry is shared with every other JACK server); try again then.
start_jack() {
  jackd -n "$JACK_DEFAULT_SERVER" "${JACK_RT[@]}" -d dummy -r 48000 -p "${KW_JACK_PERIOD:-1024}" >>"$WORK/jackd.log" 2>&1 &
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
start_jack_retrying() {
  for attempt in 1 2 3; do
    start_jack && return 0
    echo "JACK server attempt $attempt failed" >>"$WORK/jackd.log"
    sleep 0.5
  done
  return 1
}
if ! start_jack_retrying; then
  echo "JACK server did not start:"; cat "$WORK/jackd.log"
  exit 1
fi

# The simulator's panel listens on a FIFO that tests write commands into;
# holding it open read-write here keeps it from ever reading end-of-file.
mkfifo "$WORK/panel"
exec 3<>"$WORK/panel"
# The simulator says when its ports are up. No JACK client may come and go
# meanwhile (jack_lsp is one): a process that opens its second client just
# after another client closed may lose that client's wake-ups in the JACK
# library, and the graph stalls for good.
start_sim() {
  local before
  before=$(grep -c ' ready on ' "$WORK/sim.log" 2>/dev/null)
  "$SIM" --api jack --memory "$WORK/sim-memory.syx" --trace <"$WORK/panel" >>"$WORK/sim.log" 2>&1 &
  SIM_PID=$!
  for _ in $(seq 100); do
    [ "$(grep -c ' ready on ' "$WORK/sim.log" 2>/dev/null)" -gt "${before:-0}" ] && return 0
    kill -0 "$SIM_PID" 2>/dev/null || break
    sleep 0.1
  done
  return 1
}
stop() {  # SIGNAL PID
  [ -n "$2" ] && kill "-$1" "$2" 2>/dev/null && wait "$2" 2>/dev/null
  return 0
}
if ! start_sim; then
  echo "knobwright-sim did not come up:"; cat "$WORK/sim.log"
  exit 1
fi

control() {
  case "$1" in
    kill-jack) stop KILL "$JACK_PID"; JACK_PID=""; stop KILL "$SIM_PID"; SIM_PID="" ;;
    restart-jack) stop KILL "$JACK_PID"; JACK_PID=""; stop KILL "$SIM_PID"; SIM_PID=""
                  start_jack_retrying && start_sim ;;
    restart-sim) stop TERM "$SIM_PID"; SIM_PID=""; start_sim ;;
    stop-sim) stop TERM "$SIM_PID"; SIM_PID="" ;;
    start-sim) [ -n "$SIM_PID" ] || start_sim ;;
    *) return 1 ;;
  esac
}

mkfifo "$WORK/control"
exec 4<>"$WORK/control"
: >"$WORK/ack"
# Bounded (KW_E2E_TIMEOUT seconds, default 90), so a hung test still leaves
# time to stop the server and the sim. The simulator keeps its memory in
# KW_SIM_MEMORY, fresh for each run of this script. KW_SIM_BINARY lets a test
# start more MIDI clients of its own (a simulator that answers nothing).
KW_SIM_BINARY="$SIM" KW_SIM_PANEL="$WORK/panel" KW_SIM_TRACE="$WORK/sim.log" KW_SIM_PORT="knobwright-sim:Virtual CS1x" \
  KW_SIM_MEMORY="$WORK/sim-memory.syx" KW_E2E_CONTROL="$WORK/control" KW_E2E_ACK="$WORK/ack" \
  timeout "${KW_E2E_TIMEOUT:-90}" "$TEST" "$@" &
TEST_PID=$!
# A read that times out keeps what it got of a line so far; that part is
# kept for the next read (on a loaded machine the time-out can fall between
# the bytes of one command).
partial=""
while kill -0 "$TEST_PID" 2>/dev/null; do
  if read -t 0.2 -r piece <&4; then
    command="$partial$piece"; partial=""
    if control "$command"; then echo "$command ok" >>"$WORK/ack"; else echo "$command failed" >>"$WORK/ack"; fi
  else
    partial="$partial$piece"
  fi
done
wait "$TEST_PID"
rc=$?
if [ $rc -ne 0 ]; then
  echo "--- simulator trace ---"; cat "$WORK/sim.log"
  echo "--- JACK server ---"; tail -n 20 "$WORK/jackd.log"
  # On a loaded machine the dummy driver's graph now and then stalls for good:
  # when a cycle comes hundreds of milliseconds late (seen with realtime
  # scheduling too: "JackTimedDriver::Process XRun = 426778 usec"), jackd2
  # never gets its clients back in step ("client ... was not finished, state =
  # Triggered" every cycle after) and nothing gets through any more. That is
  # the server's trouble, not ours: once more on a fresh server; a fault of
  # ours fails the second run too.
  if grep -q 'was not finished' "$WORK/jackd.log" && [ -z "${KW_E2E_RETRIED:-}" ]; then
    echo "--- the JACK graph stalled; once more on a fresh server ---"
    cleanup
    trap - EXIT
    KW_E2E_RETRIED=1 exec "$0" "$SIM" "$TEST" "$@"
  fi
fi
exit $rc
