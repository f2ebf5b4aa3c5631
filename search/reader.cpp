#include "search/reader.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "common/file_line.h"
#include "common/real_path.h"
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

// Escape counts from the start of the listing: a key still held down from before it counts only
// once it has been released.
bool EscapePressed(SearchContext& c, const ReaderPlatform& p) {
  uint8_t state = p.escapeState(p.user);
  if (c.escapeHeld) {
    c.escapeHeld = (state & kEscapeDown) != 0;
    return false;
  }
  return state != 0;
}

// Looks at Escape, then lets the host handle its messages for at most `share` ms; one of them may
// close the listing.
Waited Watch(SearchContext& c, uint32_t share, const ReaderPlatform& p) {
  if (EscapePressed(c, p)) {
    p.print(p.user, kCp932, kInterruptedMessage);
    p.terminate(p.user, c.process, c.job);
    return Waited::kEscape;
  }
  p.pumpMessages(p.user, share);
  // The next look comes after the interval's worth of reading, not of the host's work.
  c.lastWatch = p.now(p.user);
  return c.closing ? Waited::kClosed : Waited::kOutput;
}

// Polls until the pipe holds output or breaks, serving the host meanwhile, and every
// kWatchInterval while output keeps coming.
Waited WaitForOutput(SearchContext& c, const ReaderPlatform& p) {
  while (c.outputRead != nullptr) {
    uint32_t available = 0;
    bool silent = p.peek(p.user, c.outputRead, &available) && available == 0;
    uint32_t wait = PollWait(c.silentPolls);
    // A pipe kept full never runs dry: the host is served by the clock then. While the search is
    // silent the host's messages may take the time the wait would sleep.
    if (silent || p.now(p.user) - c.lastWatch >= kWatchInterval) {
      Waited watched = Watch(c, silent && wait < kPumpShare ? wait : kPumpShare, p);
      if (watched != Waited::kOutput) return watched;
    }
    if (!silent) break;
    p.sleep(p.user, wait);
    if (c.silentPolls < kQuietAfter) ++c.silentPolls;
  }
  return Waited::kOutput;
}

// Reads one chunk into the buffer at `n`; a failed read is the end of the output.
void ReadChunk(SearchContext& c, size_t n, const ReaderPlatform& p) {
  size_t space = kOutputBufferLength - n;
  if (c.outputRead == nullptr || space == 0) return;
  uint32_t got = 0;
  char* into = c.outputBuffer + n;
  if (!p.read(p.user, c.outputRead, into, space < kChunkSize ? space : kChunkSize, &got)) {
    p.closePipe(p.user, c.outputRead);
    c.outputRead = nullptr;
    return;
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
}

// FillOutputBuffer for a caller that already knows the buffered length `n`.
Waited FillAt(SearchContext& c, size_t n, const ReaderPlatform& p) {
  Waited waited = WaitForOutput(c, p);
  if (waited == Waited::kOutput) ReadChunk(c, n, p);
  return waited;
}

// Reads what the pipe already holds, without waiting and without looking at the host or Escape.
void ReadWaiting(SearchContext& c, size_t n, const ReaderPlatform& p) {
  uint32_t available = 0;
  if (c.outputRead == nullptr) return;
  // A broken pipe's read fails at once: the end is noted now.
  if (!p.peek(p.user, c.outputRead, &available) || available > 0) ReadChunk(c, n, p);
}

Taken Stopped(Waited waited) {
  return waited == Waited::kEscape ? Taken::kEscape : Taken::kClosed;
}

// The rest of a line whose end was not buffered is not needed: it is read and dropped up to its
// line feed, after which the next line starts at the front of the buffer.
Waited DropRestOfLine(SearchContext& c, const ReaderPlatform& p) {
  for (;;) {
    size_t length = strlen(c.outputBuffer);
    char* lineFeed = FindLineFeed(c.outputBuffer, length);
    if (lineFeed != nullptr) {
      memmove(c.outputBuffer, lineFeed + 1, length - static_cast<size_t>(lineFeed - c.outputBuffer));
      c.droppingRest = 0;
      return Waited::kOutput;
    }
    c.outputBuffer[0] = 0;
    if (c.outputRead == nullptr) {
      c.droppingRest = 0;
      return Waited::kOutput;
    }
    Waited waited = FillAt(c, 0, p);
    if (waited != Waited::kOutput) return waited;
  }
}

// What stands between the file part and the second colon: a line number, one or more digits.
bool IsLineNumber(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return length > 0;
}

bool HasHighBytes(const char* text) {
  for (; *text != 0; ++text)
    if ((*text & 0x80) != 0) return true;
  return false;
}

// A path past the system's limit is looked up through its long form where it has one.
bool LookUpFile(const wchar_t* path, FileFacts& facts, const ReaderPlatform& p) {
  if (!NeedsLongForm(path)) return p.lookUp(p.user, path, &facts);
  wchar_t longForm[kRealPathCapacity];
  return FormLongPath(path, longForm, std::size(longForm)) && p.lookUp(p.user, longForm, &facts);
}

// The name read in the other code page, when its bytes are valid text there.
bool DecodeOther(const char* name, uint32_t codePage, wchar_t (&wide)[kPathCapacity],
                 const ReaderPlatform& p) {
  return p.toWide(p.user, OtherCodePage(codePage), wide, std::size(wide), name) == Decoded::kValid;
}

// Takes the other code page's reading of the name when it names an existing file, whose facts
// then stand in c.lastFile.
bool NamesFileReadOtherwise(SearchContext& c, const char* name, FindRecord* record,
                            uint32_t& codePage, const ReaderPlatform& p) {
  wchar_t wide[kPathCapacity];
  if (!HasHighBytes(name) || !DecodeOther(name, codePage, wide, p)) return false;
  wchar_t path[kRealPathCapacity];
  FormRealPath(c.baseDirectory, wide, path);
  if (!LookUpFile(path, c.lastFile, p)) return false;
  CopyText(record->name, wide);
  codePage = OtherCodePage(codePage);
  return true;
}

// Names the entry `name` (a line up to its second colon) in the record and finds its real file's
// facts, in c.lastFile, and the code page whose reading named the file. False when the name does
// not fit the field: cut, it would name another file.
bool NameEntry(SearchContext& c, const char* name, FindRecord* record, uint32_t& codePage,
               const ReaderPlatform& p) {
  if (p.toWide(p.user, codePage, record->name, std::size(record->name), name) == Decoded::kTooLong)
    return false;
  wchar_t path[kRealPathCapacity];
  FormRealPath(c.baseDirectory, record->name, path);
  bool same = wcscmp(path, c.lastRealPath) == 0;
  if (same && c.lastCodePage != codePage) {
    // The previous entry of this file was named by the other reading: so is this one.
    wchar_t wide[kPathCapacity];
    same = DecodeOther(name, codePage, wide, p);
    if (same) {
      CopyText(record->name, wide);
      codePage = c.lastCodePage;
    }
  }
  if (same) return true;
  wcscpy(c.lastRealPath, path);
  if (!LookUpFile(path, c.lastFile, p) && !NamesFileReadOtherwise(c, name, record, codePage, p))
    c.lastFile = kMissingFile;
  c.lastCodePage = codePage;
  return true;
}

// The entry a line names, when it names one: two colons (a drive's does not count) with a line
// number between them, and a name that fits the field.
bool NameLine(SearchContext& c, char* line, size_t length, FindRecord* record, uint32_t& codePage,
              const ReaderPlatform& p) {
  size_t first = FirstColon(line, length);
  size_t second = SecondColon(line, length, first);
  if (second == length || !IsLineNumber(line + first + 1, second - first - 1)) return false;
  line[second] = 0;
  bool named = NameEntry(c, line, record, codePage, p);
  line[second] = ':';
  return named;
}

// Until a listing has an entry, keeps the first lines that named none, to show them if none comes.
void KeepUnlisted(SearchContext& c, const char* line, size_t length) {
  if (c.listedAny || c.messageOutput != 0 || c.unlistedLines >= kShownLines) return;
  char* kept = c.shownLines[c.unlistedLines];
  memcpy(kept, line, length);
  kept[length] = 0;
}

// A listing that ends without an entry although the search printed lines says why, and shows
// them (message output has shown them already). Once.
void ReportNoEntry(SearchContext& c, const ReaderPlatform& p) {
  if (c.listedAny || c.unlistedLines == 0) return;
  p.print(p.user, kCp932, kNoEntryMessage);
  if (c.messageOutput == 0) {
    size_t shown = c.unlistedLines < kShownLines ? c.unlistedLines : kShownLines;
    for (size_t i = 0; i < shown; ++i) p.print(p.user, c.encoding.codePage, c.shownLines[i]);
    if (c.unlistedLines > shown) {
      char more[sizeof(kMoreLinesBefore) + 10 + sizeof(kMoreLinesAfter)];
      snprintf(more, sizeof(more), "%s%lu%s", kMoreLinesBefore,
               static_cast<unsigned long>(c.unlistedLines - shown), kMoreLinesAfter);
      p.print(p.user, kCp932, more);
    }
  }
  c.unlistedLines = 0;
}

}  // namespace

uint32_t PollWait(uint32_t silentPolls) {
  return silentPolls < kQuietAfter ? 1u << silentPolls : kPollInterval;
}

void StartListing(SearchContext& c, const ReaderPlatform& p) {
  c.escapeHeld = (p.escapeState(p.user) & kEscapeDown) != 0;  // and a press before is forgotten
  c.lastWatch = p.now(p.user);
  c.outputBuffer[0] = 0;
  c.byteOrderMarkChecked = 0;
  c.silentPolls = 0;
  c.droppingRest = 0;
  c.lastRealPath[0] = 0;
  c.listedAny = 0;
  c.unlistedLines = 0;
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

Waited FillOutputBuffer(SearchContext& c, const ReaderPlatform& p) {
  return FillAt(c, strlen(c.outputBuffer), p);
}

Taken TakeNextLine(SearchContext& c, FindRecord* record, const ReaderPlatform& p) {
  char* buffer = c.outputBuffer;
  // While output keeps coming the lines are all buffered already: the host is still served, and
  // Escape looked at, by the clock, before anything is cut.
  if (c.outputRead != nullptr && p.now(p.user) - c.lastWatch >= kWatchInterval) {
    Waited watched = Watch(c, kPumpShare, p);
    if (watched != Waited::kOutput) return Stopped(watched);
  }
  for (;;) {
    // The previous line's rest, left behind when it was handed over.
    if (c.droppingRest) {
      Waited waited = DropRestOfLine(c, p);
      if (waited != Waited::kOutput) return Stopped(waited);
    }
    size_t length = strlen(buffer);
    // A line is judged only once its end is buffered, the buffer is full or the output has
    // ended; otherwise the same output would list differently depending on how it was chunked.
    char* lineFeed = FindLineFeed(buffer, length);
    while (lineFeed == nullptr && c.outputRead != nullptr && length < kOutputBufferLength) {
      Waited waited = FillAt(c, length, p);
      if (waited != Waited::kOutput) return Stopped(waited);
      length = strlen(buffer);
      lineFeed = FindLineFeed(buffer, length);
    }
    if (c.outputRead == nullptr && length == 0) {  // exhausted
      ReportNoEntry(c, p);
      return Taken::kEnd;
    }

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

    // A tool's notice or error, an empty line or a context separator among the results names no
    // entry; neither does a name that the field would cut. They are passed over, not the end.
    uint32_t codePage = c.encoding.codePage;
    bool named = NameLine(c, buffer, lineLength, record, codePage, p);
    char saved = buffer[lineLength];
    buffer[lineLength] = 0;
    if (c.messageOutput != 0) p.print(p.user, codePage, buffer);  // as the entry's name reads
    if (!named) {
      KeepUnlisted(c, buffer, lineLength);
      ++c.unlistedLines;
    }
    buffer[lineLength] = saved;
    if (c.closing) return Taken::kClosed;  // from a message that the echo's call dispatched
    // The rest of a line longer than the buffer is dropped by the next look at the output.
    if (lineFeed == nullptr && c.outputRead != nullptr) c.droppingRest = 1;
    memmove(buffer, buffer + rest, length - rest + 1);
    if (!named) continue;
    c.listedAny = 1;
    if (length - rest <= kRefillThreshold) ReadWaiting(c, length - rest, p);
    const FileFacts& file = c.lastFile;
    record->sizeLow = file.sizeLow;
    record->sizeHigh = file.sizeHigh;
    record->writeTimeLow = file.writeTimeLow;
    record->writeTimeHigh = file.writeTimeHigh;
    record->attributes = file.attributes;
    return Taken::kEntry;
  }
}
