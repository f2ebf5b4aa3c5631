// Listing a search: each result line becomes one entry carrying its real file's size, time and
// attributes.
#include <windows.h>

#include "host/bridge.h"
#include "host/texts.h"
#include "plugin/api.h"
#include "plugin/context_win32.h"
#include "search/platform_win32.h"

namespace {

// Listing calls under way on the host's thread: one on each context at most, but the host may list
// another context from a message that a wait dispatched.
int g_listingCalls = 0;

// One listing call at a time on a context. A close that comes meanwhile, from a message that the
// wait dispatched, is carried out when the call is done with the context; a quit request that a
// wait took is given back when the outermost call is done.
class ListingCall {
 public:
  explicit ListingCall(SearchContext& context) : context_(context) {
    context_.listing = 1;
    ++g_listingCalls;
  }
  ~ListingCall() {
    context_.listing = 0;
    if (context_.closing != 0) ReleaseContext(&context_);
    if (--g_listingCalls == 0) PostHeldQuit();
  }
  ListingCall(const ListingCall&) = delete;
  ListingCall& operator=(const ListingCall&) = delete;

 private:
  SearchContext& context_;
};

// The host's answer for the next entry: 1 an entry, -1 no more. The end and Escape are
// acknowledged with MesOk when message output is on; a listing the host closed is not.
int NextEntry(SearchContext& context, FindRecord* record) {
  switch (TakeNextLine(context, record, Win32Reader())) {
    case Taken::kEntry:
      return 1;
    case Taken::kEnd:
    case Taken::kEscape:
      if (context.messageOutput != 0 && context.closing == 0) HostAcknowledgeEnd();
      return -1;
    case Taken::kClosed:
      return -1;
  }
  return -1;
}

}  // namespace

extern "C" int WINAPI ApiFindNext(HANDLE handle, FindRecord* record) {
  if (handle == nullptr) return 0;
  if (record == nullptr) return -1;
  auto* context = static_cast<SearchContext*>(handle);
  if (context->listing != 0) return -1;  // from a message that this listing's wait dispatched
  ListingCall call(*context);
  return NextEntry(*context, record);
}

extern "C" int WINAPI ApiFindFirst(HANDLE handle, void*, FindRecord* record) {
  if (handle == nullptr) return 0;
  auto* context = static_cast<SearchContext*>(handle);
  // From a message that this listing's wait dispatched: a new run would replace the one it reads.
  if (context->listing != 0) return 0;
  ListingCall call(*context);
  if (context->messageOutput != 0) {
    HostPrint(L"");
    HostPrint(kListingHeader);
    if (context->closing != 0) return -1;
  }
  // A new run replaces the previous one: its handles are closed (a child still running ends
  // when its pipe breaks) and its unread output is dropped.
  CloseSearchHandles(*context);
  StartListing(*context, Win32Reader());
  if (!StartSearchProcess(context->commandLine, *context, Win32Launch())) return 0;
  if (FillOutputBuffer(*context, Win32Reader()) != Waited::kOutput) return -1;
  if (record == nullptr) return -1;
  return NextEntry(*context, record);
}
