// quorvelctl: the running Quorvel Zodovuvur's pads, screen buttons and badges from the shell.
// A thin client of the scripting objects on the session bus; every rule lives in the program.

#include "Client.h"

#include <QCoreApplication>
#include <QDBusVariant>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>

#include <cstdio>
#include <functional>

namespace {

const char* const usage =
    R"(Usage: quorvelctl [--json] COMMAND [ARGUMENTS] [--device DEVICE] [--by-name]

Commands:
  list                          devices and their screen buttons
  show BUTTON                   a screen button's name, icon and badges
  rename BUTTON NAME            set a screen button's script name
  rename-device DEVICE NAME     set a device's name
  icon BUTTON FILE              show the picture in FILE on the button
  icon BUTTON --clear           show the configured artwork again
  badge BUTTON POSITION [value N|missing] [color COLOR|missing]
                        [displayed yes|no] [truncation yes|no]
  version                       the scripting interface's version

BUTTON is a script id (a UUID) or a script name; a name stands for every button of that
name, on every device or, with --device, on that one. --by-name takes a UUID-shaped BUTTON
as a name. DEVICE is a device id or name. POSITION is one of "top left", "top middle",
"top right", "middle left", "middle middle", "middle right", "bottom left", "bottom middle",
"bottom right".

Exit status: 0 done, 1 refused by the program, 2 wrong command line,
3 Quorvel Zodovuvur not running, 4 no such device, button or badge.
)";

struct Options {
    bool json = false;
    bool byName = false;
    std::optional<QString> device;
    QStringList words;
};

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

[[noreturn]] void usageError(const QString& message) {
    throw CtlFailure(exitUsage, QStringLiteral("usage"), message);
}

bool parseSwitch(const QString& word) {
    static const QStringList yes = {"yes", "true", "on", "1"};
    static const QStringList no = {"no", "false", "off", "0"};
    if (yes.contains(word.toLower())) {
        return true;
    }
    if (no.contains(word.toLower())) {
        return false;
    }
    usageError(QStringLiteral("\"%1\" is not yes or no").arg(word));
}

// A badge value as the program should judge it: numbers as numbers, anything else as text,
// which it refuses with its own message.
QVariant badgeValue(const QString& text) {
    static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
    if (integer.match(text).hasMatch()) {
        bool ok = false;
        const qlonglong number = text.toLongLong(&ok);
        if (ok) {
            return number;
        }
    }
    bool ok = false;
    const double number = text.toDouble(&ok);
    return ok ? QVariant(number) : QVariant(text);
}

QJsonValue optionalText(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject describeButton(const Client& client, const QString& path, bool withBadges) {
    const QVariantMap button = client.properties(path, QStringLiteral("ScreenButton"));
    QJsonObject result{
        {"id", button.value("UniqueID").toString()},
        {"name", button.value("Name").toString()},
        {"device", button.value("DeviceID").toString()},
        {"scene", button.value("SceneID").toString()},
        {"icon", optionalText(button.value("Icon").toString())},
    };
    if (!button.value("ReferenceName").toString().isEmpty()) {
        result.insert("byName", button.value("ReferenceName").toString());
    }
    if (withBadges) {
        QJsonArray badges;
        for (const QString& badgePath :
             client.paths(path, QStringLiteral("ScreenButton"), QStringLiteral("Badges"))) {
            const QVariantMap badge = client.properties(badgePath, QStringLiteral("Badge"));
            badges.append(QJsonObject{
                {"position", badge.value("Name").toString()},
                {"value", badge.value("HasValue").toBool()
                              ? QJsonValue(badge.value("Value").toLongLong())
                              : QJsonValue()},
                {"color", optionalText(badge.value("Color").toString())},
                {"displayed", badge.value("Displayed").toBool()},
                {"truncation", badge.value("Truncation").toBool()},
            });
        }
        result.insert("badges", badges);
    }
    return result;
}

QString text(const QJsonValue& value) {
    return value.isNull() ? QStringLiteral("-") : value.toVariant().toString();
}

void list(const Client& client, const Options& options) {
    QJsonArray devices;
    const QStringList paths =
        options.device
            ? QStringList{client.device(*options.device)}
            : client.paths(Client::root, QStringLiteral("Application"), QStringLiteral("Devices"));
    for (const QString& path : paths) {
        const QVariantMap device = client.properties(path, QStringLiteral("Device"));
        QJsonArray buttons;
        for (const QString& button :
             client.paths(path, QStringLiteral("Device"), QStringLiteral("ScreenButtons"))) {
            buttons.append(describeButton(client, button, false));
        }
        devices.append(QJsonObject{{"id", device.value("UniqueID").toString()},
                                   {"name", device.value("Name").toString()},
                                   {"connected", device.value("Connected").toBool()},
                                   {"buttons", buttons}});
    }
    if (options.json) {
        out() << QJsonDocument(QJsonObject{{"devices", devices}}).toJson();
        return;
    }
    for (const QJsonValue& each : devices) {
        const QJsonObject device = each.toObject();
        out() << device["id"].toString() << "  " << device["name"].toString() << "  "
              << (device["connected"].toBool() ? "connected" : "not connected") << '\n';
        for (const QJsonValue& button : device["buttons"].toArray()) {
            const QJsonObject b = button.toObject();
            out() << "  " << b["id"].toString() << "  " << b["name"].toString();
            if (!b["icon"].isNull()) {
                out() << "  icon " << b["icon"].toString();
            }
            out() << '\n';
        }
    }
}

void show(const Client& client, const Options& options, const QString& buttonPath) {
    const QJsonObject button = describeButton(client, buttonPath, true);
    if (options.json) {
        out() << QJsonDocument(button).toJson();
        return;
    }
    out() << "id      " << button["id"].toString() << '\n'
          << "name    " << button["name"].toString() << '\n'
          << "device  " << button["device"].toString() << '\n'
          << "scene   " << button["scene"].toString() << '\n'
          << "icon    " << text(button["icon"]) << '\n';
    for (const QJsonValue& each : button["badges"].toArray()) {
        const QJsonObject badge = each.toObject();
        out() << "badge   " << qSetFieldWidth(14) << Qt::left << badge["position"].toString()
              << qSetFieldWidth(0) << "value " << text(badge["value"]) << "  color "
              << text(badge["color"]) << "  displayed "
              << (badge["displayed"].toBool() ? "yes" : "no") << "  truncation "
              << (badge["truncation"].toBool() ? "yes" : "no") << '\n';
    }
}

void badge(const Client& client, const QString& buttonPath, const QStringList& settings) {
    if (settings.isEmpty()) {
        usageError(QStringLiteral("badge needs a POSITION"));
    }
    const QString path = client.callForPath(buttonPath, QStringLiteral("ScreenButton"),
                                            QStringLiteral("Badge"), {settings[0]});
    if (settings.size() < 3 || settings.size() % 2 == 0) {
        usageError(QStringLiteral("badge needs pairs of a key and a value after the position"));
    }
    // Checked whole first, so that a typo late on the line changes nothing.
    QList<std::function<void()>> requests;
    const QString badgeInterface = QStringLiteral("Badge");
    for (qsizetype i = 1; i + 1 < settings.size(); i += 2) {
        const QString key = settings[i];
        const QString value = settings[i + 1];
        const bool missing = value == QLatin1String("missing");
        if (key == QLatin1String("value")) {
            requests.append([=, &client] {
                if (missing) {
                    client.call(path, badgeInterface, QStringLiteral("ClearValue"));
                } else {
                    client.call(path, badgeInterface, QStringLiteral("SetValue"),
                                {QVariant::fromValue(QDBusVariant(badgeValue(value)))});
                }
            });
        } else if (key == QLatin1String("color") || key == QLatin1String("colour")) {
            requests.append([=, &client] {
                client.call(path, badgeInterface,
                            missing ? QStringLiteral("ClearColor") : QStringLiteral("SetColor"),
                            missing ? QVariantList{} : QVariantList{value});
            });
        } else if (key == QLatin1String("displayed") || key == QLatin1String("truncation")) {
            const bool on = parseSwitch(value);
            const QString method = key == QLatin1String("displayed")
                                       ? QStringLiteral("SetDisplayed")
                                       : QStringLiteral("SetTruncation");
            requests.append([=, &client] { client.call(path, badgeInterface, method, {on}); });
        } else {
            usageError(QStringLiteral("unknown badge key \"%1\"; use value, color, displayed or "
                                      "truncation")
                           .arg(key));
        }
    }
    for (const auto& request : requests) {
        request();
    }
}

int run(const Options& options) {
    const QStringList& w = options.words;
    if (w.isEmpty()) {
        usageError(QStringLiteral("a command is needed"));
    }
    const QString command = w[0];
    const auto needs = [&](qsizetype count) {
        if (w.size() != count + 1 && !(command == QLatin1String("badge") && w.size() > count)) {
            usageError(QStringLiteral("%1 takes %2 arguments").arg(command).arg(count));
        }
    };
    static const QStringList commands = {"list", "show",  "rename", "rename-device",
                                         "icon", "badge", "version"};
    if (!commands.contains(command)) {
        usageError(QStringLiteral("unknown command \"%1\"").arg(command));
    }
    // The command line is checked before the program is asked anything.
    if (command == QLatin1String("list") || command == QLatin1String("version")) {
        needs(0);
    } else if (command == QLatin1String("show")) {
        needs(1);
    } else if (command == QLatin1String("badge")) {
        needs(2);
    } else {
        needs(2);
    }

    const Client client;
    if (command == QLatin1String("version")) {
        const QVariantMap application = client.properties(Client::root, "Application");
        const uint version = application.value("ApiVersion").toUInt();
        out() << (options.json ? QJsonDocument(QJsonObject{{"apiVersion", int(version)}}).toJson()
                               : QByteArray::number(version) + '\n');
        return exitOk;
    }
    if (command == QLatin1String("list")) {
        list(client, options);
        return exitOk;
    }
    if (command == QLatin1String("rename-device")) {
        client.call(client.device(w[1]), QStringLiteral("Device"), QStringLiteral("SetName"),
                    {w[2]});
    } else {
        const std::optional<QString> device =
            options.device ? std::optional<QString>(client.device(*options.device)) : std::nullopt;
        const QString button = client.button(w[1], options.byName, device);
        if (command == QLatin1String("show")) {
            show(client, options, button);
            return exitOk;
        }
        if (command == QLatin1String("rename")) {
            client.call(button, QStringLiteral("ScreenButton"), QStringLiteral("SetName"), {w[2]});
        } else if (command == QLatin1String("icon")) {
            if (w[2] == QLatin1String("--clear")) {
                client.call(button, QStringLiteral("ScreenButton"), QStringLiteral("ClearIcon"));
            } else {
                // The program does not know our working folder.
                const QString file =
                    w[2].contains(QLatin1Char(':')) ? w[2] : QFileInfo(w[2]).absoluteFilePath();
                client.call(button, QStringLiteral("ScreenButton"), QStringLiteral("SetIcon"),
                            {file});
            }
        } else {
            badge(client, button, w.mid(2));
        }
    }
    if (options.json) {
        out() << QJsonDocument(QJsonObject{{"ok", true}}).toJson();
    }
    return exitOk;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    Options options;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--json")) {
            options.json = true;
        } else if (argument == QLatin1String("--by-name")) {
            options.byName = true;
        } else if (argument == QLatin1String("--device") && i + 1 < arguments.size()) {
            options.device = arguments[++i];
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(usage, stdout);
            return exitOk;
        } else {
            options.words.append(argument);
        }
    }
    try {
        return run(options);
    } catch (const CtlFailure& failure) {
        if (options.json && failure.code != exitUsage) {
            out() << QJsonDocument(
                         QJsonObject{{"error", failure.errorName}, {"message", failure.message}})
                         .toJson();
        }
        out().flush();
        std::fprintf(stderr, "quorvelctl: %s\n", qUtf8Printable(failure.message));
        if (failure.code == exitUsage) {
            std::fputs("Try quorvelctl --help.\n", stderr);
        }
        return failure.code;
    }
}
