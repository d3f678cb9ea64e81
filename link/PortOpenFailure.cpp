#include "link/PortOpenFailure.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The group serial adapters belong to on Debian; named when the node's own cannot be read.
constexpr char kSerialGroup[] = "dialout";

std::string ProgramName(const std::string& pidDir) {
    std::ifstream in(pidDir + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool IsPid(const char* name) {
    if (!*name) return false;
    for (const char* c = name; *c; ++c)
        if (*c < '0' || *c > '9') return false;
    return true;
}

// True when one of the process's descriptors is the device `target`.
bool HoldsDevice(const std::string& pidDir, const struct stat& target) {
    const std::string fdDir = pidDir + "/fd";
    DIR* dir = opendir(fdDir.c_str());
    if (!dir) return false;
    bool holds = false;
    while (const dirent* entry = readdir(dir)) {
        if (!IsPid(entry->d_name)) continue;
        struct stat st{};
        if (stat((fdDir + "/" + entry->d_name).c_str(), &st) != 0) continue;
        const bool sameDevice = S_ISCHR(target.st_mode) ? S_ISCHR(st.st_mode) && st.st_rdev == target.st_rdev
                                                         : st.st_dev == target.st_dev && st.st_ino == target.st_ino;
        if (sameDevice) {
            holds = true;
            break;
        }
    }
    closedir(dir);
    return holds;
}

}  // namespace

PortProblem ProblemOfErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR: return PortProblem::Missing;
    case EACCES:
    case EPERM:
    case EROFS: return PortProblem::NoPermission;
    case EBUSY:
    case EWOULDBLOCK: return PortProblem::Busy;
    case ENODEV:
    case ENXIO:
    case EIO: return PortProblem::Vanished;
    case ENOTTY:
    case EINVAL: return PortProblem::NotSerial;
    default: return PortProblem::Other;
    }
}

std::string ProgramsHolding(const std::string& path, pid_t self) {
    struct stat target{};
    if (stat(path.c_str(), &target) != 0) return {};
    DIR* proc = opendir("/proc");
    if (!proc) return {};
    std::string holders;
    while (const dirent* entry = readdir(proc)) {
        if (!IsPid(entry->d_name) || std::atoi(entry->d_name) == self) continue;
        const std::string pidDir = std::string("/proc/") + entry->d_name;
        if (!HoldsDevice(pidDir, target)) continue;
        if (!holders.empty()) holders += ", ";
        holders += ProgramName(pidDir) + " (pid " + entry->d_name + ")";
    }
    closedir(proc);
    return holders;
}

PortOpenFailure DescribePortFailure(const std::string& path, PortProblem problem, int error, pid_t self) {
    PortOpenFailure failure;  // by name: a field added to the struct keeps its own default
    failure.problem = problem;
    failure.error = error;
    if (problem == PortProblem::NoPermission) {
        struct stat st{};
        const bool known = stat(path.c_str(), &st) == 0;
        const group* owner = known ? getgrgid(st.st_gid) : nullptr;
        failure.group = owner && owner->gr_name ? owner->gr_name : kSerialGroup;
        if (known) {
            failure.mode = st.st_mode & 07777;
            failure.groupMayOpen = st.st_gid != 0 && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP);
        }
    } else if (problem == PortProblem::Busy) {
        failure.holders = ProgramsHolding(path, self);
    }
    return failure;
}

std::string PortFailureReason(const PortOpenFailure& failure) {
    if (!failure.reason.empty()) return failure.reason;
    switch (failure.problem) {
    case PortProblem::None: return {};
    case PortProblem::Missing: return "нет такого порта";
    case PortProblem::NoPermission:
        if (!failure.groupMayOpen) {
            // Joining root, or a group the node shuts out, is no advice: the node needs a udev rule.
            char mode[8];
            std::snprintf(mode, sizeof mode, "%04o", failure.mode);
            return "нет прав на порт: его группа " + failure.group + " (права " + mode +
                   ") не открывает его пользователям. Нужно правило udev с GROUP=\"" + kSerialGroup +
                   "\", MODE=\"0660\" для этого устройства, затем sudo usermod -aG " + kSerialGroup +
                   " $USER и войти в систему заново";
        }
        return "нет прав на порт: пользователь не в группе " + failure.group + ", которой принадлежит устройство. "
               "Вступить: sudo usermod -aG " + failure.group + " $USER, затем выйти из системы и войти заново";
    case PortProblem::Busy:
        return failure.holders.empty() ? "порт занят другой программой" : "порт занят: " + failure.holders;
    case PortProblem::Vanished: return "устройство пропало (адаптер отключён?)";
    case PortProblem::NotSerial: return "это не последовательный порт";
    case PortProblem::Other: break;
    }
    return "ошибка " + std::to_string(failure.error);
}
