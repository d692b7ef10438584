#!/usr/bin/env bash
# The check refuses exactly the includes of the sample tree that run against the order, and fails.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(bash "$here/check_layers.sh" "$here/sample_tree" 2>/dev/null)
rc=$?
if [ "$rc" -ne 1 ]; then
    echo "the check ended with $rc on the sample tree, not 1"
    exit 1
fi
diff -u "$here/sample_tree_refusals.txt" <(printf '%s\n' "$out")
