#!/usr/bin/env bash
# Gathers the translatable messages of quillet-grab and quillet-sim into
# po/quillet.pot and merges them into every po/<language>.po; translate the
# new or changed entries (marked fuzzy or empty) afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
xgettext --from-code=UTF-8 --language=C++ --keyword=_ --keyword=N_ --add-comments \
  --package-name=quillet --files-from=po/POTFILES --output=po/quillet.pot
for po in po/*.po; do
  msgmerge --quiet --update --backup=none "$po" po/quillet.pot
done
