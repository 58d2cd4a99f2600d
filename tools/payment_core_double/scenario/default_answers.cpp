#include "default_answers.h"

#include <cstdlib>

#include "cp1251.h"

const char kDefaultCard[] = "4111111111111111";
const char kDefaultExpiry[] = "2712";
const char kDefaultTerminal[] = "00004711";

namespace {

// Fixed wording is written here in UTF-8; what the answer carries (card,
// terminal, message) is already in the payment core's bytes and is joined
// unconverted.
std::string Text(const char* utf8) { return Cp1251FromUtf8(utf8); }

// The first two lines name the bank and the shop: the cheque archive files
// cheques under them, and cuts a first line longer than the second.
std::string ChequeHead(const TAnswer& answer) {
  return Text("ТЕСТБАНК\r\nМАГАЗИН ТЕСТОВЫЙ\r\nТерминал: ") + answer.terminal + "\r\n";
}

// 150 kopecks print as "1,50".
std::string Roubles(int32_t kopecks) {
  const int64_t whole = static_cast<int64_t>(kopecks);
  const int64_t magnitude = std::llabs(whole);
  std::string cents = std::to_string(magnitude % 100);
  if (cents.size() < 2) cents.insert(0, "0");
  return std::string(whole < 0 ? "-" : "") + std::to_string(magnitude / 100) + "," + cents;
}

std::string MaskedCard(const std::string& card) {
  if (card.size() <= 4) return card;
  return std::string(card.size() - 4, '*') + card.substr(card.size() - 4);
}

std::string CardCheque(const char* title, const TAnswer& answer) {
  return ChequeHead(answer) + Text(title) + "\r\n" + Text("Карта: ") + MaskedCard(answer.card) +
         "\r\n" + Text("Сумма: ") + Roubles(answer.amount) + Text(" руб.\r\nКод ответа: ") +
         answer.responseCode + "\r\n" + answer.message + "\r\n";
}

}  // namespace

std::string DefaultResponseCode(int32_t result) { return result == 0 ? "000" : "999"; }

std::string DefaultMessage(int32_t result) { return Text(result == 0 ? "ОДОБРЕНО" : "ОТКАЗ"); }

std::string DefaultText(TOperation operation, const TAnswer& answer) {
  switch (operation) {
    case TOperation::Payment: return CardCheque("ОПЛАТА", answer);
    case TOperation::Refund: return CardCheque("ВОЗВРАТ", answer);
    case TOperation::Cancellation: return CardCheque("ОТМЕНА", answer);
    case TOperation::Reconciliation:
      return ChequeHead(answer) + Text("СВЕРКА ИТОГОВ\r\nИтоги совпали\r\n");
    case TOperation::Statistics:
      return ChequeHead(answer) + Text("СТАТИСТИКА\r\nНеподтвержденных операций: 0\r\n");
    case TOperation::ServiceMenu:
      return Text("Терминал: ") + answer.terminal + Text("\r\nТехническое обслуживание завершено\r\n");
    case TOperation::PinpadTest:
    case TOperation::CardRead:
    case TOperation::TerminalId:
    case TOperation::Other:
      break;
  }
  return "";
}
