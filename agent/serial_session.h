#pragma once
#include <cstdint>
#include <map>
#include "agent_trace.h"
#include "files/byte_buffer.h"
#include "host_connection_table.h"
#include "serial_environment.h"
#include "serial_link.h"
#include "serial_message.h"

class TLoopbackConnection;
class TSerialOutConnection;

// One open serial link with the connections multiplexed over it: those the
// far end asked this side to make (host connections, owned here) and those
// this side asked the far end to make (client connections and local
// listeners, owned by whoever asked for them).
class TSerialSession : public ISerialMessageSender {
 public:
  // Takes the serial port connection. The environment and the trace must
  // outlive the session.
  TSerialSession(IConnection* port, ISerialEnvironment& environment, IAgentTrace& trace = NullAgentTrace());
  ~TSerialSession() override;
  TSerialSession(const TSerialSession&) = delete;
  TSerialSession& operator=(const TSerialSession&) = delete;

  // Tells the far end that every connection of an earlier session is void.
  // The reset goes out once; the link stays down until the far end answers.
  void SendReset();
  // Answers a frame that has come on the line, then services the host
  // connections and handles received messages, one per pass, until no whole
  // message is left; true when one was handled.
  bool Poll();
  // Polls for up to 3 seconds until the far end has confirmed the link;
  // answers whether it has.
  bool WaitLink();
  bool IsLinkUp() const { return !link_.IsDown(); }
  // Names on the wait what would give the next Poll something to do: bytes
  // from the far end, data from the hosts or room for data to them, and the
  // link's acknowledgement timeout.
  void Watch(IIoWait& wait);

  bool SendMessage(const TSerialMessage& message) override;
  size_t GetBacklog() const override { return link_.GetBacklog(); }

  // Client connections and local listeners register themselves for their
  // lifetime; an entry is removed only by the object it names.
  void RegisterClient(uint32_t id, TSerialOutConnection* connection);
  void UnregisterClient(uint32_t id, TSerialOutConnection* connection);
  void RegisterListener(uint16_t port, TLoopbackConnection* listener);
  void UnregisterListener(uint16_t port, TLoopbackConnection* listener);

  static constexpr uint32_t kLinkWait = 3000;

 private:
  void Dispatch(const TSerialMessage& message);
  void HandleReset();
  // The far end's link gave up the message it was sending (it fell silent
  // in the middle): what came of it is dropped, and the connection whose
  // stream now has a hole is closed both ways.
  void DropAbandonedMessage();
  // Messages this side's link dropped, and its own reopening: the far end
  // never learns of them unless told, so each connection that lost a
  // message is closed both ways, and on a reopen every one.
  void HandleLinkLosses();
  // Closes the connection a lost message of the type belonged to: a host
  // connection, reported closed to the far end, or a client connection.
  void CloseLost(uint8_t type, uint32_t id, bool fromFarEnd, THostClose why);

  ISerialEnvironment& environment_;
  IAgentTrace& trace_;
  TSerialLink link_;
  std::map<uint32_t, TSerialOutConnection*> clients_;  // not owned
  THostConnectionTable hosts_;
  std::map<uint16_t, TLoopbackConnection*> listeners_;  // not owned
  TByteBuffer messages_;
};
