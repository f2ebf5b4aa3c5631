// Reading the search's output: at most 512 bytes buffered in the SearchContext, refilled in chunks
// of at most 256 bytes, cut into one result line per entry, each with its real file's facts. The
// platform (pipe, keyboard, message queue, host messages, multibyte conversion, file system) is
// reached only through ReaderPlatform, so the logic runs the same over a real pipe and over
// scripted chunks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/code_page.h"
#include "common/records.h"

struct ReaderPlatform {
  void* user;
  // Bytes waiting in the pipe, without reading them; false when the pipe is broken.
  bool (*peek)(void* user, void* pipe, uint32_t* available);
  // False when the read fails (the child has ended and the pipe is empty, or it broke).
  bool (*read)(void* user, void* pipe, char* into, uint32_t capacity, uint32_t* got);
  void (*closePipe)(void* user, void* pipe);
  bool (*escapePressed)(void* user);  // down now, or pressed since the previous query
  void (*pumpMessages)(void* user);   // dispatch what waits in the calling thread's queue
  void (*sleep)(void* user, uint32_t milliseconds);
  void (*terminate)(void* user, void* process);
  // An 8-bit text in the given code page, to the host's message area.
  void (*print)(void* user, uint32_t codePage, const char* text);
  // An 8-bit text in the given code page to wide text, terminated. kTooLong when it takes more
  // than capacity - 1 characters: out is then empty, so no cut text is ever taken for a name.
  Decoded (*toWide)(void* user, uint32_t codePage, wchar_t* out, size_t capacity,
                    const char* text);
  // The size, time and attributes of an existing file or folder; false when there is none there
  // (or it cannot be reached), and facts is then untouched.
  bool (*lookUp)(void* user, const wchar_t* path, FileFacts* facts);
};

constexpr uint32_t kChunkSize = 256;
constexpr size_t kRefillThreshold = 256;
constexpr uint32_t kPollInterval = 100;  // milliseconds: the wait once the search has gone quiet

// The wait after `silentPolls` empty polls in a row: 1 ms after output, doubling up to the poll
// interval. A search prints in bursts; a fixed 100 ms sleep would be spent mostly while it prints.
uint32_t PollWait(uint32_t silentPolls);

// Forgets what a previous run left: its unread output, how its output was paced, the last file
// looked at and the lines that named no entry.
void StartOutput(SearchContext& context);

// For a double-byte code page: true when the byte at p starts a character, judged from the start
// of the line: in a run of lead-byte values the first, third, fifth... byte leads.
bool IsLeadByteAt(const OutputEncoding& encoding, const char* start, const char* p);

// How many bytes at the end of a line begin a character whose other bytes are not there (a line
// cut by the buffer's end): 0 or 1 in a double-byte code page, up to 3 in UTF-8.
size_t PartialCharacterAtEnd(const OutputEncoding& encoding, const char* line, size_t length);

// Waits for output (polling, pumping the host's messages, watching Escape), then reads one chunk.
// 1: go on (also at the end of the output); -1: the user pressed Escape.
int FillOutputBuffer(SearchContext& context, const ReaderPlatform& platform);

// Takes the next result line that names an entry: its EntryName (up to the second colon, with a
// line number before it) goes into record->name and its real file's size, time and attributes
// into the record. Where the configured code page's reading of the name names no file but the
// other code page's names one, the entry takes that reading. Lines that name no entry (no two
// colons, no line number, a name that does not fit the field) are echoed and passed over; when
// the output ends without any entry, the first of them are shown with a line that says why.
// 1: an entry; -1: the end of the output, or Escape (the record's facts are then untouched).
int TakeNextLine(SearchContext& context, FindRecord* record, const ReaderPlatform& platform);
