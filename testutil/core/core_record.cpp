#include "core_record.h"

#include <optional>

#include "ansi_text.h"
#include "decimal_text.h"
#include "unexpected_error.h"

int32_t ResponseCodeOf(const TCoreRecord& record) {
  const std::string code = FieldText(record.responseCode);
  const std::optional<int32_t> value = ParseInt32(code);
  if (!value) throw TUnexpectedError(L"Код ответа платежного ядра не является числом: \"" + AnsiToWide(code) + L"\"");
  return *value;
}

std::string FieldText(const std::string& field) { return field.substr(0, field.find('\0')); }
