; TAVO 2.0 setup: agent.exe (the service Tavo2Agent), Updater.dll and
; TavoTest.exe into one folder, the payment core's working directory.
;
; Built by makensis from the win32 build (packaging/windows/CMakeLists.txt),
; which defines VERSION, AGENT, UPDATER, TAVOTEST, SAMPLES and OUTFILE.
;
;   TavoSetup-x.y.z.exe                    asks for the folder
;   TavoSetup-x.y.z.exe /S /D=C:\TAVO      silent; exit code 0 only when all went well
;   uninstall.exe [/S]                     removes programs, service, shortcut; keeps data
;
; An install over an earlier one is an upgrade: the service is stopped, the
; programs are replaced, every ini file and all data stay, the service starts
; again.
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
; A program that cannot be replaced fails the install instead of being skipped.
AllowSkipFiles off

; SIGN, when defined, is a command that signs the file it is given in place
; (scripts/sign-windows); the programs come signed already.
!ifdef SIGN
  !uninstfinalize '"${SIGN}" "%1"' = 0
  !finalize '"${SIGN}" "%1"' = 0
!endif

; The programs must carry the release's version in their version resources.
!getdllversion "${AGENT}" agent_
!if "${agent_1}.${agent_2}.${agent_3}" != "${VERSION}"
  !error "agent.exe says ${agent_1}.${agent_2}.${agent_3}, the release is ${VERSION}"
!endif
!getdllversion "${UPDATER}" updater_
!if "${updater_1}.${updater_2}.${updater_3}" != "${VERSION}"
  !error "Updater.dll says ${updater_1}.${updater_2}.${updater_3}, the release is ${VERSION}"
!endif

!define SERVICE "Tavo2Agent"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavo2"
!define MENU_FOLDER "$SMPROGRAMS\TAVO 2.0"

Name "TAVO 2.0"
OutFile "${OUTFILE}"
InstallDir "C:\TAVO"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "TAVO ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define MUI_ABORTWARNING
; The details stay on screen: they tell whether the service was registered.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(FolderText)"
!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(KeptText)"
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE FolderLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString FolderText ${LANG_RUSSIAN} "Выберите рабочий каталог платёжного ядра: туда будут установлены agent.exe, Updater.dll и TavoTest.exe. Имеющиеся там файлы настроек (*.ini) и данные сохраняются."
LangString FolderText ${LANG_ENGLISH} "Choose the payment core's working directory: agent.exe, Updater.dll and TavoTest.exe go there. Settings files (*.ini) and data already there are kept."
LangString KeptText ${LANG_RUSSIAN} "Удаляются agent.exe, Updater.dll, TavoTest.exe, а служба Tavo2Agent, запись в «Программах и компонентах» и ярлык — если они этой папки. Настройки (*.ini) и данные (pay_stack, Cheque, qetrace.txt, Update) остаются в папке:"
LangString KeptText ${LANG_ENGLISH} "agent.exe, Updater.dll, TavoTest.exe go, and the service Tavo2Agent, the Programs and Features entry and the shortcut if they are this folder's. Settings (*.ini) and data (pay_stack, Cheque, qetrace.txt, Update) stay in the folder:"
LangString NotAnsi ${LANG_RUSSIAN} "В имени папки $INSTDIR есть буквы, которых нет в кодовой странице ANSI этой Windows: программы не смогут открыть в ней свои файлы. Выберите папку с латинскими буквами в имени. Ничего не изменено."
LangString NotAnsi ${LANG_ENGLISH} "The name of the folder $INSTDIR has letters that this Windows's ANSI code page lacks: the programs could not open their files there. Choose a folder with Latin letters in its name. Nothing was changed."
LangString NoUnpack ${LANG_RUSSIAN} "Не удалось распаковать программы во временную папку. Ничего не изменено."
LangString NoUnpack ${LANG_ENGLISH} "Cannot unpack the programs into the temporary folder. Nothing was changed."
LangString NoFolder ${LANG_RUSSIAN} "Не удалось создать папку $INSTDIR"
LangString NoFolder ${LANG_ENGLISH} "Cannot create the folder $INSTDIR"
LangString NoStop ${LANG_RUSSIAN} "Служба ${SERVICE} не остановилась за 30 секунд. Ничего не изменено."
LangString NoStop ${LANG_ENGLISH} "The service ${SERVICE} did not stop within 30 seconds. Nothing was changed."
LangString InUse ${LANG_RUSSIAN} "Эти программы заняты (их держит платёжное ядро, TavoTest или другая программа) или недоступны для записи, заменить их нельзя:$busy. Ничего не изменено, служба ${SERVICE} работает как прежде. Закройте их и запустите установку снова."
LangString InUse ${LANG_ENGLISH} "These programs are in use (by the payment core, TavoTest or another program) or cannot be written, so they cannot be replaced:$busy. Nothing was changed, the service ${SERVICE} runs as before. Close them and run the setup again."
LangString NoCopy ${LANG_RUSSIAN} "Не удалось записать в $INSTDIR:"
LangString NoCopy ${LANG_ENGLISH} "Cannot write into $INSTDIR:"
LangString NoRegister ${LANG_RUSSIAN} "agent.exe /reg не зарегистрировал службу ${SERVICE}."
LangString NoRegister ${LANG_ENGLISH} "agent.exe /reg did not register the service ${SERVICE}."
LangString NoMove ${LANG_RUSSIAN} "Не удалось перевести службу ${SERVICE} на $INSTDIR\agent.exe, ошибка $state."
LangString NoMove ${LANG_ENGLISH} "Cannot point the service ${SERVICE} at $INSTDIR\agent.exe, error $state."
LangString NoStart ${LANG_RUSSIAN} "Не удалось запустить службу ${SERVICE}, ошибка $state."
LangString NoStart ${LANG_ENGLISH} "Cannot start the service ${SERVICE}, error $state."
LangString Disabled ${LANG_RUSSIAN} "Служба ${SERVICE} отключена и остаётся остановленной; программы обновлены."
LangString Disabled ${LANG_ENGLISH} "The service ${SERVICE} is disabled and stays stopped; the programs were updated."
LangString Restored ${LANG_RUSSIAN} "Папка и служба возвращены в прежнее состояние."
LangString Restored ${LANG_ENGLISH} "The folder and the service are back as they were."
LangString Broken ${LANG_RUSSIAN} "Прежнее состояние вернуть не удалось ($broken ). Запустите установку снова."
LangString Broken ${LANG_ENGLISH} "They could not all be put back ($broken ). Run the setup again."
LangString Moved ${LANG_RUSSIAN} "Служба ${SERVICE} запускала $oldImage, теперь она запускает $INSTDIR\agent.exe. Программы той папки остаются; её uninstall.exe удалит только их, а службу, запись в «Программах и компонентах» и ярлык не тронет."
LangString Moved ${LANG_ENGLISH} "The service ${SERVICE} ran $oldImage; it now runs $INSTDIR\agent.exe. The programs there stay; that folder's uninstall.exe removes only them and leaves the service, the Programs and Features entry and the shortcut alone."
LangString EntryMoved ${LANG_RUSSIAN} "Запись в «Программах и компонентах» и ярлык относились к $oldEntry, теперь — к $INSTDIR."
LangString EntryMoved ${LANG_ENGLISH} "The Programs and Features entry and the shortcut belonged to $oldEntry; they now belong to $INSTDIR."
LangString NoRemove ${LANG_RUSSIAN} "Не удалось удалить службу ${SERVICE}."
LangString NoRemove ${LANG_ENGLISH} "Cannot remove the service ${SERVICE}."
LangString UnInUse ${LANG_RUSSIAN} "Эти программы заняты или недоступны для записи:$busy. Ничего не удалено, служба ${SERVICE} работает как прежде."
LangString UnInUse ${LANG_ENGLISH} "These programs are in use or cannot be written:$busy. Nothing was removed, the service ${SERVICE} runs as before."
LangString NotRemoved ${LANG_RUSSIAN} "Не удалось удалить:$busy. Запись в «Программах и компонентах» и uninstall.exe остаются."
LangString NotRemoved ${LANG_ENGLISH} "Cannot delete:$busy. The Programs and Features entry and uninstall.exe stay."
LangString OtherService ${LANG_RUSSIAN} "Служба ${SERVICE} запускает $oldImage — это другая установка, служба остаётся."
LangString OtherService ${LANG_ENGLISH} "The service ${SERVICE} runs $oldImage, another installation: it stays."
LangString OtherEntry ${LANG_RUSSIAN} "Запись в «Программах и компонентах» и ярлык относятся к $oldEntry и остаются."
LangString OtherEntry ${LANG_ENGLISH} "The Programs and Features entry and the shortcut belong to $oldEntry: they stay."
LangString SelfLater ${LANG_RUSSIAN} "uninstall.exe будет удалён при следующей перезагрузке."
LangString SelfLater ${LANG_ENGLISH} "uninstall.exe goes at the next restart."
LangString DataKept ${LANG_RUSSIAN} "Настройки и данные остались в $INSTDIR"
LangString DataKept ${LANG_ENGLISH} "Settings and data stay in $INSTDIR"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "TAVO 2.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "TAVO 2.0 setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "TAVO"

Var scm
Var service
Var status
Var state
Var tries
; The service's program as registered ("" when there is no service), and
; whether that is this folder's agent.exe.
Var oldImage
Var ours
; InstallLocation of the Programs and Features entry, "" when there is none.
Var oldEntry
Var wasRunning
; Space-led lists of file names: in use, not written, not put back.
Var busy
Var failed
Var broken
; "|name|name|": the files of the folder that this install has put in
; place, and the earlier ones it has moved aside.
Var swapped
Var aside
Var registered

; Exit codes (README.md, packaging/windows/README.txt):
;   installer    0 installed, the service runs this folder's agent.exe
;                1 cancelled
;                2 failed; the folder and the service are as they were
;                3 a program in the folder is in use or cannot be written;
;                  nothing was changed, the service runs as before
;                4 the folder's name has letters outside the ANSI code page;
;                  nothing was changed
;                5 failed, and not all could be put back (the text says what)
;   uninstaller  0 all removed, 1 cancelled, 3 as above, nothing removed;
;                2 something stayed: the entry and uninstall.exe stay with it
; The code is real only when the uninstaller runs in place (_?=, as the
; registered strings do): otherwise it returns at once with 0.
!macro Fail code text
  DetailPrint "${text}"
  MessageBox MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel ${code}
  Abort "${text}"
!macroend

; Ends a failed install after putting the folder and the service back.
!macro FailPutBack text
  Call PutBack
  ${If} $broken == ""
    !insertmacro Fail 2 "${text} $(Restored)"
  ${EndIf}
  !insertmacro Fail 5 "${text} $(Broken)"
!macroend

; Calls a function with $R0 set to each program's name in turn.
!macro EachProgram function
  StrCpy $R0 "agent.exe"
  Call ${function}
  StrCpy $R0 "Updater.dll"
  Call ${function}
  StrCpy $R0 "TavoTest.exe"
  Call ${function}
!macroend
; The same for everything the installer writes into the folder.
!macro EachFile function
  !insertmacro EachProgram ${function}
  StrCpy $R0 "uninstall.exe"
  Call ${function}
  StrCpy $R0 "agent.ini"
  Call ${function}
  StrCpy $R0 "pinpad.ini"
  Call ${function}
  StrCpy $R0 "TavoTest.ini"
  Call ${function}
!macroend

; FindService: $oldImage, $ours and $oldEntry as they are now.
; StopService: stops the service when it runs and waits until its process
; has ended (so that agent.exe is free), up to 30 seconds; $wasRunning says
; whether it ran. The error flag is set when it did not stop.
; RestartService: starts the service again when StopService stopped it;
; $broken names it when it does not start.
; CheckInUse: adds $R0 to $busy when it exists in the folder and cannot be
; opened for writing with no sharing: a program runs from it, a library is
; loaded from it, something has it open, or writing it is refused. Such a
; file can still be renamed (so Wine does, as Windows), so only this tells.
; RemoveService: stops the service, deletes it and waits until the service
; manager has let it go. Sets the error flag when it is still there after
; 30 seconds.
!macro ServiceFunctions un
Function ${un}FindService
  ReadRegStr $oldImage HKLM "SYSTEM\CurrentControlSet\Services\${SERVICE}" "ImagePath"
  StrCpy $R1 $oldImage 1
  StrCpy $R2 $oldImage
  ${If} $R1 == '"'
    StrCpy $R2 $oldImage -1 1
  ${EndIf}
  StrCpy $ours 0
  ${If} $R2 == "$INSTDIR\agent.exe"
    StrCpy $ours 1
  ${EndIf}
  ReadRegStr $oldEntry HKLM "${UNINSTALL_KEY}" "InstallLocation"
FunctionEnd

Function ${un}StopService
  StrCpy $wasRunning 0
  ClearErrors
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 1) p.s'
  Pop $scm
  ; SERVICE_STOP | SERVICE_QUERY_STATUS
  System::Call 'advapi32::OpenServiceW(p $scm, w "${SERVICE}", i 0x24) p.s'
  Pop $service
  ${If} $service != 0
    ; SERVICE_STATUS_PROCESS: the state is its second field, the process its eighth.
    System::Call '*(&i36) p.s'
    Pop $status
    System::Call 'advapi32::QueryServiceStatusEx(p $service, i 0, p $status, i 36, *i .r1) i.r0'
    System::Call '*$status(i, i.r1, i, i, i, i, i, i.r2)'
    ${If} $0 <> 0
    ${AndIf} $1 <> 1
      StrCpy $wasRunning 1
      ; SYNCHRONIZE
      System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i r2) p.r3'
      System::Call 'advapi32::ControlService(p $service, i 1, p $status) i'
      StrCpy $tries 0
      ${Do}
        System::Call 'advapi32::QueryServiceStatusEx(p $service, i 0, p $status, i 36, *i .r1) i.r0'
        System::Call '*$status(i, i.r1)'
        ${If} $0 = 0
        ${OrIf} $1 = 1
          ${Break}
        ${EndIf}
        IntOp $tries $tries + 1
        ${If} $tries > 300
          SetErrors
          ${Break}
        ${EndIf}
        Sleep 100
      ${Loop}
      ${If} $3 <> 0
        System::Call 'kernel32::WaitForSingleObject(p r3, i 10000) i'
        System::Call 'kernel32::CloseHandle(p r3) i'
      ${EndIf}
    ${EndIf}
    System::Free $status
    System::Call 'advapi32::CloseServiceHandle(p $service) i'
  ${EndIf}
  System::Call 'advapi32::CloseServiceHandle(p $scm) i'
FunctionEnd

; Starts the registered service; the error flag is set and $state holds the
; Windows error when it was not registered (1060) or did not start.
Function ${un}StartService
  ClearErrors
  StrCpy $state 1060
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 1) p.s'
  Pop $scm
  System::Call 'advapi32::OpenServiceW(p $scm, w "${SERVICE}", i 0x10) p.s'
  Pop $service
  ${If} $service != 0
    System::Call 'advapi32::StartServiceW(p $service, i 0, p 0) i.s ?e'
    Pop $state
    Pop $tries
    ; 1056: already running.
    ${If} $tries = 1
    ${OrIf} $state = 1056
      StrCpy $state 0
    ${EndIf}
    System::Call 'advapi32::CloseServiceHandle(p $service) i'
  ${EndIf}
  System::Call 'advapi32::CloseServiceHandle(p $scm) i'
  ${If} $state != 0
    SetErrors
  ${EndIf}
FunctionEnd

Function ${un}RestartService
  ${If} $wasRunning = 1
    Call ${un}StartService
    ${If} ${Errors}
      StrCpy $broken "$broken ${SERVICE}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ${un}CheckInUse
  ${If} ${FileExists} "$INSTDIR\$R0"
    StrCpy $R1 "$INSTDIR\$R0"
    ; GENERIC_WRITE, no sharing, OPEN_EXISTING
    System::Call 'kernel32::CreateFileW(w R1, i 0x40000000, i 0, p 0, i 3, i 0, p 0) i.r0'
    ${If} $0 = -1
      StrCpy $busy "$busy $R0"
    ${Else}
      System::Call 'kernel32::CloseHandle(i r0) i'
    ${EndIf}
  ${EndIf}
FunctionEnd

Function ${un}RemoveService
  ClearErrors
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 0xF003F) p.s'
  Pop $scm
  ${If} $scm == 0
    SetErrors
    Return
  ${EndIf}
  ; SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE
  System::Call 'advapi32::OpenServiceW(p $scm, w "${SERVICE}", i 0x10024) p.s'
  Pop $service
  ${If} $service != 0
    System::Call '*(&i28) p.s'
    Pop $status
    System::Call 'advapi32::ControlService(p $service, i 1, p $status) i'
    StrCpy $tries 0
    ${Do}
      System::Call 'advapi32::QueryServiceStatus(p $service, p $status) i.s'
      Pop $state
      ${If} $state = 0
        ${Break}
      ${EndIf}
      System::Call '*$status(i, i.s)'
      Pop $state
      ${If} $state = 1
        ${Break}
      ${EndIf}
      IntOp $tries $tries + 1
      ${If} $tries > 300
        ${Break}
      ${EndIf}
      Sleep 100
    ${Loop}
    System::Free $status
    System::Call 'advapi32::DeleteService(p $service) i'
    System::Call 'advapi32::CloseServiceHandle(p $service) i'
  ${EndIf}
  StrCpy $tries 0
  ${Do}
    System::Call 'advapi32::OpenServiceW(p $scm, w "${SERVICE}", i 4) p.s'
    Pop $service
    ${If} $service == 0
      ${Break}
    ${EndIf}
    System::Call 'advapi32::CloseServiceHandle(p $service) i'
    IntOp $tries $tries + 1
    ${If} $tries > 300
      SetErrors
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
  System::Call 'advapi32::CloseServiceHandle(p $scm) i'
FunctionEnd
!macroend
!insertmacro ServiceFunctions ""
!insertmacro ServiceFunctions "un."

; The programs open their files by ANSI names (GetModuleFileNameA and the
; like): the error flag is set when $INSTDIR has a character that the
; system's ANSI code page cannot write, which would reach them as "?".
Function CheckAnsiFolder
  ClearErrors
  System::Call '*(&i2048) p.r2'
  ; CP_ACP, WC_NO_BEST_FIT_CHARS; the last argument: a default char was used
  System::Call 'kernel32::WideCharToMultiByte(i 0, i 0x400, w "$INSTDIR", i -1, p r2, i 2048, p 0, *i 0 r1) i.r0'
  System::Free $2
  ${If} $0 = 0
  ${OrIf} $1 <> 0
    SetErrors
  ${EndIf}
FunctionEnd

Function FolderLeave
  Call CheckAnsiFolder
  ${If} ${Errors}
    MessageBox MB_ICONSTOP "$(NotAnsi)"
    Abort
  ${EndIf}
FunctionEnd

; Points the service at $R0; the error flag is set and $state holds the
; Windows error when it cannot.
Function MoveService
  ClearErrors
  System::Call 'advapi32::OpenSCManagerW(p 0, p 0, i 1) p.s'
  Pop $scm
  ; SERVICE_CHANGE_CONFIG
  System::Call 'advapi32::OpenServiceW(p $scm, w "${SERVICE}", i 2) p.s'
  Pop $service
  ; SERVICE_NO_CHANGE for the type, the start and the error control
  System::Call 'advapi32::ChangeServiceConfigW(p $service, i -1, i -1, i -1, w R0, p 0, p 0, p 0, p 0, p 0, p 0) i.r0 ?e'
  Pop $state
  System::Call 'advapi32::CloseServiceHandle(p $service) i'
  System::Call 'advapi32::CloseServiceHandle(p $scm) i'
  ${If} $0 = 0
    SetErrors
  ${EndIf}
FunctionEnd

; Copies $R0 from the unpacked files to its name in the folder plus
; ".tavo-setup"; a sample only where the folder has no such file. $failed
; gets the name when the copy fails.
Function Stage
  Delete "$INSTDIR\$R0.tavo-setup"
  Delete "$INSTDIR\$R0.tavo-old"
  ${If} $failed != ""
    Return
  ${EndIf}
  StrCpy $R1 $R0 4 -4
  ${If} $R1 == ".ini"
  ${AndIf} ${FileExists} "$INSTDIR\$R0"
    Return
  ${EndIf}
  StrCpy $R1 "$PLUGINSDIR\new\$R0"
  StrCpy $R2 "$INSTDIR\$R0.tavo-setup"
  System::Call 'kernel32::CopyFileW(w R1, w R2, i 0) i.r0'
  ${If} $0 = 0
    StrCpy $failed "$failed $R0"
  ${EndIf}
FunctionEnd

; Moves the folder's $R0 aside (".tavo-old", noted in $aside) and the
; staged one into its place (noted in $swapped); $failed gets the name when
; either move fails.
Function SwapIn
  ${If} $failed != ""
  ${OrIfNot} ${FileExists} "$INSTDIR\$R0.tavo-setup"
    Return
  ${EndIf}
  ClearErrors
  ${If} ${FileExists} "$INSTDIR\$R0"
    Rename "$INSTDIR\$R0" "$INSTDIR\$R0.tavo-old"
    ${IfNot} ${Errors}
      StrCpy $aside "$aside$R0|"
    ${EndIf}
  ${EndIf}
  ${IfNot} ${Errors}
    Rename "$INSTDIR\$R0.tavo-setup" "$INSTDIR\$R0"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $failed "$failed $R0"
  ${Else}
    StrCpy $swapped "$swapped$R0|"
  ${EndIf}
FunctionEnd

; $1 is 1 when "|$R0|" is in $R3, else 0.
Function InList
  StrCpy $1 0
  StrCpy $2 "|$R0|"
  StrLen $3 $2
  StrCpy $4 0
  ${Do}
    StrCpy $5 $R3 $3 $4
    ${If} $5 == ""
      ${Break}
    ${ElseIf} $5 == $2
      StrCpy $1 1
      ${Break}
    ${EndIf}
    IntOp $4 $4 + 1
  ${Loop}
FunctionEnd

; Undoes SwapIn and Stage for $R0; $broken gets the name when the earlier
; file cannot be put back.
Function SwapBack
  ClearErrors
  StrCpy $R3 $swapped
  Call InList
  ${If} $1 = 1
    Delete "$INSTDIR\$R0"
  ${EndIf}
  StrCpy $R3 $aside
  Call InList
  ${If} $1 = 1
    Rename "$INSTDIR\$R0.tavo-old" "$INSTDIR\$R0"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $broken "$broken $R0"
  ${EndIf}
  Delete "$INSTDIR\$R0.tavo-setup"
FunctionEnd

Function DropOld
  Delete "$INSTDIR\$R0.tavo-old"
FunctionEnd

; Puts the folder and the service back as they were before this install.
Function PutBack
  ${If} $registered = 1
    Call RemoveService
  ${ElseIf} $ours != 1
  ${AndIf} $oldImage != ""
    StrCpy $R0 $oldImage
    Call MoveService
    ${If} ${Errors}
      StrCpy $broken "$broken ${SERVICE}"
    ${EndIf}
  ${EndIf}
  !insertmacro EachFile SwapBack
  Call RestartService
FunctionEnd

Section "TAVO 2.0"
  SetShellVarContext all
  StrCpy $broken ""
  StrCpy $registered 0
  StrCpy $wasRunning 0
  Call CheckAnsiFolder
  ${If} ${Errors}
    !insertmacro Fail 4 "$(NotAnsi)"
  ${EndIf}
  ; Unpacked outside the folder first: a failure here changes nothing.
  SetErrorLevel 2
  InitPluginsDir
  SetOutPath "$PLUGINSDIR\new"
  ClearErrors
  File "${AGENT}"
  File "${UPDATER}"
  File "${TAVOTEST}"
  File "${SAMPLES}/agent.ini"
  File "${SAMPLES}/pinpad.ini"
  File "${SAMPLES}/TavoTest.ini"
  WriteUninstaller "$PLUGINSDIR\new\uninstall.exe"
  ${If} ${Errors}
    !insertmacro Fail 2 "$(NoUnpack)"
  ${EndIf}
  SetErrorLevel 0
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${If} ${Errors}
    !insertmacro Fail 2 "$(NoFolder)"
  ${EndIf}
  SetOutPath "$INSTDIR"

  ; Only the service is stopped, and only when it runs this folder's
  ; agent.exe; whatever else holds a program makes the install stop here.
  Call FindService
  ${If} $ours = 1
    Call StopService
    ${If} ${Errors}
      !insertmacro Fail 3 "$(NoStop)"
    ${EndIf}
  ${EndIf}
  StrCpy $busy ""
  !insertmacro EachProgram CheckInUse
  StrCpy $R0 "uninstall.exe"
  Call CheckInUse
  ${If} $busy != ""
    Call RestartService
    !insertmacro Fail 3 "$(InUse)"
  ${EndIf}

  ; Every new file is written beside its old one before any is replaced.
  StrCpy $failed ""
  !insertmacro EachFile Stage
  StrCpy $swapped "|"
  StrCpy $aside "|"
  ${If} $failed != ""
    !insertmacro FailPutBack "$(NoCopy)$failed."
  ${EndIf}
  !insertmacro EachFile SwapIn
  ${If} $failed != ""
    !insertmacro FailPutBack "$(NoCopy)$failed."
  ${EndIf}

  ${If} $oldImage == ""
    nsExec::ExecToLog '"$INSTDIR\agent.exe" /reg'
    Pop $state
    StrCpy $registered 1
  ${ElseIf} $ours != 1
    ; The service of another folder moves here.
    Call StopService
    ${If} ${Errors}
      !insertmacro FailPutBack "$(NoStop)"
    ${EndIf}
    StrCpy $R0 '"$INSTDIR\agent.exe"'
    Call MoveService
    ${If} ${Errors}
      !insertmacro FailPutBack "$(NoMove)"
    ${EndIf}
    DetailPrint "$(Moved)"
  ${EndIf}
  ; A service the engineer disabled stays so: Windows would refuse to start
  ; it, and that is no reason to undo the upgrade.
  ReadRegDWORD $R3 HKLM "SYSTEM\CurrentControlSet\Services\${SERVICE}" "Start"
  ${If} $R3 = 4
    DetailPrint "$(Disabled)"
  ${Else}
    Call StartService
    ${If} ${Errors}
      ${If} $state = 1060
        !insertmacro FailPutBack "$(NoRegister)"
      ${EndIf}
      !insertmacro FailPutBack "$(NoStart)"
    ${EndIf}
  ${EndIf}
  !insertmacro EachFile DropOld

  ${If} $oldEntry != ""
  ${AndIf} $oldEntry != $INSTDIR
    DetailPrint "$(EntryMoved)"
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "TAVO 2.0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "TAVO"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TavoTest.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ; _?= runs the uninstaller in place, so that its exit code is its own:
  ; without it, it starts a copy of itself and returns at once.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" _?=$INSTDIR'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\TAVO Test.lnk" "$INSTDIR\TavoTest.exe"
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  StrCpy $broken ""
  Call un.FindService
  ${If} $ours = 1
    Call un.StopService
    ${If} ${Errors}
      !insertmacro Fail 3 "$(NoStop)"
    ${EndIf}
  ${EndIf}
  StrCpy $busy ""
  !insertmacro EachProgram un.CheckInUse
  ${If} $busy != ""
    Call un.RestartService
    !insertmacro Fail 3 "$(UnInUse)"
  ${EndIf}
  ${If} $ours = 1
    Call un.RemoveService
    ${If} ${Errors}
      Call un.RestartService
      !insertmacro Fail 2 "$(NoRemove)"
    ${EndIf}
  ${ElseIf} $oldImage != ""
    DetailPrint "$(OtherService)"
  ${EndIf}

  StrCpy $busy ""
  !insertmacro EachProgram un.DeleteProgram
  ${If} $busy != ""
    !insertmacro Fail 2 "$(NotRemoved)"
  ${EndIf}
  ; The entry and the shortcut are written together: they belong to the
  ; folder the entry names, or to this one when there is no entry.
  ${If} $oldEntry == ""
  ${OrIf} $oldEntry == $INSTDIR
    Delete "${MENU_FOLDER}\TAVO Test.lnk"
    RMDir "${MENU_FOLDER}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${Else}
    DetailPrint "$(OtherEntry)"
  ${EndIf}
  ; Run in place (_?=, as the registered commands run it), the uninstaller
  ; cannot delete itself, nor move itself away (it keeps its own file open):
  ; a copy of it in the temporary folder does, once this one has ended.
  Delete "$INSTDIR\uninstall.exe"
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    GetTempFileName $0
    StrCpy $1 $EXEPATH
    System::Call 'kernel32::CopyFileW(w r1, w r0, i 0) i.r2'
    System::Call 'kernel32::GetCurrentProcessId() i.r1'
    ${If} $2 <> 0
      Exec '"$0" /S /remove-after=$1 _?=$INSTDIR'
    ${Else}
      Delete /REBOOTOK "$INSTDIR\uninstall.exe"
      DetailPrint "$(SelfLater)"
    ${EndIf}
  ${EndIf}
  ; Only an empty folder goes: settings and data stay.
  RMDir "$INSTDIR"
  DetailPrint "$(DataKept)"
SectionEnd

; The copy that removes the uninstaller run in place: it waits until that
; process (/remove-after=its id) has ended.
Function un.onInit
  ${un.GetParameters} $R0
  ClearErrors
  ${un.GetOptions} $R0 "/remove-after=" $R1
  ${IfNot} ${Errors}
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i R1) p.r0'
    ${If} $0 <> 0
      System::Call 'kernel32::WaitForSingleObject(p r0, i 30000) i'
      System::Call 'kernel32::CloseHandle(p r0) i'
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete /REBOOTOK "$EXEPATH"
    Quit
  ${EndIf}
FunctionEnd

; Deletes $R0 from the folder; $busy gets the name when it stays.
Function un.DeleteProgram
  Delete "$INSTDIR\$R0"
  ${If} ${FileExists} "$INSTDIR\$R0"
    StrCpy $busy "$busy $R0"
  ${EndIf}
FunctionEnd
