// Giving up the process's privileges for good once its raw socket is open.
#pragma once

// Drops every capability (effective, permitted, inheritable, ambient and, when
// allowed, the bounding set), forbids any gain of privileges on exec, and
// returns a set-user-ID or set-group-ID process to its invoker's user and
// group. 0, or -1 with errno set when a step failed or a privilege could
// still be regained.
int DropPrivileges();
