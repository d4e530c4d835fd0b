#include "siteicons/SiteIconDiscovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QRegularExpression& baseElement() {
    static const QRegularExpression pattern(QStringLiteral("(?is)<base\\b[^>]*>"));
    return pattern;
}

const QRegularExpression& linkElement() {
    static const QRegularExpression pattern(QStringLiteral("(?is)<link\\b[^>]*>"));
    return pattern;
}

QStringList whitespaceTokens(const QString& text) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return text.split(blanks, Qt::SkipEmptyParts);
}

}  // namespace

QHash<QString, QString> SiteIconDiscovery::attributes(QStringView tag) {
    static const QRegularExpression pattern(
        QStringLiteral("(?is)([a-z][a-z0-9:-]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));
    QHash<QString, QString> result;
    QRegularExpressionMatchIterator matches = pattern.globalMatch(tag);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        const int value = match.hasCaptured(2) ? 2 : match.hasCaptured(3) ? 3 : 4;
        result.insert(match.captured(1).toLower(), match.captured(value));
    }
    return result;
}

QUrl SiteIconDiscovery::webURL(const QString& value, const QUrl& base) {
    QString text = value;
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    const QUrl reference(text);
    if (!reference.isValid()) {
        return {};
    }
    const QUrl resolved = base.resolved(reference);
    const QString scheme = resolved.scheme().toLower();
    // An http address without a host is nothing that can be fetched.
    if ((scheme != u"http" && scheme != u"https") || !resolved.isValid() ||
        resolved.host().isEmpty()) {
        return {};
    }
    return resolved;
}

int SiteIconDiscovery::dimension(const QString& sizes, int fallback) {
    std::optional<int> largest;
    for (const QString& token : whitespaceTokens(sizes.toLower())) {
        const QStringList pieces = token.split(u'x', Qt::SkipEmptyParts);
        if (pieces.isEmpty()) {
            continue;
        }
        bool ok = false;
        const int value = pieces.first().toInt(&ok, 10);
        if (ok) {
            largest = std::max(largest.value_or(std::numeric_limits<int>::min()), value);
        }
    }
    return largest.value_or(fallback);
}

SiteIconDiscovery::Links SiteIconDiscovery::links(const QString& html, const QUrl& pageURL) {
    Links links;
    QUrl base = pageURL;
    const QRegularExpressionMatch baseMatch = baseElement().match(html);
    if (baseMatch.hasMatch()) {
        const QHash<QString, QString> attributes =
            SiteIconDiscovery::attributes(baseMatch.capturedView());
        if (const auto href = attributes.constFind(QStringLiteral("href"));
            href != attributes.cend()) {
            if (const QUrl resolved = webURL(*href, pageURL); !resolved.isEmpty()) {
                base = resolved;
            }
        }
    }

    QRegularExpressionMatchIterator matches = linkElement().globalMatch(html);
    while (matches.hasNext()) {
        const QHash<QString, QString> attributes =
            SiteIconDiscovery::attributes(matches.next().capturedView());
        const auto href = attributes.constFind(QStringLiteral("href"));
        if (href == attributes.cend()) {
            continue;
        }
        const QUrl url = webURL(*href, base);
        if (url.isEmpty()) {
            continue;
        }
        const QStringList rel = whitespaceTokens(attributes.value(QStringLiteral("rel")).toLower());
        const QString sizes = attributes.value(QStringLiteral("sizes"));
        if (rel.contains(QStringLiteral("manifest"))) {
            links.manifests.append(url);
        } else if (rel.contains(QStringLiteral("apple-touch-icon")) ||
                   rel.contains(QStringLiteral("apple-touch-icon-precomposed"))) {
            links.icons.append({url, dimension(sizes, touchIconFallbackSize)});
        } else if (rel.contains(QStringLiteral("icon"))) {
            links.icons.append({url, dimension(sizes, iconFallbackSize)});
        }
    }
    return links;
}

QList<SiteIconDiscovery::Candidate> SiteIconDiscovery::manifestIcons(const QByteArray& manifest,
                                                                     const QUrl& manifestURL) {
    QList<Candidate> candidates;
    const QJsonDocument document = QJsonDocument::fromJson(manifest);
    if (!document.isObject() || !document.object().value(QStringLiteral("icons")).isArray()) {
        return candidates;
    }
    const QJsonArray icons = document.object().value(QStringLiteral("icons")).toArray();
    if (!std::all_of(icons.begin(), icons.end(),
                     [](const QJsonValue& icon) { return icon.isObject(); })) {
        return candidates;
    }
    const qsizetype count = std::min<qsizetype>(icons.size(), manifestIconLimit);
    for (qsizetype index = 0; index < count; ++index) {
        const QJsonObject icon = icons.at(index).toObject();
        const QJsonValue src = icon.value(QStringLiteral("src"));
        const QUrl url = src.isString() ? webURL(src.toString(), manifestURL) : QUrl();
        if (url.isEmpty()) {
            continue;
        }
        const QJsonValue purposeValue = icon.value(QStringLiteral("purpose"));
        const QStringList purpose = whitespaceTokens(
            purposeValue.isString() ? purposeValue.toString() : QStringLiteral("any"));
        if (!purpose.contains(QStringLiteral("any")) &&
            !purpose.contains(QStringLiteral("maskable"))) {
            continue;
        }
        const QJsonValue sizes = icon.value(QStringLiteral("sizes"));
        candidates.append({url, dimension(sizes.isString() ? sizes.toString() : QString(),
                                          manifestIconFallbackSize)});
    }
    return candidates;
}

QList<SiteIconDiscovery::Candidate> SiteIconDiscovery::ranked(QList<Candidate> candidates) {
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.size > b.size; });
    // A set, not a search of the kept list: a page may link tens of thousands of icons.
    QSet<QUrl> seen;
    QList<Candidate> unique;
    for (const Candidate& candidate : candidates) {
        if (!seen.contains(candidate.url)) {
            seen.insert(candidate.url);
            unique.append(candidate);
        }
    }
    return unique;
}
