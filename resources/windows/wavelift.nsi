; The per-user Windows installer. The build (target wavelift_installer) passes
; VERSION, PROGRAM, README, LICENSE, ICON and OUTFILE with -D.
Unicode true
Target amd64-unicode
; Installed for the current user only: no administrator rights, nothing machine-wide.
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Wavelift"
; The class of the program's main window: how a running Wavelift is found.
!define WINDOW_CLASS "WaveliftMainWindow"

Name "Wavelift"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Wavelift"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Wavelift ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\wavelift.exe"
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "Wavelift"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "Wavelift setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Brightmoor"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright (C) 2026 Brightmoor. MIT licence."

; A running Wavelift holds its program file. With a window to ask in, the user
; closes it and retries; a silent run says why on its standard error and ends
; with code 2.
!macro WAVELIFT_CLOSED_CHECK UN
Function ${UN}WaitUntilWaveliftIsClosed
  ${Do}
    FindWindow $0 "${WINDOW_CLASS}"
    ${If} $0 == 0
      Return
    ${EndIf}
    ${If} ${Silent}
      System::Call 'kernel32::GetStdHandle(i -12) p.r1'
      ${If} $1 P<> 0
        FileWrite $1 "Wavelift is running: close it, then run this again.$\r$\n"
      ${EndIf}
      SetErrorLevel 2
      Quit
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Wavelift is running. Close it, then choose Retry." IDRETRY +2
    Quit
  ${Loop}
FunctionEnd
!macroend
!insertmacro WAVELIFT_CLOSED_CHECK ""
!insertmacro WAVELIFT_CLOSED_CHECK "un."

Section "Wavelift" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=wavelift.exe" "${PROGRAM}"
  File "/oname=README.md" "${README}"
  File "/oname=LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Wavelift.lnk" "$INSTDIR\wavelift.exe"

  ; What Settings > Apps lists.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Wavelift"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Brightmoor"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\wavelift.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; Off unless chosen on the components page, or with /DESKTOPSHORTCUT on the command line.
Section /o "Desktop shortcut" SectionDesktopShortcut
  CreateShortcut "$DESKTOP\Wavelift.lnk" "$INSTDIR\wavelift.exe"
SectionEnd

Function .onInit
  Call WaitUntilWaveliftIsClosed
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/DESKTOPSHORTCUT" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionDesktopShortcut}
  ${EndIf}
FunctionEnd

; Removes what the installer put there and nothing else: the user's settings
; (%APPDATA%\Wavelift) and captures stay.
Section "Uninstall"
  Delete "$INSTDIR\wavelift.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  ; A process started from the folder, such as the shell's helper that the
  ; shortcuts woke, may hold it as its working folder for a moment.
  ${For} $0 1 50
    RMDir "$INSTDIR"
    ${IfNot} ${FileExists} "$INSTDIR"
      ${Break}
    ${EndIf}
    Sleep 200
  ${Next}
  Delete "$SMPROGRAMS\Wavelift.lnk"
  Delete "$DESKTOP\Wavelift.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
  Call un.WaitUntilWaveliftIsClosed
FunctionEnd
