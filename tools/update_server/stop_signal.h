#pragma once

// Stop requests (SIGTERM, SIGINT) are taken by one waiting thread instead of
// an asynchronous handler, so that stopping may do anything. Block them
// before any other thread starts; the threads started later inherit that.
void BlockStopSignals();
// Waits for a stop request.
void WaitForStopSignal();
