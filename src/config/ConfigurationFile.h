#pragma once

#include "config/ConfigurationFileSystem.h"
#include "config/ConfigurationLoadResult.h"
#include "core/ActionError.h"

#include <QByteArray>
#include <QDateTime>
#include <QFileInfo>
#include <QString>

#include <exception>
#include <functional>
#include <optional>

// Loading a configuration file and setting an unreadable one aside. Main thread in practice,
// but nothing here keeps state.
class ConfigurationFile {
public:
    // Reads the file at `path` and decodes it with `decode`, which throws (ActionError, or any
    // std::exception) when the bytes are not a valid T.
    // - No file at `path`: missing.
    // - Read and decoded: loaded(value).
    // - Read or decode failed: the file is copied aside with backUp() and the result is
    //   malformed, with `backupURL` set, or, when the copy failed too, with `backupProblem`.
    // The file itself is never changed. Never throws.
    template <typename T>
    static ConfigurationLoadResult<T> load(
        const QString& path, const std::function<T(const QByteArray&)>& decode,
        const QDateTime& date = QDateTime::currentDateTimeUtc(),
        const ConfigurationFileSystem& files = ConfigurationFileSystem());

    // Copies the file to the first free name of the form
    // "<base>.malformed-<yyyyMMddTHHmmssZ>[-n].<ext>" in the same folder (n = 2, 3, ... when the
    // plain name is taken), with `date` written in UTC, and returns the copy's path. Throws
    // ActionError when the copy fails; the original stays where it was.
    static QString backUp(const QString& path,
                          const QDateTime& date = QDateTime::currentDateTimeUtc(),
                          const ConfigurationFileSystem& files = ConfigurationFileSystem());

    // `date` in UTC as yyyyMMdd'T'HHmmss'Z', for example 20261205T061100Z.
    static QString backupDateText(const QDateTime& date);

private:
    static ConfigurationRecovery recover(const QString& path, const QString& problem,
                                         const QDateTime& date,
                                         const ConfigurationFileSystem& files);
};

template <typename T>
ConfigurationLoadResult<T> ConfigurationFile::load(
    const QString& path, const std::function<T(const QByteArray&)>& decode, const QDateTime& date,
    const ConfigurationFileSystem& files) {
    if (!files.exists(path)) {
        return ConfigurationLoadResult<T>::missing();
    }
    QByteArray bytes;
    try {
        bytes = files.read(path);
    } catch (const ActionError& error) {
        return ConfigurationLoadResult<T>::malformed(recover(path, error.message(), date, files));
    }
    QString problem;
    try {
        return ConfigurationLoadResult<T>::loaded(decode(bytes));
    } catch (const ActionError& error) {
        problem = error.message();
    } catch (const std::exception& error) {
        problem = QString::fromUtf8(error.what());
    }
    return ConfigurationLoadResult<T>::malformed(
        recover(path,
                QStringLiteral("The file “%1” isn’t in the correct format: %2")
                    .arg(QFileInfo(path).fileName(), problem),
                date, files));
}
