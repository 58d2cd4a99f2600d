#include "win_tavo_test.h"

#include <vector>

#include "com_registration.h"
#include "processing_hosts.h"
#include "program_directory.h"
#include "serial_port_list.h"

TTavoTest::TTavoTest(HINSTANCE instance)
    : instance_(instance),
      form_(*this),
      status_([this](const std::wstring& text) { form_.SetStatusText(text); }),
      chooser_(dirDialog_, [this] { return form_.Handle(); }),
      programDir_(ProgramDirectory()),
      transactions_(TTransactionsBindings{form_.Log(), status_, chooser_, com_, library_, files_, regional_,
                                          programDir_}) {}

bool TTavoTest::Start(int showCommand) {
  return form_.Create(instance_, showCommand) && dirDialog_.Create(instance_);
}

int TTavoTest::Run() {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (form_.TranslateDialogMessage(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void TTavoTest::FormCreate() {
  RefreshPorts();
  form_.Log().Add(L"");
  transactions_.InitTransactions();
}

void TTavoTest::FormClose() {
  transactions_.FreeCoreLibrary();
  com_.ReleaseComServer();
}

void TTavoTest::PageChanged(TPage page) {
  if (page == TPage::Tests) {
    com_.ReleaseComServer();
    RefreshPorts();
  } else {
    ShowRegistrationState();
  }
}

void TTavoTest::Click(TControlId id) {
  switch (id) {
    case ID_BTN5:
      RefreshPorts();
      break;
    case ID_BTN4:
      ProbePort(form_.Log(), pinpad_, form_.SelectedPort());
      break;
    case ID_BTN3:
      ProbeAll();
      break;
    case ID_BTN10:
      CheckHosts();
      break;
    case ID_BTN13:
      transactions_.ChangeWorkDir();
      break;
    case ID_BTN14:
      RegisterComServer(false);
      break;
    case ID_BTN15:
      RegisterComServer(true);
      break;
    case ID_BTN16:
      ShowRegistrationState();
      break;
    case ID_BTN1:
      transactions_.Reconcile();
      break;
    case ID_BTN7:
      transactions_.RunAutoTest();
      break;
    case ID_BTN2:
      transactions_.CardOperation(OperationKind::Payment, 1);
      break;
    case ID_BTN9:
      transactions_.CardOperation(OperationKind::Payment, 0);
      break;
    case ID_BTN11:
      transactions_.CardOperation(OperationKind::Cancellation, 0);
      break;
    case ID_BTN12:
      transactions_.CardOperation(OperationKind::Refund, 1);
      break;
    case ID_BTN17:
      transactions_.PinpadTest();
      break;
    case ID_BTN18:
      transactions_.RunServiceMenu();
      break;
    case ID_BTN19:
      transactions_.RunCardReading(form_.IsChecked(ID_CHK1));
      break;
    case ID_BTN6:
      WithPortFree([this] { ShowKeyStatus(form_.Log(), pinpad_, form_.SelectedPort()); });
      break;
    case ID_BTN8: {
      const PinpadKey key = form_.IsChecked(ID_RB2) ? PinpadKey::Mac : PinpadKey::Pin;
      WithPortFree([this, key] { DeleteKey(form_.Log(), pinpad_, form_.SelectedPort(), key); });
      break;
    }
    default:
      break;
  }
}

void TTavoTest::RefreshPorts() {
  const std::vector<std::wstring> ports = ListSerialPorts();
  form_.SetPorts(ports.data(), ports.size());
  ShowPortList(form_.Log(), ports);
}

void TTavoTest::ProbeAll() {
  const std::vector<std::wstring> ports = ListSerialPorts();
  form_.SetPorts(ports.data(), ports.size());
  ProbeAllPorts(form_.Log(), pinpad_, ports);
}

void TTavoTest::ShowRegistrationState() {
  const bool registered = com_.CreateComServer();
  form_.SetRegistrationLabel(RegistrationLabelText(registered), !registered);
  transactions_.ReportRegistrationState();
}

void TTavoTest::RegisterComServer(bool unregister) {
  form_.Log().Clear();
  for (const wchar_t* file : {L"dlfx.dll", L"dlfxcom.dll"}) {
    const std::wstring path = transactions_.WorkDir() + file;
    if (unregister) {
      StartComServerUnregistration(form_.Handle(), path);
    } else {
      StartComServerRegistration(form_.Handle(), path);
    }
  }
}

void TTavoTest::CheckHosts() {
  const TProcessingHosts hosts = LoadProcessingHosts(programDir_ + kProcessingHostsFileName);
  CheckProcessingHosts(form_.Log(), hosts_, hosts.first, hosts.second, hosts.firstPort, hosts.secondPort,
                       hosts.notes);
}

template <typename Exchange>
void TTavoTest::WithPortFree(Exchange exchange) {
  com_.ReleaseComServer();
  try {
    exchange();
  } catch (...) {
    com_.CreateComServer();
    throw;
  }
  com_.CreateComServer();
}
