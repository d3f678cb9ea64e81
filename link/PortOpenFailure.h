#pragma once
// Why a serial port did not open, as a value: the step that failed with its errno, and
// what the system tells about the device (its group, the programs holding it), turned
// into a short Russian reason the engineer can act on.
#include <string>
#include <sys/types.h>
#include <vector>

enum class PortProblem {
    None,
    Missing,       // no device node by that name
    NoPermission,  // the device belongs to a group the user is not in
    Busy,          // another program holds the exclusive flag or the lock
    Vanished,      // the node is there, the device behind it is gone (adapter pulled)
    NotSerial,     // the name leads to something that is not a tty
    Other,
};

struct PortOpenFailure {
    PortProblem problem = PortProblem::None;
    int error = 0;            // errno of the failed step, 0 when the flag or lock said "taken"
    std::string group;        // group owning the device node, for NoPermission
    std::string holders;      // "minicom (pid 1234)", for Busy when /proc tells
    // For NoPermission: whether joining `group` would open the node (the group may read and
    // write it, and it is no system group such as root), and the node's permission bits.
    bool groupMayOpen = true;
    unsigned mode = 0;
    std::string reason;       // a line's own words (a network endpoint's failure), shown as they stand
};

// The problem an errno of open(), ioctl() or tcgetattr() on a tty stands for.
PortProblem ProblemOfErrno(int error);

// Fills in what the system knows of the device at `path` for this problem: the owning group
// of a forbidden node, the programs (other than `self`) that hold a busy one.
PortOpenFailure DescribePortFailure(const std::string& path, PortProblem problem, int error, pid_t self);

// Programs that have `path` open, from /proc/*/fd, except `self`: "name (pid N)", joined by
// ", ". Empty when none is visible (other users' processes are hidden to a normal user).
std::string ProgramsHolding(const std::string& path, pid_t self);

// The reason shown after the open-failure text; empty for PortProblem::None.
std::string PortFailureReason(const PortOpenFailure& failure);
