#!/usr/bin/env bash
# Folders depend downwards only: support <- records <- gateway <- ui <- entry, with posdb and
# platform as leaves. Prints every include that reaches up and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/../src"
upward=$( { grep -rnE '#include "(entry|ui|gateway|records|posdb)/' support platform || true
            grep -rnE '#include "(entry|ui|gateway|posdb)/' records || true
            grep -rnE '#include "(entry|ui)/' gateway posdb || true
            grep -rnE '#include "(entry|gateway)/' ui || true; } )
if [ -n "$upward" ]; then
    echo "check-layers: includes that reach up:"; echo "$upward"; exit 1
fi
echo "check-layers: ok"
