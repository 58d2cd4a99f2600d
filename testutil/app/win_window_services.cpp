#include "win_window_services.h"

#include "host_reachability.h"
#include "locale_texts.h"
#include "pinpad_exchange.h"

TMomentTexts TRegionalTexts::Now() {
  const TDateTimeTexts now = CurrentDateTimeTexts();
  return TMomentTexts{now.date, now.time};
}

std::wstring TRegionalTexts::DecimalSeparator() { return ::DecimalSeparator(); }

std::optional<std::string> TPinpadPort::Exchange(const std::wstring& port, const std::string& command) {
  return ExchangePinpadCommand(port, command);
}

bool THostProbe::IsHostReachable(const std::wstring& address, uint16_t port) {
  return ::IsHostReachable(address, port);
}
