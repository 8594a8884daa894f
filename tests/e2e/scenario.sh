#!/usr/bin/env bash
# scenario.sh NAME
# Runs one end-to-end scenario: a fresh Wine prefix, a setup program under
# test started and answered by the driver, then the driver's transcript,
# together with what the installer's log and the prefix show, compared with
# what the scenario expects. `scenario.sh make-template` makes the prefix
# that every scenario starts from.
#
# Set by the build (tests/e2e/CMakeLists.txt): E2E_BIN (setups and driver),
# E2E_PACKAGES (the built .msi files), E2E_SOURCES (tests/packages),
# E2E_WORK (scratch folder), E2E_PRODUCT_CODE, E2E_FAILING_PRODUCT_CODE,
# E2E_LOWER_PRODUCT_CODE (that of the product-lower-code packages, in lower
# case), E2E_PACK (the native setup-pack), E2E_STUB (the empty stub of this
# build) and E2E_SYSTEM_FOLDER (where its msiexec.exe lies: system32 for
# x86-64 programs, syswow64 for 32-bit ones).
# `scenario.sh screenshot` saves a picture of the French dialog as
# E2E_SCREENSHOT (see screenshot.sh).
set -euo pipefail

scenario=$1
subject="scenario $scenario"
# shellcheck source-path=SCRIPTDIR source=../lib/transcript.sh
source "$(dirname "$0")/../lib/transcript.sh"
product=${E2E_PRODUCT_CODE:-}
product_key='Software\SetupTests\Product'

make_template() {
  rm -rf "$template"
  mkdir -p "$E2E_WORK"
  WINEDEBUG=-all "$wine_run" "$template" wineboot -i >/dev/null 2>&1
  # The registry reaches the files only when the server ends.
  WINEPREFIX=$template wineserver -w
}

# A fresh prefix of the scenario's own, with its transcript beside it.
new_prefix() {
  rm -rf "${E2E_WORK:?}/$scenario"
  copy_template "$E2E_WORK/$scenario" "$E2E_WORK/$scenario.transcript"
  media=$prefix/drive_c/Setup\ Media
  trap end_prefix EXIT
}

end_prefix() {
  wineserver -k 2>/dev/null || true
  rm -rf "$prefix"
}

driver() { in_prefix "$E2E_BIN/e2e_driver.exe" "$@"; }

# Runs the driver and adds what it printed to the transcript; a step that
# could not be carried out ends the scenario.
drive() { into_transcript "the driver" driver "$@"; }

# Installs a package directly with the installer, as a product that the
# user already has.
preinstall() {
  in_prefix msiexec /qn /i "$(win "$E2E_PACKAGES/$1")" || true
}

# The values with which the installer's verbose log lists these properties.
log_properties() {
  if [ ! -f "$log" ]; then
    note "log absent"
    return
  fi
  local name lines
  for name in "$@"; do
    lines=$(log_values "$name") || true
    note "${lines:-$name absent}"
  done
}

# The package and the transform lying in a folder, for a setup that does not
# carry them.
provide_media() {
  mkdir -p "$media"
  cp "$E2E_PACKAGES/product-1.0.1.msi" "$media/setup-test.msi"
  cp "$E2E_SOURCES/not-a-transform.mst" "$media/1036.MST"
}

temp_folder() {
  driver temp-folder | sed 's/^temp-folder //'
}

# The question before an upgrade of an older version.
# The language dialog of the three-language setup, in French with
# "Français" chosen.
french_languages_window() {
  cat <<EOF
window "Choisissez la langue d'installation"
  button "OK"
  button "Annuler"
  combo "English" 1033, "Français" 1036, "Deutch" 1031; selected "Français"
  text "Choisissez la langue d'installation dans la liste ci-dessous."
EOF
}

upgrade_window() {
  cat <<EOF
window "Setup Test Product"
  button "OK"
  button "Cancel"
  text "This Setup will perform an upgrade of 'Setup Test Product'. Do you want to continue?"
EOF
}

# The three-language setup, packed by the native setup-pack into the
# scenario's prefix: the English package with the French and German ones as
# --language, so the tool makes both transforms. Its path is
# `languages_setup`; with 1.0.2, the setup of the upgrade,
# C:\languages-1.0.2-setup.exe.
pack_languages() { # [1.0.2]
  local packages=$E2E_PACKAGES/languages${1:+-$1}
  languages_setup="C:\\languages${1:+-$1}-setup.exe"
  "$E2E_PACK" --msi "$packages-1033.msi" \
    --language "1036=$packages-1036.msi" \
    --language "1031=$packages-1031.msi" \
    --log-path 'C:\setup-test.log' --stub "$E2E_STUB" --out "$prefix/drive_c/languages${1:+-$1}-setup.exe" >/dev/null
}

# A silent run of the three-language setup with SWITCHES and what it
# installed: the product's name and the greeting its property gave.
languages_silent() { # SWITCHES...
  new_prefix
  pack_languages
  temp=$(temp_folder)
  drive run "$languages_setup" "$@" -- exit -- temp-files -- product "$product" -- \
    product-name "$product" -- registry "$product_key" Greeting
  log_properties ProductName TRANSFORMS
}

# The three-language product as one package, the French and German
# transforms stored in it by the native setup-pack (--out-msi), installed
# by the Windows Installer itself as Group Policy or Intune would, with
# TRANSFORMS (":1036", a stored transform) or without it. Wine applies a
# transform it should refuse as readily: the product's name and greeting
# show which one it applied.
language_package() { # [TRANSFORMS]
  new_prefix
  local packages=$E2E_PACKAGES/languages
  "$E2E_PACK" --msi "$packages-1033.msi" --language "1036=$packages-1036.msi" \
    --language "1031=$packages-1031.msi" --out-msi "$prefix/drive_c/languages.msi" >/dev/null
  drive run msiexec.exe /i 'C:\languages.msi' ${1:+TRANSFORMS=$1} /qn /l*vx 'C:\setup-test.log' \
    -- exit -- product "$product" -- product-name "$product" -- registry "$product_key" Greeting
  log_properties ProductLanguage TRANSFORMS
}

case $scenario in
make-template)
  make_template
  ;;

silent-install)
  # /S with the package inside: no window at all, the product installed
  # with the setup's current directory as SETUPEXEDIR, the written files
  # gone afterwards.
  new_prefix
  mkdir -p "$media"
  temp=$(temp_folder)
  drive run --cwd 'C:\Setup Media' "$(setup product)" /S -- exit -- temp-files -- \
    product "$product" -- registry "$product_key" Version -- registry "$product_key" SetupExeDir
  log_properties OriginalDatabase TRANSFORMS SETUPEXEDIR UILevel REINSTALL
  expect <<EOF
run /S
exit 0
temp-files none
product 1.0.1
registry Version "1.0.1"
registry SetupExeDir "C:\\Setup Media"
OriginalDatabase = ${temp}setup-RANDOM\\setup-test.msi
TRANSFORMS absent
SETUPEXEDIR = C:\\Setup Media
UILevel = 2
REINSTALL absent
EOF
  ;;

silent-properties)
  # /S with properties: they reach the package in the order given, a
  # quoted value with blanks or quotes stays one, a '/' in a value is no
  # switch (the setup stays English), and a quiet installer may not restart
  # the machine. A quote in a value goes to msiexec doubled, which Windows
  # reads as one quote and Wine drops; the value stays whole either way.
  new_prefix
  mkdir -p "$media"
  drive run --cwd 'C:\Setup Media' "$(setup product)" /S 'INSTALLDIR="C:\Program Files\Setup Test"' \
    MYPROP=a/L1036 'NOTE="say \"hi\" /S"' -- exit -- temp-files -- product "$product" -- \
    registry "$product_key" InstallDir -- registry "$product_key" MyProp
  log_properties INSTALLDIR MYPROP NOTE REBOOT TRANSFORMS SETUPEXEDIR
  expect <<EOF
run /S INSTALLDIR="C:\\Program Files\\Setup Test" MYPROP=a/L1036 NOTE="say \\"hi\\" /S"
exit 0
temp-files none
product 1.0.1
registry InstallDir "C:\\Program Files\\Setup Test"
registry MyProp "a/L1036"
INSTALLDIR = C:\\Program Files\\Setup Test
MYPROP = a/L1036
NOTE = say hi /S
REBOOT = ReallySuppress
TRANSFORMS absent
SETUPEXEDIR = C:\\Setup Media
EOF
  ;;

property-refused)
  # A property that the setup sets itself, or a value whose quote is never
  # closed: nothing written or started, the Installer's "invalid command
  # line" (1639), and a box naming the argument unless /S is given.
  new_prefix
  drive run "$(setup product)" /S TRANSFORMS=x.mst -- exit -- temp-files -- \
    run "$(setup product)" TRANSFORMS=x.mst -- window "" -- press OK -- exit -- \
    run "$(setup product)" 'INSTALLDIR="C:\Program Files\X\"' /S -- window "" -- press OK -- \
    exit -- temp-files -- product "$product"
  log_properties ProductVersion
  expect <<EOF
run /S TRANSFORMS=x.mst
exit 1639
temp-files none
run TRANSFORMS=x.mst
$(box "" "This command line argument is not accepted:

TRANSFORMS=x.mst

The setup sets this property itself.")
exit 1639
run INSTALLDIR="C:\\Program Files\\X\\" /S
$(box "" "This command line argument is not accepted:

INSTALLDIR=\"C:\\Program Files\\X\\\" /S

Its value has a quote that is not closed.")
exit 1639
temp-files none
product error 1605
log absent
EOF
  ;;

upgrade-silent-ok)
  # An older version installed: even /S stops for the question; OK starts
  # the installer with the reinstall properties and the newer version is
  # installed.
  new_prefix
  preinstall product-1.0.0.msi
  drive product "$product" -- run "$(setup product)" /S -- window "Setup Test Product" -- \
    shown -- temp-files -- press OK -- exit -- temp-files -- product "$product"
  log_properties REINSTALL REINSTALLMODE
  expect <<EOF
product 1.0.0
run /S
$(upgrade_window)
shown "Setup Test Product"
temp-files setup-*\\setup-test.msi
press "OK"
exit 0
temp-files none
product 1.0.1
REINSTALL = ALL
REINSTALLMODE = vomus
EOF
  ;;

upgrade-cancel)
  # An older version installed, interactive: the dialog goes away for the
  # question; Cancel ends the setup as cancelled by the user (1602), removes
  # the written files and starts nothing.
  new_prefix
  preinstall product-1.0.0.msi
  drive run "$(setup product)" -- window "Choose Setup Language" -- press OK -- \
    window "Setup Test Product" -- shown -- temp-files -- press Cancel -- exit -- \
    temp-files -- product "$product"
  log_properties ProductVersion
  expect <<EOF
run
$(english_dialog)
press "OK"
$(upgrade_window)
shown "Setup Test Product"
temp-files setup-*\\setup-test.msi
press "Cancel"
exit 1602
temp-files none
product 1.0.0
log absent
EOF
  ;;

upgrade-lower-case-code)
  # A package whose ProductCode is in lower case: 1.0.0 installed from it by
  # the installer, then a setup packed by setup-pack from 1.0.1, which
  # carries the code in upper case. Asked by it, the Windows Installer finds
  # the older version: the upgrade question, and OK installs 1.0.1.
  new_prefix
  preinstall product-lower-code-1.0.0.msi
  code=${E2E_LOWER_PRODUCT_CODE^^}
  "$E2E_PACK" --msi "$E2E_PACKAGES/product-lower-code-1.0.1.msi" --log-path 'C:\setup-test.log' \
    --stub "$E2E_STUB" --out "$prefix/drive_c/lower-code-setup.exe" >/dev/null
  drive product "$code" -- run 'C:\lower-code-setup.exe' /S -- window "Setup Test Product" -- \
    press OK -- exit -- temp-files -- product "$code"
  log_properties REINSTALL
  expect <<EOF
product 1.0.0
run /S
$(upgrade_window)
press "OK"
exit 0
temp-files none
product 1.0.1
REINSTALL = ALL
EOF
  ;;

later-version)
  # A later version installed: the refusal over the still visible dialog,
  # whole although the product name is long and holds format characters;
  # nothing started, and the Installer's "another version" code (1638).
  new_prefix
  preinstall product-1.1.0.msi
  name='Setup Test Product 100% %s %d, with a name so long that the message about the installed version no longer fits into two hundred bytes'
  drive run "$(setup long_name)" -- window "Choose Setup Language" -- press OK -- \
    window "$name" -- shown -- press OK -- exit -- temp-files -- product "$product"
  log_properties ProductVersion
  expect <<EOF
run
window "Choose Setup Language"
  button "OK"
  button "Cancel"
  combo "English" 1033; selected "English"
  text "Select the language for this installation from the choices below."
press "OK"
window "$name"
  button "OK"
  text "A later version of $name is already installed on this machine. Setup cannot continue."
shown "$name" "Choose Setup Language"
press "OK"
exit 1638
temp-files none
product 1.1.0
log absent
EOF
  ;;

french-dialog)
  # A French user: the dialog in French with "Français" chosen; OK installs
  # with the French transform written beside the package.
  new_prefix
  language fr_FR.UTF-8
  temp=$(temp_folder)
  drive environment -- run "$(setup product)" -- window "Choisissez la langue d'installation" -- \
    press OK -- exit -- temp-files -- product "$product"
  log_properties OriginalDatabase TRANSFORMS
  expect <<EOF
ui-language 1036 code-page 1252
run
window "Choisissez la langue d'installation"
  button "OK"
  button "Annuler"
  combo "English" 1033, "Français" 1036, "Deutch" 1031, "Español" 1034, "Italiano" 1040; selected "Français"
  text "Choisissez la langue d'installation dans la liste ci-dessous."
press "OK"
exit 0
temp-files none
product 1.0.1
OriginalDatabase = ${temp}setup-RANDOM\\setup-test.msi
TRANSFORMS = ${temp}setup-RANDOM\\1036.MST
EOF
  ;;

canadian-english)
  # A language that the setup does not know (English, Canada) leaves the
  # texts English with "English" chosen; the user picks "Français", which
  # brings the French transform.
  new_prefix
  language en_CA.UTF-8
  temp=$(temp_folder)
  drive environment -- run "$(setup product)" -- window "Choose Setup Language" -- \
    choose 1036 -- press OK -- exit -- temp-files -- product "$product"
  log_properties TRANSFORMS
  expect <<EOF
ui-language 4105 code-page 1252
run
window "Choose Setup Language"
  button "OK"
  button "Cancel"
  combo "English" 1033, "Français" 1036, "Deutch" 1031, "Español" 1034, "Italiano" 1040; selected "English"
  text "Select the language for this installation from the choices below."
choose 1036
press "OK"
exit 0
temp-files none
product 1.0.1
TRANSFORMS = ${temp}setup-RANDOM\\1036.MST
EOF
  ;;

dialog-cancel)
  # Cancel, Esc and the close box each end the setup at once, with nothing
  # written or installed, as cancelled by the user (1602).
  new_prefix
  for way in "press Cancel" "key escape" close; do
    # shellcheck disable=SC2086 # the step's words
    drive run "$(setup product)" -- window "Choose Setup Language" -- $way -- exit -- \
      temp-files -- product "$product"
  done
  log_properties ProductVersion
  ending() {
    printf 'run\n%s\n%s\nexit 1602\ntemp-files none\nproduct error 1605\n' "$(english_dialog)" "$1"
  }
  expect <<EOF
$(ending 'press "Cancel"')
$(ending "key escape")
$(ending close)
log absent
EOF
;;

french-fixed)
  # /L1036 from an English user: no dialog, the French transform, and the
  # installer with its own user interface.
  new_prefix
  temp=$(temp_folder)
  drive environment -- run "$(setup product)" /L1036 -- exit -- product "$product"
  log_properties TRANSFORMS UILevel
  expect <<EOF
ui-language 1033 code-page 1252
run /L1036
exit 0
product 1.0.1
TRANSFORMS = ${temp}setup-RANDOM\\1036.MST
UILevel = 5
EOF
  ;;

dutch)
  # A Dutch user: English texts but for the Cancel button, and no entry
  # chosen since the package does not offer Dutch. OK without a choice
  # keeps Dutch, for which the package has no transform.
  new_prefix
  language nl_NL.UTF-8
  drive environment -- run "$(setup product)" -- window "Choose Setup Language" -- press OK -- \
    exit -- temp-files -- product "$product"
  log_properties TRANSFORMS
  expect <<EOF
ui-language 1043 code-page 1252
run
window "Choose Setup Language"
  button "OK"
  button "Afbreken"
  combo "English" 1033, "Français" 1036, "Deutch" 1031, "Español" 1034, "Italiano" 1040; selected none
  text "Select the language for this installation from the choices below."
press "OK"
exit 0
temp-files none
product 1.0.1
TRANSFORMS absent
EOF
  ;;

language-error)
  # The package offers no language that the setup knows: the error with a
  # blank caption, then the setup ends as failed without writing anything.
  new_prefix
  drive run "$(setup no_languages)" -- window "" -- temp-files -- press OK -- exit -- \
    temp-files -- product "$product"
  log_properties ProductVersion
  expect <<EOF
run
window ""
  button "OK"
  text "Language error in the resource."
temp-files none
press "OK"
exit 1603
temp-files none
product error 1605
log absent
EOF
  ;;

not-embedded-french)
  # Without the package inside, French: the installer gets the package and
  # the transform by full paths in the current directory; the setup does
  # not wait for it.
  new_prefix
  language fr_FR.UTF-8
  provide_media
  drive run --cwd 'C:\Setup Media' "$(setup no_package)" -- \
    window "Choisissez la langue d'installation" -- press OK -- exit -- temp-files
  # The installer runs on alone; its log is complete when it has ended.
  wineserver -w
  drive product "$product"
  log_properties OriginalDatabase TRANSFORMS SETUPEXEDIR
  left_in media "$media"
  expect <<EOF
run
$(french_dialog)
press "OK"
exit 0
temp-files none
product 1.0.1
OriginalDatabase = C:\\Setup Media\\setup-test.msi
TRANSFORMS = C:\\Setup Media\\1036.MST
SETUPEXEDIR = C:\\Setup Media
media: 1036.MST setup-test.msi
EOF
  ;;

not-embedded-english)
  # Without the package inside, English, /W: the installer resolves the
  # bare file name in the current directory, and the setup waits for it and
  # ends with its exit code.
  new_prefix
  provide_media
  drive run --cwd 'C:\Setup Media' "$(setup no_package)" /W -- window "Choose Setup Language" -- \
    press OK -- exit -- product "$product"
  log_properties OriginalDatabase TRANSFORMS SETUPEXEDIR
  left_in media "$media"
  expect <<EOF
run /W
$(english_dialog)
press "OK"
exit 0
product 1.0.1
OriginalDatabase = C:\\Setup Media\\setup-test.msi
TRANSFORMS absent
SETUPEXEDIR = C:\\Setup Media
media: 1036.MST setup-test.msi
EOF
  ;;

failing-installer)
  # The installer fails (1603): the setup ends with the installer's code.
  # No LOGPATH: no message about it, and no log.
  new_prefix
  drive run "$(setup failing)" /S -- exit -- temp-files -- product "$E2E_FAILING_PRODUCT_CODE"
  note "logs: $(find "$prefix/drive_c" -maxdepth 1 -name '*.log' | wc -l)"
  expect <<EOF
run /S
exit 1603
temp-files none
product error 1605
logs: 0
EOF
  ;;

extraction-failure)
  # The package cannot be written out (its name holds a character that no
  # file name may): two messages, the installer is never started, and the
  # setup ends as failed.
  new_prefix
  temp=$(temp_folder)
  drive run "$(setup bad_package_name)" /S -- window "Setup Test Product" -- press OK -- \
    window "Setup Test Product" -- press OK -- exit -- temp-files -- product "$product"
  log_properties ProductVersion
  expect <<EOF
run /S
$(box "Setup Test Product" "Could not create a file named: ${temp}setup-RANDOM\\setup|test.msi. Please make sure that file doesn't already exist and you have write permission to the directory.")
$(box "Setup Test Product" "Could not extract files.")
exit 1603
temp-files none
product error 1605
log absent
EOF
  ;;

query-failed)
  # The Windows Installer refuses the query (the product code is no GUID).
  # Shown, the dialog stays, and a second OK writes the files out afresh
  # from their bare names; hidden (/S), the setup ends as failed. Neither
  # starts the installer, and both remove what they wrote.
  new_prefix
  language fr_FR.UTF-8
  drive run "$(setup bad_product_code)" -- window "Choisissez la langue d'installation" -- \
    press OK -- still -- temp-files -- press OK -- still -- temp-files -- press Annuler -- exit -- \
    temp-files -- run "$(setup bad_product_code)" /S -- exit -- temp-files
  log_properties ProductVersion
  expect <<EOF
run
$(french_dialog)
press "OK"
$(french_dialog)
temp-files setup-*\\1036.MST setup-*\\setup-test.msi
press "OK"
$(french_dialog)
temp-files setup-*\\1036.MST setup-*\\setup-test.msi
press "Annuler"
exit 1602
temp-files none
run /S
exit 1603
temp-files none
log absent
EOF
  ;;

startup-failures)
  # Broken resources of the setup itself: one box each, with or without
  # /S, and exit code 1; nothing written.
  new_prefix
  for switches in "" /S; do
    for variant in no_package_name empty_product_code no_product_name no_version empty_version; do
      drive run "$(setup $variant)" $switches -- window "" -- press OK -- exit
    done
    drive run "$(setup no_dialog)" $switches -- window "CreateDialog" -- press OK -- exit
  done
  drive temp-files
  log_properties ProductVersion
  boxes() {
    local text
    for text in "Could not get msi filename from the resource." \
      "Could not get product code from the resource." \
      "Could not get product name from the resource." \
      "Could not get version number from the resource." \
      "Could not interpret version number string."; do
      printf 'run%s\n%s\nexit 1\n' "$1" "$(box "" "$text")"
    done
    # The last error of a dialog template that is not there at all.
    printf 'run%s\nwindow "CreateDialog"\n  icon\n  button "OK"\n  text "Error x715"\n' "$1"
    printf 'press "OK"\nexit 1\n'
  }
  expect <<EOF
$(boxes "")
$(boxes " /S")
temp-files none
log absent
EOF
  ;;

languages-french)
  # /L1036: the transform setup-pack made from the French package changes
  # the product's name and the greeting property.
  languages_silent /S /L1036
  expect <<EOF
run /S /L1036
exit 0
temp-files none
product 1.0.1
product-name "Produit de test"
registry Greeting "Bonjour à tous"
ProductName = Produit de test
TRANSFORMS = ${temp}setup-RANDOM\\1036.MST
EOF
  ;;

languages-german)
  languages_silent /S /L1031
  expect <<EOF
run /S /L1031
exit 0
temp-files none
product 1.0.1
product-name "Testprodukt"
registry Greeting "Guten Tag"
ProductName = Testprodukt
TRANSFORMS = ${temp}setup-RANDOM\\1031.MST
EOF
  ;;

languages-english)
  languages_silent /S
  expect <<EOF
run /S
exit 0
temp-files none
product 1.0.1
product-name "Setup Test Product"
registry Greeting "Hello"
ProductName = Setup Test Product
TRANSFORMS absent
EOF
  ;;

translation-french)
  # The French texts as a translator gets them: a PO file exported from the
  # French build, and the setup's transform made from that file alone.
  new_prefix
  "$E2E_PACK" --export-texts --msi "$E2E_PACKAGES/languages-1033.msi" \
    --localized "$E2E_PACKAGES/languages-1036.msi" --out "$prefix/fr.po" >/dev/null
  "$E2E_PACK" --msi "$E2E_PACKAGES/languages-1033.msi" --translation "1036=$prefix/fr.po" \
    --stub "$E2E_STUB" --out "$prefix/drive_c/translated-setup.exe" >/dev/null
  temp=$(temp_folder)
  drive run 'C:\translated-setup.exe' /S /L1036 -- exit -- temp-files -- product "$product" -- \
    product-name "$product" -- registry "$product_key" Greeting
  expect <<EOF
run /S /L1036
exit 0
temp-files none
product 1.0.1
product-name "Produit de test"
registry Greeting "Bonjour à tous"
EOF
  ;;

languages-french-dialog)
  # A French user with no switches: the dialog offers the three languages
  # with French chosen, and OK installs the French product.
  new_prefix
  language fr_FR.UTF-8
  pack_languages
  temp=$(temp_folder)
  drive run "$languages_setup" -- window "Choisissez la langue d'installation" -- press OK -- \
    exit -- product-name "$product" -- registry "$product_key" Greeting
  log_properties TRANSFORMS
  expect <<EOF
run
$(french_languages_window)
press "OK"
exit 0
product-name "Produit de test"
registry Greeting "Bonjour à tous"
TRANSFORMS = ${temp}setup-RANDOM\\1036.MST
EOF
  ;;

languages-upgrade)
  # A French installation upgraded by a quiet setup without /L stays French:
  # the installer is given the French transform, and the product keeps its
  # French name and greeting. Under an English UI language, the dialog of a
  # third run starts in French with "Français" chosen.
  new_prefix
  pack_languages
  old_setup=$languages_setup
  pack_languages 1.0.2
  temp=$(temp_folder)
  drive environment -- run "$old_setup" /S /L1036 -- exit -- run "$languages_setup" /S -- \
    window "Setup Test Product" -- press OK -- exit -- product "$product" -- \
    product-name "$product" -- registry "$product_key" Greeting -- run "$languages_setup" -- \
    window "Choisissez la langue d'installation" -- press Annuler -- exit
  log_properties TRANSFORMS
  expect <<EOF
ui-language 1033 code-page 1252
run /S /L1036
exit 0
run /S
$(upgrade_window)
press "OK"
exit 0
product 1.0.2
product-name "Produit de test"
registry Greeting "Bonjour à tous"
run
$(french_languages_window)
press "Annuler"
exit 1602
TRANSFORMS = ${temp}setup-RANDOM\\1036.MST
EOF
  ;;

extract)
  # /extract FOLDER writes the package and its transforms under the names
  # the setup gives them into FOLDER, made where missing, byte for byte what
  # setup-pack --extract reads out of the setup, and installs nothing; with
  # /L1036 and without /S its box says so in French. Refused, each with 1603
  # and nothing more written or left: files of those names already there, a
  # folder that cannot be made (below a file), a path of 260 characters or
  # more, a setup without a package; a missing FOLDER gives 1639.
  new_prefix
  pack_languages
  reference=$prefix/reference
  "$E2E_PACK" --extract "$prefix/drive_c/languages-setup.exe" --out "$reference" >/dev/null
  shares="$prefix/drive_c/Admin Share"
  long="C:\\$(printf 'x%.0s' $(seq 1 250))"
  drive run "$languages_setup" /S '/extract "C:\Admin Share\product"' -- exit -- \
    product "$product" -- temp-files -- \
    run "$languages_setup" /L1036 '/extract=C:\Second' -- window "Setup Test Product" -- press OK -- exit
  for name in $(cd "$reference" && ls); do
    cmp -s "$reference/$name" "$shares/product/$name" &&
      note "$name: the same bytes as setup-pack --extract" || note "$name: differs or is missing"
  done
  left_in "Admin Share" "$shares"
  left_in "Second" "$prefix/drive_c/Second"
  drive run "$languages_setup" /S '/extract "C:\Admin Share\product"' -- exit -- \
    run "$languages_setup" '/extract "C:\Admin Share\product"' -- window "Setup Test Product" -- \
    press OK -- exit -- \
    run "$languages_setup" /S '/extract C:\Admin Share\product\1036.MST\below' -- exit -- \
    run "$languages_setup" /S "/extract $long" -- exit -- \
    run "$(setup no_package)" /S '/extract C:\Nothing' -- exit -- \
    run "$languages_setup" /extract -- window "" -- press OK -- exit -- product "$product"
  left_in "Admin Share" "$shares"
  note "C:\\: $(cd "$prefix/drive_c" && ls -d x* Nothing 2>/dev/null | wc -l) folders made by the refused runs"
  expect <<EOF
run /S /extract "C:\\Admin Share\\product"
exit 0
product error 1605
temp-files none
run /L1036 /extract=C:\\Second
window "Setup Test Product"
  icon
  button "OK"
  text "Le programme d'installation a écrit ces fichiers dans C:\\Second\\ :

languages-1033.msi
1036.MST
1031.MST"
press "OK"
exit 0
1031.MST: the same bytes as setup-pack --extract
1036.MST: the same bytes as setup-pack --extract
languages-1033.msi: the same bytes as setup-pack --extract
Admin Share: product product/1031.MST product/1036.MST product/languages-1033.msi
Second: 1031.MST 1036.MST languages-1033.msi
run /S /extract "C:\\Admin Share\\product"
exit 1603
run /extract "C:\\Admin Share\\product"
window "Setup Test Product"
  icon
  button "OK"
  text "A file of this name is there already:

C:\\Admin Share\\product\\languages-1033.msi

Nothing was extracted."
press "OK"
exit 1603
run /S /extract C:\\Admin Share\\product\\1036.MST\\below
exit 1603
run /S /extract $long
exit 1603
run /S /extract C:\\Nothing
exit 1603
run /extract
window ""
  button "OK"
  text "This command line argument is not accepted:

/extract

Name the folder to write the files into."
press "OK"
exit 1639
product error 1605
Admin Share: product product/1031.MST product/1036.MST product/languages-1033.msi
C:\\: 0 folders made by the refused runs
EOF
  ;;

peer-switches)
  # /? shows the switches, the property arguments and the exit codes in the
  # setup's language (their text is the unit tests'; here its first line, in
  # the French of /L1036) and starts nothing. /P over an older version: the upgrade
  # question as under /S, then the installer's progress-only interface (the
  # Installer's UI level 3) and no restart; /log with a relative path writes
  # the log there instead of LOGPATH, /L1036 beside it still French. A /log
  # path that cannot be written is refused (1639) before anything is written
  # or started, with a box unless quiet. Last, a stand-in msiexec.exe shows
  # the command line: /passive, and the log by its full path.
  new_prefix
  mkdir -p "$media"
  preinstall product-1.0.0.msi
  temp=$(temp_folder)
  drive run "$(setup product)" /L1036 /? -- window "Setup Test Product" -- press OK -- exit -- \
    run --cwd 'C:\Setup Media' "$(setup product)" /P /log setup.log /L1036 -- \
    window "Setup Test Product" -- press OK -- exit -- product "$product" -- \
    run "$(setup product)" /S '/log C:\missing\setup.log' -- exit -- \
    run "$(setup product)" /log= -- window "" -- press OK -- exit -- temp-files
  sed -i '/^  text "setup.exe/,/^press/{/^  text\|^press/!d}' "$transcript"
  note "LOGPATH log: $([ -e "$log" ] && echo written || echo absent)"
  log=$media/setup.log
  log_properties UILevel REBOOT TRANSFORMS
  system=$prefix/drive_c/windows/$E2E_SYSTEM_FOLDER
  rm "$system/msiexec.exe"
  cp "$E2E_STAND_IN" "$system/msiexec.exe"
  drive run --cwd 'C:\Setup Media' "$(setup product)" /P /log setup.log -- exit
  note "installer started as: $(cat "$system/msiexec.exe.ran")"
  expect <<EOF
run /L1036 /?
window "Setup Test Product"
  button "OK"
  text "setup.exe [/L<lcid>] [/S | /P] [/W] [/log CHEMIN] [NOM=valeur]...
press "OK"
exit 0
run /P /log setup.log /L1036
$(upgrade_window)
press "OK"
exit 0
product 1.0.1
run /S /log C:\\missing\\setup.log
exit 1639
run /log=
$(box "" "This command line argument is not accepted:

/log=

The installer cannot write its log file there.")
exit 1639
temp-files none
LOGPATH log: absent
UILevel = 3
REBOOT = ReallySuppress
TRANSFORMS = ${temp}setup-RANDOM\\1036.MST
run /P /log setup.log
exit 0
installer started as: msiexec.exe /passive /i "${temp}setup-RANDOM\\setup-test.msi" SETUPEXEDIR="C:\\Setup Media" REBOOT=ReallySuppress /l*vx "C:\\Setup Media\\setup.log"
EOF
  ;;

language-package-french)
  language_package :1036
  expect <<EOF
run /i C:\\languages.msi TRANSFORMS=:1036 /qn /l*vx C:\\setup-test.log
exit 0
product 1.0.1
product-name "Produit de test"
registry Greeting "Bonjour à tous"
ProductLanguage = 1036
TRANSFORMS = :1036
EOF
  ;;

language-package-german)
  language_package :1031
  expect <<EOF
run /i C:\\languages.msi TRANSFORMS=:1031 /qn /l*vx C:\\setup-test.log
exit 0
product 1.0.1
product-name "Testprodukt"
registry Greeting "Guten Tag"
ProductLanguage = 1031
TRANSFORMS = :1031
EOF
  ;;

language-package-english)
  # No transform named: the package as it is, in English.
  language_package
  expect <<EOF
run /i C:\\languages.msi /qn /l*vx C:\\setup-test.log
exit 0
product 1.0.1
product-name "Setup Test Product"
registry Greeting "Hello"
ProductLanguage = 1033
TRANSFORMS absent
EOF
  ;;

screenshot)
  # The dialog as a French user sees it, in a Wine desktop window of its
  # own, which draws the title bar that a bare X display would leave out.
  new_prefix
  language fr_FR.UTF-8
  desktop=560x240
  in_prefix explorer /desktop=setup,$desktop "$(win "$E2E_BIN/e2e_driver.exe")" \
    run "$(setup product)" -- window "Choisissez la langue d'installation" -- exit \
    >"$transcript" 2>/dev/null &
  for _ in $(seq 120); do
    grep -q '^  text' "$transcript" && break
    sleep 0.5
  done
  grep -q '^  text' "$transcript" || { cat "$transcript"; exit 1; }
  sleep 1 # until the window has painted itself
  import -window root -crop "$desktop+0+0" +repage "$E2E_SCREENSHOT"
  cat "$transcript"
  echo "saved $E2E_SCREENSHOT"
  ;;

*)
  echo "scenario.sh: unknown scenario $scenario" >&2
  exit 2
  ;;
esac
