#pragma once

#include "siteicons/BoundedDownload.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QSlider;
class QTimer;
class QWebChannel;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;
class SquareCropView;

// The artwork picker's search window: a web image search whose results show as a grid of
// thumbnails; a chosen result (or a local file) goes into the crop view, and the accepted crop is
// handed back as PNG bytes. The search engine's page is loaded in a view that is never shown;
// a script injected there collects its images.
//
// Main thread. No failure closes the window; results and downloads that arrive after a newer
// search, a newer selection or the close are dropped.
class IconPicker : public QObject {
    Q_OBJECT

public:
    using Completion = std::function<void(const QByteArray& png)>;

    // Where searches go when nothing else is configured.
    static QUrl defaultSearchBase();
    // Must run before the QApplication exists: the web engine shares OpenGL contexts, and it
    // cannot run its sandbox as root (only tests and containers do so).
    static void prepareEngine();

    explicit IconPicker(double aspectRatio = 1, QObject* parent = nullptr);
    ~IconPicker() override;

    void setSearchBase(const QUrl& base) { searchBase_ = base; }
    void setSearchTimeout(std::chrono::milliseconds timeout) { searchTimeout_ = timeout; }
    void setDownloadSettings(const BoundedDownload::Settings& settings) {
        downloadSettings_ = settings;
    }

    // Called once when the window closes, with whether a crop was accepted.
    std::function<void(bool accepted)> cropClosed;

    // Builds and shows the window and searches for `searchName` at once.
    void show(const QString& searchName, Completion completion);
    // Closes the window if it is open.
    void close();

    // The actions of the window's controls.
    void searchImages();
    void chooseLocal();
    void useCrop();

    // What the web content posts: the collector's results, and a result the user clicked.
    void receiveResults(const QVariant& body);
    void selectResult(const QString& address);

    QWidget* window() const;
    QWebEngineView* browser() const { return browser_; }
    QWebEngineView* searchBrowser() const { return searchBrowser_; }
    SquareCropView* crop() const { return crop_; }
    QLineEdit* query() const { return query_; }
    QString status() const;
    const QStringList& pendingResults() const { return pendingResults_; }
    bool isAwaitingResults() const { return isAwaitingResults_; }
    bool isDownloading() const { return download_ != nullptr; }

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void build();
    void updateResults();
    void resultsLoaded(const QWebEngineLoadingInfo& info);
    void searchLoaded(const QWebEngineLoadingInfo& info);
    void searchFailed();
    void showImageBytes(const QByteArray& data);
    void showImage(const QImage& image);
    void setStatus(const QString& text);
    void windowWillClose();

    QPointer<QWidget> window_;
    QWebEngineView* browser_ = nullptr;
    QWebEngineView* searchBrowser_ = nullptr;
    QString searchQuery_;
    bool gridReady_ = false;
    bool isAwaitingResults_ = false;
    QStringList pendingResults_;
    QStringList shownResults_;  // in the grid, in its order
    SquareCropView* crop_ = nullptr;
    QLineEdit* query_ = nullptr;
    QLabel* status_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    quint64 requestID_ = 0;
    Completion completion_;
    double aspectRatio_ = 1;
    bool acceptedCrop_ = false;
    std::unique_ptr<BoundedDownload> download_;

    QUrl searchBase_ = defaultSearchBase();
    std::chrono::milliseconds searchTimeout_{60000};
    BoundedDownload::Settings downloadSettings_;
    QTimer* searchDeadline_ = nullptr;
    QWebEngineProfile* profile_ = nullptr;
    QWebChannel* resultsChannel_ = nullptr;
    QWebChannel* searchChannel_ = nullptr;
    bool closing_ = false;
};
