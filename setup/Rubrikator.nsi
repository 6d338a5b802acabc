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
!define RUNONCE "Software\Microsoft\Windows\CurrentVersion\RunOnce"
; The library's removal of a shell extension: unregistered, deleted, at the restart when held.
!define LIBRARY_SHELL_EXTENSION
!define LIBRARY_COM

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
; What this setup did to the 32-bit and the 64-bit DLL: 0 nothing yet, 1 put in place
; and registered now, 2 put beside the one Explorer holds, to go in at the next restart.
Var Put32
Var Put64

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

; Runs the registration of the DLL $R0 now, `/u` in $R3 unregisters; $R2 is the DLL's
; bitness. The error flag is set when it failed or regsvr32 could not be started.
Function Regsvr
  ${If} $R2 = 32
    ClearErrors
    ${If} $R3 == "/u"
      UnRegDLL "$R0"
    ${Else}
      RegDLL "$R0"
    ${EndIf}
  ${Else}
    ${DisableX64FSRedirection}
    StrCpy $0 "-"
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s $R3 "$R0"' $0
    ${EnableX64FSRedirection}
    ClearErrors
    ${If} $0 != 0
      SetErrors
    ${EndIf}
  ${EndIf}
FunctionEnd

; Takes back what this setup did to the DLL $R0 of bitness $R2; $R1 says what that was
; (see Put32). A DLL put in place gives way to the earlier one, registered again, or goes
; unregistered when there was none. One that waits for the restart has queued nothing
; yet (see Defer): its waiting file goes, and the held DLL stays as it is.
Function TakeBack
  ${If} $R1 = 2
    Delete "$R0.neu"
  ${ElseIf} $R1 = 1
  ${AndIf} $Earlier = 1
    Delete "$R0"
    Rename "$R0.bisher" "$R0"
    StrCpy $R3 ""
    Call Regsvr
  ${ElseIf} $R1 = 1
    StrCpy $R3 "/u"
    Call Regsvr
    Delete "$R0"
  ${EndIf}
  Delete "$R0.bisher"
FunctionEnd

; A DLL that does not register stops the setup. An earlier installation keeps its own
; DLLs, registered as before; without one, what was registered is unregistered and the
; files go again, so that no class points to a file that is not there.
Function RegistrationFailed
  StrCpy $R0 "$Dir32\Rubrikator.dll"
  StrCpy $R1 $Put32
  StrCpy $R2 32
  Call TakeBack
  ${If} ${RunningX64}
    StrCpy $R0 "$INSTDIR\Rubrikator.dll"
    StrCpy $R1 $Put64
    StrCpy $R2 64
    Call TakeBack
  ${EndIf}
  ${If} $Earlier = 1
    MessageBox MB_OK|MB_ICONSTOP "Rubrikator ${VERSION} konnte nicht eingerichtet werden: $R9 ließ sich nicht registrieren. Die bisher eingerichtete Version bleibt, wie sie war." /SD IDOK
  ${Else}
    RMDir "$INSTDIR"
    RMDir "$Dir32"
    MessageBox MB_OK|MB_ICONSTOP "Rubrikator konnte nicht eingerichtet werden: $R9 ließ sich nicht registrieren. Es ist nichts davon eingerichtet geblieben." /SD IDOK
  ${EndIf}
  SetErrorLevel 2
  Abort
FunctionEnd

; Puts the DLL SOURCE in FOLDER and registers it now. When Explorer holds the DLL there
; loaded, the new one waits beside it as Rubrikator.dll.neu for the restart instead:
; registering now would register the old file.
!macro PutDll SOURCE FOLDER STATE BITS
  SetOutPath "${FOLDER}"
  SetOverwrite try
  SetFileAttributes "${FOLDER}\Rubrikator.dll" FILE_ATTRIBUTE_NORMAL
  ClearErrors
  File "/oname=${FOLDER}\Rubrikator.dll" "${SOURCE}"
  ${If} ${Errors}
    SetOverwrite on
    File "/oname=${FOLDER}\Rubrikator.dll.neu" "${SOURCE}"
    StrCpy ${STATE} 2
  ${Else}
    ; What an earlier setup left waiting would replace this one at the restart.
    Delete "${FOLDER}\Rubrikator.dll.neu"
    StrCpy ${STATE} 1
    StrCpy $R0 "${FOLDER}\Rubrikator.dll"
    StrCpy $R2 ${BITS}
    StrCpy $R3 ""
    Call Regsvr
    ${If} ${Errors}
      StrCpy $R9 $R0
      Call RegistrationFailed
    ${EndIf}
  ${EndIf}
  SetOverwrite on
!macroend

; The DLL $R0 waiting beside its place goes in at the restart and is registered at the
; next logon by the regsvr32 $R1 (the one of its bitness as a 64-bit Explorer starts it).
; Queued only once every DLL put in place now has registered, so that a failure has
; nothing to take back that Windows would do at the restart.
Function Defer
  Rename /REBOOTOK "$R0.neu" "$R0"
  WriteRegStr HKLM "${RUNONCE}" "Rubrikator$R2" '"$R1" /s "$R0"'
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
  StrCpy $Put32 0
  StrCpy $Put64 0
  SetRebootFlag false
  !insertmacro PutDll "${DLL32}" "$Dir32" $Put32 32
  ${If} ${RunningX64}
    !insertmacro PutDll "${DLL64}" "$INSTDIR" $Put64 64
  ${EndIf}
  ${If} $Put32 = 2
    StrCpy $R0 "$Dir32\Rubrikator.dll"
    StrCpy $R1 "$WINDIR\System32\regsvr32.exe"
    ${If} ${RunningX64}
      StrCpy $R1 "$WINDIR\SysWOW64\regsvr32.exe"
    ${EndIf}
    StrCpy $R2 32
    Call Defer
  ${EndIf}
  ${If} $Put64 = 2
    StrCpy $R0 "$INSTDIR\Rubrikator.dll"
    StrCpy $R1 "$WINDIR\System32\regsvr32.exe"
    StrCpy $R2 64
    Call Defer
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

  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "Der Explorer hält die bisherige Version von Rubrikator geladen. Die neue wird beim nächsten Neustart von Windows eingesetzt und registriert; bis dahin bleibt die bisherige in Gebrauch. Bitte starten Sie Windows neu." /SD IDOK
    ; As Windows Installer tells it: done, a restart is needed.
    ${If} ${Silent}
      SetErrorLevel 3010
    ${EndIf}
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
  ; What a failed setup kept, and what a setup left waiting for the restart: without its
  ; file, the queued move finds nothing to put in place.
  Delete /REBOOTOK "$INSTDIR\Rubrikator.dll.bisher"
  Delete /REBOOTOK "$INSTDIR\Rubrikator.dll.neu"
  Delete /REBOOTOK "$Dir32\Rubrikator.dll.bisher"
  Delete /REBOOTOK "$Dir32\Rubrikator.dll.neu"
  DeleteRegValue HKLM "${RUNONCE}" "Rubrikator32"
  DeleteRegValue HKLM "${RUNONCE}" "Rubrikator64"
  Delete "$INSTDIR\uninstall.exe"
  ${If} ${RebootFlag}
    RMDir /REBOOTOK "$INSTDIR"
    RMDir /REBOOTOK "$Dir32"
  ${Else}
    RMDir "$INSTDIR"
    RMDir "$Dir32"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${If} ${RebootFlag}
    MessageBox MB_OK|MB_ICONINFORMATION "Der Explorer hält Rubrikator noch geladen. Die Dateien werden beim nächsten Neustart von Windows entfernt." /SD IDOK
    ${If} ${Silent}
      SetErrorLevel 3010
    ${EndIf}
  ${EndIf}
SectionEnd

; The options are the user's own: they stay unless this box is ticked. The notes file in
; the documents folder always stays.
Section /o "un.Auch die Einstellungen entfernen" UnSecOptions
  DeleteRegKey HKCU "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
SectionEnd
