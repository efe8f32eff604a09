#!/usr/bin/env bash
# Folders depend downwards only: support <- records <- gateway <- ui <- entry; posdb uses support
# alone and platform nothing of ours, and only entry uses those two. Prints every include that
# breaks this and fails when there is one. The build refuses widgets below ui by itself (twbase
# has no Gui or Widgets include path); the spelling <QtWidgets/QWidget> would slip past that,
# so it is looked for here.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A allowed=(
    [support]="support"
    [records]="records support"
    [gateway]="gateway records support"
    [ui]="ui gateway records support"
    [entry]="entry ui gateway records support posdb platform"
    [posdb]="posdb support"
    [platform]="platform"
)

wrong=""
for folder in "${!allowed[@]}"; do
    for other in "${!allowed[@]}"; do
        if [[ " ${allowed[$folder]} " != *" $other "* ]]; then
            wrong+=$(grep -rnE "#include \"$other/" "$folder" || true)$'\n'
        fi
    done
done
wrong+=$(grep -rnE '#include <Qt(Gui|Widgets)[/>]' support records gateway posdb || true)
wrong=$(sed '/^$/d' <<< "$wrong" | sort)
if [ -n "$wrong" ]; then
    echo "check-layers: includes across the layers:"
    echo "$wrong"
    exit 1
fi
echo "check-layers: ok"
