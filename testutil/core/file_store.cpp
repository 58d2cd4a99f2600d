#include "file_store.h"

std::wstring CannotWriteText(const std::wstring& path, long errorCode) {
  return L"Не удалось записать файл " + path + L" (код ошибки " + std::to_wstring(errorCode) + L")";
}
