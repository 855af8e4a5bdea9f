# Sourced by the scripts that run the programs without a display: Qt draws
# offscreen and gets a private runtime folder when there is none.
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ] || [ ! -w "${XDG_RUNTIME_DIR}" ]; then
  export XDG_RUNTIME_DIR="$(mktemp -d /tmp/kw-runtime.XXXXXX)"
  chmod 0700 "$XDG_RUNTIME_DIR"
fi
