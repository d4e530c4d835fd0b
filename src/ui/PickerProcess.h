#pragma once

#include "model/ModelDialogs.h"
#include "ui/CropWindow.h"

#include <QByteArray>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

class QWidget;

// The artwork picker the configuration window hands to a device model. Cropping an image the
// program already has happens in a CropWindow of this process; the web image search runs in the
// separate program "quorvel-picker", so that this process never loads a web engine:
//
//   quorvel-picker --search-name TEXT --aspect-ratio R --output PATH
//
// It exits 0 after writing the accepted PNG to PATH, 0 without PATH when the user closed it, 2 on
// bad arguments, and closes itself (exit 0) when its standard input ends. PATH lies in a
// temporary folder this object owns. The picker's stderr lines go to the log ("picker: ...").
//
// `closed` runs once: when the window closes or the search ends (empty text), or with a failure
// the user should read. Main thread.
class PickerProcess : public ArtworkPicker {
public:
    using Closed = std::function<void(const QString& failure)>;

    PickerProcess(QWidget* window, double aspectRatio, Closed closed);
    ~PickerProcess() override;

    void showCrop(const QImage& image, Completion completion) override;
    void showSearch(const QString& term, Completion completion) override;
    void close() override;

    // The search program: $QUORVEL_PICKER when set, else "quorvel-picker" beside this program,
    // else the installed one; empty when none is there.
    static QString executable();

    // The crop window, while one is open.
    CropWindow* cropWindow() const { return window_.data(); }

private:
    void finished(int exitCode, QProcess::ExitStatus status);
    void forwardErrors(bool all);
    // Lets the running search end on its own: its input is closed, then it is terminated after
    // 2 s and killed 2 s later if still running. No result is taken from it any more.
    void releaseProcess();
    void releaseWindow();
    void report(const QString& failure);

    QPointer<QWidget> parent_;
    const double aspectRatio_;
    Closed closed_;
    Completion completion_;
    QPointer<CropWindow> window_;
    QProcess* process_ = nullptr;
    std::unique_ptr<QTemporaryDir> folder_;
    QByteArray errorLine_;
};
