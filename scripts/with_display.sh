#!/usr/bin/env bash
# Runs a command with the project's Wine prefix and one X display for its whole length, so that
# every Windows program it starts shares one wineserver that has a desktop. TRAPEZOID_SCREEN sets
# the screen's size (1024x768 unless given).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
if [ -z "${TRAPEZOID_IN_DISPLAY:-}" ]; then
    export TRAPEZOID_IN_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 ${TRAPEZOID_SCREEN:-1024x768}x24" "$0" "$@"
fi
wineserver -k >/dev/null 2>&1 || true   # a server started without a display would keep none
wine_prefix_ready
wineserver -p >/dev/null 2>&1 || true
# Start Wine's background services now, detached from the output of the command: a test runner
# would otherwise wait for them to close the pipes they inherited.
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
set +e
"$@"
rc=$?
wineserver -k >/dev/null 2>&1
exit $rc
