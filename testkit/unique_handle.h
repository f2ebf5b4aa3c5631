// A Win32 handle that closes itself, for the programs, tests and benchmarks around the plugin.
// Move-only, so no copy closes it twice; both null and INVALID_HANDLE_VALUE mean empty. (The
// plugin's own handles live in the SearchContext, a plain record, and the launch's numbered
// clean-up closes them step by step.)
#pragma once

#include <windows.h>

template <BOOL(WINAPI* Close)(HANDLE)>
class UniqueHandleOf {
 public:
  UniqueHandleOf() = default;
  explicit UniqueHandleOf(HANDLE handle) : handle_(handle) {}
  ~UniqueHandleOf() { reset(); }
  UniqueHandleOf(UniqueHandleOf&& other) noexcept : handle_(other.release()) {}
  UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueHandleOf(const UniqueHandleOf&) = delete;
  UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;

  explicit operator bool() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void reset(HANDLE handle = nullptr) {
    if (*this) Close(handle_);
    handle_ = handle;
  }
  // For a call that fills in a handle: the one held before is closed first.
  HANDLE* put() {
    reset();
    return &handle_;
  }

 private:
  HANDLE handle_ = nullptr;
};

using UniqueHandle = UniqueHandleOf<CloseHandle>;
using UniqueFind = UniqueHandleOf<FindClose>;
