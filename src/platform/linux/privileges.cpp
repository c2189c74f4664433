// The tool needs the right to open a raw socket and nothing else. Everything
// after the socket is open handles data from the network, so by then the
// process keeps no capability and no borrowed user or group: a fault in that
// code must not be worth more than the invoking user's own rights.

#include "platform/linux/privileges.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Capability sets are 64 bits wide in the kernel's interface.
constexpr int kCapabilityLimit = 64;

// Empties the bounding set, so that no later exec could grant a capability.
// This needs CAP_SETPCAP; a process started with a file capability for raw
// sockets alone lacks it (EPERM), and then its empty permitted set and
// no_new_privs already rule out any gain.
int ClearBoundingSet() {
    for (int capability = 0;
         capability < kCapabilityLimit && prctl(PR_CAPBSET_READ, capability) >= 0; ++capability) {
        if (prctl(PR_CAPBSET_DROP, capability) != 0) {
            return errno == EPERM ? 0 : -1;
        }
    }
    return 0;
}

// Sets the real, effective and saved IDs to the real ones: a set-user-ID or
// set-group-ID start returns to its invoker, any other start keeps its IDs.
int ReturnToInvoker() {
    const gid_t group = getgid();
    const uid_t user = getuid();
    if (setresgid(group, group, group) != 0 || setresuid(user, user, user) != 0) {
        return -1;
    }
    return 0;
}

int ClearCapabilities() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    return static_cast<int>(syscall(SYS_capset, &header, sets));
}

bool HoldsAnyCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, sets) != 0) {
        return true;
    }
    for (const __user_cap_data_struct& set : sets) {
        if (set.effective != 0 || set.permitted != 0 || set.inheritable != 0) {
            return true;
        }
    }
    return false;
}

bool AllIdsAreReal() {
    uid_t realUser = 0, effectiveUser = 0, savedUser = 0;
    gid_t realGroup = 0, effectiveGroup = 0, savedGroup = 0;
    return getresuid(&realUser, &effectiveUser, &savedUser) == 0 &&
           getresgid(&realGroup, &effectiveGroup, &savedGroup) == 0 && effectiveUser == realUser &&
           savedUser == realUser && effectiveGroup == realGroup && savedGroup == realGroup;
}

// Whether the user or group the process was started with can be taken back.
bool CanRegain(uid_t startUser, gid_t startGroup) {
    return (startUser != getuid() && seteuid(startUser) == 0) ||
           (startGroup != getgid() && setegid(startGroup) == 0);
}

}  // namespace

int DropPrivileges() {
    const uid_t startUser = geteuid();
    const gid_t startGroup = getegid();
    if (ClearBoundingSet() != 0 || prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 ||
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ReturnToInvoker() != 0 ||
        ClearCapabilities() != 0) {
        return -1;
    }
    if (HoldsAnyCapability() || !AllIdsAreReal() || CanRegain(startUser, startGroup)) {
        errno = ENOTRECOVERABLE;
        return -1;
    }
    return 0;
}
