#include "search/reader.h"

#include <cstring>

#include "host/texts.h"

namespace {

// memchr, typed for the buffer it searches.
char* FindLineFeed(char* text, size_t length) {
  return static_cast<char*>(memchr(text, '\n', length));
}

// FillOutputBuffer for a caller that already knows the buffered length `n`.
int FillAt(SearchContext& c, size_t n, const ReaderPlatform& p) {
  while (c.outputRead != nullptr) {
    uint32_t available = 0;
    if (!p.peek(p.user, c.outputRead, &available) || available > 0) break;
    if (p.escapePressed(p.user)) {
      p.printAnsi(p.user, kInterruptedMessage);
      p.terminate(p.user, c.process);
      return -1;
    }
    p.pumpMessages(p.user);
    p.sleep(p.user, kPollInterval);
  }
  if (c.outputRead == nullptr) return 1;

  size_t space = kOutputBufferCapacity - n;
  if (space == 0) return 1;
  uint32_t got = 0;
  char* into = c.outputBuffer + n;
  if (!p.read(p.user, c.outputRead, into, space < kChunkSize ? space : kChunkSize, &got)) {
    p.closePipe(p.user, c.outputRead);
    c.outputRead = nullptr;
    return 1;
  }
  // A zero byte would end the buffered text and lose everything after it: keep it as a blank.
  for (uint32_t i = 0; i < got; ++i)
    if (into[i] == 0) into[i] = ' ';
  into[got] = 0;
  return 1;
}

}  // namespace

bool IsLeadByteAt(const char* start, const char* p) {
  if (!IsCp932LeadByte(*p)) return false;
  const char* run = p;
  while (run > start && IsCp932LeadByte(run[-1])) --run;
  return (p - run) % 2 == 0;
}

int FillOutputBuffer(SearchContext& c, const ReaderPlatform& p) {
  return FillAt(c, strlen(c.outputBuffer), p);
}

int TakeNextLine(SearchContext& c, FindRecord* record, const ReaderPlatform& p) {
  char* buffer = c.outputBuffer;
  size_t length = strlen(buffer);
  // A line is judged only once its end is buffered, the buffer is full or the output has ended;
  // otherwise the same output would list differently depending on how it was chunked.
  char* lineFeed = FindLineFeed(buffer, length);
  while (lineFeed == nullptr && c.outputRead != nullptr && length < kOutputBufferCapacity) {
    int result = FillAt(c, length, p);
    if (result != 1) return result;
    length = strlen(buffer);
    lineFeed = FindLineFeed(buffer, length);
  }
  if (c.outputRead == nullptr && length == 0) return -1;  // exhausted

  size_t lineLength = length;
  size_t rest = length;
  if (lineFeed != nullptr) {
    lineLength = static_cast<size_t>(lineFeed - buffer);
    rest = lineLength + 1;
    if (lineLength > 0 && buffer[lineLength - 1] == '\r') --lineLength;
  }
  // A line cut by the buffer's end may stop after the first byte of a double-byte character;
  // that half character is not echoed.
  if (lineLength > 0 && IsCp932LeadByte(buffer[lineLength - 1]) &&
      (lineLength == 1 || !IsLeadByteAt(buffer, buffer + lineLength - 2)))
    --lineLength;

  // The buffer stays as it was until the line proves usable, so an unusable line keeps ending
  // the listing on every later call.
  if (c.messageOutput != 0) {
    char saved = buffer[lineLength];
    buffer[lineLength] = 0;
    p.printAnsi(p.user, buffer);
    buffer[lineLength] = saved;
  }
  char* firstColon = static_cast<char*>(memchr(buffer, ':', lineLength));
  if (firstColon == nullptr) return -1;
  char* secondColon = static_cast<char*>(
      memchr(firstColon + 1, ':', lineLength - static_cast<size_t>(firstColon + 1 - buffer)));
  if (secondColon == nullptr) return -1;
  *secondColon = 0;
  p.toWide(p.user, record->name, kPathCapacity, buffer);

  if (lineFeed == nullptr && c.outputRead != nullptr) {
    // An overlong line: only its start was needed; drop the rest of it up to its line feed.
    for (;;) {
      buffer[0] = 0;
      int result = FillAt(c, 0, p);
      if (result != 1) return result;
      length = strlen(buffer);
      lineFeed = FindLineFeed(buffer, length);
      if (lineFeed != nullptr) {
        rest = static_cast<size_t>(lineFeed - buffer) + 1;
        break;
      }
      if (c.outputRead == nullptr) {
        rest = length;
        break;
      }
    }
  }
  memmove(buffer, buffer + rest, length - rest + 1);
  if (length - rest <= kRefillThreshold) {
    int result = FillAt(c, length - rest, p);
    if (result != 1) return result;
  }
  return 1;
}
