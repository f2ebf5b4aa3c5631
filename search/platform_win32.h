// The real pipe, keyboard, message queue and process calls behind the reader and the launch.
#pragma once

#include "search/launch.h"
#include "search/reader.h"

const ReaderPlatform& Win32Reader();
const LaunchPlatform& Win32Launch();

// How output in the code page is read: code page 932 and UTF-8 as sarvik knows them, any other
// by what the system tells of it. False for one that is not installed, or whose characters may
// take more than two bytes (other than UTF-8) or depend on state.
bool DescribeCodePage(uint32_t codePage, OutputEncoding& encoding);

// Posts again the quit request that a wait took from the queue, if it took one. Called when the
// outermost listing call returns, so the host sees its quit as it would have without sarvik.
void PostHeldQuit();

// Ends a search that may still run: the job where there is one (every process in it, exit code
// 0), else the process.
void EndSearch(void* process, void* job);

// Ends the search's job, then closes the input write end, the output read end, the process handle
// and the job, in that order, each only when set, and clears them.
void CloseSearchHandles(SearchContext& context);
