// Reading the search's output: at most 512 bytes buffered in the SearchContext, refilled in chunks
// of at most 256 bytes, cut into one result line per entry. The platform (pipe, keyboard, message
// queue, host messages, multibyte conversion) is reached only through ReaderPlatform, so the
// logic runs the same over a real pipe and over scripted chunks.
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
  void (*printAnsi)(void* user, const char* text);  // to the host's message area
  // Code page 932 to wide text: at most capacity - 1 characters, always terminated.
  void (*toWide)(void* user, wchar_t* out, size_t capacity, const char* text);
};

constexpr uint32_t kChunkSize = 256;
constexpr size_t kRefillThreshold = 256;
constexpr uint32_t kPollInterval = 100;  // milliseconds

// True when the byte at p starts a double-byte character, judged from the start of the line:
// in a run of lead-byte values the first, third, fifth... byte leads.
bool IsLeadByteAt(const char* start, const char* p);

// Waits for output (polling, pumping the host's messages, watching Escape), then reads one chunk.
// 1: go on (also at the end of the output); -1: the user pressed Escape.
int FillOutputBuffer(SearchContext& context, const ReaderPlatform& platform);

// Takes the next result line: its EntryName (up to the second colon) goes into record->name.
// 1: an entry; -1: the end of the output, a line without two colons, or Escape.
int TakeNextLine(SearchContext& context, FindRecord* record, const ReaderPlatform& platform);
