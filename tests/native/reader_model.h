// A plain model of how the output becomes entries, written from the rules rather than from the
// buffer: the reader must agree with it whatever the chunking. Every line is echoed; one without
// two colons and a line number between them, or whose name would not fit the 259 characters of
// the field, is no entry (one byte is one character here, as the fake conversion makes it). An
// output with lines but no entry ends with the reason and, unless echoed, the first ten lines.
// Escape is not modelled.
#pragma once

#include <string>
#include <vector>

#include "common/code_page.h"
#include "host/texts.h"

struct ModelListing {
  std::vector<std::string> entries;  // each name as its bytes; longer than 259, no entry
  std::vector<std::string> echoed;   // the lines as echoed
};

// UTF-8 read forwards: the length of the sequence a byte starts (1 for a byte that starts none).
inline size_t ModelUtf8Length(unsigned char b) {
  return b >= 0xC0 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF7 ? 4 : 1;
}

// The line without a character that its end cut short.
inline void ModelDropPartialCharacter(std::string& line, ByteStructure structure) {
  if (structure == ByteStructure::kDoubleByte) {
    // A trailing lead byte that starts a character (odd position in its run) is dropped.
    size_t run = 0;
    while (run < line.size() && IsCp932LeadByte(line[line.size() - 1 - run])) ++run;
    if (run % 2 == 1) line.pop_back();
  } else if (structure == ByteStructure::kUtf8) {
    for (size_t i = 0; i < line.size();) {
      size_t n = ModelUtf8Length(static_cast<unsigned char>(line[i]));
      size_t whole = 1;  // continuation bytes that follow
      while (whole < n && i + whole < line.size() && (line[i + whole] & 0xC0) == 0x80) ++whole;
      if (whole < n && i + whole == line.size()) {
        line.resize(i);
        return;
      }
      i += whole == n ? n : 1;
    }
  }
}

inline ModelListing ModelList(std::string output,
                              ByteStructure structure = ByteStructure::kDoubleByte) {
  for (char& c : output)
    if (c == 0) c = ' ';
  if (structure == ByteStructure::kUtf8 && output.compare(0, 3, "\xEF\xBB\xBF") == 0)
    output.erase(0, 3);
  const size_t kBuffer = 512;
  ModelListing listing;
  size_t pos = 0;
  while (pos < output.size()) {
    size_t lineFeed = output.find('\n', pos);
    std::string line;
    size_t next;
    if (lineFeed != std::string::npos && lineFeed - pos < kBuffer) {
      line = output.substr(pos, lineFeed - pos);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      next = lineFeed + 1;
    } else if (output.size() - pos <= kBuffer) {
      line = output.substr(pos);  // the last line, without a line feed
      next = output.size();
    } else {
      line = output.substr(pos, kBuffer);  // overlong: its start, the rest dropped
      size_t end = output.find('\n', pos + kBuffer);
      next = end == std::string::npos ? output.size() : end + 1;
    }
    ModelDropPartialCharacter(line, structure);
    listing.echoed.push_back(line);
    // A drive letter, a colon and a separator begin an absolute path: its colon does not count.
    char letter = static_cast<char>(line.empty() ? 0 : line[0] | 0x20);
    bool drive = line.size() >= 3 && letter >= 'a' && letter <= 'z' && line[1] == ':' &&
                 (line[2] == '\\' || line[2] == '/');
    size_t first = line.find(':', drive ? 2 : 0);
    size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    bool number = second != std::string::npos && second > first + 1 &&
                  line.find_first_not_of("0123456789", first + 1) == second;
    if (number && second <= 259) listing.entries.push_back(line.substr(0, second));
    pos = next;
  }
  return listing;
}

// Everything printed, with message output on or off.
inline std::vector<std::string> ModelPrinted(const ModelListing& listing, bool echo) {
  std::vector<std::string> printed;
  if (echo) printed = listing.echoed;
  if (!listing.entries.empty() || listing.echoed.empty()) return printed;
  printed.push_back(kNoEntryMessage);
  if (echo) return printed;
  size_t lines = listing.echoed.size();
  for (size_t i = 0; i < lines && i < 10; ++i) printed.push_back(listing.echoed[i]);
  if (lines > 10)
    printed.push_back(kMoreLinesBefore + std::to_string(lines - 10) + kMoreLinesAfter);
  return printed;
}
