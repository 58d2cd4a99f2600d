#pragma once
#include <string>

#include "com_server.h"
#include "core_library.h"
#include "payment_core.h"

// The two channels to the payment core as the transactions see them: the
// COM server object and the library's exports with their fixed records.

class TComChannel final : public ICoreCom {
 public:
  // CreateComServer: true when the object exists afterwards.
  bool CreateComServer();
  void ReleaseComServer() { server_.Release(); }

  bool ComReady() const override { return server_.IsCreated(); }
  void Clear() override { server_.Clear(); }
  void Sparam(const std::wstring& name, int32_t value) override { server_.Sparam(name, value); }
  int32_t NFun(int32_t function) override { return server_.NFun(function); }
  std::wstring GParamString(const std::wstring& name) override { return server_.GParamString(name); }
  int32_t GParamInt(const std::wstring& name) override { return server_.GParamInt(name); }

 private:
  TComServer server_;
};

class TLibraryChannel final : public ICoreLibrary {
 public:
  bool Load(const std::wstring& path) override { return library_.Load(path); }
  void Unload() override { library_.Unload(); }
  bool IsAvailable(CoreEntry entry) const override;
  int32_t TestPinpad() override;
  int32_t ServiceMenu(TCoreRecord& answer) override;
  int32_t CloseDay(TCoreRecord& answer) override;
  int32_t GetStatistics(TCoreRecord& answer) override;
  int32_t CardAuthorize6(TCoreRecord& answer) override;
  int32_t ReadCardFull(std::string& cardNumber, std::string& expiry) override;

 private:
  TCoreLibrary library_;
};
