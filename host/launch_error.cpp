#include "host/launch_error.h"

#include "plugin/fixed_text.h"

void FormatLaunchError(wchar_t (&out)[kLaunchErrorCapacity], const wchar_t* api, int32_t code,
                       const wchar_t* systemText) {
  FieldWriter w = StartField(out);
  PutText(w, L"ERROR: API = ");
  PutText(w, api);
  PutText(w, L".  error code = ");
  PutDecimal(w, code);
  PutText(w, L".  message = ");
  PutText(w, systemText);
  PutChar(w, L'.');
}

size_t SentLength(const wchar_t* text) {
  size_t n = 0;
  while (text[n] != 0 && text[n] != L'\r') ++n;
  return n;
}
