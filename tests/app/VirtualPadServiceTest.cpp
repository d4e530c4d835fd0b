#include "app/VirtualPadService.h"
#include "app/VirtualPads.h"
#include "device/virtual/SimulatedHidManager.h"
#include "support/TestSupport.h"

#include "DbusDaemon.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The fixture carries the name of the class under test, which lives in the global namespace.
namespace app_test {
// The service exported on its own connection to a private bus, called from a second connection
// as another process would (the calls are asynchronous, so this thread keeps serving them).
class VirtualPadService : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << bus.log().toStdString();
        server = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.address(), QStringLiteral("pads-server")));
        client = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus.address(), QStringLiteral("pads-client")));
        ASSERT_TRUE(server->isConnected());
        ASSERT_TRUE(client->isConnected());
        pads.addStandardPads();
        service = std::make_unique<::VirtualPadService>(pads);
        ASSERT_TRUE(service->registerOn(*server));
    }
    void TearDown() override {
        server.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("pads-server"));
        QDBusConnection::disconnectFromBus(QStringLiteral("pads-client"));
    }

    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            server->baseService(), QString::fromLatin1(::VirtualPadService::objectPath),
            QString::fromLatin1(::VirtualPadService::interfaceName), method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client->asyncCall(message, 5000);
        waitUntil([&] { return pending.isFinished(); });
        return pending.reply();
    }
    static QString errorSuffix(const QDBusMessage& reply) {
        return reply.type() == QDBusMessage::ErrorMessage
                   ? reply.errorName().mid(
                         QString::fromLatin1(::VirtualPadService::errorPrefix).size())
                   : QStringLiteral("(no error)");
    }

    DbusDaemon bus;
    std::unique_ptr<QDBusConnection> server;
    std::unique_ptr<QDBusConnection> client;
    SimulatedHidManager hid;
    VirtualPads pads{hid};
    std::unique_ptr<::VirtualPadService> service;
    QTemporaryDir folder;
};

TEST_F(VirtualPadService, ListPadsAnswersNameKindDeviceIdAndPluggedState) {
    const QDBusMessage reply = call(QStringLiteral("ListPads"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), "a(sssb)");
    const QList<VirtualPadEntry> entries =
        qdbus_cast<QList<VirtualPadEntry>>(reply.arguments().value(0));
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].name, "displaypad");
    EXPECT_EQ(entries[0].kind, "mountain");
    EXPECT_EQ(entries[0].deviceID, pads.list()[0].deviceID);
    EXPECT_TRUE(entries[0].plugged);
    EXPECT_EQ(entries[1].name, "msd-two");
    EXPECT_EQ(entries[1].kind, "msdTwo");

    EXPECT_EQ(errorSuffix(call(QStringLiteral("Unplug"), {QStringLiteral("msd-two")})),
              "(no error)");
    const QList<VirtualPadEntry> after =
        qdbus_cast<QList<VirtualPadEntry>>(call(QStringLiteral("ListPads")).arguments().value(0));
    ASSERT_EQ(after.size(), 2);
    EXPECT_TRUE(after[0].plugged);
    EXPECT_FALSE(after[1].plugged);
}

TEST_F(VirtualPadService, BadRequestsAnswerWithNamedErrors) {
    EXPECT_EQ(errorSuffix(call("PressKey", {QStringLiteral("nothing"), 1})), "UnknownPad");
    EXPECT_EQ(errorSuffix(call("PressKey", {QStringLiteral("displaypad"), 13})), "InvalidArgument");
    EXPECT_EQ(errorSuffix(call("TurnDial", {QStringLiteral("msd-two"), QStringLiteral("big"), 1})),
              "InvalidArgument");
    EXPECT_EQ(errorSuffix(call("SavePicture", {QStringLiteral("displaypad"),
                                               folder.filePath("missing/picture.png")})),
              "WriteFailed");
    call("Unplug", {QStringLiteral("displaypad")});
    const QDBusMessage unplugged = call("PressKey", {QStringLiteral("displaypad"), 1});
    EXPECT_EQ(errorSuffix(unplugged), "Unplugged");
    EXPECT_EQ(unplugged.errorMessage(),
              "The virtual pad \"displaypad\" is unplugged; plug it in first");
}

TEST_F(VirtualPadService, EveryMethodAnswersAWellFormedRequest) {
    const QString path = folder.filePath("msd.png");
    const QList<std::pair<QString, QVariantList>> requests = {
        {"PressKey", {QStringLiteral("displaypad"), 2}},
        {"ReleaseKey", {QStringLiteral("displaypad"), 2}},
        {"PressButton", {QStringLiteral("msd-two"), 1}},
        {"TurnDial", {QStringLiteral("msd-two"), QStringLiteral("right"), -4}},
        {"PressDial", {QStringLiteral("msd-two"), QStringLiteral("large")}},
        {"PressRoundButton", {QStringLiteral("msd-two"), QStringLiteral("middle")}},
        {"Unplug", {QStringLiteral("displaypad")}},
        {"Plug", {QStringLiteral("displaypad")}},
        {"SavePicture", {QStringLiteral("msd-two"), path}},
    };
    for (const auto& [method, arguments] : requests) {
        const QDBusMessage reply = call(method, arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
            << method.toStdString() << ": " << reply.errorMessage().toStdString();
    }
    EXPECT_EQ(QImage(path).size(), QSize(320, 240));
}

TEST_F(VirtualPadService, UnregistersItsObjectWhenDestroyed) {
    {
        SimulatedHidManager otherHid;
        VirtualPads otherPads(otherHid);
        ::VirtualPadService shortLived(otherPads);
        // The path is the long-lived service's already.
        EXPECT_FALSE(shortLived.registerOn(*server));
    }
    EXPECT_EQ(errorSuffix(call("ListPads")), "(no error)");
    service.reset();
    EXPECT_EQ(call("ListPads").errorName(), "org.freedesktop.DBus.Error.UnknownObject");
}

}  // namespace app_test
