// quorvel-picker: the artwork picker's web image search, started by Quorvel Zodovuvur when the
// user searches for artwork, so that the program driving the pads never loads a browser engine.
//
//   quorvel-picker --search-name TEXT [--aspect-ratio R] --output PATH
//
// Exits 0 when the window closes: with the accepted crop written to PATH as PNG, or without PATH
// when the user closed the window. End of file on standard input closes the window the same way
// (the program that started the picker closed it, or ended). Exit 2 for bad arguments, 1 when the
// crop could not be written.

#include "picker/IconPicker.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QUrl>

#include <unistd.h>
#include <cstdio>

// The browser engine frees some of its own objects through a base class of another size, which
// AddressSanitizer reports as a type mismatch (none of our code is on that stack). Every other
// check stays on; only sanitizer builds read this.
extern "C" const char* __asan_default_options() {
    return "new_delete_type_mismatch=0";
}

int main(int argc, char** argv) {
    IconPicker::prepareEngine();
    // The engine describes its OpenGL set-up at every start; that is no news to anybody.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvel Zodovuvur"));
    QApplication::setDesktopFileName(QStringLiteral("org.quorvel.Zodovuvur"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quorvel Zodovuvur's artwork search"));
    parser.addHelpOption();
    const QCommandLineOption name(QStringLiteral("search-name"),
                                  QStringLiteral("What to search for first."),
                                  QStringLiteral("text"));
    const QCommandLineOption aspect(QStringLiteral("aspect-ratio"),
                                    QStringLiteral("Width / height of the crop (default 1)."),
                                    QStringLiteral("ratio"), QStringLiteral("1"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("Where the accepted crop is written as PNG."),
                                    QStringLiteral("path"));
    parser.addOptions({name, aspect, output});
    parser.process(app);
    bool ratioIsNumber = false;
    const double ratio = parser.value(aspect).toDouble(&ratioIsNumber);
    if (!parser.isSet(output) || parser.value(output).isEmpty() || !ratioIsNumber ||
        !(ratio > 0.01 && ratio < 100) || !parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr,
                     "quorvel-picker: needs --output PATH and a positive --aspect-ratio; "
                     "see --help\n");
        return 2;
    }

    IconPicker picker(ratio);
    // Tests and people who prefer another engine point the search elsewhere.
    if (const QString base = qEnvironmentVariable("QUORVEL_IMAGE_SEARCH_URL"); !base.isEmpty()) {
        const QUrl url(base, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")) {
            std::fprintf(stderr,
                         "quorvel-picker: QUORVEL_IMAGE_SEARCH_URL is not an http(s) "
                         "address\n");
            return 2;
        }
        picker.setSearchBase(url);
    }

    int status = 0;
    const QString path = parser.value(output);
    picker.cropClosed = [&](bool) { QCoreApplication::exit(status); };
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &picker, [&] {
        char buffer[256];
        if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            input.setEnabled(false);
            picker.close();
        }
    });
    picker.show(parser.value(name), [&](const QByteArray& png) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
            std::fprintf(stderr, "quorvel-picker: could not write %s: %s\n", qPrintable(path),
                         qPrintable(file.errorString()));
            status = 1;
        }
    });
    return app.exec();
}
