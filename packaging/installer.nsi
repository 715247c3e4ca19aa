; The workstation's installer: for all users of the computer or for the current user only (no
; administrator rights needed), Russian texts, a Start-menu shortcut, an uninstaller listed in
; "Programs and Features", and a silent mode:
;
;   workstation-VERSION-setup.exe /S [/CurrentUser | /AllUsers] [/D=FOLDER]
;
; It installs the workstation, token-check (the token's acceptance run, a console program
; without a shortcut) and the guide only. The token's PKCS#11 module belongs to the
; token maker's own installation: nothing of that name, its folder or PATH is touched here.
;
; Release.cmake defines VERSION (x.y.z), VERSION4 (x.y.z.0), OUTFILE, FILES, the generated
; include with the INSTALL_FILES and UNINSTALL_FILES macros (one line per staged file), and
; ICON, the program's icon, which the installer and the uninstaller show as their own; when
; signing, SIGN, the command that signs a program in place (sign-pe).

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT "АРМ пользователя Veltora QRD"
!define PUBLISHER "Veltora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltoraQRDWorkstation"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
!ifdef SIGN
    ; The uninstaller is signed before it is packed into the installer, the installer once it
    ; is written; a failure stops the compiler.
    !uninstfinalize '"${SIGN}" "%1"' = 0
    !finalize '"${SIGN}" "%1"' = 0
!endif
BrandingText "${PRODUCT} ${VERSION}"

; Administrators choose between both modes; anyone else installs for themselves.
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "Veltora QRD Workstation"
; A new version goes where the previous one is, in the same mode; the uninstaller finds its
; mode the same way.
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INIT_TEXT_ADMINREQUIRED "Для установки программы «${PRODUCT}» нужны права администратора."
!define MULTIUSER_INIT_TEXT_POWERREQUIRED "Для установки программы «${PRODUCT}» нужны права администратора."
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE "У вашей учётной записи нет прав, чтобы установить программу «${PRODUCT}» для всех пользователей компьютера."

!include MUI2.nsh
!include MultiUser.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include "${FILES}"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка программы «${PRODUCT}»"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© ${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
    ; MultiUser sets the mode's default folder; a folder given with /D wins over it.
    StrCpy $0 $INSTDIR
    !insertmacro MULTIUSER_INIT
    ${If} $0 != ""
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

Function un.onInit
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section
    !insertmacro INSTALL_FILES
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The shortcut and the uninstall entry show the program's first icon.
    CreateShortCut "${SHORTCUT}" "$INSTDIR\workstation.exe" "" "$INSTDIR\workstation.exe" 0

    ; SHCTX is HKLM for all users and HKCU for the current user, as MultiUser chose.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\workstation.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
        '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; A file that cannot be removed, above all a program that is still running, stops the
; uninstaller: the entry in "Programs and Features", the shortcut and the uninstaller stay, so
; that closing the program and uninstalling again finishes the job instead of leaving files
; that nothing lists. Silently it ends with exit code 2. UNINSTALL_FILES deletes the staged
; files and UNINSTALL_FOLDERS their folders, which may keep a user's files without that being
; a failure.
!define UNINSTALL_BLOCKED "Не удалось удалить файлы программы «${PRODUCT}»: она ещё работает. Закройте АРМ и token-check.exe (и открытые файлы из папки программы), затем повторите удаление."

!macro UNINSTALL_STOP
    MessageBox MB_OK|MB_ICONEXCLAMATION "${UNINSTALL_BLOCKED}" /SD IDOK
    SetErrorLevel 2
    Abort
!macroend

; A running program's file cannot be opened for writing; opening it writes nothing. Checked
; before anything is removed, so that a running program loses none of its files.
!macro UNINSTALL_STOP_IF_RUNNING FILE
    ${If} ${FileExists} "$INSTDIR\${FILE}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${FILE}" a
        ${If} ${Errors}
            !insertmacro UNINSTALL_STOP
        ${EndIf}
        FileClose $0
    ${EndIf}
!macroend

Section Uninstall
    !insertmacro UNINSTALL_STOP_IF_RUNNING "workstation.exe"
    !insertmacro UNINSTALL_STOP_IF_RUNNING "token-check.exe"
    ; Only what the installer put there: files a user added to the folder stay, and so does
    ; the folder with them.
    ClearErrors
    !insertmacro UNINSTALL_FILES
    ${If} ${Errors}
        !insertmacro UNINSTALL_STOP
    ${EndIf}
    !insertmacro UNINSTALL_FOLDERS
    Delete "${SHORTCUT}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
