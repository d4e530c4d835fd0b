#pragma once

#include <QString>

// The web content of the artwork picker: the script that collects the images of a search
// engine's result page, and the page that shows them as a grid of buttons. Both talk to the
// picker through a web channel object named "picker" (methods iconResults and iconImage), set
// up by `bridgeScript`.
class IconSearchPage {
public:
    // Connects the page to the picker's web channel: defines `window.postToPicker(name, body)`,
    // which queues messages until the channel is ready. Needs qwebchannel.js before it.
    static QString bridgeScript();
    // Injected at document end into the search engine's page (main frame only): gathers every
    // image of at least 80 x 80 pixels whose address is http(s) or a data: image, in document
    // order without repeats, and posts {query, urls} as "iconResults" whenever the list changes:
    // at once, 200 ms after a burst of changes to the document, and after any resource loads.
    // Defines `collectImages()` to run it on demand.
    static QString collectorScript();
    // The results grid, light or dark with the desktop, showing `searchingLabel` until the first
    // result arrives. `window.addResults(entries)` adds a button per new address (an entry is an
    // address or {url, label}); a click posts the address as "iconImage".
    static QString html(const QString& searchingLabel);
};
