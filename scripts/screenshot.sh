#!/usr/bin/env bash
# Starts the real window on a stream under a virtual X display, selects a PMT
# packet (Search > Find Next PMT moves the first PMT after the first row to the
# top of the list, where the selection is) and saves a picture of the window;
# then clicks a node of the decode tree, whose bytes the hex view marks, and
# saves a second picture beside the first (OUT-field.png).
#
#   scripts/screenshot.sh STREAM OUT.png [BUILD_DIR]
#
# SHOT_STEPS replaces those two steps with its own, separated by ";": each is
# an xdotool command sent to the focused window, "sleep N", "shot NAME" (the
# main window, saved as OUT-NAME.png) or "screen NAME" (the whole screen, for
# dialogs). For example, a PCR field selected:
#   SHOT_STEPS='key ctrl+r; sleep 1; mousemove 760 262 click 1; type program_clock_reference_b; sleep 1; shot pcr'
# SHOT_KEY picks another Find Next shortcut than Find Next PMT (ctrl+m), for
# example ctrl+e (EIT), ctrl+s (SDT) or ctrl+d (TDT).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 STREAM OUT.png [BUILD_DIR]" >&2; exit 2; }
stream=$(realpath "$1")
out=$(realpath -m "$2")
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${3:-$top/build}")
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb xdotool imagemagick)" >&2; exit 2; }
done
[ -x "$build/src/app/tessaro" ] || { echo "no window program at $build/src/app/tessaro" >&2; exit 2; }

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<INNER
set -euo pipefail
export XDG_CONFIG_HOME=\$(mktemp -d)
"$build/src/app/tessaro" "$stream" &
app=\$!
window=\$(xdotool search --sync --onlyvisible --name '^Tessaro ' | head -n 1)
xdotool windowactivate --sync "\$window" 2>/dev/null || xdotool windowfocus --sync "\$window"
# The whole screen: the decode tree's values stand right of 36-character labels.
xdotool windowmove "\$window" 0 0 windowsize "\$window" 1600 1000
sleep 1
if [ -n "\${SHOT_STEPS:-}" ]; then
  IFS=';' read -ra steps <<<"\$SHOT_STEPS"
  for step in "\${steps[@]}"; do
    read -ra words <<<"\$step"
    case "\${words[0]:-}" in
      "") ;;
      sleep) sleep "\${words[1]}" ;;
      shot) import -window "\$window" "${out%.png}-\${words[1]}.png" ;;
      screen) import -window root "${out%.png}-\${words[1]}.png" ;;
      *) xdotool "\${words[@]}" ;;
    esac
  done
  kill \$app
  exit 0
fi
xdotool key --window "\$window" ${SHOT_KEY:-ctrl+m}
sleep 1
import -window "\$window" "$out"
# A node a few rows down the PSI group of the tree.
xdotool mousemove --window "\$window" 760 262 click 1
sleep 1
import -window "\$window" "${out%.png}-field.png"
kill \$app
INNER
SHOT_STEPS="${SHOT_STEPS:-}" xvfb-run -a -s "-screen 0 1600x1000x24" bash "$inner"
if [ -n "${SHOT_STEPS:-}" ]; then echo "saved ${out%.png}-*.png"; else echo "saved $out and ${out%.png}-field.png"; fi
