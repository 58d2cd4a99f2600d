#pragma once
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include "agent_trace.h"
#include "files/byte_buffer.h"
#include "serial_environment.h"
#include "serial_message.h"
#include "system/io_wait.h"

// A connection the far end asked for, made with the PC's own network
// interface.
struct THostConnection {
  std::unique_ptr<IConnection> connection;
  // CONNECTION_CONNECTING until the connect is reported, CONNECTION_LISTENING
  // until a peer is reported, then CONNECTION_CONNECTED.
  int32_t reportState = CONNECTION_CONNECTING;
  // Data from the far end that the socket has not taken yet.
  TByteBuffer unsent;
  // Bytes relayed so far, for the trace: written to the socket, and read
  // from it for the far end.
  uint64_t toHost = 0;
  uint64_t toFarEnd = 0;
};

// The serving role: the connections the far end asked for, keyed by the ids
// it chose, and the relay of their data.
class THostConnectionTable {
 public:
  // The trace must outlive the table.
  THostConnectionTable(ISerialEnvironment& environment, ISerialMessageSender& sender,
                       IAgentTrace& trace = NullAgentTrace());
  ~THostConnectionTable();
  THostConnectionTable(const THostConnectionTable&) = delete;
  THostConnectionTable& operator=(const THostConnectionTable&) = delete;

  // MSG_CONNECT or MSG_LISTEN: a new connection under the id, replacing one
  // in use. Failure at once is reported with MSG_STATUS, also when
  // kMaxConnections are open (RESULT_SOCKET_NO_SOCKET); success later, by
  // Service, once the socket is connected.
  void Open(const TSerialMessage& request);
  // MSG_CLOSE: closes the connection without an answer, once the host has
  // taken what the far end sent before the close (kCloseFlushTime at most);
  // the id is free at once.
  void Close(uint32_t id);
  // MSG_DATA_TO_HOST: writes the data to the connection's socket.
  void Deliver(const TSerialMessage& message);
  // One pass over the connections in ascending id order, round from the one
  // after the last whose host data was read: reports connects and accepts,
  // relays what the hosts sent, and reports and forgets a connection that is
  // gone. The pass ends at the first connection forgotten.
  void Service();
  // Names the sockets on the wait: readable while the link has room for
  // host data, writable while data waits for them, and connecting or
  // listening ones for their connect or peer.
  void Watch(IIoWait& wait);
  // Closes the connection when it is open, and reports it closed to the far
  // end in any case: the far end lost part of its stream.
  void Drop(uint32_t id, THostClose why);
  // Closes every connection without reporting it to the far end; those
  // closing already go on delivering.
  void CloseAll(THostClose why);
  bool Has(uint32_t id) const { return connections_.count(id) != 0; }

  // Host data read per message to the far end.
  static constexpr uint32_t kMaxChunk = 4096;
  // A host that sends faster than the serial line carries is read only
  // while the link has less than this waiting; the rest waits in the socket.
  // The room is shared in turn: a host whose data took some goes behind the
  // others in the next pass, so a flood on one connection delays another
  // connection's data by at most this much of its own.
  static constexpr size_t kMaxBacklog = 32768;
  // Data the far end sent that a socket has not taken. A socket that stays
  // behind by more than this is closed: the stream cannot be kept whole.
  static constexpr size_t kMaxUnsent = 65536;
  // Connections at once, those still delivering after the far end's close
  // among them; each holds a socket and up to kMaxUnsent bytes.
  static constexpr size_t kMaxConnections = 256;
  // How long a connection the far end closed may take to deliver the rest.
  static constexpr uint32_t kCloseFlushTime = 30000;

 private:
  // Writes what the socket can take; false, with the reason, when the
  // connection is to close.
  bool Flush(THostConnection& host, THostClose* why);
  // Sends the host's data to the far end until the socket has no more;
  // answers the connection's new state, and why when it is closed.
  int32_t Relay(uint32_t id, THostConnection& host, THostClose* why);
  void SendClosed(uint32_t id);
  // Forgets a connection, closing its socket.
  void Forget(std::map<uint32_t, THostConnection>::iterator entry, THostClose why);

  // A connection the far end closed while data for its host was waiting.
  struct TClosingHost {
    uint32_t id;
    THostConnection host;
    std::unique_ptr<ITimer> deadline;
  };
  // Writes what the closing hosts take; closes those done or out of time.
  void ServiceClosing();
  // Closes the socket of a closing host, tracing what did not reach it.
  void EndClosing(TClosingHost& closing, THostClose why);

  ISerialEnvironment& environment_;
  ISerialMessageSender& sender_;
  IAgentTrace& trace_;
  std::map<uint32_t, THostConnection> connections_;
  std::list<TClosingHost> closing_;
  // Where the next pass starts: the id after the last one relayed.
  uint32_t passStart_ = 0;
};
