#include "app/DeviceList.h"
#include "device/linux/HidapiInventory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Quorvel Zodovuvur"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption listDevices(
        QStringLiteral("list-devices"),
        QStringLiteral("List the attached pads and this user's access to them, then exit."));
    parser.addOption(listDevices);

    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!parser.parse(QCoreApplication::arguments())) {
        err << parser.errorText() << "\nTry 'quorvel --help'.\n";
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) {
        parser.showVersion();
    }
    if (parser.isSet(listDevices)) {
        HidapiInventory inventory;
        return DeviceList::run(inventory, out, err);
    }
    out << "Quorvel Zodovuvur " << QUORVEL_VERSION << "\n";
    return 0;
}
