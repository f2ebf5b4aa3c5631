#include "search/launch.h"

bool StartSearchProcess(wchar_t* commandLine, SearchContext& context, const LaunchPlatform& p) {
  void* outRead = nullptr;     // R1
  void* outWrite = nullptr;    // W1: the child's standard output
  void* errWrite = nullptr;    // W1e: a second handle to W1, the child's standard error
  void* outReadOwn = nullptr;  // R1p: the parent's, not inherited
  void* inRead = nullptr;      // R2: the child's standard input
  void* inWrite = nullptr;     // W2
  void* inWriteOwn = nullptr;  // W2p: the parent's, not inherited
  void* job = nullptr;
  void* process = nullptr;
  void* thread = nullptr;

  int failedStep = 0;
  if (!p.createPipe(p.user, &outRead, &outWrite)) {
    failedStep = 1;
  } else if (!p.duplicate(p.user, outWrite, true, &errWrite)) {
    failedStep = 2;
  } else if (!p.duplicate(p.user, outRead, false, &outReadOwn)) {
    failedStep = 3;
  } else {
    p.close(p.user, outRead);  // the child must not inherit a read end of its own output
    if (!p.createPipe(p.user, &inRead, &inWrite)) {
      failedStep = 4;
    } else if (!p.duplicate(p.user, inWrite, false, &inWriteOwn)) {
      failedStep = 5;
    } else {
      p.close(p.user, inWrite);
      // Without a job the search still runs, and without a list it inherits as before.
      if (!p.createJob(p.user, &job)) job = nullptr;
      void* const inherited[3] = {inRead, outWrite, errWrite};
      void* list = nullptr;
      if (!p.listHandles(p.user, inherited, &list)) list = nullptr;
      bool started =
          p.start(p.user, commandLine, inRead, outWrite, errWrite, list, &process, &thread);
      if (!started) p.reportStartFailure(p.user, commandLine);
      if (list != nullptr) p.freeList(p.user, list);
      if (!started) {
        failedStep = 6;
      } else {
        // Put in the job before it runs, so every process it starts belongs to the job too.
        if (job != nullptr && !p.assign(p.user, job, process)) {
          p.close(p.user, job);
          job = nullptr;
        }
        if (!p.resume(p.user, process, thread)) {
          p.reportStartFailure(p.user, commandLine);
          failedStep = 7;
        }
      }
    }
  }

  // One clean-up point: for the failed step, what the earlier steps made and is still open.
  switch (failedStep) {
    case 0:
      break;
    case 1:
      return false;
    case 2:
      p.close(p.user, outRead);
      p.close(p.user, outWrite);
      return false;
    case 3:
      p.close(p.user, errWrite);
      p.close(p.user, outRead);
      p.close(p.user, outWrite);
      return false;
    case 4:
      p.close(p.user, outReadOwn);
      p.close(p.user, errWrite);
      p.close(p.user, outWrite);
      return false;
    case 5:
      p.close(p.user, inRead);
      p.close(p.user, inWrite);
      p.close(p.user, outReadOwn);
      p.close(p.user, errWrite);
      p.close(p.user, outWrite);
      return false;
    default:
      if (failedStep == 7) {
        p.close(p.user, thread);
        p.close(p.user, process);
      }
      if (job != nullptr) p.close(p.user, job);
      p.close(p.user, inWriteOwn);
      p.close(p.user, inRead);
      p.close(p.user, outReadOwn);
      p.close(p.user, errWrite);
      p.close(p.user, outWrite);
      return false;
  }

  // The parent keeps no write end of the output pipe, so the pipe breaks when the child ends.
  p.close(p.user, thread);
  p.close(p.user, outWrite);
  p.close(p.user, inRead);
  p.close(p.user, errWrite);
  context.process = process;
  context.outputRead = outReadOwn;
  context.inputWrite = inWriteOwn;
  context.job = job;
  return true;
}
