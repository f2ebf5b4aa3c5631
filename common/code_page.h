// How the search's output is encoded, as far as the line cutting needs to know: which bytes
// start a character whose other bytes may have been cut off at the end of a buffered line.
#pragma once

#include <cstdint>

constexpr uint32_t kCp932 = 932;  // the default, and what sarvik's own 8-bit texts are
constexpr uint32_t kUtf8CodePage = 65001;

enum class ByteStructure : uint8_t {
  kSingleByte,  // every byte is a character
  kDoubleByte,  // a lead byte and one more
  kUtf8,        // a lead byte and up to three continuation bytes
};

// How a text came out of its code page.
enum class Decoded : uint8_t {
  kValid,     // every byte part of a character
  kReplaced,  // bytes that are no character stand as replacement characters
  kTooLong,   // more characters than the field holds: nothing is kept
};

// A search tool prints either what the system's code page makes of a name (932 on a Japanese
// system) or UTF-8; a name that the setting misreads is read the other way.
inline uint32_t OtherCodePage(uint32_t codePage) {
  return codePage == kUtf8CodePage ? kCp932 : kUtf8CodePage;
}

struct OutputEncoding {
  uint32_t codePage;
  ByteStructure structure;
  uint8_t leadBytes[32];  // kDoubleByte: bit b is set when byte value b is a lead byte
};

// Code page 932 lead bytes: 0x81 to 0x9F and 0xE0 to 0xFC start a double-byte character.
inline bool IsCp932LeadByte(char c) {
  unsigned char b = static_cast<unsigned char>(c);
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

inline bool IsLeadByte(const OutputEncoding& encoding, char c) {
  unsigned char b = static_cast<unsigned char>(c);
  return (encoding.leadBytes[b >> 3] >> (b & 7)) & 1;
}

inline void AddLeadBytes(OutputEncoding& encoding, unsigned first, unsigned last) {
  for (unsigned b = first; b <= last && b < 256; ++b)
    encoding.leadBytes[b >> 3] = static_cast<uint8_t>(encoding.leadBytes[b >> 3] | 1 << (b & 7));
}

// Code page 932 by its fixed lead-byte ranges, whatever the system would say of it: sarvik's own
// texts and the default setting are read the same on every system.
inline OutputEncoding Cp932Encoding() {
  OutputEncoding encoding = {kCp932, ByteStructure::kDoubleByte, {}};
  for (unsigned b = 0; b < 256; ++b)
    if (IsCp932LeadByte(static_cast<char>(b))) AddLeadBytes(encoding, b, b);
  return encoding;
}

inline OutputEncoding Utf8Encoding() {
  return {kUtf8CodePage, ByteStructure::kUtf8, {}};
}
