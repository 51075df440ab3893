// The few POSIX thread calls that the C++ run time makes (the lock of its exception memory pool,
// the per-thread storage of the exception being handled, the sleep behind its clock), defined
// here over the Windows calls so that the POSIX threads library is not linked: its thread code
// comes whole with any one of them, about 30 KB of a program that must stay small. The program
// starts no thread of its own; the one other thread (the console's interruption handler) throws
// nothing. Should a part of the library that calls more of them ever be linked, the link fails
// on the names defined twice rather than running with half of each.
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <ctime>

namespace {

// A mutex of the library is one word: -1 (its static initialiser) or 0 when free, 1 when held.
// Held only for the few instructions of an allocation, so waiting is yielding the processor.
using Mutex = std::intptr_t;

// The one who creates per-thread storage (the run time's emulated thread-local variables)
// gives a clean-up for the values left at a thread's end; Windows calls it with the value only,
// so each key has its own caller.
using Destructor = void (*)(void*);
constexpr int kMaxKeys = 4;
Destructor destructors[kMaxKeys];
LONG keysMade = 0;

template <int N>
void WINAPI CleanUp(void* value) {
  if (value != nullptr && destructors[N] != nullptr) destructors[N](value);
}
constexpr PFLS_CALLBACK_FUNCTION kCleanUps[kMaxKeys] = {CleanUp<0>, CleanUp<1>, CleanUp<2>,
                                                        CleanUp<3>};

}  // namespace

extern "C" {

int pthread_mutex_init(Mutex* mutex, const void* /*attributes: only the default kind is made*/) {
  *mutex = 0;
  return 0;
}

int pthread_mutex_destroy(Mutex* /*mutex*/) {
  return 0;
}

int pthread_mutex_lock(Mutex* mutex) {
  for (;;) {
    const Mutex seen = *static_cast<volatile Mutex*>(mutex);
    if (seen != 1 &&
        InterlockedCompareExchange64(reinterpret_cast<volatile LONG64*>(mutex), 1, seen) == seen)
      return 0;
    SwitchToThread();
  }
}

int pthread_mutex_unlock(Mutex* mutex) {
  InterlockedExchange64(reinterpret_cast<volatile LONG64*>(mutex), 0);
  return 0;
}

// 0 not run, 1 running, 2 done.
int pthread_once(volatile long* once, void (*run)()) {
  if (InterlockedCompareExchange(once, 1, 0) == 0) {
    run();
    InterlockedExchange(once, 2);
    return 0;
  }
  while (InterlockedCompareExchange(once, 2, 2) != 2) SwitchToThread();
  return 0;
}

int pthread_key_create(unsigned* key, Destructor destructor) {
  const LONG slot = InterlockedIncrement(&keysMade) - 1;
  if (slot >= kMaxKeys) return EAGAIN;
  destructors[slot] = destructor;
  const DWORD index = FlsAlloc(kCleanUps[slot]);
  if (index == FLS_OUT_OF_INDEXES) return EAGAIN;
  *key = index;
  return 0;
}

void* pthread_getspecific(unsigned key) {
  return FlsGetValue(key);
}

int pthread_setspecific(unsigned key, const void* value) {
  return FlsSetValue(key, const_cast<void*>(value)) ? 0 : EINVAL;
}

int nanosleep(const timespec* wanted, timespec* left) {
  if (wanted == nullptr || wanted->tv_sec < 0 || wanted->tv_nsec < 0 ||
      wanted->tv_nsec >= 1000000000L) {
    errno = EINVAL;
    return -1;
  }
  // Never shorter than asked: the milliseconds rounded up.
  const unsigned long long ms =
      static_cast<unsigned long long>(wanted->tv_sec) * 1000 + (wanted->tv_nsec + 999999) / 1000000;
  Sleep(ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(ms));
  if (left != nullptr) *left = timespec{};
  return 0;
}

}  // extern "C"
