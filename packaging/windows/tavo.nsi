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

!define MUI_ABORTWARNING
; The details stay on screen: they tell whether the service was registered.
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(FolderText)"
!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(KeptText)"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString FolderText ${LANG_RUSSIAN} "Выберите рабочий каталог платёжного ядра: туда будут установлены agent.exe, Updater.dll и TavoTest.exe. Имеющиеся там файлы настроек (*.ini) и данные сохраняются."
LangString FolderText ${LANG_ENGLISH} "Choose the payment core's working directory: agent.exe, Updater.dll and TavoTest.exe go there. Settings files (*.ini) and data already there are kept."
LangString KeptText ${LANG_RUSSIAN} "Будут удалены служба Tavo2Agent, программы agent.exe, Updater.dll, TavoTest.exe и ярлык в меню «Пуск». Настройки (*.ini) и данные (pay_stack, Cheque, qetrace.txt, agent-trace*.txt, Update, Trace) остаются в папке:"
LangString KeptText ${LANG_ENGLISH} "The service Tavo2Agent, the programs agent.exe, Updater.dll, TavoTest.exe and the Start menu shortcut will be removed. Settings (*.ini) and data (pay_stack, Cheque, qetrace.txt, agent-trace*.txt, Update, Trace) stay in the folder:"
LangString NoFolder ${LANG_RUSSIAN} "Не удалось создать папку $INSTDIR"
LangString NoFolder ${LANG_ENGLISH} "Cannot create the folder $INSTDIR"
LangString NoStop ${LANG_RUSSIAN} "Служба ${SERVICE} не остановилась за 30 секунд"
LangString NoStop ${LANG_ENGLISH} "The service ${SERVICE} did not stop within 30 seconds"
LangString NoRemove ${LANG_RUSSIAN} "Не удалось удалить службу ${SERVICE}"
LangString NoRemove ${LANG_ENGLISH} "Cannot remove the service ${SERVICE}"
LangString NoCopy ${LANG_RUSSIAN} "Не удалось записать программы в $INSTDIR"
LangString NoCopy ${LANG_ENGLISH} "Cannot write the programs into $INSTDIR"
LangString NoRegister ${LANG_RUSSIAN} "agent.exe /reg не зарегистрировал службу ${SERVICE}"
LangString NoRegister ${LANG_ENGLISH} "agent.exe /reg did not register the service ${SERVICE}"
LangString NoStart ${LANG_RUSSIAN} "Не удалось запустить службу ${SERVICE}, ошибка"
LangString NoStart ${LANG_ENGLISH} "Cannot start the service ${SERVICE}, error"
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

; Ends the install or uninstall with a message (none in silent mode) and a
; non-zero exit code.
!macro Fail text
  DetailPrint "${text}"
  MessageBox MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel 2
  Abort "${text}"
!macroend

; RemoveService: stops the service when it runs (the agent honours a stop
; within seconds), deletes it and waits until the service manager has let it
; go. Sets the error flag when it is still there after 30 seconds.
; ServiceGone: the error flag is clear when no service of that name exists.
!macro ServiceFunctions un
Function ${un}RemoveService
  ClearErrors
  System::Call 'advapi32::OpenSCManager(p 0, p 0, i 0xF003F) p.s'
  Pop $scm
  ${If} $scm == 0
    SetErrors
    Return
  ${EndIf}
  ; SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE
  System::Call 'advapi32::OpenService(p $scm, t "${SERVICE}", i 0x10024) p.s'
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
    System::Call 'advapi32::OpenService(p $scm, t "${SERVICE}", i 4) p.s'
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

; Starts the registered service; the error flag is set and $state holds the
; Windows error when it was not registered (1060) or did not start.
Function StartService
  ClearErrors
  StrCpy $state 1060
  System::Call 'advapi32::OpenSCManager(p 0, p 0, i 1) p.s'
  Pop $scm
  System::Call 'advapi32::OpenService(p $scm, t "${SERVICE}", i 0x10) p.s'
  Pop $service
  ${If} $service != 0
    System::Call 'advapi32::StartService(p $service, i 0, p 0) i.s ?e'
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

Section "TAVO 2.0"
  SetShellVarContext all
  ClearErrors
  CreateDirectory "$INSTDIR"
  ${If} ${Errors}
    !insertmacro Fail "$(NoFolder)"
  ${EndIf}
  ; Registered anew below from this folder, so that the service runs the
  ; program installed now even where an earlier one lay elsewhere.
  Call RemoveService
  ${If} ${Errors}
    !insertmacro Fail "$(NoStop)"
  ${EndIf}

  SetOutPath "$INSTDIR"
  ClearErrors
  File "${AGENT}"
  File "${UPDATER}"
  File "${TAVOTEST}"
  ${If} ${Errors}
    !insertmacro Fail "$(NoCopy)"
  ${EndIf}
  ; Samples only where the engineer has no file of his own.
  ${IfNot} ${FileExists} "$INSTDIR\agent.ini"
    File "${SAMPLES}/agent.ini"
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\pinpad.ini"
    File "${SAMPLES}/pinpad.ini"
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\TavoTest.ini"
    File "${SAMPLES}/TavoTest.ini"
  ${EndIf}

  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "TAVO 2.0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "TAVO"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TavoTest.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  CreateDirectory "${MENU_FOLDER}"
  CreateShortcut "${MENU_FOLDER}\TAVO Test.lnk" "$INSTDIR\TavoTest.exe"

  nsExec::ExecToLog '"$INSTDIR\agent.exe" /reg'
  Pop $state
  Call StartService
  ${If} ${Errors}
    ${If} $state = 1060
      !insertmacro Fail "$(NoRegister)"
    ${EndIf}
    !insertmacro Fail "$(NoStart) $state"
  ${EndIf}
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.RemoveService
  ${If} ${Errors}
    !insertmacro Fail "$(NoRemove)"
  ${EndIf}
  Delete "$INSTDIR\agent.exe"
  Delete "$INSTDIR\Updater.dll"
  Delete "$INSTDIR\TavoTest.exe"
  Delete "${MENU_FOLDER}\TAVO Test.lnk"
  RMDir "${MENU_FOLDER}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  Delete "$INSTDIR\uninstall.exe"
  ; Only an empty folder goes: settings and data stay.
  RMDir "$INSTDIR"
  DetailPrint "$(DataKept)"
SectionEnd
