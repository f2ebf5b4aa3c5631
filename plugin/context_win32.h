// The SearchContext's own memory, which the host holds as its handle. (Win32)
#pragma once

#include "common/records.h"

// Closes the search's handles and frees the context: the handle is invalid from then on.
void ReleaseContext(SearchContext* context);
