// Why a port did not open: the reason the engineer reads beside "Не могу открыть ...",
// on real device nodes (a pseudo-terminal held by another program, files, missing names).
#include "link/ComPortUnit.h"
#include "link/PortOpenFailure.h"
#include "link/PosixSerialLine.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>
#include <tuple>
#include <vector>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Another program, named `name`, that opens `path` and takes its lock, until the test ends.
class Holder {
public:
    Holder(const std::string& path, const char* name) {
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_NAME, name);
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char ok = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
            (void)!::write(ready[1], &ok, 1);
            for (;;) pause();
        }
        char ok = 0;
        held_ = pid_ > 0 && ::read(ready[0], &ok, 1) == 1 && ok == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~Holder() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool Held() const { return held_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool held_ = false;
};

std::string OpenFailureOf(const std::string& path) {
    PosixSerialLine line;
    if (line.Open(path)) return "opened";
    return PortFailureReason(line.OpenFailure());
}

std::string TempPath(const char* tag) {
    return (std::filesystem::temp_directory_path() / ("ornix-" + std::to_string(getpid()) + "-" + tag)).string();
}

TEST(PortOpenFailure, ReasonForEachKindOfNode) {
    PtyPeer pty;
    ASSERT_TRUE(pty.IsOpen());
    const std::string ptyPath = "/dev/" + pty.PortName();
    const std::string file = TempPath("plain");
    { std::FILE* f = std::fopen(file.c_str(), "w"); ASSERT_TRUE(f); std::fclose(f); }

    EXPECT_EQ(OpenFailureOf("/dev/ttyNoSuchPort0"), "нет такого порта");
    EXPECT_EQ(OpenFailureOf("/nonexistent/port"), "нет такого порта");
    EXPECT_EQ(OpenFailureOf(file), "это не последовательный порт");
    EXPECT_EQ(OpenFailureOf(ptyPath), "opened");
    {
        Holder minicom(ptyPath, "minicom");
        ASSERT_TRUE(minicom.Held());
        EXPECT_EQ(OpenFailureOf(ptyPath), "порт занят: minicom (pid " + std::to_string(minicom.Pid()) + ")");
    }
    {
        // This program itself holding the port names no one: the engineer cannot close it.
        PosixSerialLine own;
        ASSERT_TRUE(own.Open(ptyPath));
        EXPECT_EQ(OpenFailureOf(ptyPath), "порт занят другой программой");
    }
    // The holder gone, the port opens again.
    EXPECT_EQ(OpenFailureOf(ptyPath), "opened");
    std::filesystem::remove(file);
}

TEST(PortOpenFailure, PortKeepsItsTextAndCarriesTheReason) {
    TECOMPort port;
    port.PortName = "ttyNoSuchPort0";
    EXPECT_EQ(port.Open(), 1);
    EXPECT_EQ(port.ResultText, "Не могу открыть ttyNoSuchPort0");
    EXPECT_EQ(port.OpenFailureReason, "нет такого порта");

    PtyPeer pty;
    port.PortName = pty.PortName();
    ASSERT_EQ(port.Open(), 0);
    EXPECT_EQ(port.OpenFailureReason, "");
    port.Close();
}

// A device node the user may not open names its group and how to join it. Root opens any
// file, so as root the check runs in a child that has given up root for "nobody".
TEST(PortOpenFailure, ForbiddenNodeNamesItsGroupAndTheRemedy) {
    const std::string file = TempPath("forbidden");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    ASSERT_EQ(chmod(file.c_str(), 0), 0);
    struct stat st{};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    const group* owner = getgrgid(st.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string groupName = owner->gr_name;

    std::string reason;
    if (geteuid() != 0) {
        reason = OpenFailureOf(file);
    } else {
        constexpr uid_t kNobody = 65534;
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(out[0]);
            const bool dropped = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
            const std::string text = dropped ? OpenFailureOf(file) : "cannot drop root";
            (void)!::write(out[1], text.data(), text.size());
            _exit(0);
        }
        ::close(out[1]);
        char buffer[512];
        ssize_t n;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) reason.append(buffer, size_t(n));
        ::close(out[0]);
        waitpid(child, nullptr, 0);
        if (reason == "cannot drop root") {
            std::filesystem::remove(file);
            GTEST_SKIP() << "running as root and cannot switch to an unprivileged user to be refused";
        }
    }
    std::filesystem::remove(file);
    // Mode 0 shuts the group out too: joining it would not help, so the advice is a udev rule.
    EXPECT_EQ(reason, "нет прав на порт: его группа " + groupName +
                          " (права 0000) не открывает его пользователям. Нужно правило udev с GROUP=\"dialout\", "
                          "MODE=\"0660\" для этого устройства, затем sudo usermod -aG dialout $USER и войти в систему заново");
}

// Joining the node's group is advised only where it opens the node: never root, never a group
// the node's bits shut out.
TEST(PortOpenFailure, JoiningTheGroupIsAdvisedOnlyWhereItHelps) {
    const std::string join = "нет прав на порт: пользователь не в группе dialout, которой принадлежит устройство. "
                             "Вступить: sudo usermod -aG dialout $USER, затем выйти из системы и войти заново";
    const std::string rule = "нет прав на порт: его группа root (права 0660) не открывает его пользователям. "
                             "Нужно правило udev с GROUP=\"dialout\", MODE=\"0660\" для этого устройства, затем "
                             "sudo usermod -aG dialout $USER и войти в систему заново";
    EXPECT_EQ(PortFailureReason({PortProblem::NoPermission, EACCES, "dialout", {}, true, 0660, {}}), join);
    EXPECT_EQ(PortFailureReason({PortProblem::NoPermission, EACCES, "root", {}, false, 0660, {}}), rule);
    // A node that cannot even be looked at keeps the usual advice.
    EXPECT_EQ(PortFailureReason(DescribePortFailure(TempPath("gone"), PortProblem::NoPermission, EACCES, getpid())),
              join);
    for (const auto& [path, mode, gid, mayOpen] : std::vector<std::tuple<std::string, mode_t, gid_t, bool>>{
             {TempPath("g-rw"), 0660, 20, true}, {TempPath("g-r"), 0640, 20, false},
             {TempPath("root-rw"), 0660, 0, false}}) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
        // Changing the group needs root; as another user the file keeps the user's own group.
        if (chown(path.c_str(), uid_t(-1), gid) != 0) {
            std::filesystem::remove(path);
            continue;
        }
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        const PortOpenFailure f = DescribePortFailure(path, PortProblem::NoPermission, EACCES, getpid());
        EXPECT_EQ(f.groupMayOpen, mayOpen) << path;
        EXPECT_EQ(f.mode, unsigned(mode)) << path;
        EXPECT_EQ(PortFailureReason(f).find("usermod -aG root"), std::string::npos) << path;
        std::filesystem::remove(path);
    }
}

// An adapter pulled while its node is still held reads as gone, not as missing; a pty cannot show it.
TEST(PortOpenFailure, VanishedDeviceAndUnknownErrors) {
    for (int error : {ENODEV, ENXIO, EIO}) EXPECT_EQ(ProblemOfErrno(error), PortProblem::Vanished) << error;
    EXPECT_EQ(PortFailureReason({PortProblem::Vanished, EIO, {}, {}, true, 0, {}}), "устройство пропало (адаптер отключён?)");
    EXPECT_EQ(PortFailureReason({ProblemOfErrno(ENOMEM), ENOMEM, {}, {}, true, 0, {}}), "ошибка " + std::to_string(ENOMEM));
}

}  // namespace
