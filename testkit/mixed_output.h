// Search output of mixed shapes for the stress tests and benchmarks: short lines and lines over
// 512 bytes, double-byte names and text, CR LF and LF. Also gives each line's EntryName.
#pragma once

#include <string>
#include <vector>

// `perFile` consecutive lines name the same file, as a search lists one file's matches together.
inline std::string MixedOutput(int lines, std::vector<std::string>* entries = nullptr,
                               int perFile = 1) {
  std::string out;
  out.reserve(static_cast<size_t>(lines) * 48);
  const std::string kanji =
      "\x93\xfa\x96\x7b\x8c\xea\x83\x65\x83\x4c\x83\x58\x83\x67";  // 日本語テキスト
  const std::string data = "\x83\x66\x81\x5b\x83\x5e";             // データ
  for (int i = 1; i <= lines; ++i) {
    int file = i / perFile;
    std::string name = file % 7 == 0 ? data + std::to_string(file % 13) + ".txt"
                                     : "src\\file" + std::to_string(file % 97) + ".c";
    std::string text = i % 5 == 0 ? kanji : "int value = " + std::to_string(i) + ";";
    if (i % 211 == 0) text += std::string(600 + i % 700, 'x');  // longer than the buffer
    std::string entry = name + ":" + std::to_string(i);
    out += entry + ":" + text + (i % 3 == 0 ? "\n" : "\r\n");
    if (entries != nullptr) entries->push_back(entry);
  }
  return out;
}
