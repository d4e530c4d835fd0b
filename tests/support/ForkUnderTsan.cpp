// Qt starts child processes with clone(CLONE_VM | CLONE_VFORK) when the kernel has pidfds: the
// child runs on the parent's memory until it executes the program. ThreadSanitizer cannot follow
// that (the child's intercepted calls update the parent's race-detector state), and the parent
// then loses track of its own locks or stops on a corrupted internal mutex. Only in
// ThreadSanitizer builds, the test executables report pidfd waits as unsupported, which is how
// Qt decides; Qt then starts processes with fork(), which the sanitizer handles.

#if defined(__SANITIZE_THREAD__)

#include <cerrno>
#include <cstdarg>

#include <dlfcn.h>
#include <sys/syscall.h>

namespace {
constexpr long pidfdIdType = 3;  // P_PIDFD
}

extern "C" long syscall(long number, ...) {
    va_list list;
    va_start(list, number);
    long arguments[6];
    for (long& argument : arguments) {
        argument = va_arg(list, long);
    }
    va_end(list);
    if (number == SYS_waitid && arguments[0] == pidfdIdType) {
        errno = EINVAL;
        return -1;
    }
    using Syscall = long (*)(long, ...);
    static const auto next = reinterpret_cast<Syscall>(dlsym(RTLD_NEXT, "syscall"));
    return next(number, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4],
                arguments[5]);
}

#endif

// Referenced from main() so that the linker keeps this file of the support library.
void keepForkUnderTsan() {
}
