#include "win_core_channels.h"

#include <cstring>
#include <stdexcept>

namespace {

TCoreAnswer ToAnswer(const TCoreRecord& record) {
  TCoreAnswer answer;
  std::memset(&answer, 0, sizeof answer);
  answer.operationType = record.operationType;
  answer.amount = record.amount;
  return answer;
}

void FromAnswer(const TCoreAnswer& answer, TCoreRecord& record) {
  record.operationType = answer.operationType;
  record.amount = answer.amount;
  record.responseCode.assign(answer.responseCode, sizeof answer.responseCode);
  record.message.assign(answer.message, sizeof answer.message);
  // The text belongs to the library; it is copied before anything else runs.
  record.text = answer.text ? std::string(answer.text) : std::string();
}

template <typename Export>
Export Require(Export entry) {
  if (!entry) throw std::logic_error("payment core entry point called while not available");
  return entry;
}

// An export that takes one answer record: filled from record, called, and
// copied back.
template <typename Export>
int32_t CallWithAnswer(Export entry, TCoreRecord& record) {
  TCoreAnswer answer = ToAnswer(record);
  const int32_t result = Require(entry)(&answer);
  FromAnswer(answer, record);
  return result;
}

}  // namespace

bool TComChannel::CreateComServer() {
  server_.Release();
  return server_.Create();
}

bool TLibraryChannel::IsAvailable(CoreEntry entry) const {
  const TCoreEntryPoints& points = library_.EntryPoints();
  switch (entry) {
    case CoreEntry::TestPinpad:
      return points.testPinpad != nullptr;
    case CoreEntry::ServiceMenu:
      return points.serviceMenu != nullptr;
    case CoreEntry::CloseDay:
      return points.closeDay != nullptr;
    case CoreEntry::CardAuthorize6:
      return points.cardAuthorize6 != nullptr;
    case CoreEntry::GetStatistics:
      return points.getStatistics != nullptr;
    case CoreEntry::ReadCardFull:
      return points.readCardFull != nullptr;
  }
  return false;
}

int32_t TLibraryChannel::TestPinpad() { return Require(library_.EntryPoints().testPinpad)(); }

int32_t TLibraryChannel::ServiceMenu(TCoreRecord& record) {
  return CallWithAnswer(library_.EntryPoints().serviceMenu, record);
}

int32_t TLibraryChannel::CloseDay(TCoreRecord& record) { return CallWithAnswer(library_.EntryPoints().closeDay, record); }

int32_t TLibraryChannel::GetStatistics(TCoreRecord& record) {
  return CallWithAnswer(library_.EntryPoints().getStatistics, record);
}

int32_t TLibraryChannel::CardAuthorize6(TCoreRecord& record) {
  TCoreAnswerEx block;
  std::memset(&block, 0, sizeof block);
  block.answer = ToAnswer(record);
  const int32_t result = Require(library_.EntryPoints().cardAuthorize6)(nullptr, &block);
  FromAnswer(block.answer, record);
  return result;
}

int32_t TLibraryChannel::ReadCardFull(std::string& cardNumber, std::string& expiry) {
  char card[30] = {};
  char date[6] = {};
  const int32_t result = Require(library_.EntryPoints().readCardFull)(card, date);
  cardNumber.assign(card, sizeof card);
  expiry.assign(date, sizeof date);
  return result;
}
