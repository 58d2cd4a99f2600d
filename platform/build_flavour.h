#pragma once
// The platform layer is compiled twice: once into the agent and once into the
// updater. The two products differ in a few places (idle chain, logging,
// device types, file handling); this constant tells which one is being built.
#ifndef TAVO_AGENT_BUILD
#error "TAVO_AGENT_BUILD must be defined to 0 (updater) or 1 (agent) by the build"
#endif

constexpr bool kAgentBuild = TAVO_AGENT_BUILD != 0;
