// The one formatted system-error line, kept apart from the Win32 call so it can be tested anywhere.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kLaunchErrorCapacity = 1024;

// "ERROR: API = <api>.  error code = <code>.  message = <text>." cut to the buffer if need be.
void FormatLaunchError(wchar_t (&out)[kLaunchErrorCapacity], const wchar_t* api, int32_t code,
                       const wchar_t* systemText);
