// The command text of a raw Windows command line, which the program gets
// whole; kept apart from the Windows backend so that it is tested anywhere.
#pragma once

#include <string_view>

namespace platform {

// The tail of a raw command line: a quoted program name runs to the next
// quote inclusive, an unquoted one to the first character of code 32 or
// less; the spaces after it are skipped.
std::string_view WindowsCommandTail(std::string_view commandLine);

}  // namespace platform
