#pragma once
#include <string>

#include "file_store.h"
#include "log_lines.h"
#include "window_services.h"

// The operation a filed cheque belongs to; it names the file.
enum class ChequeKind { Reconciliation = 0, Payment = 1, Refund = 2, Cancellation = 3 };

// The archive of cheques under the program directory's "Cheque" folder, sorted
// into folders by the cheque's first two lines and its terminal number.
class TChequeArchive {
 public:
  TChequeArchive(IFileStore& files, IRegionalTexts& regional, const ILogLines& log, const std::wstring& programDir);

  // Files the log's current lines (the operation has just shown the cheque
  // there alone) as
  //   Cheque\<line 1>\<line 2>\<terminal>\<prefix><date> в <time>.txt
  // where each folder level is left out when its name comes out empty and a
  // one-line cheque lies in Cheque itself. Does nothing for an empty text. A
  // file of the same name is replaced; one that cannot be written throws.
  void SaveCheque(const std::wstring& text, ChequeKind kind);

 private:
  std::wstring FileName(ChequeKind kind);
  void EnterFolder(std::wstring& folder, const std::wstring& name);

  IFileStore& files_;
  IRegionalTexts& regional_;
  const ILogLines& log_;
  std::wstring root_;
};
