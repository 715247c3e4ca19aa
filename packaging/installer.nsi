; The workstation's installer: for all users of the computer or for the current user only (no
; administrator rights needed), Russian texts, a Start-menu folder with the program and its
; user guide, an uninstaller listed in "Programs and Features", and a silent mode:
;
;   workstation-VERSION-setup.exe /S [/CurrentUser | /AllUsers] [/D=FOLDER]
;
; It installs the workstation, token-check (the token's acceptance run, a console program
; without a shortcut) and the guide only. The token's PKCS#11 module belongs to the
; token maker's own installation: nothing of that name, its folder or PATH is touched here.
;
; Release.cmake defines VERSION (x.y.z), VERSION4 (x.y.z.0), OUTFILE, FILES, the generated
; include with the INSTALL_FILES, UNINSTALL_CHECK_FILES and UNINSTALL_FILES macros (one line
; per staged file), and ICON, the program's icon, which the installer and the uninstaller show
; as their own; when signing, SIGN, the command that signs a program in place (sign-pe).

Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT "АРМ пользователя Veltora QRD"
!define PUBLISHER "Veltora"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VeltoraQRDWorkstation"
!define MENU_FOLDER "$SMPROGRAMS\${PRODUCT}"
!define SHORTCUT "${MENU_FOLDER}\${PRODUCT}.lnk"
!define GUIDE_SHORTCUT "${MENU_FOLDER}\Руководство пользователя.lnk"
; Where versions before the Start-menu folder put the program's shortcut.
!define OLD_SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

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
    ; The shortcut and the uninstall entry show the program's first icon; the guide's
    ; shortcut opens the page in the browser.
    Delete "${OLD_SHORTCUT}"
    CreateDirectory "${MENU_FOLDER}"
    SetOutPath "$INSTDIR"
    CreateShortCut "${SHORTCUT}" "$INSTDIR\workstation.exe" "" "$INSTDIR\workstation.exe" 0
    CreateShortCut "${GUIDE_SHORTCUT}" "$INSTDIR\docs\guide.html"

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
; uninstaller: the entry in "Programs and Features", the shortcuts and the uninstaller stay, so
; that removing the cause and uninstalling again finishes the job instead of leaving files
; that nothing lists. The message names the file and the reason. Silently it ends with exit
; code 2. UNINSTALL_FILES deletes the staged files and UNINSTALL_FOLDERS their folders, which
; may keep a user's files without that being a failure.
!define UNINSTALL_FAILED "Не удалось удалить программу «${PRODUCT}»:"
!define UNINSTALL_AGAIN "затем повторите удаление."

Var BlockedFile
Var BlockedReason

!macro UNINSTALL_STOP TEXT
    MessageBox MB_OK|MB_ICONEXCLAMATION "${TEXT}" /SD IDOK
    SetErrorLevel 2
    Abort
!macroend

; Every file is opened for writing with no sharing, as removing it needs (nothing is written),
; before anything is removed, so that a running program loses none of its files. Sets
; BlockedReason to why the file in BlockedFile cannot be opened, or to "" when it can.
Function un.CheckFile
    StrCpy $BlockedReason ""
    ${IfNot} ${FileExists} $BlockedFile
        Return
    ${EndIf}
    ; GENERIC_WRITE, no sharing, OPEN_EXISTING; ?e keeps the last error for Pop.
    System::Call 'kernel32::CreateFileW(w "$BlockedFile", i 0x40000000, i 0, p 0, i 3, i 0x80, p 0) p.r0 ?e'
    Pop $1
    ${If} $0 <> -1
        System::Call 'kernel32::CloseHandle(p r0)'
        Return
    ${EndIf}
    ${If} $1 = 32 ; ERROR_SHARING_VIOLATION
    ${OrIf} $1 = 33 ; ERROR_LOCK_VIOLATION
        StrCpy $BlockedReason "файл «$BlockedFile» занят: программа ещё работает или файл открыт другой программой. Закройте АРМ, token-check.exe и открытые файлы из папки программы,"
    ${ElseIf} $1 = 5 ; ERROR_ACCESS_DENIED
        System::Call 'kernel32::GetFileAttributesW(w "$BlockedFile") i.r2'
        IntOp $2 $2 & 1 ; FILE_ATTRIBUTE_READONLY
        ${If} $2 <> 0
            StrCpy $BlockedReason "у файла «$BlockedFile» установлен атрибут «Только чтение». Снимите его в свойствах файла,"
        ${Else}
            StrCpy $BlockedReason "нет прав на изменение файла «$BlockedFile». Удалите программу от имени пользователя, у которого есть права на папку программы (например, администратора),"
        ${EndIf}
    ${Else}
        StrCpy $BlockedReason "файл «$BlockedFile» не открывается (ошибка Windows $1). Устраните причину,"
    ${EndIf}
FunctionEnd

!macro UNINSTALL_CHECK FILE
    StrCpy $BlockedFile "$INSTDIR\${FILE}"
    Call un.CheckFile
    ${If} $BlockedReason != ""
        !insertmacro UNINSTALL_STOP "${UNINSTALL_FAILED} $BlockedReason ${UNINSTALL_AGAIN}"
    ${EndIf}
!macroend

Section Uninstall
    !insertmacro UNINSTALL_CHECK_FILES
    ; Only what the installer put there: files a user added to the folder stay, and so does
    ; the folder with them.
    ClearErrors
    !insertmacro UNINSTALL_FILES
    ${If} ${Errors}
        !insertmacro UNINSTALL_STOP "${UNINSTALL_FAILED} не все её файлы удалось удалить. Закройте программы, которые могут их использовать, ${UNINSTALL_AGAIN}"
    ${EndIf}
    !insertmacro UNINSTALL_FOLDERS
    Delete "${SHORTCUT}"
    Delete "${GUIDE_SHORTCUT}"
    RMDir "${MENU_FOLDER}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
