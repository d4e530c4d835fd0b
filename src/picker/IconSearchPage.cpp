#include "picker/IconSearchPage.h"

#include <QJsonDocument>
#include <QJsonObject>

QString IconSearchPage::bridgeScript() {
    return QStringLiteral(R"JS(
(function () {
    if (window.postToPicker) {
        return;
    }
    let picker = null;
    const queued = [];
    window.postToPicker = function (name, body) {
        if (picker) {
            picker[name](body);
        } else {
            queued.push([name, body]);
        }
    };
    new QWebChannel(qt.webChannelTransport, function (channel) {
        picker = channel.objects.picker;
        for (const [name, body] of queued.splice(0)) {
            picker[name](body);
        }
    });
})();
)JS");
}

QString IconSearchPage::collectorScript() {
    return QStringLiteral(R"JS(
(function () {
    if (window.collectImages) {
        return;
    }
    let previous = null;
    window.collectImages = function () {
        const seen = new Set();
        const urls = [];
        for (const image of Array.from(document.images)) {
            if (image.naturalWidth < 80 || image.naturalHeight < 80) {
                continue;
            }
            const url = image.currentSrc || image.getAttribute('src') || '';
            if (!/^(https?:|data:image)/.test(url) || seen.has(url)) {
                continue;
            }
            seen.add(url);
            urls.push(url);
        }
        const serialised = JSON.stringify(urls);
        if (serialised === previous) {
            return;
        }
        previous = serialised;
        const query = new URL(location.href).searchParams.get('q') || '';
        window.postToPicker('iconResults', {query: query, urls: urls});
    };
    let pending = null;
    new MutationObserver(function () {
        clearTimeout(pending);
        pending = setTimeout(window.collectImages, 200);
    }).observe(document, {childList: true, subtree: true, attributes: true,
                          attributeFilter: ['src', 'srcset']});
    document.addEventListener('load', window.collectImages, true);
    window.collectImages();
})();
)JS");
}

QString IconSearchPage::html(const QString& searchingLabel) {
    static const QString head = QStringLiteral(R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8">
<meta name="color-scheme" content="light dark">
<style>
  :root { color-scheme: light dark; font: 13px system-ui, sans-serif; }
  body { margin: 12px; background: Canvas; color: CanvasText; }
  #grid { display: grid; grid-template-columns: repeat(3, 1fr); gap: 10px; }
  #grid button { height: 160px; padding: 6px; border: 1px solid color-mix(in srgb, CanvasText 20%, transparent);
    border-radius: 10px; background: color-mix(in srgb, CanvasText 5%, Canvas); cursor: pointer; }
  #grid button:focus-visible { outline: 3px solid Highlight; outline-offset: 1px; }
  #grid img { width: 100%; height: 100%; object-fit: contain; }
  #empty { text-align: center; margin-top: 200px; opacity: 0.7; }
</style></head>
<body><div id="grid"></div><p id="empty"></p>
<script>
const config = )HTML");
    static const QString tail = QStringLiteral(R"HTML(;
const grid = document.getElementById('grid');
const empty = document.getElementById('empty');
const shown = new Set();
empty.textContent = config.searching;
window.addResults = function (entries) {
    for (const entry of entries) {
        const url = typeof entry === 'string' ? entry : entry.url;
        if (typeof url !== 'string' || shown.has(url)) {
            continue;
        }
        shown.add(url);
        const button = document.createElement('button');
        button.setAttribute('aria-label', typeof entry === 'string' ? url : String(entry.label));
        const image = document.createElement('img');
        image.loading = 'lazy';
        image.alt = '';
        image.src = url;
        button.appendChild(image);
        button.addEventListener('click', function () { window.postToPicker('iconImage', url); });
        grid.appendChild(button);
    }
    empty.hidden = shown.size > 0;
};
</script></body></html>
)HTML");
    QString config =
        QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("searching"), searchingLabel}})
                              .toJson(QJsonDocument::Compact));
    // Inside a script element "</script>" would end it, whatever the JSON says.
    config.replace(QLatin1Char('<'), QStringLiteral("\\u003c"));
    return head + config + tail;
}
