// The run sequence: banner, command decisions, generation, exit status.
#pragma once

#include "output/command_tail.h"

// 0 after help or a complete run, 1 for rejected input, 2 when an output
// file could not be written in full.
int RunZonquist(const platform::CommandLine& commandLine);

// The last console line of a run that is not complete: how many of its
// files were not written. Allocates nothing.
void SayNotDone() noexcept;
