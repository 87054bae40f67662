; Installer of the Control Center applet, one per architecture. Built by
; scripts/release.sh with makensis on Linux:
;   makensis -DARCH=x86|x64 -DVERSION=2.01 -DVERSION_NUM=2.1.0.0
;            -DSRCDIR=<folder with the files> -DOUTFILE=<setup.exe> [-DHELP]
; SRCDIR holds TmRoveVodore.cpl, TmIvro.dll (the simulator), the report tool
; TmRoveReport.exe, the Group Policy templates in PolicyDefinitions\ and, with
; HELP defined, TmRoveVodore.chm.
;
; The applet goes into the system folder, where the Control Panel finds it:
; System32 for the native architecture. A 32-bit applet on 64-bit Windows
; lands in SysWOW64 and only the 32-bit Control Panel
; (C:\Windows\SysWOW64\control.exe) shows it, so the x86 installer refuses
; 64-bit Windows unless /FORCE32 is given or the user agrees.
;
; Command line (besides NSIS's own /S for a silent run):
;   /SIMULATOR  also install the device simulator TmIvro.dll
;   /FORCE32    x86 installer: install on 64-bit Windows without asking
; Exit codes (setup and uninstaller; every message box has a silent answer):
;      0  done
;      1  cancelled by the user
;    183  simulator refused: the driver package or another TmIvro.dll is there
;    740  no administrator rights
;   1603  a file could not be written or removed (the entry describes what is
;         on disk: it is written only after the files are in place)
;   1633  wrong Windows architecture
;   3010  done, a file in use is replaced or removed at the next restart
; The uninstaller can be waited for only when run in place:
;   "<folder>\Uninstall.exe" /S _?=<folder>   (the QuietUninstallString)

!ifndef ARCH | VERSION | VERSION_NUM | SRCDIR | OUTFILE
  !error "define ARCH, VERSION, VERSION_NUM, SRCDIR and OUTFILE"
!endif

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

!define PRODUCT "Control Center für Tolmek Panel-PCs"
!define PUBLISHER "Tolmek"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TmRoveVodore"
!if ${ARCH} == "x64"
  !define BITS "64"
!else if ${ARCH} == "x86"
  !define BITS "32"
!else
  !error "ARCH must be x86 or x64"
!endif

Name "${PRODUCT} (${BITS}-Bit)"
OutFile "${OUTFILE}"
BrandingText "TmRoveVodore ${VERSION}"
; Only the uninstaller, the report tool and the Group Policy templates (for
; administrators to copy) live here; the applet goes into the system folder.
!if ${ARCH} == "x64"
  InstallDir "$PROGRAMFILES64\TmRoveVodore"
!else
  InstallDir "$PROGRAMFILES\TmRoveVodore"
!endif
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_NUM}"
VIAddVersionKey /LANG=1031 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1031 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1031 "FileDescription" "Setup ${PRODUCT} (${BITS}-Bit)"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "LegalCopyright" "Copyright © Tolmek"

!define MUI_ABORTWARNING
; The name with its "(64-Bit)" needs the third title line.
!define MUI_WELCOMEPAGE_TITLE_3LINES
!define MUI_FINISHPAGE_TITLE_3LINES
!define MUI_COMPONENTSPAGE_SMALLDESC
; A replaced file in use: the finish page asks for the restart, "later" first.
!define MUI_FINISHPAGE_REBOOTLATER_DEFAULT
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE ComponentsLeave
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

!define EXIT_SIMULATOR_REFUSED 183
!define EXIT_NOT_ADMIN 740
!define EXIT_FAILED 1603
!define EXIT_PLATFORM 1633
!define EXIT_RESTART 3010
!define DRIVER_KEY "SOFTWARE\Tolmek_Zerozureri\IVRO\Driver"
; Files found in the system folder before the first installation, which the
; uninstaller puts back.
!define KEPT_DIR "$INSTDIR\Vorher"

; Which registry view and which system folder: the native ones of the
; architecture. NSIS itself is a 32-bit program.
!macro TmSystemView
  !if ${ARCH} == "x64"
    ${DisableX64FSRedirection}
    SetRegView 64
  !endif
!macroend

; What the setup found of the device library (.onInit):
Var OwnSimulator  ; 1: TmIvro.dll is the simulator this setup installed, unchanged
Var SimBlocker    ; what forbids the simulator, empty if nothing
Var HaveIvro      ; 1: a TmIvro.dll is where the applet looks for it

; Administrator rights: RequestExecutionLevel only asks for them, and where
; no elevation happens the setup would run on without them.
!macro TmRequireAdmin
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP|MB_OK \
      "Dafür sind Administratorrechte nötig. Starten Sie das Programm als Administrator." \
      /SD IDOK
    SetErrorLevel ${EXIT_NOT_ADMIN}
    Quit
  ${EndIf}
!macroend

; Renames the file on the stack to a unique name in its folder and schedules
; that name, never the file's own path, for deletion at the next boot (a file
; in use cannot be overwritten or deleted, but can be renamed). Another
; installation may own the path by then. Returns 1 on success, else 0.
!macro TmMoveAsideFunction UN
Function ${UN}TmMoveAside
  Exch $R0
  Push $R1
  Push $R2
  StrCpy $R2 0
  ; The file's folder: everything before the last backslash.
  StrLen $R1 $R0
  ${Do}
    IntOp $R1 $R1 - 1
    ${IfThen} $R1 < 0 ${|} ${ExitDo} ${|}
    StrCpy $1 $R0 1 $R1
  ${LoopUntil} $1 == "\"
  StrCpy $R1 $R0 $R1
  ClearErrors
  GetTempFileName $1 $R1
  ${IfNot} ${Errors}
    Delete $1
    ClearErrors
    Rename $R0 $1
    ${If} ${Errors}
      DetailPrint "$R0 lässt sich nicht umbenennen."
    ${Else}
      DetailPrint "$R0 ist in Gebrauch: umbenannt in $1, beim nächsten Neustart gelöscht."
      Delete /REBOOTOK $1
      StrCpy $R2 1
    ${EndIf}
  ${EndIf}
  StrCpy $R0 $R2
  Pop $R2
  Pop $R1
  Exch $R0
FunctionEnd
!macroend
!insertmacro TmMoveAsideFunction ""
!insertmacro TmMoveAsideFunction "un."

; Ends the installation: a file could not be written.
!macro TmWriteFailed PATH
  DetailPrint "${PATH} konnte nicht geschrieben werden."
  MessageBox MB_ICONSTOP|MB_OK \
    "${PATH} konnte nicht geschrieben werden.$\r$\nDie Installation ist nicht vollständig. Schließen Sie die Systemsteuerung und die Hilfe und versuchen Sie es erneut." \
    /SD IDOK
  SetErrorLevel ${EXIT_FAILED}
  Abort
!macroend

; Writes a file of the setup into the system folder; one in use is renamed
; aside first.
!macro TmPutFile NAME
  ${If} ${FileExists} "$SYSDIR\${NAME}\*.*"
    !insertmacro TmWriteFailed "$SYSDIR\${NAME}"
  ${EndIf}
  SetOverwrite try
  ClearErrors
  File "${SRCDIR}\${NAME}"
  ${If} ${Errors}
    Push "$SYSDIR\${NAME}"
    Call TmMoveAside
    Pop $0
    ${If} $0 <> 1
      !insertmacro TmWriteFailed "$SYSDIR\${NAME}"
    ${EndIf}
    ClearErrors
    File "${SRCDIR}\${NAME}"
    ${If} ${Errors}
      !insertmacro TmWriteFailed "$SYSDIR\${NAME}"
    ${EndIf}
  ${EndIf}
!macroend

; Keeps a file of the applet's name that the setup did not install (copied
; by hand) for the uninstaller to put back.
!macro TmKeepAside NAME
  ${If} ${FileExists} "$SYSDIR\${NAME}"
  ${AndIfNot} ${FileExists} "$SYSDIR\${NAME}\*.*"
  ${AndIfNot} ${FileExists} "${KEPT_DIR}\${NAME}"
    CreateDirectory "${KEPT_DIR}"
    ClearErrors
    CopyFiles /SILENT "$SYSDIR\${NAME}" "${KEPT_DIR}"
    ${If} ${Errors}
      !insertmacro TmWriteFailed "${KEPT_DIR}\${NAME}"
    ${EndIf}
    DetailPrint "Die vorhandene $SYSDIR\${NAME} ist aufbewahrt und kommt bei der Deinstallation zurück."
  ${EndIf}
!macroend

Section "Control Center (TmRoveVodore.cpl)" SecApplet
  SectionIn RO
  ; Until everything is in place, any end is a failure.
  SetErrorLevel ${EXIT_FAILED}
  !insertmacro TmSystemView
  SetOutPath "$SYSDIR"
  ClearErrors
  ReadRegStr $0 HKLM "${UNINST_KEY}" "DisplayVersion"
  ${If} ${Errors}
    ; Not installed by this setup: whatever is there was copied by hand.
    !insertmacro TmKeepAside "TmRoveVodore.cpl"
    !insertmacro TmKeepAside "TmRoveVodore.chm"
  ${Else}
    DetailPrint "Version $0 ist installiert und wird ersetzt."
  ${EndIf}
  !insertmacro TmPutFile "TmRoveVodore.cpl"
  !ifdef HELP
    !insertmacro TmPutFile "TmRoveVodore.chm"
  !endif

  ClearErrors
  SetOutPath "$INSTDIR\PolicyDefinitions"
  File "${SRCDIR}\PolicyDefinitions\TmRoveVodore.admx"
  SetOutPath "$INSTDIR\PolicyDefinitions\de-DE"
  File "${SRCDIR}\PolicyDefinitions\de-DE\TmRoveVodore.adml"
  SetOutPath "$INSTDIR\PolicyDefinitions\en-US"
  File "${SRCDIR}\PolicyDefinitions\en-US\TmRoveVodore.adml"
  ${If} ${Errors}
    !insertmacro TmWriteFailed "$INSTDIR\PolicyDefinitions"
  ${EndIf}

  SetOutPath "$INSTDIR"
  ClearErrors
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ${If} ${Errors}
    !insertmacro TmWriteFailed "$INSTDIR\Uninstall.exe"
  ${EndIf}
  ; The report tool for scripts and remote shells; a running one is renamed
  ; aside first.
  SetOverwrite try
  ClearErrors
  File "${SRCDIR}\TmRoveReport.exe"
  ${If} ${Errors}
    Push "$INSTDIR\TmRoveReport.exe"
    Call TmMoveAside
    Pop $0
    ClearErrors
    File "${SRCDIR}\TmRoveReport.exe"
    ${If} ${Errors}
      !insertmacro TmWriteFailed "$INSTDIR\TmRoveReport.exe"
    ${EndIf}
  ${EndIf}
  ; The entry only now, with the files in place. A reinstallation rewrites
  ; it and keeps the simulator's record.
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT} (${BITS}-Bit)"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  ; For 64-bit programs (Programs and Features) the 32-bit system folder is SysWOW64.
  StrCpy $0 "$SYSDIR"
  !if ${ARCH} == "x86"
    ${If} ${RunningX64}
      StrCpy $0 "$WINDIR\SysWOW64"
    ${EndIf}
  !endif
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$0\TmRoveVodore.cpl,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  ; Run in place (_?=), so that the caller's wait ends when it is done.
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$SYSDIR" "/M=TmRoveVodore.* /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Demo machines without the device only. A TmIvro.dll that is there already
; belongs to the device's driver package and is never replaced (.onInit and
; the components page refuse); the simulator of an earlier installation is
; replaced by this one. The uninstaller removes the simulator only when this
; setup put it there and nothing has replaced it since.
Section /o "Gerätesimulator (für Vorführrechner ohne Gerät)" SecSimulator
  !insertmacro TmSystemView
  ${If} $SimBlocker != ""
    DetailPrint "Der Simulator wird nicht installiert: $SimBlocker."
  ${Else}
    SetOutPath "$SYSDIR"
    !insertmacro TmPutFile "TmIvro.dll"
    WriteRegDWORD HKLM "${UNINST_KEY}" "SimulatorInstalled" 1
    ; A driver package installed later replaces it; the time tells.
    GetFileTime "$SYSDIR\TmIvro.dll" $1 $2
    WriteRegStr HKLM "${UNINST_KEY}" "SimulatorFileTime" "$1 $2"
  ${EndIf}
SectionEnd

Section "-Gerätebibliothek"
  ${If} $HaveIvro <> 1
  ${AndIfNot} ${SectionIsSelected} ${SecSimulator}
    DetailPrint "Warnung: keine TmIvro.dll. Das Control Center braucht die Gerätebibliothek aus dem Treiberpaket des Geräts."
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecApplet} \
    "Das Control Center in der Systemsteuerung, mit dem Sie den Panel-PC einstellen."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSimulator} \
    "Ein Gerätesimulator anstelle der Gerätebibliothek TmIvro.dll, nur für Vorführ- und Schulungsrechner ohne Gerät. Nicht möglich, wenn das Treiberpaket oder eine TmIvro.dll vorhanden ist."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Looks for the device library: the driver package's key in the registry
; view of the applet's architecture, and a TmIvro.dll in either system folder
; (the other one counts too: a simulator there would mislead whoever starts
; the other Control Panel).
Function FindDeviceLibrary
  StrCpy $OwnSimulator 0
  StrCpy $SimBlocker ""
  StrCpy $HaveIvro 0
  !insertmacro TmSystemView
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "SimulatorInstalled"
  ReadRegStr $1 HKLM "${UNINST_KEY}" "SimulatorFileTime"
  ClearErrors
  GetFileTime "$SYSDIR\TmIvro.dll" $2 $3
  ${IfNot} ${Errors}
    StrCpy $HaveIvro 1
    ${If} $0 = 1
    ${AndIf} "$2 $3" == $1
      StrCpy $OwnSimulator 1
    ${Else}
      StrCpy $SimBlocker "$SYSDIR\TmIvro.dll ist vorhanden"
    ${EndIf}
  ${EndIf}
  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    !if ${ARCH} == "x64"
      StrCpy $0 "$WINDIR\SysWOW64\TmIvro.dll"
    !else
      StrCpy $0 "$WINDIR\System32\TmIvro.dll"
    !endif
    ${If} ${FileExists} $0
      StrCpy $SimBlocker "$0 ist vorhanden"
    ${EndIf}
  ${EndIf}
  ${EnableX64FSRedirection}
  ClearErrors
  EnumRegKey $0 HKLM "${DRIVER_KEY}" 0
  ${IfNot} ${Errors}
    StrCpy $SimBlocker "das Treiberpaket des Geräts ist installiert (HKLM\${DRIVER_KEY})"
  ${EndIf}
FunctionEnd

Function RefuseSimulator
  MessageBox MB_ICONSTOP|MB_OK \
    "Der Gerätesimulator wird nicht installiert: $SimBlocker.$\r$\nDas Control Center würde sonst den Simulator statt des Geräts ansprechen." \
    /SD IDOK
FunctionEnd

Function .onInit
  !insertmacro TmRequireAdmin
  ${GetParameters} $R0

  !if ${ARCH} == "x64"
    ; Not RunningX64: that is true on ARM64 too, where the x64 applet does
    ; not load into the native Control Panel.
    ${IfNot} ${IsNativeAMD64}
      MessageBox MB_ICONSTOP|MB_OK \
        "Dieses Setup installiert die 64-Bit-Version und läuft nur auf 64-Bit-Windows für x64-Prozessoren.$\r$\nVerwenden Sie auf 32-Bit-Windows das 32-Bit-Setup." \
        /SD IDOK
      SetErrorLevel ${EXIT_PLATFORM}
      Quit
    ${EndIf}
    SetRegView 64
  !else
    ${If} ${RunningX64}
      ClearErrors
      ${GetOptions} $R0 "/FORCE32" $R1
      ${If} ${Errors}
        MessageBox MB_ICONEXCLAMATION|MB_YESNO|MB_DEFBUTTON2 \
          "Dieses Setup installiert die 32-Bit-Version. Auf 64-Bit-Windows kommt sie nach SysWOW64 und erscheint nur in der 32-Bit-Systemsteuerung (C:\Windows\SysWOW64\control.exe), nicht in der gewöhnlichen.$\r$\n$\r$\nVerwenden Sie besser das 64-Bit-Setup. Trotzdem die 32-Bit-Version installieren?" \
          /SD IDNO IDYES force32
        SetErrorLevel ${EXIT_PLATFORM}
        Quit
      force32:
      ${EndIf}
    ${EndIf}
  !endif

  Call FindDeviceLibrary
  ClearErrors
  ${GetOptions} $R0 "/SIMULATOR" $R1
  ${IfNot} ${Errors}
    ${If} $SimBlocker != ""
      Call RefuseSimulator
      SetErrorLevel ${EXIT_SIMULATOR_REFUSED}
      Quit
    ${EndIf}
    !insertmacro SelectSection ${SecSimulator}
  ${ElseIf} $OwnSimulator = 1
  ${AndIf} $SimBlocker == ""
    ; The simulator of an earlier installation: this setup's replaces it.
    !insertmacro SelectSection ${SecSimulator}
  ${EndIf}
FunctionEnd

; The components page (not shown with /S): no simulator beside the device's
; library; no library at all is worth a word.
Function ComponentsLeave
  ${If} ${SectionIsSelected} ${SecSimulator}
    ${If} $SimBlocker != ""
      Call RefuseSimulator
      Abort
    ${EndIf}
  ${ElseIf} $HaveIvro <> 1
    MessageBox MB_ICONEXCLAMATION|MB_YESNO|MB_DEFBUTTON2 \
      "Es gibt keine Gerätebibliothek TmIvro.dll. Ohne sie lässt sich das Control Center nicht öffnen: installieren Sie das Treiberpaket des Geräts, oder auf einem Vorführrechner ohne Gerät den Gerätesimulator.$\r$\n$\r$\nTrotzdem ohne Simulator fortfahren?" \
      /SD IDYES IDYES +2
    Abort
  ${EndIf}
FunctionEnd

Function .onInstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART}
  ${Else}
    SetErrorLevel 0
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro TmRequireAdmin
  !if ${ARCH} == "x64"
    SetRegView 64
  !endif
FunctionEnd

; Removes a file the setup installed; one in use is renamed aside. $R8 is
; set to 1 when a file stays.
!macro TmRemoveFile PATH
  ${If} ${FileExists} "${PATH}\*.*"
    ; Not a file of the setup's: a folder is never moved or removed.
    DetailPrint "${PATH} ist ein Ordner und bleibt."
    StrCpy $R8 1
  ${ElseIf} ${FileExists} "${PATH}"
    ClearErrors
    Delete "${PATH}"
    ${If} ${Errors}
      Push "${PATH}"
      Call un.TmMoveAside
      Pop $0
      ${If} $0 <> 1
        DetailPrint "${PATH} lässt sich nicht entfernen."
        StrCpy $R8 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Puts back a file kept aside at the first installation.
!macro TmPutBack NAME
  ${If} ${FileExists} "${KEPT_DIR}\${NAME}"
  ${AndIfNot} ${FileExists} "$SYSDIR\${NAME}"
    ClearErrors
    CopyFiles /SILENT "${KEPT_DIR}\${NAME}" "$SYSDIR"
    ${If} ${Errors}
      DetailPrint "${KEPT_DIR}\${NAME} lässt sich nicht zurücklegen."
      StrCpy $R8 1
    ${Else}
      Delete "${KEPT_DIR}\${NAME}"
      DetailPrint "Die vorher vorhandene $SYSDIR\${NAME} ist zurückgelegt."
    ${EndIf}
  ${EndIf}
!macroend

Section "Uninstall"
  SetErrorLevel ${EXIT_FAILED}
  StrCpy $R8 0
  !insertmacro TmSystemView
  !insertmacro TmRemoveFile "$SYSDIR\TmRoveVodore.cpl"
  !insertmacro TmRemoveFile "$SYSDIR\TmRoveVodore.chm"
  !insertmacro TmRemoveFile "$INSTDIR\TmRoveReport.exe"
  ReadRegDWORD $4 HKLM "${UNINST_KEY}" "SimulatorInstalled"
  ReadRegStr $3 HKLM "${UNINST_KEY}" "SimulatorFileTime"
  ClearErrors
  GetFileTime "$SYSDIR\TmIvro.dll" $1 $2
  ${If} $4 = 1
  ${AndIfNot} ${Errors}
    ${If} "$1 $2" == $3
      !insertmacro TmRemoveFile "$SYSDIR\TmIvro.dll"
    ${Else}
      DetailPrint "$SYSDIR\TmIvro.dll wurde seit der Installation ersetzt und bleibt."
    ${EndIf}
  ${EndIf}
  !insertmacro TmPutBack "TmRoveVodore.cpl"
  !insertmacro TmPutBack "TmRoveVodore.chm"
  !insertmacro TmRemoveFile "$INSTDIR\PolicyDefinitions\TmRoveVodore.admx"
  !insertmacro TmRemoveFile "$INSTDIR\PolicyDefinitions\de-DE\TmRoveVodore.adml"
  !insertmacro TmRemoveFile "$INSTDIR\PolicyDefinitions\en-US\TmRoveVodore.adml"
  RMDir "$INSTDIR\PolicyDefinitions\de-DE"
  RMDir "$INSTDIR\PolicyDefinitions\en-US"
  RMDir "$INSTDIR\PolicyDefinitions"
  ${If} $R8 <> 0
    ; The entry stays: it still describes what is on disk.
    MessageBox MB_ICONSTOP|MB_OK \
      "Nicht alle Dateien ließen sich entfernen (siehe Details). Schließen Sie die Systemsteuerung und die Hilfe und versuchen Sie es erneut." \
      /SD IDOK
    Abort
  ${EndIf}
  DeleteRegKey HKLM "${UNINST_KEY}"
  RMDir "${KEPT_DIR}"
  ; Run in place (_?=) the uninstaller cannot delete itself: it moves away
  ; to a unique name, deleted at the next boot, which needs no restart.
  ClearErrors
  Delete "$INSTDIR\Uninstall.exe"
  ${If} ${Errors}
    StrCpy $5 0
    ${IfThen} ${RebootFlag} ${|} StrCpy $5 1 ${|}
    GetTempFileName $0
    Delete $0
    ClearErrors
    Rename "$INSTDIR\Uninstall.exe" $0
    ${IfNot} ${Errors}
      Delete /REBOOTOK $0
    ${EndIf}
    ${IfThen} $5 = 0 ${|} SetRebootFlag false ${|}
  ${EndIf}
  RMDir "$INSTDIR"
SectionEnd

Function un.onUninstSuccess
  ${If} ${RebootFlag}
    SetErrorLevel ${EXIT_RESTART}
  ${Else}
    SetErrorLevel 0
  ${EndIf}
FunctionEnd
