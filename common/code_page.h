// What sarvik knows of the code pages it reads without asking the system.
#pragma once

// Code page 932 lead bytes: 0x81 to 0x9F and 0xE0 to 0xFC start a double-byte character.
inline bool IsCp932LeadByte(char c) {
  unsigned char b = static_cast<unsigned char>(c);
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
