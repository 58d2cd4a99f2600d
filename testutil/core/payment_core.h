#pragma once
#include <cstdint>
#include <string>

#include "core_record.h"

// The two channels to the payment core. Any call may throw (a failing
// automation call, an unreadable answer): that ends the operation as an
// unexpected error.

// The payment core's COM server "DLFXSRV.Server", called late-bound by method
// name. The window side creates and releases the object (CreateComServer,
// ReleaseComServer) and forwards these calls to it; a failing call throws.
class ICoreCom {
 public:
  virtual ~ICoreCom() = default;
  // Whether the server object exists (created and not released since).
  virtual bool ComReady() const = 0;
  virtual void Clear() = 0;
  virtual void Sparam(const std::wstring& name, int32_t value) = 0;
  // 0 is success, anything else a result code.
  virtual int32_t NFun(int32_t function) = 0;
  virtual std::wstring GParamString(const std::wstring& name) = 0;
  // A parameter read as an integer ("AmountClear").
  virtual int32_t GParamInt(const std::wstring& name) = 0;
};

// The entry points of corvo_nt.dll the operations call (the library's
// _GetTerminalID is resolved by the window side but never called).
enum class CoreEntry { TestPinpad, ServiceMenu, CloseDay, CardAuthorize6, GetStatistics, ReadCardFull };

// The payment core library corvo_nt.dll. Whether and from where to load it is
// decided here (EnsureCoreLibrary); the window side loads the file it is
// given, resolves the exports by name and calls them with the records of
// core_answer.h, converted as TCoreRecord says. Every call returns the
// export's result: 0 for success, else a result code.
class ICoreLibrary {
 public:
  virtual ~ICoreLibrary() = default;
  // Loads the file (a full path, or a bare name for the system's search) and
  // resolves the exports; false when the file does not load.
  virtual bool Load(const std::wstring& path) = 0;
  virtual void Unload() = 0;
  // Whether the loaded library exports the entry point.
  virtual bool IsAvailable(CoreEntry entry) const = 0;

  // _TestPinpad()
  virtual int32_t TestPinpad() = 0;
  // _ServiceMenu, _close_day, _get_statistics: a zeroed TCoreAnswer holding
  // the record's operation type and amount.
  virtual int32_t ServiceMenu(TCoreRecord& answer) = 0;
  virtual int32_t CloseDay(TCoreRecord& answer) = 0;
  virtual int32_t GetStatistics(TCoreRecord& answer) = 0;
  // _card_authorize6(nullptr, block): a zeroed TCoreAnswerEx whose answer
  // holds the record's operation type and amount; the answer part comes back.
  virtual int32_t CardAuthorize6(TCoreRecord& answer) = 0;
  // _ReadCardFull with a zeroed 30-byte card number buffer and a zeroed
  // 6-byte expiry buffer; both come back whole, all 30 and 6 bytes.
  virtual int32_t ReadCardFull(std::string& cardNumber, std::string& expiry) = 0;
};
