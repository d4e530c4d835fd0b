#pragma once

#include <QString>

#include <optional>

// A configuration file that existed but could not be read or decoded, and what was done about
// it. The paths are absolute local file paths.
struct ConfigurationRecovery {
    // The unreadable file; always left in place, unchanged.
    QString originalURL;
    // The copy made of it; absent when the copy failed, which protects `originalURL` from
    // being overwritten for the rest of the run.
    std::optional<QString> backupURL;
    // Why reading or decoding failed, for people.
    QString problem;
    // Why the copy failed; absent when it succeeded.
    std::optional<QString> backupProblem;

    friend bool operator==(const ConfigurationRecovery&, const ConfigurationRecovery&) = default;
};
