#include "programs/sgrep_match.h"

#include "common/code_page.h"

namespace {

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Compares the word at a character boundary of the line. Both walk the same characters, so a
// byte of the word that is a single-byte character meets a single-byte character of the line.
bool MatchesAt(const std::string& line, size_t at, const std::string& word, bool ignoreCase) {
  if (line.size() - at < word.size()) return false;
  for (size_t k = 0; k < word.size(); ++k) {
    char w = word[k], l = line[at + k];
    if (IsCp932LeadByte(w) && k + 1 < word.size()) {
      if (l != w || line[at + k + 1] != word[k + 1]) return false;
      ++k;
      continue;
    }
    if (ignoreCase ? Lower(l) != Lower(w) : l != w) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') ++i;
    size_t start = i;
    while (i < text.size() && text[i] != ' ') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

bool LineMatches(const std::string& line, const std::vector<std::string>& words, bool ignoreCase) {
  for (size_t at = 0; at < line.size();) {
    for (const std::string& word : words)
      if (!word.empty() && MatchesAt(line, at, word, ignoreCase)) return true;
    at += IsCp932LeadByte(line[at]) && at + 1 < line.size() ? 2 : 1;
  }
  return false;
}

bool IsPrintableText(const std::string& content) {
  for (unsigned char b : content) {
    if (b >= 0x20 || b == '\t' || b == '\n' || b == '\f' || b == '\r' || b == 0x1A) continue;
    return false;
  }
  return true;
}
