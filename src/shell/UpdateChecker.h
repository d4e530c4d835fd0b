#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkAccessManager;

// Asks the product web site for the latest released version and compares it with the running
// one. It only ever announces a newer version; nothing is downloaded or installed.
//
// The web site is a build option (-DQUORVEL_UPDATE_SITE=https://…/). Without it, which is how
// distributions build the program, `enabled()` is false and no request is ever made.
namespace UpdateChecker {

enum class Result { upToDate, newerVersion, unableToCheck };

// Period of the automatic checks.
constexpr std::chrono::seconds interval{86400};

bool enabled();
// The web site's root address; empty when the build has none.
QUrl website();
// `site` with the path component "latest-version" appended.
QUrl endpoint(const QUrl& site);

// One asynchronous check of the build's web site for the running version
// (QCoreApplication::applicationVersion()); `completion` runs on the main thread. Without a web
// site it reports unableToCheck without touching the network.
void check(std::function<void(Result)> completion);
// The same against any endpoint, with the given network access (tests and the status menu's
// manual check share this path).
void check(QNetworkAccessManager& network, const QUrl& endpoint, const QString& currentVersion,
           std::function<void(Result)> completion);

// The pure evaluation of a response.
Result result(const QByteArray& data, int statusCode, const QString& currentVersion);

}  // namespace UpdateChecker
