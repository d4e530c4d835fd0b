#include "shell/MessageBoxBundleDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

void MessageBoxBundleDialogs::showImportFailure(const QString& message) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quorvel Zodovuvur"),
                    QStringLiteral("Could not import settings"), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setInformativeText(message);
    box.exec();
}

std::optional<int> MessageBoxBundleDialogs::chooseDestination(const QString& message,
                                                              const QString& informativeText,
                                                              const QStringList& deviceNames,
                                                              int preselected) {
    QDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Quorvel Zodovuvur"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* title = new QLabel(message, &dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setTextFormat(Qt::PlainText);
    auto* informative = new QLabel(informativeText, &dialog);
    informative->setTextFormat(Qt::PlainText);
    auto* devices = new QComboBox(&dialog);
    devices->addItems(deviceNames);
    devices->setCurrentIndex(preselected);
    devices->setMinimumWidth(360);
    devices->setAccessibleName(QStringLiteral("Destination device"));
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* proceed =
        buttons->addButton(QStringLiteral("Continue"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    proceed->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(title);
    layout->addWidget(informative);
    layout->addWidget(devices);
    layout->addWidget(buttons);
    dialog.raise();
    dialog.activateWindow();
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return devices->currentIndex();
}
