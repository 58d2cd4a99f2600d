#include "win_automation_values.h"

#include <vector>

namespace {

// VariantChangeType follows references, so one conversion serves plain
// values and VT_BYREF ones alike.
HRESULT Converted(const VARIANTARG& argument, VARTYPE type, VARIANT* converted) {
  VariantInit(converted);
  return VariantChangeType(converted, const_cast<VARIANTARG*>(&argument), 0, type);
}

std::string AnsiFromWide(const wchar_t* wide, int length) {
  if (length == 0) return "";
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, &text[0], bytes, nullptr, nullptr);
  return text;
}

}  // namespace

HRESULT Int32Argument(const VARIANTARG& argument, int32_t* value) {
  VARIANT converted;
  const HRESULT result = Converted(argument, VT_I4, &converted);
  if (SUCCEEDED(result)) *value = converted.lVal;
  VariantClear(&converted);
  return FAILED(result) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT TextArgument(const VARIANTARG& argument, std::string* text) {
  VARIANT converted;
  const HRESULT result = Converted(argument, VT_BSTR, &converted);
  if (SUCCEEDED(result)) {
    *text = AnsiFromWide(converted.bstrVal, static_cast<int>(SysStringLen(converted.bstrVal)));
  }
  VariantClear(&converted);
  return FAILED(result) ? DISP_E_TYPEMISMATCH : S_OK;
}

BSTR BstrFromAnsi(const std::string& text) {
  const int length = static_cast<int>(text.size());
  const int characters = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  std::vector<wchar_t> wide(static_cast<size_t>(characters) + 1);
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), characters);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(characters));
}
