// A plain model of how the output becomes entries, written from the rules rather than from the
// buffer: the reader must agree with it whatever the chunking. Escape is not modelled.
#pragma once

#include <string>
#include <vector>

#include "common/code_page.h"

struct ModelListing {
  std::vector<std::string> entries;  // each name as its bytes, cut to 259
  std::vector<std::string> echoed;   // the lines as echoed
};

inline ModelListing ModelList(std::string output) {
  for (char& c : output)
    if (c == 0) c = ' ';
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
    // A trailing lead byte that starts a character (odd position in its run) is dropped.
    if (!line.empty() && IsCp932LeadByte(line.back())) {
      size_t run = 0;
      while (run < line.size() && IsCp932LeadByte(line[line.size() - 1 - run])) ++run;
      if (run % 2 == 1) line.pop_back();
    }
    listing.echoed.push_back(line);
    size_t first = line.find(':');
    size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) break;
    listing.entries.push_back(line.substr(0, second < 259 ? second : 259));
    pos = next;
  }
  return listing;
}
