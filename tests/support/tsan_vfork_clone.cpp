// Linked into the tests only when they are built with ThreadSanitizer (-DTAV_SANITIZE=thread).
//
// QProcess starts a program with clone(CLONE_VM | CLONE_VFORK): the child runs in the parent's
// memory, on the calling thread's own sanitizer state, until it execs, while that thread waits.
// The sanitizer's clone interceptor takes every clone for a fork: it raises the thread's "ignore
// interceptors" count before the call, the child lowers it again (on the same, shared state) and
// the parent lowers it once more after the call. From then on every interceptor on that thread is
// passed by: its mutexes, condition variables and thread starts are no longer seen, and its own
// reports are dropped. A thread that later takes the same mutex as the test's thread is then told
// it races with it, as with a ViewSource the test made after running tavtest once.
//
// A clone of shared memory that suspends the caller until the child execs is therefore handed to
// the C library directly: the child only runs the sanitizer's interceptors that return (close,
// signal), which leave the caller's state as they found it. Every other clone (a fork of memory
// of its own) still goes through the sanitizer.
#include <cstdarg>
#include <dlfcn.h>
#include <sched.h>
#include <sys/types.h>

namespace {

using CloneFunction = int (*)(int (*)(void*), void*, int, void*, ...);

CloneFunction CloneIn(void* library)
{
    return reinterpret_cast<CloneFunction>(dlsym(library, "clone"));
}

} // namespace

extern "C" int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    // The optional arguments, as the C library's clone reads them (whether given or not).
    va_list more;
    va_start(more, arg);
    pid_t* parentTid = va_arg(more, pid_t*);
    void* tls = va_arg(more, void*);
    pid_t* childTid = va_arg(more, pid_t*);
    va_end(more);
    // The next definition after this program's: the sanitizer's.
    static const CloneFunction sanitizer = CloneIn(RTLD_NEXT);
    static const CloneFunction libc = [] {
        void* library = dlopen("libc.so.6", RTLD_NOW | RTLD_NOLOAD | RTLD_LOCAL);
        return library ? CloneIn(library) : nullptr;
    }();
    constexpr int kVfork = CLONE_VM | CLONE_VFORK;
    if (libc && (flags & kVfork) == kVfork && !(flags & CLONE_THREAD))
        return libc(fn, stack, flags, arg, parentTid, tls, childTid);
    return sanitizer(fn, stack, flags, arg, parentTid, tls, childTid);
}
