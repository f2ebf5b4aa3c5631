// The real pipe, keyboard, message queue and process calls behind the reader and the launch.
#pragma once

#include "search/launch.h"
#include "search/reader.h"

const ReaderPlatform& Win32Reader();
const LaunchPlatform& Win32Launch();

// Closes the input write end, the output read end and the process handle, in that order, each
// only when set, and clears them.
void CloseSearchHandles(SearchContext& context);
