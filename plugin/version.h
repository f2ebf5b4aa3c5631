// The plugin's version, in the one place that the resource script, the code and the checks read.
#pragma once

#define SARVIK_VERSION_MAJOR 0
#define SARVIK_VERSION_MINOR 1
#define SARVIK_VERSION_PATCH 3
#define SARVIK_VERSION_BUILD 3
#define SARVIK_VERSION_TEXT "0.1.3.3"

#ifndef RC_INVOKED
#include <cstdint>

// As ApiGetPluginInfo reports it: one byte per component, most significant first.
inline constexpr uint32_t kPluginVersion = (SARVIK_VERSION_MAJOR << 24) |
                                           (SARVIK_VERSION_MINOR << 16) |
                                           (SARVIK_VERSION_PATCH << 8) | SARVIK_VERSION_BUILD;
#endif
