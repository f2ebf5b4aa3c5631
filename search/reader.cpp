#include "search/reader.h"

#include <cstring>

#include "common/file_line.h"
#include "host/texts.h"

namespace {

// Empty polls after which the wait is the full poll interval: 1 << 7 ms would pass it.
constexpr uint8_t kQuietAfter = 7;

// memchr, typed for the buffer it searches.
char* FindLineFeed(char* text, size_t length) {
  return static_cast<char*>(memchr(text, '\n', length));
}

// A UTF-8 byte-order mark at the start of the output belongs to no line. While fewer than its
// three bytes have come, what has come may still be the start of one.
void DropByteOrderMark(SearchContext& c, size_t length) {
  static constexpr char kMark[] = "\xEF\xBB\xBF";
  bool marked = memcmp(c.outputBuffer, kMark, length < 3 ? length : 3) == 0;
  if (marked && length < 3) return;
  if (marked) memmove(c.outputBuffer, c.outputBuffer + 3, length - 3 + 1);
  c.byteOrderMarkChecked = 1;
}

// FillOutputBuffer for a caller that already knows the buffered length `n`.
int FillAt(SearchContext& c, size_t n, const ReaderPlatform& p) {
  while (c.outputRead != nullptr) {
    uint32_t available = 0;
    if (!p.peek(p.user, c.outputRead, &available) || available > 0) break;
    if (p.escapePressed(p.user)) {
      p.print(p.user, kCp932, kInterruptedMessage);
      p.terminate(p.user, c.process);
      return -1;
    }
    p.pumpMessages(p.user);
    p.sleep(p.user, PollWait(c.silentPolls));
    if (c.silentPolls < kQuietAfter) ++c.silentPolls;
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
  if (got > 0) c.silentPolls = 0;
  // A zero byte would end the buffered text and lose everything after it: keep it as a blank.
  char* end = into + got;
  for (char* zero = into;
       (zero = static_cast<char*>(memchr(zero, 0, static_cast<size_t>(end - zero)))) != nullptr;)
    *zero++ = ' ';
  into[got] = 0;
  if (!c.byteOrderMarkChecked && c.encoding.structure == ByteStructure::kUtf8)
    DropByteOrderMark(c, n + got);
  return 1;
}

// The rest of a line whose end is not buffered is not needed: it is read and dropped up to its
// line feed. Leaves in `length` the buffered text and in `rest` where the next line starts.
int DropRestOfLine(SearchContext& c, const ReaderPlatform& p, size_t& length, size_t& rest) {
  for (;;) {
    c.outputBuffer[0] = 0;
    int result = FillAt(c, 0, p);
    if (result != 1) return result;
    length = strlen(c.outputBuffer);
    char* lineFeed = FindLineFeed(c.outputBuffer, length);
    if (lineFeed != nullptr) {
      rest = static_cast<size_t>(lineFeed - c.outputBuffer) + 1;
      return 1;
    }
    if (c.outputRead == nullptr) {
      rest = length;
      return 1;
    }
  }
}

// Writes the line's EntryName (up to its second colon) into the record. False when the line
// names no entry: it has no two colons, or the name does not fit the field and would name another
// file if cut.
bool NameEntry(const SearchContext& c, char* line, size_t length, FindRecord* record,
               const ReaderPlatform& p) {
  size_t second = SecondColon(line, length, FirstColon(line, length));
  if (second == length) return false;
  line[second] = 0;
  return p.toWide(p.user, c.encoding.codePage, record->name, kPathCapacity, line);
}

}  // namespace

uint32_t PollWait(uint32_t silentPolls) {
  return silentPolls < kQuietAfter ? 1u << silentPolls : kPollInterval;
}

void StartOutput(SearchContext& c) {
  c.outputBuffer[0] = 0;
  c.byteOrderMarkChecked = 0;
  c.silentPolls = 0;
}

bool IsLeadByteAt(const OutputEncoding& e, const char* start, const char* p) {
  if (!IsLeadByte(e, *p)) return false;
  const char* run = p;
  while (run > start && IsLeadByte(e, run[-1])) --run;
  return (p - run) % 2 == 0;
}

size_t PartialCharacterAtEnd(const OutputEncoding& e, const char* line, size_t length) {
  if (length == 0) return 0;
  switch (e.structure) {
    case ByteStructure::kSingleByte:
      return 0;
    case ByteStructure::kDoubleByte:
      return IsLeadByteAt(e, line, line + length - 1) ? 1 : 0;
    case ByteStructure::kUtf8: {
      size_t continuations = 0;
      while (continuations < 3 && continuations < length &&
             (line[length - 1 - continuations] & 0xC0) == 0x80)
        ++continuations;
      if (continuations == length) return 0;
      unsigned char lead = static_cast<unsigned char>(line[length - 1 - continuations]);
      size_t needed = lead >= 0xC0 && lead <= 0xDF   ? 2
                      : lead >= 0xE0 && lead <= 0xEF ? 3
                      : lead >= 0xF0 && lead <= 0xF7 ? 4
                                                     : 1;
      return needed > continuations + 1 ? continuations + 1 : 0;
    }
  }
  return 0;
}

int FillOutputBuffer(SearchContext& c, const ReaderPlatform& p) {
  return FillAt(c, strlen(c.outputBuffer), p);
}

int TakeNextLine(SearchContext& c, FindRecord* record, const ReaderPlatform& p) {
  char* buffer = c.outputBuffer;
  for (;;) {
    size_t length = strlen(buffer);
    // A line is judged only once its end is buffered, the buffer is full or the output has
    // ended; otherwise the same output would list differently depending on how it was chunked.
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
    // A line cut by the buffer's end may stop inside a character; that part of it is not echoed.
    // Only a byte with its high bit set begins or continues a character of more than one byte.
    if (lineLength > 0 && (buffer[lineLength - 1] & 0x80) != 0)
      lineLength -= PartialCharacterAtEnd(c.encoding, buffer, lineLength);

    if (c.messageOutput != 0) {
      char saved = buffer[lineLength];
      buffer[lineLength] = 0;
      p.print(p.user, c.encoding.codePage, buffer);
      buffer[lineLength] = saved;
    }
    // A tool's notice, an empty line or a context separator among the results names no entry;
    // neither does a name that the field would cut. They are passed over, not the end.
    bool named = NameEntry(c, buffer, lineLength, record, p);
    if (lineFeed == nullptr && c.outputRead != nullptr) {
      int result = DropRestOfLine(c, p, length, rest);
      if (result != 1) return result;
    }
    memmove(buffer, buffer + rest, length - rest + 1);
    if (!named) continue;
    if (length - rest <= kRefillThreshold) {
      int result = FillAt(c, length - rest, p);
      if (result != 1) return result;
    }
    return 1;
  }
}
