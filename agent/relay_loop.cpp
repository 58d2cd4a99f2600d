#include "relay_loop.h"
#include <memory>
#include "net/network.h"
#include "relay_link.h"
#include "system/keyboard.h"

namespace {

// The longest a relay turn waits for the link to have something to do; the
// pause before a reopen is read in turns of the same length.
constexpr uint32_t kPollInterval = 20;
constexpr uint32_t kEnabledCheckInterval = 5000;
constexpr uint32_t kReopenPause = 5000;

// A key waiting on the console, 0 when there is none. The keyboard device is
// made on first use, so a service never touches the terminal.
char TakeKey(IRelayEnvironment& environment) {
  auto* keyboard = dynamic_cast<IKeyboard*>(environment.GetDevice(DEVICE_KEYBOARD, 0));
  return keyboard ? keyboard->GetKey() : 0;
}

// Reads agent.ini, which also sets the trace level, and traces the switch.
bool ReadEnabled(IRelayEnvironment& environment) {
  const bool enabled = environment.ReadSettings().enabled;
  environment.GetTrace().AgentEnabled(enabled);
  return enabled;
}

// Pumps an open link until the agent is disabled, a stop is requested, the
// port's device fails, or (in console mode) a key is pressed; answers which,
// with the port's reason when it failed.
TPortClose Relay(TAgentState& state, bool console, IRelayEnvironment& environment, IRelayLink& link,
                 TResult* failure) {
  std::unique_ptr<ITimer> enabledCheck(environment.CreateTimer(kEnabledCheckInterval));
  // The console is read every 20 ms as before, not on every wake: under
  // Wine each look at it is a call to another process.
  std::unique_ptr<ITimer> keyCheck(environment.CreateTimer(kPollInterval));
  for (;;) {
    if (link.HasSession()) link.Poll();
    if (link.PortFailed(failure)) return TPortClose::DeviceFailed;
    environment.WaitForLink(link, kPollInterval);
    if (enabledCheck->IsExpired()) {
      if (!ReadEnabled(environment)) return TPortClose::Disabled;
      enabledCheck->Restart(kEnabledCheckInterval);
    }
    if (state.IsStopRequested()) return TPortClose::Stop;
    if (console && keyCheck->IsExpired()) {
      keyCheck->Restart(kPollInterval);
      if (TakeKey(environment) != 0) {
        state.RequestStop();
        return TPortClose::Stop;
      }
    }
  }
}

// Waits out the pause before the next open in relay turns, so that a stop
// request (or, in console mode, a key) ends the loop at once instead of
// after the pause; true when the loop is to end.
bool PauseUnlessStopped(TAgentState& state, bool console, IRelayEnvironment& environment) {
  std::unique_ptr<ITimer> pause(environment.CreateTimer(kReopenPause));
  for (;;) {
    if (state.IsStopRequested()) return true;
    if (console && TakeKey(environment) != 0) {
      state.RequestStop();
      return true;
    }
    if (pause->IsExpired()) return false;
    environment.Delay(kPollInterval);
  }
}

}  // namespace

void RunRelayLoop(TAgentState& state, bool console, IRelayEnvironment& environment) {
  const uint16_t comPort = state.GetComPort();
  if (comPort == 0) return;
  auto* link = dynamic_cast<IRelayLink*>(environment.GetDevice(DEVICE_USB_LINK, comPort));
  auto* network = dynamic_cast<INetworkInterface*>(environment.GetDevice(DEVICE_ETHERNET, 0));
  if (!link || !network) return;

  IAgentTrace& trace = environment.GetTrace();
  link->SetTrace(trace);
  for (;;) {
    const bool running = ReadEnabled(environment) && link->OpenLink(false).GetCode() == 0;
    if (running) {
      network->Open();
      TResult failure;
      const TPortClose why = Relay(state, console, environment, *link, &failure);
      trace.PortClosing(comPort, why, failure);
      network->Close();
      link->Close();
    }
    if (PauseUnlessStopped(state, console, environment)) break;
  }
  trace.AgentStops();
  // The link outlives the loop, its trace does not.
  link->SetTrace(NullAgentTrace());
}

void RunRelayLoop(TAgentState& state, bool console) {
  TSystemRelayEnvironment environment;
  RunRelayLoop(state, console, environment);
}
