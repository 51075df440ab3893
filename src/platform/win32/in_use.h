#pragma once

#include <windows.h>

#include <string>

namespace inst::win32 {

// How long a change waits, in all, for a file that another program holds open: long enough for
// an antivirus scanner or an indexer to let go of a file just written, short enough that a user
// whose file a running program keeps open hears why soon.
inline constexpr DWORD kInUseBudgetMs = 2000;

// Whether the error is one that another program's open handle causes on `path`: a sharing or
// lock violation, or "access denied" on a file that is not read-only and that this user may
// delete (the system answers so for a file in use, and for one whose deletion is pending).
bool InUse(DWORD error, const std::wstring& path);

// Runs `attempt` (which returns 0 or the system's error) until it succeeds, fails for another
// reason, or the budget is spent, with a growing pause between tries. A failure that is still
// a file in use comes back as ERROR_SHARING_VIOLATION, whose reason says so.
template <class Attempt>
DWORD RetryWhileInUse(const std::wstring& path, Attempt attempt);

// The pause before the next try, 0 when the budget is spent; `waited` counts what was paused.
DWORD NextPause(DWORD& waited);

template <class Attempt>
DWORD RetryWhileInUse(const std::wstring& path, Attempt attempt) {
  DWORD waited = 0;
  for (;;) {
    const DWORD error = attempt();
    if (error == 0 || !InUse(error, path)) return error;
    const DWORD pause = NextPause(waited);
    if (pause == 0) return ERROR_SHARING_VIOLATION;
    Sleep(pause);
  }
}

// The same for a call that answers with a BOOL and GetLastError.
template <class Call>
DWORD RetryCallWhileInUse(const std::wstring& path, Call call) {
  return RetryWhileInUse(path, [&] { return call() ? DWORD{0} : GetLastError(); });
}

}  // namespace inst::win32
