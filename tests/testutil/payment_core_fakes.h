#pragma once
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "payment_core.h"
#include "window_services.h"

// The payment core's two channels and the window around the transactions,
// scripted by the tests and recording what they were asked.

// Calls are recorded as text: "Clear", "Sparam Amount=1", "NFun 4000",
// "GParamString Cheque", "GParamInt AmountClear".
class TFakeCom final : public ICoreCom {
 public:
  bool ComReady() const override { return ready; }
  void Clear() override { calls.push_back(L"Clear"); }
  void Sparam(const std::wstring& name, int32_t value) override {
    calls.push_back(L"Sparam " + name + L"=" + std::to_wstring(value));
  }
  // The scripted results in turn; 0 once they run out.
  int32_t NFun(int32_t function) override {
    calls.push_back(L"NFun " + std::to_wstring(function));
    if (results.empty()) return 0;
    const int32_t result = results.front();
    results.pop_front();
    return result;
  }
  std::wstring GParamString(const std::wstring& name) override {
    calls.push_back(L"GParamString " + name);
    return strings[name];
  }
  int32_t GParamInt(const std::wstring& name) override {
    calls.push_back(L"GParamInt " + name);
    return integers[name];
  }

  bool ready = true;
  std::deque<int32_t> results;
  std::map<std::wstring, std::wstring> strings;
  std::map<std::wstring, int32_t> integers;
  std::vector<std::wstring> calls;
};

// Calls are recorded as "CardAuthorize6 type=3 amount=1" and the like. Every
// call returns `result` (card reads take readResults first) and, on 0, a
// record call hands back `answer` with the operation type and amount it was
// given (or answer's own amount when answerSetsAmount).
class TFakeLibrary final : public ICoreLibrary {
 public:
  bool Load(const std::wstring& path) override {
    loads.push_back(path);
    loaded = loadable;
    return loadable;
  }
  void Unload() override { loaded = false; }
  bool IsAvailable(CoreEntry entry) const override { return loaded && missing.count(entry) == 0; }

  int32_t TestPinpad() override {
    calls.push_back(L"TestPinpad");
    return result;
  }
  int32_t ServiceMenu(TCoreRecord& record) override { return Answer(L"ServiceMenu", record); }
  int32_t CloseDay(TCoreRecord& record) override { return Answer(L"CloseDay", record); }
  int32_t GetStatistics(TCoreRecord& record) override { return Answer(L"GetStatistics", record); }
  int32_t CardAuthorize6(TCoreRecord& record) override { return Answer(L"CardAuthorize6", record); }
  int32_t ReadCardFull(std::string& cardNumber, std::string& expiry) override {
    calls.push_back(L"ReadCardFull");
    int32_t read = result;
    if (!readResults.empty()) {
      read = readResults.front();
      readResults.pop_front();
    }
    cardNumber = cardBuffer;
    expiry = expiryBuffer;
    return read;
  }

  bool loadable = true;
  bool loaded = false;
  std::set<CoreEntry> missing;
  int32_t result = 0;
  TCoreRecord answer{0, 0, std::string("000", 3), std::string(16, '\0'), ""};
  bool answerSetsAmount = false;
  std::deque<int32_t> readResults;
  std::string cardBuffer = std::string(30, '\0');
  std::string expiryBuffer = std::string(6, '\0');
  std::vector<std::wstring> loads;
  std::vector<std::wstring> calls;

 private:
  int32_t Answer(const wchar_t* name, TCoreRecord& record) {
    calls.push_back(std::wstring(name) + L" type=" + std::to_wstring(record.operationType) + L" amount=" +
                    std::to_wstring(record.amount));
    if (result != 0) return result;
    TCoreRecord filled = answer;
    filled.operationType = record.operationType;
    if (!answerSetsAmount) filled.amount = record.amount;
    record = filled;
    return 0;
  }
};

class TFakeChooser final : public IWorkDirChooser {
 public:
  std::wstring Choose() override {
    ++shown;
    return result;
  }
  std::wstring result = L"D:\\TAVO\\";
  int shown = 0;
};

class TFakeStatus final : public IStatusPanel {
 public:
  void SetText(const std::wstring& value) override { text = value; }
  std::wstring text = L"Рабочий каталог TAVO:  НЕ ЗАДАН";
};

class TFakeRegional final : public IRegionalTexts {
 public:
  TMomentTexts Now() override { return {L"07.12.2026", L"14:05:09"}; }
  std::wstring DecimalSeparator() override { return L","; }
};
