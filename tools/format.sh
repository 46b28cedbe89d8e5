#!/usr/bin/env bash
# Lays out every C++ file of the tree by .clang-format.
#   tools/format.sh          rewrites the files in place
#   tools/format.sh --check  changes nothing; fails, naming the files, when one is not laid out so
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = --check ]; then
    if ! "$format" --dry-run --Werror "${files[@]}" 2>/tmp/format-check.$$; then
        grep -o '^[^:]*\.\(cpp\|h\)' /tmp/format-check.$$ | sort -u | sed 's/^/not formatted: /' >&2
        rm -f /tmp/format-check.$$
        echo "run tools/format.sh to lay them out" >&2
        exit 1
    fi
    rm -f /tmp/format-check.$$
else
    "$format" -i "${files[@]}"
fi
