#!/usr/bin/env bash
# check_layers.sh SRC_DIR
# The setup's modules stand on floors, one folder to a floor; an include may
# reach its own floor or one below it, never one above. Every file under
# SRC_DIR must lie in a folder that has a floor.
set -euo pipefail
src=$1

# folder -> floor
floor_of() {
  case $1 in
    base) echo 0 ;;         # texts, lists, decimals, what setup.exe and setup-pack agree on
    os) echo 1 ;;           # kernel objects, resources, system folder
    state) echo 2 ;;        # the record every part reads, text resources
    product) echo 3 ;;      # versions, installed-product check
    package) echo 4 ;;      # extraction, installer command line, launch
    ui) echo 5 ;;           # languages, the dialog and its plan
    command_line) echo 6 ;; # the setup's command line: switches, properties
    entry) echo 7 ;;        # the entry, on top
    *) echo "" ;;
  esac
}

failed=0 checked=0
while IFS= read -r file; do
  module=${file#"$src"/}
  module=${module%.*}
  own=$(floor_of "${module%%/*}")
  if [ -z "$own" ] || [ "$module" = "${module%%/*}" ]; then
    echo "FAILED: $module lies in no folder that has a floor"
    failed=1
    continue
  fi
  while IFS= read -r included; do
    floor=""
    [ "$included" != "${included%%/*}" ] && floor=$(floor_of "${included%%/*}")
    checked=$((checked + 1))
    if [ -z "$floor" ]; then
      echo "FAILED: $module includes $included, which lies in no folder that has a floor"
      failed=1
    elif [ "$floor" -gt "$own" ]; then
      echo "FAILED: $module (floor $own) includes $included (floor $floor)"
      failed=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find "$src" -name '*.cpp' -o -name '*.h' | sort)
echo "$checked includes checked"
[ "$checked" -gt 0 ] || failed=1
exit $failed
