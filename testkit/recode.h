// Code page 932 text recoded to UTF-8 by glibc's iconv, for the native tests and benchmarks that
// read the same output in both. (Linux)
#pragma once

#include <iconv.h>

#include <string>

inline std::string Cp932ToUtf8(const std::string& cp932) {
  iconv_t convert = iconv_open("UTF-8", "CP932");
  std::string out(cp932.size() * 2, '\0');
  char* from = const_cast<char*>(cp932.data());
  char* to = &out[0];
  size_t inLeft = cp932.size(), outLeft = out.size();
  iconv(convert, &from, &inLeft, &to, &outLeft);
  iconv_close(convert);
  out.resize(out.size() - outLeft);
  return out;
}
