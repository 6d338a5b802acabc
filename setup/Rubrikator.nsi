; Setup of Rubrikator: the 64-bit DLL for 64-bit Explorer and the 32-bit one for 32-bit
; programs on 64-bit Windows, the 32-bit one alone on 32-bit Windows. Both are registered
; through their own DllRegisterServer, as regsvr32 does.
;
; makensis /INPUTCHARSET UTF8 -DVERSION=1.0.5.1 -DDLL32=... -DDLL64=... -DICON=...
;          -DOUTFILE=... Rubrikator.nsi

Unicode True
SetCompressor /SOLID lzma

!include MUI2.nsh
!include x64.nsh
!include Library.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh
!include WordFunc.nsh

!define PRODUCT "Rubrikator"
!define PUBLISHER "Werkhaus"
!define SITE "https://werkhaus.example/"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Rubrikator"
; The user's options live here (the key "Optionen" below it).
!define PRODUCT_KEY "Software\Werkhaus\Rubrikator"
!define LIBRARY_SHELL_EXTENSION
!define LIBRARY_COM
; The same version installed again replaces the DLLs too: a damaged or changed file is
; mended by running the setup once more.
!define LIBRARY_IGNORE_VERSION

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\${PRODUCT}"
BrandingText "${PRODUCT} ${VERSION} - ${PUBLISHER}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1031 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1031 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1031 "FileDescription" "Einrichtung von ${PRODUCT}"
VIAddVersionKey /LANG=1031 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1031 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "Rubrikator zeigt zwölf Werte zu Dateien und Ordnern: Ordnergröße, Ordner- und Dateienanzahl, DPI, Bittiefe und Größe von Bildern, kompletter Pfad, Dateierweiterung, Content-Type und die Sekunden der drei Dateizeiten.$\r$\n$\r$\nDer Explorer von Windows XP und Windows Server 2003 zeigt sie als Spalten der Detailansicht. Auf jedem Windows stehen sie auf der Seite $\"Details$\" des Rubrikator-Fensters, das der Eintrag $\"Rubrikator$\" im Kontextmenü des Explorers öffnet.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_TEXT "Rubrikator ist eingerichtet. Im Explorer öffnet der Eintrag $\"Rubrikator$\" im Kontextmenü sein Fenster."
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

Var Dir32
Var Earlier    ; 1 when a working installation was there before this one
Var Deferred   ; 1 when a DLL held by Explorer is put in place at the next restart

!macro Folders
  ${If} ${RunningX64}
    SetRegView 64
    StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    StrCpy $Dir32 "$PROGRAMFILES32\${PRODUCT}"
  ${Else}
    StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    StrCpy $Dir32 "$INSTDIR"
  ${EndIf}
!macroend

; The DLLs load on XP SP3, on XP x64 and Server 2003 from SP1, and on every later Windows.
; Every 64-bit Windows of version 5.2 is built on the SP1 code (WinVer calls XP x64 "XP").
Function CheckWindows
  StrCpy $0 0
  ${IfNot} ${AtLeastWinXP}
    StrCpy $0 1
  ${ElseIf} ${RunningX64}
    StrCpy $0 0
  ${ElseIf} ${IsWinXP}
  ${AndIf} ${AtMostServicePack} 2
    StrCpy $0 1
  ${ElseIf} ${IsWin2003}
  ${AndIf} ${AtMostServicePack} 0
    StrCpy $0 1
  ${EndIf}
  ${If} $0 = 1
    MessageBox MB_OK|MB_ICONSTOP "Rubrikator braucht Windows XP mit Service Pack 3, Windows XP x64 oder Windows Server 2003 mit Service Pack 1 oder ein neueres Windows. Auf diesem Windows wird nichts eingerichtet." /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
FunctionEnd

; An older version over a newer one only when the user says so (never in silent mode).
Function CheckVersion
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
  ${If} $0 != ""
    ${VersionCompare} "$0" "${VERSION}" $1
    ${If} $1 = 1
      MessageBox MB_YESNO|MB_ICONQUESTION "Auf diesem Windows ist Rubrikator $0 eingerichtet, eine neuere Version als diese (${VERSION}). Soll die ältere Version sie ersetzen?" /SD IDNO IDYES older
      SetErrorLevel 3
      Quit
      older:
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  Call CheckWindows
  !insertmacro Folders
  Call CheckVersion
FunctionEnd

Function un.onInit
  !insertmacro Folders
FunctionEnd

; A DLL that does not register stops the setup. An earlier installation gets its own DLLs
; back, registered as before; without one, what was registered is unregistered and the
; files go again, so that no class points to a file that is not there.
Function RegistrationFailed
  ${If} $Earlier = 1
    Delete "$Dir32\Rubrikator.dll"
    Rename "$Dir32\Rubrikator.dll.bisher" "$Dir32\Rubrikator.dll"
    RegDLL "$Dir32\Rubrikator.dll"
    ${If} ${RunningX64}
      Delete "$INSTDIR\Rubrikator.dll"
      Rename "$INSTDIR\Rubrikator.dll.bisher" "$INSTDIR\Rubrikator.dll"
      ${DisableX64FSRedirection}
      ExecWait '"$WINDIR\System32\regsvr32.exe" /s "$INSTDIR\Rubrikator.dll"'
      ${EnableX64FSRedirection}
    ${EndIf}
    MessageBox MB_OK|MB_ICONSTOP "Rubrikator ${VERSION} konnte nicht eingerichtet werden: $R9 ließ sich nicht registrieren. Die bisher eingerichtete Version bleibt, wie sie war." /SD IDOK
  ${Else}
    UnRegDLL "$Dir32\Rubrikator.dll"
    Delete "$Dir32\Rubrikator.dll"
    ${If} ${RunningX64}
      ${DisableX64FSRedirection}
      ExecWait '"$WINDIR\System32\regsvr32.exe" /s /u "$INSTDIR\Rubrikator.dll"'
      ${EnableX64FSRedirection}
      Delete "$INSTDIR\Rubrikator.dll"
    ${EndIf}
    RMDir "$INSTDIR"
    RMDir "$Dir32"
    MessageBox MB_OK|MB_ICONSTOP "Rubrikator konnte nicht eingerichtet werden: $R9 ließ sich nicht registrieren. Es ist nichts davon eingerichtet geblieben." /SD IDOK
  ${EndIf}
  SetErrorLevel 2
  Abort
FunctionEnd

; Registers the DLL `$R9` that was put in place now (not at the next restart); a regsvr32
; that cannot be started counts as a failure.
Function Register32
  ClearErrors
  RegDLL "$R9"
  ${If} ${Errors}
    Call RegistrationFailed
  ${EndIf}
FunctionEnd
Function Register64
  ${DisableX64FSRedirection}
  ClearErrors
  StrCpy $0 "-"
  ExecWait '"$WINDIR\System32\regsvr32.exe" /s "$R9"' $0
  ${EnableX64FSRedirection}
  ${If} ${Errors}
  ${OrIf} $0 != 0
    Call RegistrationFailed
  ${EndIf}
FunctionEnd

Section "Rubrikator" SecMain
  SectionIn RO
  ; The DLLs of a working installation are kept until the new ones are registered.
  StrCpy $Earlier 0
  ${If} ${FileExists} "$Dir32\Rubrikator.dll"
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $0 != ""
      StrCpy $Earlier 1
      CopyFiles /SILENT "$Dir32\Rubrikator.dll" "$Dir32\Rubrikator.dll.bisher"
      ${If} ${RunningX64}
        CopyFiles /SILENT "$INSTDIR\Rubrikator.dll" "$INSTDIR\Rubrikator.dll.bisher"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  ; A DLL that Explorer holds loaded is put in place at the next restart and registered
  ; then, when it is there (the library's registration at restart): registering now
  ; would register the old file. One that is in place now is registered now, and checked.
  StrCpy $Deferred 0
  SetRebootFlag false
  SetOutPath "$Dir32"
  !insertmacro InstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${DLL32}" "$Dir32\Rubrikator.dll" "$Dir32"
  ${If} ${RebootFlag}
    StrCpy $Deferred 1
  ${Else}
    StrCpy $R9 "$Dir32\Rubrikator.dll"
    Call Register32
  ${EndIf}
  ${If} ${RunningX64}
    SetRebootFlag false
    SetOutPath "$INSTDIR"
    !define LIBRARY_X64
    !insertmacro InstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "${DLL64}" "$INSTDIR\Rubrikator.dll" "$INSTDIR"
    !undef LIBRARY_X64
    ${If} ${RebootFlag}
      StrCpy $Deferred 1
    ${Else}
      StrCpy $R9 "$INSTDIR\Rubrikator.dll"
      Call Register64
    ${EndIf}
  ${EndIf}
  Delete "$Dir32\Rubrikator.dll.bisher"
  Delete "$INSTDIR\Rubrikator.dll.bisher"
  System::Call 'Shell32::SHChangeNotify(i 0x08000000, i 0, i 0, i 0)'

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  ${If} $Dir32 != $INSTDIR
    ${GetSize} "$Dir32" "/S=0K" $3 $1 $2
    IntOp $0 $0 + $3
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${SITE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "${SITE}"
  ; Icon 128 of the DLL: a negative index names a resource id.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Rubrikator.dll,-128"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ${If} $Deferred = 1
    SetRebootFlag true
    MessageBox MB_OK|MB_ICONINFORMATION "Der Explorer hält die bisherige Version von Rubrikator geladen. Die neue wird beim nächsten Neustart von Windows eingesetzt und registriert; bis dahin bleibt die bisherige in Gebrauch. Bitte starten Sie Windows neu." /SD IDOK
  ${EndIf}
SectionEnd

Section "un.Rubrikator" UnSecMain
  SectionIn RO
  ${If} ${RunningX64}
    !define LIBRARY_X64
    !insertmacro UnInstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "$INSTDIR\Rubrikator.dll"
    !undef LIBRARY_X64
  ${EndIf}
  !insertmacro UnInstallLib REGDLL NOTSHARED REBOOT_NOTPROTECTED "$Dir32\Rubrikator.dll"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$Dir32"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  IfRebootFlag 0 +2
    MessageBox MB_OK|MB_ICONINFORMATION "Der Explorer hält Rubrikator noch geladen. Die Dateien werden beim nächsten Neustart von Windows entfernt." /SD IDOK
SectionEnd

; The options are the user's own: they stay unless this box is ticked. The notes file in
; the documents folder always stays.
Section /o "un.Auch die Einstellungen entfernen" UnSecOptions
  DeleteRegKey HKCU "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
SectionEnd
