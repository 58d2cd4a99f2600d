#pragma once

// Processor time this process has used so far, all its threads, user and
// system, in seconds.
double ProcessorSeconds();
