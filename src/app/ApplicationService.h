#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

// The standard `org.freedesktop.Application` interface of the running program, at the object
// path that desktop launchers derive from the bus name. A second start of the program reaches the
// first one through it (handOver), and so do launchers and file managers that open the
// application or a settings bundle with it.
//
//   Activate(a{sv})           show the configuration window
//   Open(as, a{sv})           show the window and import the given settings bundles (file URIs)
//   ActivateAction(s, av, a{sv})  "configure" (the same as Activate) and "quit" (the orderly
//                             quit); any other name answers org.freedesktop.DBus.Error.InvalidArgs
//
// An adaptor on the object at `objectPath`, which the scripting interface owns (ScriptingService);
// D-Bus allows one object per path, so both interfaces live on that one. It exists once the
// program owns its bus name and has started the store.
//
// Threads: main thread.
class ApplicationService : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    static constexpr const char* objectPath = "/org/quorvel/Zodovuvur";
    static constexpr const char* interfaceName = "org.freedesktop.Application";

    // What the calls ask for, run on the main thread. Plain callbacks rather than Qt signals:
    // an adaptor's signals would appear on the bus as signals of the interface.
    struct Handlers {
        std::function<void()> activate;
        // Local paths of the bundles, in the order given.
        std::function<void(const QStringList& paths)> open;
        std::function<void()> quit;
    };

    // `host` is the object registered at objectPath on `bus`, with
    // QDBusConnection::ExportAdaptors.
    ApplicationService(QObject* host, QDBusConnection bus, Handlers handlers);

    // The bundles named on a command line as file URIs: relative paths are taken from
    // `workingFolder`, "file:" URIs are kept. Anything else (another URI scheme) gives none and
    // `problem` says why.
    static std::optional<QStringList> bundleURIs(const QStringList& arguments,
                                                 const QString& workingFolder, QString* problem);
    // Local paths of `uris`; none (with `problem`) when one is not a local file URI.
    static std::optional<QStringList> localPaths(const QStringList& uris, QString* problem);

    // What a second start does once it found the program running on `bus`: nothing with
    // `background` and no bundles, otherwise Open with `uris` or Activate. Prints what happened
    // and returns the exit status: 0 when handed over (or nothing was to be handed over), 1 when
    // bundles could not be handed to the running copy.
    static int handOver(QDBusConnection bus, const QStringList& uris, bool background,
                        QTextStream& out, QTextStream& err);

public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    // The trailing message is the call itself (QtDBus hands it over), for error replies.
    void Open(const QStringList& uris, const QVariantMap& platformData, const QDBusMessage& call);
    void ActivateAction(const QString& actionName, const QVariantList& parameter,
                        const QVariantMap& platformData, const QDBusMessage& call);

private:
    void refuse(const QDBusMessage& call, const QString& message);

    QDBusConnection bus_;
    Handlers handlers_;
};
