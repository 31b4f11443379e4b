#include "imaging/helper/SandboxFilter.h"

#include <errno.h>
#include <fcntl.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <initializer_list>
#include <memory>

namespace vantoria::imaging::helper {

namespace {

struct Release {
    void operator()(void* ctx) const { seccomp_release(ctx); }
};
using Filter = std::unique_ptr<void, Release>;

bool Add(const Filter& filter, std::uint32_t action, int call) {
    return seccomp_rule_add(filter.get(), action, call, 0) == 0;
}

bool Load(const Filter& filter) {
    // A helper that runs as root must not give itself back what the filter
    // takes; libseccomp sets no_new_privs too, this only makes it certain.
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    return seccomp_load(filter.get()) == 0;
}

}  // namespace

bool RestrictWhileLoading() {
    const Filter filter(seccomp_init(SCMP_ACT_ALLOW));
    if (!filter) return false;
    bool ok = true;
    for (int call : {SCMP_SYS(execve), SCMP_SYS(execveat), SCMP_SYS(ptrace), SCMP_SYS(process_vm_readv),
                     SCMP_SYS(process_vm_writev), SCMP_SYS(socket), SCMP_SYS(socketpair), SCMP_SYS(connect),
                     SCMP_SYS(bind), SCMP_SYS(listen), SCMP_SYS(accept), SCMP_SYS(accept4), SCMP_SYS(kill),
                     SCMP_SYS(tkill), SCMP_SYS(pidfd_open), SCMP_SYS(pidfd_send_signal), SCMP_SYS(pidfd_getfd)}) {
        ok = ok && Add(filter, SCMP_ACT_ERRNO(EPERM), call);
    }
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ERRNO(EPERM), SCMP_SYS(tgkill), 1,
                                SCMP_A0(SCMP_CMP_NE, static_cast<scmp_datum_t>(::getpid()))) == 0;
    return ok && Load(filter);
}

bool RestrictForDecoding(int socket) {
    const Filter filter(seccomp_init(SCMP_ACT_ERRNO(EPERM)));
    if (!filter) return false;
    bool ok = true;
    for (int call : {
             // the descriptors it holds
             SCMP_SYS(read), SCMP_SYS(readv), SCMP_SYS(pread64), SCMP_SYS(preadv), SCMP_SYS(preadv2),
             SCMP_SYS(lseek), SCMP_SYS(close), SCMP_SYS(fstat), SCMP_SYS(fcntl), SCMP_SYS(dup),
             SCMP_SYS(write), SCMP_SYS(writev), SCMP_SYS(pwrite64),
             // memory, the picture's memfds included
             SCMP_SYS(brk), SCMP_SYS(mmap), SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(mprotect),
             SCMP_SYS(madvise), SCMP_SYS(memfd_create), SCMP_SYS(ftruncate), SCMP_SYS(membarrier),
             // threads, signals, time
             SCMP_SYS(futex), SCMP_SYS(set_robust_list), SCMP_SYS(get_robust_list), SCMP_SYS(rseq),
             SCMP_SYS(set_tid_address), SCMP_SYS(gettid), SCMP_SYS(getpid), SCMP_SYS(sched_yield),
             SCMP_SYS(sched_getaffinity), SCMP_SYS(rt_sigaction), SCMP_SYS(rt_sigprocmask),
             SCMP_SYS(rt_sigreturn), SCMP_SYS(sigaltstack), SCMP_SYS(restart_syscall),
             SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres), SCMP_SYS(clock_nanosleep),
             SCMP_SYS(nanosleep), SCMP_SYS(gettimeofday),
             // questions libraries ask about the machine
             SCMP_SYS(getrandom), SCMP_SYS(sysinfo), SCMP_SYS(uname), SCMP_SYS(getrlimit),
             SCMP_SYS(getuid), SCMP_SYS(geteuid), SCMP_SYS(getgid), SCMP_SYS(getegid),
             SCMP_SYS(exit), SCMP_SYS(exit_group)}) {
        ok = ok && Add(filter, SCMP_ACT_ALLOW, call);
    }
    // Pages for the picture's memfd, allocated ahead of the copy.
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(fallocate), 1, SCMP_A1(SCMP_CMP_EQ, 0)) == 0;
    // Status of a descriptor it holds, never of a path.
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(newfstatat), 1,
                                SCMP_A3(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0;
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(statx), 1,
                                SCMP_A2(SCMP_CMP_MASKED_EQ, AT_EMPTY_PATH, AT_EMPTY_PATH)) == 0;
    // Limits read, never raised.
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 2, SCMP_A0(SCMP_CMP_EQ, 0),
                                SCMP_A2(SCMP_CMP_EQ, 0)) == 0;
    // Threads of its own, no new processes; clone3's flags lie out of the
    // filter's reach, and the C library falls back to clone without it.
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                                SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD)) == 0;
    ok = ok && Add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3));
    // Signals only to itself (abort raises one).
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1,
                                SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(::getpid()))) == 0;
    // The reply, on its socket only.
    ok = ok && seccomp_rule_add(filter.get(), SCMP_ACT_ALLOW, SCMP_SYS(sendmsg), 1,
                                SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(socket))) == 0;
    for (int call : {SCMP_SYS(open), SCMP_SYS(openat), SCMP_SYS(openat2), SCMP_SYS(creat)}) {
        ok = ok && Add(filter, SCMP_ACT_ERRNO(EACCES), call);
    }
    return ok && Load(filter);
}

}  // namespace vantoria::imaging::helper
