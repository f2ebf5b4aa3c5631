// Bounded text helpers for the fixed-capacity fields of sarvik's records. One verb a contract:
// Copy into a field of sarvik's own (cut, always terminated); Fill a host's field (zeros to its
// end, no terminator when the text fills it); Put into a FieldWriter (which notes an overflow);
// Form a whole field from pieces (empty, and false, when they do not fit).
#pragma once

#include <cstddef>
#include <cstdint>

// Copies at most capacity - 1 characters of src and always terminates. Returns the count copied.
inline size_t CopyText(wchar_t* dst, size_t capacity, const wchar_t* src) {
  if (capacity == 0) return 0;
  size_t n = 0;
  while (n + 1 < capacity && src[n] != 0) {
    dst[n] = src[n];
    ++n;
  }
  dst[n] = 0;
  return n;
}

template <size_t N>
size_t CopyText(wchar_t (&dst)[N], const wchar_t* src) {
  return CopyText(dst, N, src);
}

// Fills a host field the way the host expects: the text, then zeros to the end of the field; a
// text that fills the field gets no terminator.
inline void FillField(wchar_t* dst, size_t capacity, const wchar_t* src) {
  size_t n = 0;
  for (; n < capacity && src[n] != 0; ++n) dst[n] = src[n];
  for (; n < capacity; ++n) dst[n] = 0;
}

// Builds a terminated text in a fixed field. What does not fit is cut, and `overflow` says so,
// so the caller decides whether a cut text is acceptable.
struct FieldWriter {
  wchar_t* field;
  size_t capacity;  // characters, terminator included; at least 1
  size_t length;
  bool overflow;
};

inline FieldWriter StartField(wchar_t* field, size_t capacity) {
  field[0] = 0;
  return FieldWriter{field, capacity, 0, false};
}

template <size_t N>
FieldWriter StartField(wchar_t (&field)[N]) {
  return StartField(field, N);
}

inline void PutChar(FieldWriter& w, wchar_t c) {
  if (w.length + 1 >= w.capacity) {
    w.overflow = true;
    return;
  }
  w.field[w.length++] = c;
  w.field[w.length] = 0;
}

// Puts at most `count` characters of s, stopping at its terminator.
inline void PutText(FieldWriter& w, const wchar_t* s, size_t count = SIZE_MAX) {
  for (size_t i = 0; i < count && s[i] != 0 && !w.overflow; ++i) PutChar(w, s[i]);
}

inline void PutDecimal(FieldWriter& w, int32_t value) {
  wchar_t digits[12];
  size_t n = 0;
  // Work on the magnitude as unsigned so INT32_MIN needs no special case.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
  do {
    digits[n++] = static_cast<wchar_t>(L'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) PutChar(w, L'-');
  while (n > 0) PutChar(w, digits[--n]);
}
