#include "picker/IconPicker.h"

#include "artwork/ImageLoading.h"
#include "model/EditingTypes.h"
#include "picker/IconSearchPage.h"
#include "ui/IconPickerIntl.h"
#include "ui/SquareCropView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <QUrlQuery>
#include <QVBoxLayout>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

#include <unistd.h>

namespace {

// The objects the web content reaches as `picker` through its web channel. Each view gets only
// the method meant for it.
class ResultsBridge : public QObject {
    Q_OBJECT
public:
    explicit ResultsBridge(IconPicker* picker) : QObject(picker), picker_(picker) {}
    Q_INVOKABLE void iconImage(const QVariant& address) {
        if (address.typeId() == QMetaType::QString) {
            picker_->selectResult(address.toString());
        }
    }

private:
    IconPicker* picker_;
};

class SearchBridge : public QObject {
    Q_OBJECT
public:
    explicit SearchBridge(IconPicker* picker) : QObject(picker), picker_(picker) {}
    Q_INVOKABLE void iconResults(const QVariant& body) { picker_->receiveResults(body); }

private:
    IconPicker* picker_;
};

QString webChannelLibrary() {
    QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QWebEngineScript script(const QString& name, const QString& source,
                        QWebEngineScript::InjectionPoint point, quint32 world) {
    QWebEngineScript script;
    script.setName(name);
    script.setSourceCode(source);
    script.setInjectionPoint(point);
    script.setWorldId(world);
    script.setRunsOnSubFrames(false);
    return script;
}

// A web view of the results' size whose page reaches `bridge` through a channel in `world`.
QWebEngineView* webView(QWebEngineProfile* profile, QWebChannel* channel, quint32 world,
                        QWidget* parent) {
    auto* view = new QWebEngineView(parent);
    auto* page = new QWebEnginePage(profile, view);
    view->setPage(page);
    view->setFixedSize(628, 554);
    page->setWebChannel(channel, world);
    page->scripts().insert(script(QStringLiteral("bridge"),
                                  webChannelLibrary() + IconSearchPage::bridgeScript(),
                                  QWebEngineScript::DocumentCreation, world));
    return view;
}

}  // namespace

QUrl IconPicker::defaultSearchBase() {
    return QUrl(QStringLiteral("https://duckduckgo.com/"));
}

void IconPicker::prepareEngine() {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

IconPicker::IconPicker(double aspectRatio, QObject* parent)
    : QObject(parent), aspectRatio_(aspectRatio > 0 ? aspectRatio : 1) {
}

IconPicker::~IconPicker() {
    close();
    // The pages must go before the profile they use.
    delete window_.data();
    delete profile_;
}

QWidget* IconPicker::window() const {
    return window_.data();
}

QString IconPicker::status() const {
    return status_ ? status_->text() : QString();
}

void IconPicker::build() {
    auto* window = new QWidget;
    window_ = window;
    window->setWindowTitle(IconPickerIntl::chooseDeviceImage());
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::WindowMinimizeButtonHint);
    window->resize(1010, 640);
    window->installEventFilter(this);
    // Esc closes the picker like the window's close button: nothing is chosen.
    auto* cancel = new QShortcut(QKeySequence::Cancel, window);
    connect(cancel, &QShortcut::activated, window, &QWidget::close);

    // No cookies, cache or storage outlive the picker.
    profile_ = new QWebEngineProfile;
    resultsChannel_ = new QWebChannel(this);
    resultsChannel_->registerObject(QStringLiteral("picker"), new ResultsBridge(this));
    searchChannel_ = new QWebChannel(this);
    searchChannel_->registerObject(QStringLiteral("picker"), new SearchBridge(this));

    // The grid is our own page; the search engine's page runs its own scripts, so the collector
    // and its channel live in a world of their own there.
    browser_ = webView(profile_, resultsChannel_, QWebEngineScript::MainWorld, window);
    browser_->setAccessibleName(IconPickerIntl::selectAnImageToCrop());
    searchBrowser_ = webView(profile_, searchChannel_, QWebEngineScript::ApplicationWorld, nullptr);
    searchBrowser_->setParent(window);  // owned, never shown
    searchBrowser_->hide();
    searchBrowser_->page()->scripts().insert(
        script(QStringLiteral("collector"), IconSearchPage::collectorScript(),
               QWebEngineScript::DocumentReady, QWebEngineScript::ApplicationWorld));
    connect(browser_->page(), &QWebEnginePage::loadingChanged, this, &IconPicker::resultsLoaded);
    connect(searchBrowser_->page(), &QWebEnginePage::loadingChanged, this,
            &IconPicker::searchLoaded);
    searchDeadline_ = new QTimer(this);
    searchDeadline_->setSingleShot(true);
    connect(searchDeadline_, &QTimer::timeout, this, [this] {
        // The search engine's page did not even deliver its images in time.
        if (isAwaitingResults_) {
            searchBrowser_->stop();
            searchFailed();
        }
    });

    query_ = new QLineEdit(window);
    query_->setFixedHeight(28);
    query_->setAccessibleName(IconPickerIntl::search());
    connect(query_, &QLineEdit::returnPressed, this, &IconPicker::searchImages);
    auto* searchButton = new QPushButton(IconPickerIntl::search(), window);
    searchButton->setFixedSize(100, 32);
    connect(searchButton, &QPushButton::clicked, this, &IconPicker::searchImages);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(query_, 1);
    searchRow->addWidget(searchButton);
    auto* left = new QVBoxLayout;
    left->setSpacing(12);
    left->addLayout(searchRow);
    left->addWidget(browser_);

    crop_ = new SquareCropView(aspectRatio_, window);
    crop_->setAccessibleName(IconPickerIntl::selectAnImageToCrop());
    auto* hint =
        new QLabel(QCoreApplication::translate("IconPicker", "Drag to position the crop."), window);
    zoomSlider_ = crop_->makeZoomSlider(window);
    auto* use = new QPushButton(IconPickerIntl::useThisCrop(), window);
    use->setDefault(false);
    connect(use, &QPushButton::clicked, this, &IconPicker::useCrop);
    auto* local = new QPushButton(IconPickerIntl::chooseLocalImage(), window);
    connect(local, &QPushButton::clicked, this, &IconPicker::chooseLocal);
    status_ = new QLabel(window);
    status_->setWordWrap(true);
    status_->setAccessibleName(QStringLiteral("Status"));
    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->addWidget(crop_, 0, Qt::AlignHCenter);
    right->addWidget(hint);
    right->addWidget(zoomSlider_);
    right->addWidget(use);
    right->addWidget(local);
    right->addWidget(status_);
    right->addStretch(1);
    auto* rightColumn = new QWidget(window);
    rightColumn->setFixedWidth(308);
    rightColumn->setLayout(right);

    auto* layout = new QHBoxLayout(window);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(34);
    layout->addLayout(left);
    layout->addWidget(rightColumn);
}

void IconPicker::show(const QString& searchName, Completion completion) {
    if (!window_) {
        build();
    }
    completion_ = std::move(completion);
    acceptedCrop_ = false;
    query_->setText(IconPickerIntl::initialQuery(searchName));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window_->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window_->move(frame.topLeft());
    }
    window_->show();
    window_->raise();
    window_->activateWindow();
    searchImages();
}

void IconPicker::close() {
    if (window_ && window_->isVisible()) {
        window_->close();
    }
}

bool IconPicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Close) {
        windowWillClose();
    }
    return QObject::eventFilter(watched, event);
}

void IconPicker::searchImages() {
    if (!window_) {
        return;
    }
    QUrl address = searchBase_;
    QUrlQuery items;
    items.addQueryItem(QStringLiteral("q"), query_->text());
    items.addQueryItem(QStringLiteral("iax"), QStringLiteral("images"));
    items.addQueryItem(QStringLiteral("ia"), QStringLiteral("images"));
    address.setQuery(items);

    ++requestID_;
    searchQuery_ = query_->text();
    gridReady_ = false;
    pendingResults_.clear();
    shownResults_.clear();
    browser_->setHtml(IconSearchPage::html(IconPickerIntl::searchingForImages()));
    isAwaitingResults_ = true;
    setStatus(IconPickerIntl::searchingDuckduckgoImages());
    searchBrowser_->load(address);
    searchDeadline_->start(searchTimeout_);
}

void IconPicker::resultsLoaded(const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
        gridReady_ = true;
        updateResults();
    } else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
        searchFailed();
    }
}

void IconPicker::searchLoaded(const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            searchBrowser_->page()->runJavaScript(QStringLiteral("collectImages()"),
                                                  QWebEngineScript::ApplicationWorld);
            if (isAwaitingResults_) {
                setStatus(IconPickerIntl::ifNoImagesAppearTryAnother());
            }
            break;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            searchFailed();
            break;
        default:  // started, or stopped on purpose (a newer search, the close)
            break;
    }
}

void IconPicker::searchFailed() {
    if (closing_) {
        return;
    }
    isAwaitingResults_ = false;
    searchDeadline_->stop();
    setStatus(IconPickerIntl::searchUnavailableTryAgainOrChoose());
}

void IconPicker::receiveResults(const QVariant& body) {
    if (closing_ || body.typeId() != QMetaType::QVariantMap) {
        return;
    }
    const QVariantMap message = body.toMap();
    const QVariant urls = message.value(QStringLiteral("urls"));
    if (message.value(QStringLiteral("query")).toString() != searchQuery_ ||
        urls.typeId() != QMetaType::QVariantList) {
        return;
    }
    QStringList addresses;
    for (const QVariant& url : urls.toList()) {
        if (url.typeId() != QMetaType::QString) {
            return;
        }
        addresses.append(url.toString());
    }
    if (!addresses.isEmpty()) {
        pendingResults_ = addresses;
        updateResults();
    }
    if (isAwaitingResults_) {
        isAwaitingResults_ = false;
        searchDeadline_->stop();
        setStatus(IconPickerIntl::clickAnImageResultOrChoose());
    }
}

void IconPicker::updateResults() {
    if (!gridReady_ || pendingResults_.isEmpty()) {
        return;
    }
    // The grid only ever grows during a search, and images of a result page arrive in any
    // order: numbering the new ones after those shown keeps every button's name unique.
    QJsonArray entries;
    for (const QString& url : std::as_const(pendingResults_)) {
        if (!shownResults_.contains(url)) {
            shownResults_.append(url);
            entries.append(QJsonObject{
                {QStringLiteral("url"), url},
                {QStringLiteral("label"), IconPickerIntl::selectImage(shownResults_.size())}});
        }
    }
    if (entries.isEmpty()) {
        return;
    }
    browser_->page()->runJavaScript(
        QStringLiteral("window.addResults(%1)")
            .arg(QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact))));
}

void IconPicker::selectResult(const QString& address) {
    if (closing_) {
        return;
    }
    ++requestID_;
    download_.reset();
    acceptedCrop_ = false;
    crop_->setImage({});
    setStatus(IconPickerIntl::loadingSelectedImage());

    if (address.startsWith(QLatin1String("data:image"))) {
        const qsizetype comma = address.indexOf(QLatin1Char(','));
        const QStringView encoded = comma < 0 ? QStringView() : QStringView(address).mid(comma + 1);
        if (comma < 0 || encoded.size() > ImageLoading::maxBytes / 3 * 4 + 4) {
            setStatus(IconPickerIntl::couldNotLoadThatImageTry());
            return;
        }
        const auto decoded = QByteArray::fromBase64Encoding(
            encoded.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            setStatus(IconPickerIntl::couldNotLoadThatImageTry());
            return;
        }
        showImageBytes(*decoded);
        return;
    }

    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https")) {
        // Nothing a result of a web page may point the picker at (a local file, say).
        setStatus(IconPickerIntl::couldNotLoadThatImageTry());
        return;
    }
    const quint64 request = requestID_;
    download_ = std::make_unique<BoundedDownload>(
        url, ImageLoading::maxBytes,
        [this, request](const BoundedDownload::Result& result) {
            if (request != requestID_) {
                return;
            }
            const std::unique_ptr<BoundedDownload> finished = std::move(download_);
            if (result.error) {
                qInfo().noquote() << "picker: could not download" << result.url.toDisplayString()
                                  << "-" << result.error->message;
                setStatus(IconPickerIntl::couldNotLoadThatImageTry());
                return;
            }
            showImageBytes(result.data);
        },
        downloadSettings_);
}

void IconPicker::showImageBytes(const QByteArray& data) {
    try {
        showImage(ImageLoading::image(data));
    } catch (const std::exception& error) {
        qInfo().noquote() << "picker: not an image we can use:" << failureText(error);
        setStatus(IconPickerIntl::couldNotLoadThatImageTry());
    }
}

void IconPicker::showImage(const QImage& image) {
    crop_->setImage(image);  // the zoom slider returns to 1 with it
    setStatus(IconPickerIntl::dragAndZoomThenUseThis());
}

void IconPicker::chooseLocal() {
    if (!window_) {
        return;
    }
    QFileDialog dialog(window_, IconPickerIntl::chooseLocalImage());
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList types;
    for (const QByteArray& type : QImageReader::supportedMimeTypes()) {
        types.append(QString::fromLatin1(type));
    }
    dialog.setMimeTypeFilters(types);
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    ++requestID_;
    download_.reset();
    try {
        showImage(ImageLoading::image(QUrl::fromLocalFile(dialog.selectedFiles().constFirst())));
    } catch (const std::exception& error) {
        setStatus(failureText(error));
    }
}

void IconPicker::useCrop() {
    const std::optional<QByteArray> png = crop_ ? crop_->png() : std::nullopt;
    if (!png) {
        setStatus(IconPickerIntl::chooseAnImageFirst());
        return;
    }
    acceptedCrop_ = true;
    if (const Completion completion = std::move(completion_)) {
        completion(*png);
    }
    close();
}

void IconPicker::setStatus(const QString& text) {
    status_->setText(text);
}

void IconPicker::windowWillClose() {
    if (closing_) {
        return;
    }
    closing_ = true;
    ++requestID_;
    download_.reset();
    searchDeadline_->stop();
    resultsChannel_->deregisterObject(
        resultsChannel_->registeredObjects().value(QStringLiteral("picker")));
    searchBrowser_->stop();
    searchChannel_->deregisterObject(
        searchChannel_->registeredObjects().value(QStringLiteral("picker")));
    completion_ = nullptr;
    if (const std::function<void(bool)> closed = std::exchange(cropClosed, nullptr)) {
        closed(acceptedCrop_);
    }
}

#include "IconPicker.moc"
