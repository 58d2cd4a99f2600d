#pragma once

class IUpdaterSystem;
class TCorvoEnvironment;
class TSystemTracer;

// Everything an update run reaches beyond its own objects, handed to the
// session, the exchange, the commands and the HTTP client by whoever builds
// them. None of it is owned by them; it outlives them.
struct TUpdaterContext {
  IUpdaterSystem* system;
  TSystemTracer* tracer;
  TCorvoEnvironment* terminal;
};

// The process's own: the platform's system object, the process tracer, and
// the terminal environment with "CONFIG.INI" read on first use.
TUpdaterContext ProcessUpdaterContext();
