#include "host/launch_error.h"

#include "common/fixed_text.h"
#include "host/texts.h"

void FormatLaunchError(wchar_t (&out)[kLaunchErrorCapacity], const wchar_t* api, int32_t code,
                       const wchar_t* systemText) {
  FieldWriter w = StartField(out);
  PutText(w, kLaunchErrorApiLabel);
  PutText(w, api);
  PutText(w, kLaunchErrorCodeLabel);
  PutDecimal(w, code);
  PutText(w, kLaunchErrorMessageLabel);
  PutText(w, systemText);
  PutText(w, kLaunchErrorEnd);
}
