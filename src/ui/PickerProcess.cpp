#include "ui/PickerProcess.h"

#include "artwork/Artwork.h"
#include "artwork/ImageLoading.h"
#include "core/Log.h"
#include "ui/CropWindow.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

namespace {
const char* const pickerName = "quorvel-picker";
// Longest stderr line kept whole; longer ones are logged in pieces.
constexpr qsizetype maxErrorLine = 4096;
constexpr int endGraceMs = 2000;

QString notInstalled() {
    return QStringLiteral("The image search is not installed");
}
QString closedUnexpectedly() {
    return QStringLiteral("The image search closed unexpectedly");
}
QString unreadableImage() {
    return QStringLiteral("The image search returned an unreadable image");
}

bool isExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// The accepted picture, read within the image limits; a null image when it is not one.
QImage readResult(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > ImageLoading::maxBytes) {
        return {};
    }
    bytes = file.read(ImageLoading::maxBytes + 1);
    if (bytes.size() > ImageLoading::maxBytes) {
        return {};
    }
    try {
        return ImageLoading::image(bytes);
    } catch (const std::exception&) {
        return {};
    }
}
}  // namespace

PickerProcess::PickerProcess(QWidget* window, double aspectRatio, Closed closed)
    : parent_(window), aspectRatio_(aspectRatio), closed_(std::move(closed)) {
}

PickerProcess::~PickerProcess() {
    close();
}

QString PickerProcess::executable() {
    const QString configured = qEnvironmentVariable("QUORVEL_PICKER");
    if (!configured.isEmpty()) {
        return configured;
    }
    const QString beside =
        QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(pickerName);
    if (isExecutableFile(beside)) {
        return beside;
    }
    const QString installed = QStringLiteral(QUORVEL_PICKER_INSTALL_PATH);
    return isExecutableFile(installed) ? installed : QString();
}

void PickerProcess::showCrop(const QImage& image, Completion completion) {
    releaseWindow();
    auto* window = new CropWindow(
        aspectRatio_, image, std::move(completion), [this] { report(QString()); }, parent_);
    window_ = window;
    window->show();
    window->raise();
    window->activateWindow();
}

void PickerProcess::showSearch(const QString& term, Completion completion) {
    releaseProcess();
    const QString program = executable();
    if (program.isEmpty()) {
        report(notInstalled());
        return;
    }
    folder_ = std::make_unique<QTemporaryDir>();
    if (!folder_->isValid()) {
        report(QStringLiteral("The image search could not start: ") + folder_->errorString());
        return;
    }
    completion_ = std::move(completion);
    // Owned by the application, not by this object: a search that is closing may outlive it.
    process_ = new QProcess(QCoreApplication::instance());
    process_->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(process_, &QProcess::readyReadStandardError, process_,
                     [this] { forwardErrors(false); });
    QObject::connect(process_, &QProcess::finished, process_,
                     [this](int code, QProcess::ExitStatus status) { finished(code, status); });
    QObject::connect(process_, &QProcess::errorOccurred, process_,
                     [this, program](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart) {
                             return;  // a crash also ends in finished()
                         }
                         logLine("picker: %s could not start: %s", qUtf8Printable(program),
                                 qUtf8Printable(process_->errorString()));
                         process_->deleteLater();
                         process_ = nullptr;
                         completion_ = nullptr;
                         report(QFileInfo::exists(program)
                                    ? QStringLiteral("The image search could not start")
                                    : notInstalled());
                     });
    process_->start(program,
                    {QStringLiteral("--search-name"), term, QStringLiteral("--aspect-ratio"),
                     QString::number(aspectRatio_, 'g', 12), QStringLiteral("--output"),
                     folder_->filePath(QStringLiteral("artwork.png"))});
}

void PickerProcess::forwardErrors(bool all) {
    if (!process_) {
        return;
    }
    errorLine_ += process_->readAllStandardError();
    qsizetype end = 0;
    while ((end = errorLine_.indexOf('\n')) >= 0 || errorLine_.size() > maxErrorLine ||
           (all && !errorLine_.isEmpty())) {
        const qsizetype length = end >= 0 ? end : std::min(errorLine_.size(), maxErrorLine);
        logLine(QStringLiteral("picker: ") + QString::fromUtf8(errorLine_.left(length)));
        errorLine_.remove(0, end >= 0 ? end + 1 : length);
    }
}

void PickerProcess::finished(int exitCode, QProcess::ExitStatus status) {
    forwardErrors(true);
    process_->deleteLater();
    process_ = nullptr;
    Completion completion = std::move(completion_);
    completion_ = nullptr;
    if (status == QProcess::CrashExit || exitCode != 0) {
        if (exitCode == 2 && status == QProcess::NormalExit) {
            logLine("picker: the image search refused its arguments");
        }
        report(closedUnexpectedly());
        return;
    }
    const QString output = folder_->filePath(QStringLiteral("artwork.png"));
    if (!QFileInfo::exists(output)) {
        report(QString());  // closed without a crop
        return;
    }
    QByteArray bytes;
    const QImage image = readResult(output, bytes);
    if (image.isNull()) {
        report(unreadableImage());
        return;
    }
    if (Artwork::requiresCrop(image, aspectRatio_)) {
        // Not the wanted shape: the user crops it here before it is used.
        showCrop(image, std::move(completion));
        return;
    }
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n")) {
        const std::optional<QByteArray> png = Artwork::png(image);
        if (!png) {
            report(unreadableImage());
            return;
        }
        bytes = *png;
    }
    if (completion) {
        completion(bytes);
    }
    report(QString());
}

void PickerProcess::close() {
    completion_ = nullptr;
    releaseProcess();
    releaseWindow();
    report(QString());
}

void PickerProcess::releaseProcess() {
    QProcess* process = process_;
    process_ = nullptr;
    completion_ = nullptr;
    if (!process) {
        return;
    }
    QObject::disconnect(process, nullptr, nullptr, nullptr);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::readyReadStandardError, process,
                     [process] { process->readAllStandardError(); });
    process->closeWriteChannel();
    QTimer::singleShot(endGraceMs, process, [process] { process->terminate(); });
    QTimer::singleShot(2 * endGraceMs, process, [process] { process->kill(); });
}

void PickerProcess::releaseWindow() {
    if (CropWindow* window = window_.data()) {
        window_.clear();
        // This object may be going away: the window must not report to it.
        window->forget();
        window->close();
    }
}

void PickerProcess::report(const QString& failure) {
    Closed closed = std::move(closed_);
    closed_ = nullptr;
    if (closed) {
        closed(failure);
    }
}
