#!/usr/bin/env bash
# fault.sh CASE
# Runs one fault case: a fresh Wine prefix (a copy of the end-to-end tests'
# template), a setup program under test started and answered by the
# end-to-end driver or by fault_tool, then a transcript of what a user and an
# administrator would check afterwards (boxes, full exit code, what is left
# in the temporary folder, what is installed) compared with what the case
# expects. Exits 77 (skipped) when a case needs a mount that this machine
# does not allow.
#
# Set by the build (tests/faults/CMakeLists.txt): FAULT_BIN, FAULT_WORK,
# E2E_BIN, E2E_PACKAGES, E2E_WORK (holds the template), E2E_PRODUCT_CODE,
# E2E_SYSTEM_FOLDER (where the setup's msiexec.exe lies in the prefix).
set -euo pipefail

case_name=$1
subject="fault $case_name"
# shellcheck source-path=SCRIPTDIR source=../lib/transcript.sh
source "$(dirname "$0")/../lib/transcript.sh"
product=$E2E_PRODUCT_CODE

mounts=()
work=$FAULT_WORK/$case_name

end_case() {
  wineserver -k 2>/dev/null || true
  local mount
  for mount in "${mounts[@]}"; do
    umount "$mount" 2>/dev/null || true
  done
  rm -rf "$work"
}

# A fresh prefix in the case's own folder, with its transcript beside it.
new_prefix() {
  rm -rf "$work"
  copy_template "$work/prefix" "$work/transcript"
  trap end_case EXIT
}

# Wine's messages are kept aside, and shown when the program fails: a case
# that fails at times then says why.
quietly() {
  local status=0
  "$@" 2>"$work/stderr" || status=$?
  [ $status -eq 0 ] || tail -n 20 "$work/stderr" >&2
  return $status
}

# Runs a Windows program of the build and adds what it printed to the
# transcript; one that could not do its work ends the case.
windows() { into_transcript "$(basename "$1")" quietly in_prefix "$@"; }
drive() { windows "$E2E_BIN/e2e_driver.exe" "$@"; }
tool() { windows "$FAULT_BIN/fault_tool.exe" "$@"; }

fault_setup() { win "$FAULT_BIN/fault_setup_$1.exe"; }

# The user's temporary folder, as the setup and the installer will see it.
set_temp() {
  in_prefix reg add 'HKCU\Environment' /v TEMP /d "$1" /f >/dev/null 2>&1
  in_prefix reg add 'HKCU\Environment' /v TMP /d "$1" /f >/dev/null 2>&1
}

# An empty temporary folder of the case's own, $temp.
own_temp() {
  temp=$work/temp
  mkdir -p "$temp"
  set_temp "$(win "$temp")"
}

# A temporary folder of the case's own, on a file system of SIZE bytes,
# mounted with OPTIONS; skips the case where mounting is not allowed.
mount_temp() { # DIR SIZE OPTIONS
  mkdir -p "$1"
  if ! mount -t tmpfs -o "size=$2${3:+,$3}" tmpfs "$1" 2>/dev/null; then
    echo "$subject: cannot mount a file system here (needs root); skipped"
    exit 77
  fi
  mounts+=("$1")
}

# The end of a driver started in the background as $driver_pid, with its
# output in $work/driver: that output and its status into the transcript,
# then what is left in the temporary folder.
driver_ended() {
  local status=0
  wait "$driver_pid" || status=$?
  cat "$work/driver" >>"$transcript"
  note "driver status $status"
  left_in "left in temp" "$temp"
}

create_failure() {
  printf '%s' "Could not create a file named: $1. Please make sure that file doesn't already exist and you have write permission to the directory."
}

# The boxes of a setup run that could not create FILE, and its end.
refused() { # SWITCHES FILE
  printf 'run %s\n%s\n%s\nexit 1603' "$1" "$(box "Setup Test Product" "$(create_failure "$2")")" \
    "$(box "Setup Test Product" "Could not extract files.")"
}

case $case_name in
disk-full)
  # The temporary folder's file system has 4 MiB, the package 6 MiB: the
  # write fails part way. Then a package that fits with a transform that
  # does not: the package already written goes again.
  new_prefix
  temp=$work/temp
  mount_temp "$temp" 4m
  set_temp "$(win "$temp")"
  drive run "$(fault_setup big_package)" /S -- window "Setup Test Product" -- press OK -- exit
  left_in "left in temp" "$temp"
  drive run "$(fault_setup big_transform)" /L1036 -- window "Setup Test Product" -- press OK -- \
    exit -- product "$product"
  left_in "left in temp" "$temp"
  note "bytes used: $(df --output=used -B1 "$temp" | tail -1 | tr -d ' ')"
  expect <<EOF
run /S
$(box "Setup Test Product" "Could not extract files.")
exit 1603
left in temp: none
run /L1036
$(box "Setup Test Product" "Could not extract files.")
exit 1603
product error 1605
left in temp: none
bytes used: 0
EOF
  ;;

temp-unwritable)
  # Three temporary folders in which nothing can be created, even by root:
  # a read-only file system, a folder that does not exist and a "folder"
  # that is a file. Each time the setup's own folder cannot be made: the box
  # names its full path, the extraction fails, nothing is started and
  # nothing is left.
  new_prefix
  read_only=$work/read-only
  mount_temp "$read_only" 1m ro
  : >"$work/a-file"
  for temp in "$read_only" "$work/missing" "$work/a-file"; do
    set_temp "$(win "$temp")"
    drive run "$(setup product)" /S -- window "Setup Test Product" -- press OK -- \
      window "Setup Test Product" -- press OK -- exit
  done
  drive product "$product"
  left_in "read-only" "$read_only"
  note "missing: $([ -e "$work/missing" ] && echo exists || echo absent)"
  note "a-file: $(stat -c %s "$work/a-file") bytes"
  expect <<EOF
$(refused /S "$(win "$read_only")\\setup-RANDOM")
$(refused /S "$(win "$work/missing")\\setup-RANDOM")
$(refused /S "$(win "$work/a-file")\\setup-RANDOM")
product error 1605
read-only: none
missing: absent
a-file: 0 bytes
EOF
  ;;

planted-in-temp)
  # What another user of a shared temporary folder could plant under the
  # names of the package and the transform: a symbolic link to a file of
  # their choosing, and a file held open without sharing. The setup writes
  # into a new folder of its own, so it neither writes through the link nor
  # deletes its target, leaves the planted file alone and installs. Twice,
  # with the plants swapped between the two names.
  victim=$FAULT_WORK/victim-$case_name
  rounds=
  for link in setup-test.msi 1036.MST; do
    new_prefix
    own_temp
    planted=setup-test.msi
    [ $link = 1036.MST ] || planted=1036.MST
    printf 'a file the link points to\n' >"$victim"
    ln -s "$victim" "$temp/$link"
    printf 'the user'\''s own %s\n' "$planted" >"$temp/$planted"
    note "$link links, $planted held open"
    tool hold "$(win "$temp/$planted")" "$E2E_BIN/e2e_driver.exe" run "$(setup product)" \
      /S /L1036 -- exit -- product "$product"
    left_in "left in temp" "$temp"
    note "link: $([ -L "$temp/$link" ] && readlink "$temp/$link" | sed "s|^$victim\$|victim|")"
    note "victim: $(cat "$victim")"
    note "planted: $(cat "$temp/$planted")"
    rm -f "$victim"
    rounds+=$(cat "$transcript")$'\n'
  done
  printf '%s' "$rounds" >"$transcript"
  expect <<EOF
setup-test.msi links, 1036.MST held open
run /S /L1036
exit 0
product 1.0.1
left in temp: 1036.MST setup-test.msi
link: victim
victim: a file the link points to
planted: the user's own 1036.MST
1036.MST links, setup-test.msi held open
run /S /L1036
exit 0
product 1.0.1
left in temp: 1036.MST setup-test.msi
link: victim
victim: a file the link points to
planted: the user's own setup-test.msi
EOF
  ;;

long-temp-path)
  # Temporary folders so deep that the package's full path, in the setup's
  # own folder there (23 characters with its backslash), does not fit in
  # MAX_PATH (one character too many), and one longer than MAX_PATH itself:
  # the extraction fails without creating anything, not even the folder.
  # One character less fits, and the setup installs from there.
  new_prefix
  name=setup-test.msi
  own=23
  deep() { # LENGTH: a folder whose Windows path, with its backslash, is that long
    local folder=$work/deep need
    need=$(($1 - 3 - ${#folder}))
    # Whole steps of a slash and 100 letters while more than 150 are
    # missing, then one step of exactly what is missing.
    while [ "$need" -gt 0 ]; do
      local part=$((need > 150 ? 100 : need - 1))
      folder=$folder/$(printf 'd%.0s' $(seq "$part"))
      need=$(($1 - 3 - ${#folder}))
    done
    mkdir -p "$folder"
    printf '%s' "$folder"
  }
  for length in $((260 - own - ${#name})) 300 $((259 - own - ${#name})); do
    temp=$(deep "$length")
    set_temp "$(win "$temp")"
    note "temp folder of $(($(printf '%s' "$(win "$temp")" | wc -c) + 1)) characters"
    if [ "$length" -lt $((260 - own - ${#name})) ]; then
      drive run "$(setup product)" /S -- exit
    else
      drive run "$(setup product)" /S -- window "Setup Test Product" -- press OK -- exit
    fi
    left_in "left in temp" "$temp"
  done
  drive product "$product"
  expect <<EOF
temp folder of 223 characters
run /S
$(box "Setup Test Product" "Could not extract files.")
exit 1603
left in temp: none
temp folder of 300 characters
run /S
$(box "Setup Test Product" "Could not extract files.")
exit 1603
left in temp: none
temp folder of 222 characters
run /S
exit 0
left in temp: none
product 1.0.1
EOF
  ;;

installer-killed)
  # The installer (a stand-in for the system's msiexec.exe that would run for
  # two minutes) is killed while the setup waits for it. The setup wakes,
  # removes the package and the transform it wrote and ends with the killed
  # installer's exit code, whole.
  new_prefix
  own_temp
  system=$prefix/drive_c/windows/$E2E_SYSTEM_FOLDER
  rm "$system/msiexec.exe"
  cp "$FAULT_BIN/slow_msiexec.exe" "$system/msiexec.exe"
  in_prefix "$E2E_BIN/e2e_driver.exe" run --cwd 'C:\' "$(setup product)" /S /L1036 -- \
    exit -- product "$product" >"$work/driver" 2>/dev/null &
  driver_pid=$!
  tool await msiexec.exe
  for _ in $(seq 100); do
    [ -s "$system/msiexec.exe.ran" ] && break
    sleep 0.1
  done
  left_in "left in temp while installing" "$temp"
  # What Wine keeps of the folder's access list, in the Unix mode: other
  # users may neither enter nor read it (the last octal digit).
  mode=$(stat -c %a "$temp"/setup-*)
  note "own folder: others may $([ "${mode: -1}" = 0 ] && echo nothing || echo "$mode")"
  tool kill msiexec.exe 3221225786
  driver_ended
  note "installer started as: $(cat "$system/msiexec.exe.ran")"
  expect <<EOF
running msiexec.exe
left in temp while installing: setup-RANDOM setup-RANDOM/1036.MST setup-RANDOM/setup-test.msi
own folder: others may nothing
killed msiexec.exe 3221225786
run /S /L1036
exit -1073741510
product error 1605
driver status 0
left in temp: none
installer started as: msiexec.exe /qn /i "$(win "$temp")\\setup-RANDOM\\setup-test.msi" TRANSFORMS="$(win "$temp")\\setup-RANDOM\\1036.MST" SETUPEXEDIR="C:\\" REBOOT=ReallySuppress /l*vx "C:\\setup-test.log"
EOF
  ;;

two-at-once)
  # Two quiet setups of the same product started at the same moment. Each
  # writes into a folder of its own, so neither can meet or delete the
  # other's package. First with a stand-in installer that runs 10 s and
  # ends with 3010: both setups wait for theirs, and each stand-in finds
  # its package still there at its end. Then three rounds with Wine's real
  # msiexec: both install (0, 0), or the installer itself refuses the later
  # one: Windows' installer with 1618 (another installation is in progress);
  # Wine's, which does not keep two installations apart, at times ends the
  # later one with 1627 while the other installs. Never a box about a file.
  # Every round: both end, at least one installs, nothing is left in the
  # temporary folder; at the end the product is installed at its version.
  new_prefix
  own_temp
  verdict=passed
  system=$prefix/drive_c/windows/$E2E_SYSTEM_FOLDER
  rm "$system/msiexec.exe"
  cp "$FAULT_BIN/ten_second_msiexec.exe" "$system/msiexec.exe"
  note "stand-in installer"
  tool together "$(setup product)" /S -- "$(setup product)" /S
  left_in "left in temp" "$temp"
  note "packages there at the end: $(grep -c 'package there at the end' "$system/msiexec.exe.ran")"
  note "packages gone at the end: $(grep -c 'package gone at the end' "$system/msiexec.exe.ran")"
  [ "$(tail -5 "$transcript" | paste -sd ' ')" = "program 1: exit 3010 program 2: exit 3010 \
left in temp: none packages there at the end: 2 packages gone at the end: 0" ] || verdict=failed
  rm "$system/msiexec.exe"
  cp "$template/drive_c/windows/$E2E_SYSTEM_FOLDER/msiexec.exe" "$system/msiexec.exe"
  for round in 1 2 3; do
    note "round $round"
    start=$(wc -l <"$transcript")
    tool together "$(setup product)" /S -- "$(setup product)" /S
    left_in "left in temp" "$temp"
    grep -qx "left in temp: none" <(tail -1 "$transcript") || verdict=failed
    installed=0
    for program in 1 2; do
      lines=$(tail -n +$((start + 1)) "$transcript" | sed -n "s/^program $program: //p")
      case $lines in
      "exit 0") installed=1 ;;
      "exit 1618" | "exit 1627") ;;
      *) verdict=failed ;;
      esac
    done
    [ $installed = 1 ] || verdict=failed
  done
  drive product "$product"
  grep -qx "product 1.0.1" <(tail -1 "$transcript") || verdict=failed
  cat "$transcript"
  echo "$subject: $verdict"
  [ $verdict = passed ]
  ;;

waiting-for-installer)
  # While the setup waits for its installer (a stand-in for the system's
  # msiexec.exe that runs 10 s and ends with 3010), another program sends its
  # hidden dialog a close request, a click on the close box and a Cancel.
  # The setup keeps waiting and its files stay; when the installer ends the
  # setup ends with the installer's code, and only then are the files gone.
  new_prefix
  own_temp
  system=$prefix/drive_c/windows/$E2E_SYSTEM_FOLDER
  rm "$system/msiexec.exe"
  cp "$FAULT_BIN/ten_second_msiexec.exe" "$system/msiexec.exe"
  in_prefix "$E2E_BIN/e2e_driver.exe" run --cwd 'C:\' "$(setup product)" /S /L1036 -- \
    exit >"$work/driver" 2>/dev/null &
  driver_pid=$!
  tool await msiexec.exe
  for message in close close-box cancel; do
    tool send setup_product.exe $message
  done
  sleep 2
  tool await setup_product.exe
  tool await msiexec.exe
  left_in "left in temp while installing" "$temp"
  driver_ended
  note "installer: $(tail -1 "$system/msiexec.exe.ran")"
  expect <<EOF
running msiexec.exe
sent close to setup_product.exe
sent close-box to setup_product.exe
sent cancel to setup_product.exe
running setup_product.exe
running msiexec.exe
left in temp while installing: setup-RANDOM setup-RANDOM/1036.MST setup-RANDOM/setup-test.msi
run /S /L1036
exit 3010
driver status 0
left in temp: none
installer: package there at the end
EOF
  ;;

second-ok)
  # The setup's own folder cannot be made (the temporary folder is missing),
  # and while the box that says so is up the user clicks OK in the language
  # dialog again. That second OK starts nothing: no second box, no second
  # attempt; the first one ends as it would have.
  new_prefix
  set_temp "$(win "$work/missing")"
  drive run "$(setup product)" -- window "Choose Setup Language" -- press OK -- \
    window "Setup Test Product" -- again "Choose Setup Language" -- press OK -- still -- \
    again "Setup Test Product" -- press OK -- window "Setup Test Product" -- press OK -- exit
  note "missing: $([ -e "$work/missing" ] && echo exists || echo absent)"
  expect <<EOF
run
$(english_dialog)
press "OK"
window "Setup Test Product"
  button "OK"
  text "$(create_failure "$(win "$work/missing")\\setup-RANDOM")"
again "Choose Setup Language"
press "OK"
$(english_dialog)
again "Setup Test Product"
press "OK"
$(box "Setup Test Product" "Could not extract files.")
exit 1603
missing: absent
EOF
  ;;

planted-files)
  # msiexec.exe and msi.dll planted beside setup.exe and in the current
  # directory. Each writes a marker beside itself when it runs or is
  # loaded; none may appear, and the real installation still happens.
  # Wine loads its own msi.dll for any msi.dll unless told to prefer one
  # found on disk; told so, a program that searched its own folder or the
  # current directory would load the plant.
  export WINEDLLOVERRIDES='mscoree,mshtml=;msiexec.exe=n,b;msi=n,b'
  new_prefix
  media=$prefix/drive_c/Media
  current=$prefix/drive_c/Work
  mkdir -p "$media" "$current"
  cp "$E2E_BIN/setup_product.exe" "$media/setup.exe"
  for dir in "$media" "$current"; do
    cp "$FAULT_BIN/planted_msiexec.exe" "$dir/msiexec.exe"
    cp "$FAULT_BIN/msi.dll" "$dir/msi.dll"
  done
  markers() {
    local found
    found=$(cd "$prefix/drive_c" && find Media Work \( -name '*.ran' -o -name '*.loaded' \) |
      sort | paste -sd ' ')
    note "markers: ${found:-none}"
  }
  drive run --cwd 'C:\Work' 'C:\Media\setup.exe' /S -- exit -- product "$product" -- \
    run --cwd 'C:\Media' 'C:\Media\setup.exe' -- window "Choose Setup Language" -- press OK -- \
    exit -- product "$product"
  markers
  # The plants work: a program beside them that loads msi.dll by name gets
  # the planted one, and the planted msiexec.exe leaves its marker when run.
  cp "$FAULT_BIN/fault_tool.exe" "$media/probe.exe"
  windows 'C:\Media\probe.exe' load msi.dll
  in_prefix 'C:\Work\msiexec.exe' >/dev/null 2>&1
  markers
  expect <<EOF
run /S
exit 0
product 1.0.1
run
$(english_dialog)
press "OK"
exit 0
product 1.0.1
markers: none
loaded
markers: Media/msi.dll.loaded Work/msiexec.exe.ran
EOF
  ;;

corrupt-package)
  # Packages that the installer cannot open: the product's package cut off
  # in the middle, and a text file. The installer's failure is the setup's
  # exit code (Wine's msiexec ends with 1627 for both, where Windows gives
  # 1620); the written package is gone and nothing is installed.
  new_prefix
  own_temp
  for variant in truncated_package text_package; do
    drive run "$(fault_setup $variant)" /S -- exit
    left_in "left in temp" "$temp"
  done
  drive product "$product"
  expect <<EOF
run /S
exit 1627
left in temp: none
run /S
exit 1627
left in temp: none
product error 1605
EOF
  ;;

corrupt-transform)
  # A French transform cut off after its header. Wine's installer is given
  # it (the log names it) but skips a transform that it cannot read and
  # installs: the setup ends with its 0 (Windows' installer would refuse
  # with 1624, which the setup would pass on the same way); both written
  # files are gone.
  new_prefix
  own_temp
  drive run "$(fault_setup truncated_transform)" /S /L1036 -- exit -- product "$product"
  left_in "left in temp" "$temp"
  log_values TRANSFORMS | sed "s/$(win "$temp" | sed 's/\\/\\\\/g')/TEMP/" | sort -u >>"$transcript"
  expect <<EOF
run /S /L1036
exit 0
product 1.0.1
left in temp: none
TRANSFORMS = TEMP\\setup-RANDOM\\1036.MST
EOF
  ;;

*)
  echo "fault.sh: unknown case $case_name" >&2
  exit 2
  ;;
esac
