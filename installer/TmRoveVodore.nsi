; Installer of the Control Center applet, one per architecture. Built by
; scripts/release.sh with makensis on Linux:
;   makensis -DARCH=x86|x64 -DVERSION=2.01 -DVERSION_NUM=2.1.0.0
;            -DSRCDIR=<folder with the files> -DOUTFILE=<setup.exe> [-DHELP]
; SRCDIR holds TmRoveVodore.cpl, TmIvro.dll (the simulator) and, with HELP
; defined, TmRoveVodore.chm.
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
; Exit codes: 0 done, 1 cancelled, 2 refused (wrong architecture).

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
; Only the uninstaller lives here; the applet goes into the system folder.
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
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

; Which registry view and which system folder: the native ones of the
; architecture. NSIS itself is a 32-bit program.
!macro TmSystemView
  !if ${ARCH} == "x64"
    ${DisableX64FSRedirection}
    SetRegView 64
  !endif
!macroend

Section "Control Center (TmRoveVodore.cpl)" SecApplet
  SectionIn RO
  !insertmacro TmSystemView
  SetOutPath "$SYSDIR"
  SetOverwrite on
  File "${SRCDIR}\TmRoveVodore.cpl"
  !ifdef HELP
    File "${SRCDIR}\TmRoveVodore.chm"
  !endif

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
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
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$SYSDIR" "/M=TmRoveVodore.* /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Demo machines without the device only. A TmIvro.dll that is there already
; belongs to the device's driver package (or to an earlier installation) and
; is never replaced; the uninstaller removes the simulator only when this
; installer put it there and nothing has replaced it since.
Section /o "Gerätesimulator (für Vorführrechner ohne Gerät)" SecSimulator
  !insertmacro TmSystemView
  ${If} ${FileExists} "$SYSDIR\TmIvro.dll"
    DetailPrint "$SYSDIR\TmIvro.dll ist bereits vorhanden und bleibt unverändert."
  ${Else}
    SetOutPath "$SYSDIR"
    File "${SRCDIR}\TmIvro.dll"
    WriteRegDWORD HKLM "${UNINST_KEY}" "SimulatorInstalled" 1
    ; A driver package installed later replaces it; the time tells.
    GetFileTime "$SYSDIR\TmIvro.dll" $1 $2
    WriteRegStr HKLM "${UNINST_KEY}" "SimulatorFileTime" "$1 $2"
  ${EndIf}
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecApplet} \
    "Das Control Center in der Systemsteuerung, mit dem Sie den Panel-PC einstellen."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecSimulator} \
    "Ein Gerätesimulator anstelle der Gerätebibliothek TmIvro.dll, nur für Vorführ- und Schulungsrechner ohne Gerät. Eine vorhandene TmIvro.dll wird nicht ersetzt."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/SIMULATOR" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecSimulator}
  ${EndIf}

  !if ${ARCH} == "x64"
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP|MB_OK \
        "Dieses Setup installiert die 64-Bit-Version und läuft nur auf 64-Bit-Windows.$\r$\nVerwenden Sie auf 32-Bit-Windows das 32-Bit-Setup." \
        /SD IDOK
      SetErrorLevel 2
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
        SetErrorLevel 2
        Quit
      force32:
      ${EndIf}
    ${EndIf}
  !endif
FunctionEnd

Function un.onInit
  !if ${ARCH} == "x64"
    SetRegView 64
  !endif
FunctionEnd

Section "Uninstall"
  !insertmacro TmSystemView
  Delete /REBOOTOK "$SYSDIR\TmRoveVodore.cpl"
  Delete "$SYSDIR\TmRoveVodore.chm"
  ReadRegDWORD $0 HKLM "${UNINST_KEY}" "SimulatorInstalled"
  ReadRegStr $3 HKLM "${UNINST_KEY}" "SimulatorFileTime"
  ClearErrors
  GetFileTime "$SYSDIR\TmIvro.dll" $1 $2
  ${If} $0 = 1
  ${AndIfNot} ${Errors}
    ${If} "$1 $2" == $3
      Delete /REBOOTOK "$SYSDIR\TmIvro.dll"
    ${Else}
      DetailPrint "$SYSDIR\TmIvro.dll wurde seit der Installation ersetzt und bleibt."
    ${EndIf}
  ${EndIf}
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
