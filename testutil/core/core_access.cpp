#include "core_access.h"

TCoreAccess::TCoreAccess(ICoreCom& com, ICoreLibrary& library, IWorkDirChooser& chooser, IStatusPanel& status,
                         ILogLines& log)
    : com_(com), library_(library), chooser_(chooser), status_(status), log_(log) {}

ICoreCom* TCoreAccess::Com() { return com_.ComReady() ? &com_ : nullptr; }

ICoreLibrary* TCoreAccess::Library(CoreEntry entry) {
  if (com_.ComReady() || !EnsureCoreLibrary() || !library_.IsAvailable(entry)) return nullptr;
  return &library_;
}

bool TCoreAccess::ChooseWorkDir() {
  TakeWorkDir(chooser_.Choose());
  return !workDir_.empty();
}

bool TCoreAccess::EnsureCoreLibrary() {
  if (libraryLoaded_) return true;
  libraryLoaded_ = true;
  if (workDir_.empty()) TakeWorkDir(chooser_.Choose());
  if (!library_.Load(workDir_ + L"corvo_nt.dll")) {
    log_.Add(L"Библиотека не найдена!");
    libraryLoaded_ = false;
    return false;
  }
  return true;
}

void TCoreAccess::FreeCoreLibrary() {
  libraryLoaded_ = false;
  library_.Unload();
}

void TCoreAccess::TakeWorkDir(const std::wstring& workDir) {
  workDir_ = workDir;
  status_.SetText(L"Рабочий каталог TAVO: " + workDir_);
}
