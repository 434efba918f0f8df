; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows installer: both executables, the README, the licence, the
; narrow face and the licences of the faces Kavren_Utility.exe carries into
; Program Files, a Start-menu entry for the window program, and an
; uninstaller registered with Windows' list of installed programs.
; tools/windows/build.sh compiles it with Debian's makensis:
;
;   makensis -DVERSION=1.0.0 -DDIST=build/windows/dist -DOUTFILE=... kavren.nsi
; A 64-bit installer for 64-bit programs: it writes the 64-bit registry
; view and Program Files, and Windows itself refuses it on a 32-bit system.
Target amd64-unicode

!ifndef VERSION | DIST | OUTFILE
  !error "VERSION, DIST and OUTFILE must be defined"
!endif

!define PRODUCT "Kavren Utility"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavren_Utility"

; The devices answer on UDP port 62631. Without an inbound rule Windows'
; firewall asks at the first start, or, where a policy answers for the user,
; drops every reply. One rule per program, on the private and domain
; profiles only: a public network is no place to look for devices.
!define REPLY_PORT 62631
!define RULE_GUI "Kavren Utility replies (UDP ${REPLY_PORT})"
!define RULE_CLI "kavren replies (UDP ${REPLY_PORT})"
!define NETSH '"$SYSDIR\netsh.exe" advfirewall firewall'

!macro AllowReplies RULE PROGRAM
  ; Deleted first, so installing again leaves one rule, not two.
  nsExec::ExecToLog '${NETSH} delete rule name="${RULE}"'
  Pop $0
  nsExec::ExecToLog '${NETSH} add rule name="${RULE}" dir=in action=allow program="${PROGRAM}" protocol=UDP localport=${REPLY_PORT} profile=private,domain'
  Pop $0
  StrCmp $0 0 +2
    DetailPrint "The firewall rule ${RULE} could not be added (netsh: $0); see README.md, Troubleshooting"
!macroend

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; Program Files and HKLM need an administrator.
RequestExecutionLevel admin
; The smallest download; a test build may ask for a quicker one.
!ifndef COMPRESSOR
  !define COMPRESSOR "/SOLID lzma"
!endif
SetCompressor ${COMPRESSOR}
ShowInstDetails show
ShowUninstDetails show
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} installer"
VIAddVersionKey /LANG=1033 "LegalCopyright" "GPL-3.0-or-later"

Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles
LicenseData "${DIST}\LICENSE"

Section "Install"
  SetOutPath "$INSTDIR"
  File "${DIST}\Kavren_Utility.exe"
  File "${DIST}\kavren.exe"
  File "${DIST}\README.md"
  File "${DIST}\LICENSE"
  File "${DIST}\LiberationSansNarrow-Regular.ttf"
  File "${DIST}\LICENSE-FONTS.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  !insertmacro AllowReplies "${RULE_GUI}" "$INSTDIR\Kavren_Utility.exe"
  !insertmacro AllowReplies "${RULE_CLI}" "$INSTDIR\kavren.exe"

  ; For every user of the machine, as the files are.
  SetShellVarContext all
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Kavren_Utility.exe"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Kavren_Utility.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  nsExec::ExecToLog '${NETSH} delete rule name="${RULE_GUI}"'
  Pop $0
  nsExec::ExecToLog '${NETSH} delete rule name="${RULE_CLI}"'
  Pop $0
  SetShellVarContext all
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\Kavren_Utility.exe"
  Delete "$INSTDIR\kavren.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE"
  Delete "$INSTDIR\LiberationSansNarrow-Regular.ttf"
  Delete "$INSTDIR\LICENSE-FONTS.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
