; The peer a release engineer would script instead of this setup: write the
; package to the temp folder without compression, run msiexec on it quietly,
; wait, delete. Built with -DPACKAGE=<path to .msi>.
Unicode false
SetCompress off
SilentInstall silent
RequestExecutionLevel user
OutFile "${OUTFILE}"
Name "Bench Product"

Section
  SetOutPath "$TEMP"
  File "/oname=bench.msi" "${PACKAGE}"
  ExecWait '"msiexec.exe" /qn /i "$TEMP\bench.msi" SETUPEXEDIR="$EXEDIR"' $0
  Delete "$TEMP\bench.msi"
  SetErrorLevel $0
SectionEnd
