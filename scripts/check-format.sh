#!/usr/bin/env bash
# Checks that every tracked C++ source and header is laid out as .clang-format
# says (clang-format 14 from Debian 12). Lists each place that differs and
# fails if there is one; `clang-format -i FILE` puts a file right.
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format}
command -v "$clang_format" >/dev/null || { echo "check-format: $clang_format not found" >&2; exit 1; }
git ls-files -z -- '*.cpp' '*.h' | xargs -0 -r "$clang_format" --dry-run --Werror
echo "check-format: every file is formatted"
