#include "card_texts.h"

#include <algorithm>

std::wstring FormatCardNumber(const std::wstring& cardNumber) {
  std::wstring text = cardNumber;
  for (size_t position : {4u, 9u, 14u}) text.insert(std::min<size_t>(position, text.size()), 1, L' ');
  return text;
}

std::wstring FormatExpiry(const std::wstring& expiry) {
  if (expiry.size() < 4) return expiry;
  return expiry.substr(expiry.size() - 2) + L"/" + expiry.substr(0, 2);
}
