# Sourced by the example runners (run-example, run-example-wizard): what they share.

# Ends the runner when a running Setup uses the system root ROOT (a wizard still open on it, or a
# silent run), rather than deleting the root under it.
refuse_root_in_use() {
  local root proc exe used
  root=$(realpath -m "$1")
  for proc in /proc/[0-9]*; do
    exe=$(readlink "$proc/exe" 2>/dev/null) || continue
    exe=${exe% (deleted)}
    [ "${exe##*/}" = Setup ] || continue
    used=$(tr '\0' '\n' < "$proc/environ" 2>/dev/null | sed -n 's/^TOLK_SYSTEM_ROOT=//p') || continue
    if [ -n "$used" ] && [ "$(realpath -m "$used")" = "$root" ]; then
      echo "$(basename "$0"): $1 is in use by a running Setup (process ${proc#/proc/}); quit it first." >&2
      exit 1
    fi
  done
}

# Gives the run a home of its own, HOME_DIR, so that whatever it writes for the user (the user
# domain's Library, GTK and WebKit data and caches) stays there; the X authority of the user's
# own home still lets the wizard open its window.
use_home() {
  if [ -z "${XAUTHORITY:-}" ] && [ -n "${HOME:-}" ] && [ -f "$HOME/.Xauthority" ]; then
    export XAUTHORITY=$HOME/.Xauthority
  fi
  mkdir -p "$1"
  export HOME=$1 XDG_CONFIG_HOME=$1/.config XDG_CACHE_HOME=$1/.cache XDG_DATA_HOME=$1/.local/share \
    XDG_STATE_HOME=$1/.local/state
}

# Only root may make the installation database's folders; for a user who is not root they are
# made beforehand in the root ROOT, as an administrator would, so that the user may install.
make_database_folders() {
  if [ "$(id -u)" -ne 0 ]; then
    mkdir -p "$1/Library/Application Support/Orvex/caps" "$1/Library/Application Support/Orvex/backup"
  fi
}
