#include "output/command_tail.h"

namespace platform {

std::string_view WindowsCommandTail(std::string_view commandLine) {
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    std::size_t close = commandLine.find('"', 1);
    i = close == std::string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) > 32) ++i;
  }
  while (i < commandLine.size() && commandLine[i] == ' ') ++i;
  return commandLine.substr(i);
}

CommandLine WindowsCommandWords(std::string_view text) {
  CommandLine line{std::string(text), {}};
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  for (std::size_t i = 0;;) {
    while (i < text.size() && blank(text[i])) ++i;
    if (i == text.size()) return line;
    CommandWord word;
    word.begin = i;
    bool quoted = false;
    while (i < text.size() && (quoted || !blank(text[i]))) {
      std::size_t slashes = 0;
      while (i < text.size() && text[i] == '\\') ++slashes, ++i;
      if (i < text.size() && text[i] == '"') {
        // 2n backslashes and a quote: n backslashes and the quote's turn;
        // 2n + 1: n and a plain quote.
        word.value.append(slashes / 2, '\\');
        if (slashes % 2 == 1) {
          word.value += '"';
        } else if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
          word.value += '"';  // "" inside quotes
          ++i;
        } else {
          quoted = !quoted;
        }
        ++i;
      } else {
        word.value.append(slashes, '\\');
        if (i < text.size() && (quoted || !blank(text[i]))) word.value += text[i++];
      }
    }
    word.end = i;
    line.words.push_back(std::move(word));
  }
}

CommandLine JoinedArguments(const std::vector<std::string>& arguments) {
  CommandLine line;
  for (const std::string& a : arguments) {
    if (!line.text.empty() || !line.words.empty()) line.text += ' ';
    line.words.push_back({line.text.size(), line.text.size() + a.size(), a});
    line.text += a;
  }
  return line;
}

}  // namespace platform
