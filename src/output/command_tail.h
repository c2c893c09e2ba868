// The command line as the program gets it: the text after the program name
// and its words. Kept apart from the platform files so that it is tested
// anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct CommandWord {
  std::size_t begin = 0, end = 0;  // where it stands in the text, quotes included
  std::string value;               // as the program takes it, quotes removed
};
struct CommandLine {
  std::string text;
  std::vector<CommandWord> words;
};

// The tail of a raw command line: a quoted program name runs to the next
// quote inclusive, an unquoted one to the first character of code 32 or
// less; the spaces after it are skipped.
std::string_view WindowsCommandTail(std::string_view commandLine);
// The words of a Windows command text, as Windows programs take them:
// blanks and tabs part them, double quotes hold blanks, a backslash before
// a quote makes it a plain one.
CommandLine WindowsCommandWords(std::string_view text);
// The arguments that a shell gave: each one word, the text their join with
// blanks.
CommandLine JoinedArguments(const std::vector<std::string>& arguments);

}  // namespace platform
