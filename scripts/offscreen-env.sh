# Sourced by the scripts that run the programs without a display: Qt draws
# offscreen and gets a private runtime folder when there is none. The folder
# is one per user and reused, so runs leave nothing behind in /tmp.
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -w "${XDG_RUNTIME_DIR}" ]; then
  export XDG_RUNTIME_DIR="/tmp/kw-runtime-$(id -u)"
  mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
  if [ ! -O "$XDG_RUNTIME_DIR" ]; then  # someone else's: take a fresh one
    export XDG_RUNTIME_DIR="$(mktemp -d /tmp/kw-runtime.XXXXXX)"
  fi
  chmod 0700 "$XDG_RUNTIME_DIR"
fi
