// The matching rules of sgrep, sarvik's own stand-in for "findstr /N /I /P": literal words, any
// of which may match, compared character by character in code page 932 text.
#pragma once

#include <string>
#include <vector>

// The search text split on blanks into words, as findstr takes "foo bar" to mean foo or bar.
std::vector<std::string> SplitWords(const std::string& text);

// True when any word occurs in the line, starting on a character boundary. With ignoreCase, ASCII
// letters match in either case; the second byte of a double-byte character is never folded.
bool LineMatches(const std::string& line, const std::vector<std::string>& words, bool ignoreCase);

// False for content holding control bytes other than tab, line feed, form feed, carriage return
// and end-of-file (0x1A): such files are skipped with /P.
bool IsPrintableText(const std::string& content);

// Calls `emit` with (line number, line text without its line break) for every matching line.
template <class Emit>
void MatchLines(const std::string& content, const std::vector<std::string>& words, bool ignoreCase,
                Emit emit) {
  size_t start = 0;
  for (int number = 1; start < content.size(); ++number) {
    size_t end = content.find('\n', start);
    size_t next = end == std::string::npos ? content.size() : end + 1;
    if (end == std::string::npos) end = content.size();
    if (end > start && content[end - 1] == '\r') --end;
    std::string line = content.substr(start, end - start);
    if (LineMatches(line, words, ignoreCase)) emit(number, line);
    start = next;
  }
}
