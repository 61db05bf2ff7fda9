# Sourced, not run, by the scripts that make expectation files with tshark:
# the project's folders, the tools they need, and a private, empty tshark
# configuration, so that the preferences of whoever runs a script do not
# change how tshark dissects the files. Sets root, captures (the script's
# first argument, else ../shared/streams beside the project), out (the
# expectation folder, made) and scratch (a temporary folder, removed on exit).
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
captures="${1:-$root/../shared/streams}"
out="$root/tests/data/expected"

command -v tshark >/dev/null || { echo "tshark is required" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 is required" >&2; exit 2; }
mkdir -p "$out"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export WIRESHARK_CONFIG_DIR="$scratch/config"
mkdir -p "$WIRESHARK_CONFIG_DIR"
