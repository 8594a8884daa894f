# shellcheck shell=bash
# Sourced by the runners that drive whole setups under Wine
# (tests/e2e/scenario.sh, tests/faults/fault.sh): a fresh prefix copied from
# the end-to-end template, Windows programs run in it, a transcript of what
# they printed and of what the runner notes, and its comparison with what
# the run expects.
#
# The runner sets `subject` (e.g. "scenario silent-install"), which names
# the run in its messages, before it sources this; E2E_WORK holds the
# template.
: "${subject:?names the run in messages}"

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
wine_run=$root/scripts/wine-run
template=$E2E_WORK/template

# The user's language is the C library's locale, as Wine reads it.
language() {
  unset LC_ALL LC_MESSAGES LC_CTYPE LANGUAGE
  export LANG=$1
}
language C.UTF-8

# Makes PREFIX a copy of the template in which the system's libraries, which
# nothing writes, are shared through hard links (a run that replaces one of
# them must break the link first), makes it Wine's prefix and starts an
# empty TRANSCRIPT. `log` is where the test packages' installer writes its
# log.
copy_template() { # PREFIX TRANSCRIPT
  prefix=$1
  mkdir -p "$prefix"
  local shared=(system32 syswow64 winsxs) dir
  tar -C "$template" "${shared[@]/#/--exclude=./drive_c/windows/}" -cf - . | tar -C "$prefix" -xf -
  for dir in "${shared[@]}"; do
    cp -al "$template/drive_c/windows/$dir" "$prefix/drive_c/windows/"
  done
  export WINEPREFIX=$prefix
  transcript=$2
  : >"$transcript"
  log=$prefix/drive_c/setup-test.log
}

# Runs a Windows program (or a command of Wine's) in the prefix.
in_prefix() { "$wine_run" "$prefix" "$@"; }

# A Unix path as Wine's Z: drive shows it.
win() { printf 'Z:%s' "${1//\//\\}"; }

# One of the end-to-end setup variants.
setup() { win "$E2E_BIN/setup_$1.exe"; }

note() { printf '%s\n' "$*" >>"$transcript"; }

# Runs COMMAND and adds what it printed to the transcript; a COMMAND that
# could not do its work ends the run, named by WHAT.
into_transcript() { # WHAT COMMAND...
  local what=$1 status=0
  shift
  "$@" >>"$transcript" || status=$?
  if [ $status -ne 0 ]; then
    cat "$transcript"
    echo "$subject: $what failed (status $status)" >&2
    exit 1
  fi
}

# Every file in a folder, or "none".
left_in() { # LABEL DIR
  local files
  files=$(cd "$2" && find . -mindepth 1 -printf '%P\n' | sort | paste -sd ' ')
  note "$1: ${files:-none}"
}

# The values with which the installer's verbose log lists a property, one a
# line.
log_values() { # NAME
  grep -a "^Property(S): $1 = " "$log" | sed 's/^Property(S): //' | tr -d '\r' | sort -u
}

# A box with only an OK button as the driver prints it, and the OK that
# closes it.
box() { # CAPTION TEXT
  printf 'window "%s"\n  button "OK"\n  text "%s"\npress "OK"' "$1" "$2"
}

# The language dialog as the driver prints it, with the entries that the
# test product offers; the end-to-end scenarios about its texts spell it out
# instead.
dialog_window() { # TITLE PROMPT CANCEL-LABEL SELECTED
  cat <<EOF
window "$1"
  button "OK"
  button "$3"
  combo "English" 1033, "Français" 1036, "Deutch" 1031, "Español" 1034, "Italiano" 1040; selected $4
  text "$2"
EOF
}
english_dialog() {
  dialog_window "Choose Setup Language" \
    "Select the language for this installation from the choices below." Cancel '"English"'
}
french_dialog() {
  dialog_window "Choisissez la langue d'installation" \
    "Choisissez la langue d'installation dans la liste ci-dessous." Annuler '"Français"'
}

# Compares the transcript with the expected one on standard input. The
# setup writes into a folder of its own of a random name, "setup-" and 16
# hexadecimal digits: the transcript shows it as setup-RANDOM.
expect() {
  local expected
  sed -i -E 's/setup-[0-9A-F]{16}/setup-RANDOM/g' "$transcript"
  expected=$(cat)
  if [ "$(cat "$transcript")" != "$expected" ]; then
    echo "$subject: the transcript differs from the expected one (- expected, + seen)"
    diff -u <(printf '%s\n' "$expected") "$transcript" || true
    exit 1
  fi
  cat "$transcript"
  echo "$subject: passed"
}
