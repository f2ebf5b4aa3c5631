// Opening and closing a search: the entry points that make and release a SearchContext.
#include <windows.h>

#include <cstring>
#include <iterator>

#include "common/fixed_text.h"
#include "config/config.h"
#include "host/bridge.h"
#include "host/texts.h"
#include "plugin/api.h"
#include "plugin/context_win32.h"
#include "plugin/open.h"
#include "search/platform_win32.h"

extern "C" HANDLE WINAPI ApiOpen(const wchar_t* argument, const void* hostRecord,
                                 OpenResultRecord* result) {
  if (argument == nullptr || hostRecord == nullptr || result == nullptr) return nullptr;
  // From the global heap, not this module's runtime: the address is the host's handle, and
  // nothing of ours but ApiClose may free it.
  auto* context =
      static_cast<SearchContext*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(SearchContext)));
  if (context == nullptr) return nullptr;
  memcpy(context->hostRecord, hostRecord, kHostRecordSize);
  FormConfigPath(g_moduleDirectory, context->configPath, std::size(context->configPath));

  wchar_t messageOutput[kMessageOutputCapacity];
  ReadKey(kMessageOutputKey, kMessageOutputDefault, messageOutput, context->configPath);
  context->messageOutput = IsMessageOutputOn(messageOutput) ? 1 : 0;

  wchar_t grepCommand[kGrepCommandCapacity];
  ReadKey(kGrepCommandKey, kGrepCommandDefault, grepCommand, context->configPath);

  // Never another code page than the one asked for: an unusable value fails the open.
  wchar_t codePage[kCodePageCapacity];
  ReadKey(kCodePageKey, kCodePageDefault, codePage, context->configPath);
  uint32_t codePageNumber = ParseCodePage(codePage);
  if (codePageNumber == 0 || !DescribeCodePage(codePageNumber, context->encoding)) {
    wchar_t entry[std::size(kCodePageKey) + std::size(codePage)];  // the key, "=", the value
    FieldWriter line = StartField(entry);
    PutText(line, kCodePageKey);
    PutChar(line, L'=');
    PutText(line, codePage);
    HostPrintAnsi(kConfigEntryMessage);
    HostPrint(entry);
    GlobalFree(context);
    return nullptr;
  }

  switch (PrepareSearch(argument, grepCommand, *context, *result)) {
    case OpenOutcome::kOpened:
      return context;
    case OpenOutcome::kNoSearchArguments:
      HostPrintAnsi(kQuoteDirectoryMessage);
      break;
    case OpenOutcome::kCommandLineTooLong:
      break;
  }
  GlobalFree(context);
  return nullptr;
}

void ReleaseContext(SearchContext* context) {
  CloseSearchHandles(*context);
  GlobalFree(context);
}

extern "C" int WINAPI ApiClose(HANDLE handle) {
  if (handle == nullptr) return 0;
  auto* context = static_cast<SearchContext*>(handle);
  if (context->listing != 0) {
    // Called from a message that the listing's wait dispatched: the listing ends, and the context
    // goes when its call returns. Its search would run on with its pipes still open.
    context->closing = 1;
    EndSearch(context->process, context->job);
    // The listing call's code is still on the stack: a host that unloads its plugins once it has
    // closed them must not unmap it. The module stays loaded for the life of the process.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<const wchar_t*>(&ApiClose), &self);
    return 1;
  }
  ReleaseContext(context);
  return 1;
}
