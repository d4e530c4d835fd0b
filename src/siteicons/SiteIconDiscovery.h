#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

// Finds a web site's icons in what the site sent, without any network access: the icon and
// touch-icon links and manifest links of an HTML page, and the icons of a web app manifest, each
// made absolute and given an estimated edge length so that the best ones are tried first.
//
// Pure and stateless; safe on any thread. Never fails: what cannot be read is simply not a
// candidate.
class SiteIconDiscovery {
public:
    struct Candidate {
        QUrl url;      // absolute, http or https
        int size = 0;  // estimated edge length in pixels; only used for ranking
        bool operator==(const Candidate&) const = default;
    };

    struct Links {
        QList<Candidate> icons;  // document order
        QList<QUrl> manifests;   // document order
    };

    // Sizes assumed when a link or manifest entry names none.
    static constexpr int touchIconFallbackSize = 180;
    static constexpr int iconFallbackSize = 32;
    static constexpr int manifestIconFallbackSize = 192;
    // Entries of a manifest's "icons" array that are looked at; a manifest cannot make us try
    // thousands of addresses.
    static constexpr int manifestIconLimit = 32;

    // The icon and manifest links of `html`, resolved against the page's first <base href>, or
    // against `pageURL` (the address after redirects) when there is none.
    static Links links(const QString& html, const QUrl& pageURL);
    // The icons of a web app manifest that may be shown as they are (purpose "any" or
    // "maskable"). Empty for anything that is not such a manifest.
    static QList<Candidate> manifestIcons(const QByteArray& manifest, const QUrl& manifestURL);
    // Largest first, equal sizes in their given order, each address once.
    static QList<Candidate> ranked(QList<Candidate> candidates);

    // The largest edge named by a "sizes" value ("16x16 32x32" gives 32), or `fallback` when no
    // entry names one ("any", empty).
    static int dimension(const QString& sizes, int fallback);
    // An attribute value as an absolute http or https address: the three entities pages use in
    // addresses are replaced, then it is resolved against `base`. Empty when it is anything else.
    static QUrl webURL(const QString& value, const QUrl& base);
    // The attributes of one tag by lower-cased name (a later duplicate replaces an earlier one).
    static QHash<QString, QString> attributes(QStringView tag);
};
