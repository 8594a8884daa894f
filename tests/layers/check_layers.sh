#!/usr/bin/env bash
# check_layers.sh SRC_DIR [TOOLS_DIR]
# The setup's modules stand on floors, one folder to a floor; an include may
# reach its own floor or one below it, never one above. Every file under
# SRC_DIR must lie in a folder that has a floor. With TOOLS_DIR, the same
# for setup-pack's libraries.
set -euo pipefail
src=$1
tools=${2:-}

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
# setup-pack's libraries under TOOLS_DIR stand on floors of their own, one
# folder each, below the command line: common < compound_file, pe <
# msi_database < msi_transform < setup_pack. Of the setup's sources they
# may include base/ (the types and the agreement both sides share); only
# the command line, on top, reaches further.
tool_floor_of() {
  case $1 in
    common) echo 0 ;;                  # bytes, UTF-8, errors, the file layer
    compound_file | pe | po) echo 1 ;; # the container and text formats
    msi_database) echo 2 ;;            # installer databases
    msi_transform | msi_texts) echo 3 ;; # language transforms, texts for translators
    setup_pack | setup_probe) echo 4 ;; # the programs
    *) echo "" ;;
  esac
}
if [ -n "$tools" ]; then
  while IFS= read -r file; do
    module=${file#"$tools"/}
    folder=${module%%/*}
    own=$(tool_floor_of "$folder")
    if [ -z "$own" ] || [ "$module" = "$folder" ]; then
      echo "FAILED: tools/$module lies in no folder that has a floor"
      failed=1
      continue
    fi
    while IFS= read -r included; do
      target=${included%%/*}
      checked=$((checked + 1))
      floor=""
      [ "$included" != "$target" ] && floor=$(tool_floor_of "$target")
      if [ -n "$floor" ]; then
        if [ "$floor" -gt "$own" ]; then
          echo "FAILED: tools/$module (floor $own) includes $included (floor $floor)"
          failed=1
        fi
      elif [ -f "$src/$included" ] && { [ "$target" = base ] || [ "$own" -eq 4 ]; }; then
        : # the setup's own code, as far as this floor may reach
      else
        echo "FAILED: tools/$module includes $included, which it may not reach"
        failed=1
      fi
    done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
  done < <(find "$tools" -name '*.cpp' -o -name '*.h' | sort)
fi

echo "$checked includes checked"
[ "$checked" -gt 0 ] || failed=1
exit $failed
