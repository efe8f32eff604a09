#!/usr/bin/env bash
# Every C++ file of src, tools, tests, bench and fuzz is laid out as the root .clang-format says
# (Debian's clang-format, installed when missing). Prints the files that are not and fails when
# there is one; `clang-format -i FILE` mends a file.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/packages.sh
install_missing check-format clang-format

unformatted=()
while IFS= read -r -d '' file; do
    if ! clang-format --style=file "$file" | cmp -s - "$file"; then
        unformatted+=("$file")
    fi
done < <(find src tools tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 | sort -z)

if [ ${#unformatted[@]} -gt 0 ]; then
    echo "check-format: ${#unformatted[@]} file(s) differ from .clang-format (clang-format -i mends them):"
    printf '  %s\n' "${unformatted[@]}"
    exit 1
fi
echo "check-format: ok"
