// Console lines and the window title, the progress display of a run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "output/platform.h"

// Input shown in a console line: its control bytes as "?", since shown
// as they are they could drive the user's terminal; C1 bytes too (0x9b is
// an 8-bit CSI).
std::string Shown(std::string_view text);

// Text, then the line end; nothing held back.
void PrintLine(std::string_view text);
// The first failure to write a console line, 0 while there is none.
platform::ErrorCode ConsoleFailure();
// One line on standard error; the console lines stay as they are.
void PrintErrorLine(std::string_view text);
void SetTitle(std::string_view text);

// Units digit of the local clock's seconds, '0' to '9'; cheap enough to ask
// once per address.
char SecondsUnitsDigit();

// The rate limit of the progress title, with the clock and the title as
// parameters so that it can be driven by a test clock: show(address) at
// most once per change of the seconds' units digit.
template <class Address, class Clock, class Show>
inline void StepProgressTitle(char& lastSecond, Address address, Clock&& readDigit, Show&& show) {
  char digit = readDigit();
  if (digit == lastSecond) return;
  show(address);
  lastSecond = readDigit();  // the newer reading, if the second moved on
}

// The run's progress title: show(value) at most once per change of the
// local clock's seconds' units digit, which this keeps.
void StepRunTitle(std::int64_t value, void (*show)(std::int64_t));
