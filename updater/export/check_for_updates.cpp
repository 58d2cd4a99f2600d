#include <chrono>
#include <mutex>
#include <new>

#include "export/updater_export.h"
#include "update_session.h"
#include "updater_context.h"

int UPDATER_CALL CheckForUpdates(const char* serialNumber, const char* model) {
  // One run at a time: runs share the process's tracer and environment, and
  // a second caller waits rather than corrupting the first one's work, but
  // not for ever (a download on a slow link may take hours).
  static std::timed_mutex oneRunAtATime;
  std::unique_lock<std::timed_mutex> lock(oneRunAtATime, std::defer_lock);
  if (!lock.try_lock_for(std::chrono::milliseconds(TUpdateSession::kInstallationWait))) {
    return RESULT_INSTALLATION_BUSY;
  }
  try {
    // The platform's system, the process tracer and the environment, made on
    // the first call: "CONFIG.INI" is read once per process.
    static const TUpdaterContext context = ProcessUpdaterContext();
    TUpdateSession session(context, serialNumber ? serialNumber : "", model ? model : "");
    return session.Run();
  } catch (const std::bad_alloc&) {
    // Nothing may escape into the caller, which is not C++.
    return RESULT_REPLY_WITHOUT_CODE;
  }
}
