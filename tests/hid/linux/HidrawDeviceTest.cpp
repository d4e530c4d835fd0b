#include "device/linux/HidrawDevice.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
// access() answers for the real user id. Run as root, the test lends the real id to "nobody"
// (keeping root as the effective id to take it back), so that permissions apply as they do to a
// desktop user.
class RealUserWithoutPrivileges {
public:
    RealUserWithoutPrivileges() : root_(::geteuid() == 0) {
        if (root_) {
            changed_ = ::setresuid(65534, 0, 0) == 0;
        }
    }
    ~RealUserWithoutPrivileges() {
        if (changed_) {
            [[maybe_unused]] const int restored = ::setresuid(0, 0, 0);
        }
    }
    bool ready() const { return !root_ || changed_; }

private:
    bool root_;
    bool changed_ = false;
};
}  // namespace

TEST(HidrawDevice, NodeWithoutAccessIsAPermissionProblemThatNamesTheRules) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString node = dir.filePath(QStringLiteral("hidraw7"));
    QFile file(node);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(file.setPermissions({}));

    HidrawDevice::OpenFailure failure;
    HidDeviceInfo info;
    info.path = node;
    {
        RealUserWithoutPrivileges user;
        ASSERT_TRUE(user.ready());
        EXPECT_FALSE(HidrawDevice::open(info, failure));
    }
    EXPECT_TRUE(failure.permissionDenied) << failure.reason.toStdString();
    const QString message = failure.message(node);
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open pad node ") + node + u':'))
        << message.toStdString();
    EXPECT_TRUE(message.contains(u"packaging/70-quorvel.rules"));
    EXPECT_TRUE(message.contains(u"\"Access to the pads (udev rules)\""));
}

TEST(HidrawDevice, MissingNodeIsNotMistakenForAPermissionProblem) {
    QTemporaryDir dir;
    HidrawDevice::OpenFailure failure;
    HidDeviceInfo info;
    info.path = dir.filePath(QStringLiteral("hidraw9"));
    EXPECT_FALSE(HidrawDevice::open(info, failure));
    EXPECT_FALSE(failure.permissionDenied);
    EXPECT_FALSE(failure.reason.isEmpty());
    EXPECT_FALSE(failure.message(info.path).contains(u"udev rules"));
}
