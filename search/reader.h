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
  // Escape, anywhere on the desktop: kEscapeDown and kEscapePressedSince, or 0.
  uint8_t (*escapeState)(void* user);
  // Dispatches what waits in the calling thread's queue, for no longer than about `milliseconds`:
  // a host that keeps posting itself work would never let the queue empty.
  void (*pumpMessages)(void* user, uint32_t milliseconds);
  // Waits, but no longer than until a message comes for the calling thread.
  void (*sleep)(void* user, uint32_t milliseconds);
  uint32_t (*now)(void* user);  // milliseconds, from any start, wrapping
  // Ends the search: its job where it has one (every process in it), else its process.
  void (*terminate)(void* user, void* process, void* job);
  // An 8-bit text in the given code page, to the host's message area.
  void (*print)(void* user, uint32_t codePage, const char* text);
  // An 8-bit text in the given code page to wide text, terminated. kTooLong when it takes more
  // than capacity - 1 characters: out is then empty, so no cut text is ever taken for a name.
  Decoded (*toWide)(void* user, uint32_t codePage, wchar_t* out, size_t capacity, const char* text);
  // The size, time and attributes of an existing file or folder; false when there is none there
  // (or it cannot be reached), and facts is then untouched.
  bool (*lookUp)(void* user, const wchar_t* path, FileFacts* facts);
};

// What the key state tells of Escape.
constexpr uint8_t kEscapeDown = 1;          // down now
constexpr uint8_t kEscapePressedSince = 2;  // pressed since the previous query

// How a wait for output ended.
enum class Waited : uint8_t {
  kOutput,  // output is buffered, or the output has ended
  kEscape,  // the user pressed Escape: the child is ended
  kClosed,  // the host closed the listing from a message the wait dispatched
};

// What TakeNextLine found.
enum class Taken : uint8_t {
  kEntry,   // the record holds the next entry
  kEnd,     // the output has ended
  kEscape,  // the user pressed Escape: the child is ended
  kClosed,  // the host closed the listing from a message the wait dispatched
};

constexpr uint32_t kChunkSize = 256;
constexpr size_t kRefillThreshold = 256;
constexpr uint32_t kPollInterval = 100;  // milliseconds: the wait once the search has gone quiet
// While output keeps coming the pipe never runs dry: the host's messages and Escape are still
// looked at once this much time has passed, so that the host answers and a stop is seen within
// about 50 ms even where the clock moves in steps of 16 ms.
constexpr uint32_t kWatchInterval = 25;
// The share of each look at the host that its messages may take, so that the pipe and Escape are
// looked at again however much work the host keeps posting itself.
constexpr uint32_t kPumpShare = 10;

// The wait after `silentPolls` empty polls in a row: 1 ms after output, doubling up to the poll
// interval. A search prints in bursts; a fixed 100 ms sleep would be spent mostly while it prints.
uint32_t PollWait(uint32_t silentPolls);

// Starts a listing: forgets what a previous run left (its unread output, how its output was paced,
// the last file looked at, the lines that named no entry) and the Escape presses made before.
void StartListing(SearchContext& context, const ReaderPlatform& platform);

// For a double-byte code page: true when the byte at p starts a character, judged from the start
// of the line: in a run of lead-byte values the first, third, fifth... byte leads.
bool IsLeadByteAt(const OutputEncoding& encoding, const char* start, const char* p);

// How many bytes at the end of a line begin a character whose other bytes are not there (a line
// cut by the buffer's end): 0 or 1 in a double-byte code page, up to 3 in UTF-8.
size_t PartialCharacterAtEnd(const OutputEncoding& encoding, const char* line, size_t length);

// Waits for output (polling, pumping the host's messages, watching Escape), then reads one chunk.
// While output keeps coming, the messages and Escape are still looked at every kWatchInterval.
Waited FillOutputBuffer(SearchContext& context, const ReaderPlatform& platform);

// Takes the next result line that names an entry: its EntryName (up to the second colon, with a
// line number before it) goes into record->name and its real file's size, time and attributes
// into the record. An entry is handed over as soon as it is cut: what the pipe already holds may
// be read, but any wait for more output (and any look at Escape) belongs to the next call. Where the configured code page's reading of the name names no file but the
// other code page's names one, the entry takes that reading. Lines that name no entry (no two
// colons, no line number, a name that does not fit the field) are echoed and passed over; when
// the output ends without any entry, the first of them are shown with a line that says why.
// The record's facts are written only with kEntry.
Taken TakeNextLine(SearchContext& context, FindRecord* record, const ReaderPlatform& platform);
