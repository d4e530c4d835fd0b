#include "PulseServer.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

// Run only as the child of the test below: starts a server, tells its pid, then dies abruptly,
// as a test does when a sanitizer halts it.
TEST(ServerLifetime, DISABLED_StartServerThenAbort) {
    const QByteArray pidFile = qgetenv("QUORVEL_SERVER_PID_FILE");
    ASSERT_FALSE(pidFile.isEmpty());
    PulseServer server(false);
    ASSERT_TRUE(server.isRunning()) << server.log().toStdString();
    QFile file(QString::fromLocal8Bit(pidFile));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::number(server.processId()));
    file.close();
    std::abort();
}

TEST(ServerLifetime, ServersEndWhenTheTestAborts) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString pidFile = folder.filePath("pid");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUORVEL_SERVER_PID_FILE", pidFile);
    child.setProcessEnvironment(environment);
    endWithTest(child);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests",
                 "--gtest_filter=ServerLifetime.DISABLED_StartServerThenAbort"});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    QFile file(pidFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << child.readAll().toStdString();
    const qint64 pid = file.readAll().toLongLong();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(waitUntil([&] { return processGone(pid); })) << "pulseaudio " << pid << " outlived";
}
