#pragma once

#include "scripting/ScriptObjects.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class ScriptingService;

// The scripting objects on D-Bus, one Qt object per exported path (docs/dbus.md). Properties
// are read when asked, so they always show the current state; changes go through methods, which
// answer a refused request with a named error (ScriptingService::errorPrefix + reason) whose
// message is the text the device's status line shows too.
//
// Threads: main thread (Qt delivers the calls there). The service owns every adaptor.

// Shared by the adaptors: turns a ScriptError into the D-Bus error reply.
class ScriptAdaptorBase : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit ScriptAdaptorBase(ScriptingService& service) : service_(service) {}

protected:
    // Runs `request`; a refusal becomes the error reply and `fallback` is returned.
    template <typename T>
    T answer(const std::function<T()>& request, T fallback = T());
    void answer(const std::function<void()>& request);
    // Replies with the error `reason` (a name below errorPrefix) and `message`.
    void refuse(const char* reason, const QString& message);

    ScriptingService& service_;
};

class ScriptApplicationAdaptor : public ScriptAdaptorBase {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Zodovuvur.Application")
    Q_PROPERTY(uint ApiVersion READ apiVersion)
    Q_PROPERTY(QList<QDBusObjectPath> Devices READ devices)
    Q_PROPERTY(QList<QDBusObjectPath> ScreenButtons READ screenButtons)

public:
    using ScriptAdaptorBase::ScriptAdaptorBase;

    uint apiVersion() const;
    QList<QDBusObjectPath> devices() const;
    QList<QDBusObjectPath> screenButtons() const;

public Q_SLOTS:
    QDBusObjectPath DeviceWithID(const QString& id);
    QDBusObjectPath ScreenButtonWithID(const QString& id);
    QDBusObjectPath ScreenButtonsWithName(const QString& name);
};

class ScriptDeviceAdaptor : public ScriptAdaptorBase {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Zodovuvur.Device")
    Q_PROPERTY(QString UniqueID READ uniqueID)
    Q_PROPERTY(QString Name READ name)
    Q_PROPERTY(bool Connected READ connected)
    Q_PROPERTY(QList<QDBusObjectPath> ScreenButtons READ screenButtons)

public:
    ScriptDeviceAdaptor(ScriptingService& service, ScriptDevice device)
        : ScriptAdaptorBase(service), device_(std::move(device)) {}

    QString uniqueID() const { return device_.uniqueID(); }
    QString name() const { return device_.name(); }
    bool connected() const { return device_.connected(); }
    QList<QDBusObjectPath> screenButtons() const;

public Q_SLOTS:
    void SetName(const QString& name);
    QDBusObjectPath ScreenButtonsWithName(const QString& name);

private:
    ScriptDevice device_;
};

class ScriptButtonAdaptor : public ScriptAdaptorBase {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Zodovuvur.ScreenButton")
    Q_PROPERTY(QString UniqueID READ uniqueID)
    Q_PROPERTY(QString Name READ name)
    Q_PROPERTY(QString Icon READ icon)
    Q_PROPERTY(QString DeviceID READ deviceID)
    Q_PROPERTY(QString SceneID READ sceneID)
    Q_PROPERTY(QString ReferenceName READ referenceName)
    Q_PROPERTY(QList<QDBusObjectPath> Badges READ badges)

public:
    ScriptButtonAdaptor(ScriptingService& service, ScriptScreenButton button, QString path)
        : ScriptAdaptorBase(service), button_(std::move(button)), path_(std::move(path)) {}

    const ScriptScreenButton& button() const { return button_; }
    void setButton(ScriptScreenButton button) { button_ = std::move(button); }

    QString uniqueID() const { return button_.uniqueID(); }
    QString name() const { return button_.name(); }
    QString icon() const { return button_.icon().value_or(QString()); }
    QString deviceID() const;
    QString sceneID() const;
    QString referenceName() const { return button_.referenceName().value_or(QString()); }
    QList<QDBusObjectPath> badges() const;

public Q_SLOTS:
    void SetName(const QString& name);
    void SetIcon(const QString& file);
    void ClearIcon();
    QDBusObjectPath Badge(const QString& position);

private:
    ScriptScreenButton button_;
    QString path_;
};

class ScriptBadgeAdaptor : public ScriptAdaptorBase {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvel.Zodovuvur.Badge")
    Q_PROPERTY(QString Name READ name)
    Q_PROPERTY(bool HasValue READ hasValue)
    Q_PROPERTY(qlonglong Value READ value)
    Q_PROPERTY(QString Color READ color)
    Q_PROPERTY(bool Displayed READ displayed)
    Q_PROPERTY(bool Truncation READ truncation)

public:
    ScriptBadgeAdaptor(ScriptingService& service, ScriptBadge badge)
        : ScriptAdaptorBase(service), badge_(std::move(badge)) {}

    void setBadge(ScriptBadge badge) { badge_ = std::move(badge); }

    QString name() const { return badge_.name(); }
    bool hasValue() const { return badge_.style().value.has_value(); }
    qlonglong value() const { return badge_.style().value.value_or(0); }
    QString color() const { return badge_.style().color.value_or(QString()); }
    bool displayed() const { return badge_.style().displayed; }
    bool truncation() const { return badge_.style().truncation; }

public Q_SLOTS:
    void SetValue(const QDBusVariant& value);
    void ClearValue();
    void SetColor(const QString& color);
    void ClearColor();
    void SetDisplayed(bool displayed);
    void SetTruncation(bool truncation);

private:
    ScriptBadge badge_;
};
