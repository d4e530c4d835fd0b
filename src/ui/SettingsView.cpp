#include "ui/SettingsView.h"
#include "ui/ViewHelpers.h"

#include "artwork/ImageLoading.h"
#include "model/Model.h"
#include "ui/ControlEditor.h"
#include "ui/MimeDropItem.h"
#include "ui/PadViews.h"
#include "ui/Symbols.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QToolButton* iconButton(const QString& symbol, const QString& tip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(Symbols::icon(symbol));
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    return button;
}

QWidget* symbolLabel(const QString& symbol, const QString& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel(row);
    const int side = row->fontMetrics().height();
    icon->setPixmap(Symbols::icon(symbol).pixmap(side, side));
    auto* label = new QLabel(text, row);
    label->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(icon);
    layout->addWidget(label);
    layout->addStretch(1);
    return row;
}
}  // namespace

BackgroundWell::BackgroundWell(Model& model, QWidget* parent) : QFrame(parent), model_(&model) {
    setFrameShape(QFrame::StyledPanel);
    setAcceptDrops(true);
    setToolTip(QStringLiteral("Drop an image to set this scene's background"));
    setAccessibleName(QStringLiteral("Scene background"));
    auto* layout = new QHBoxLayout(this);
    thumbnail_ = new QLabel(this);
    const QSize size(int(48 * model.kind().backgroundAspect()), 48);
    thumbnail_->setFixedSize(size);
    thumbnail_->setAlignment(Qt::AlignCenter);
    thumbnail_->setAutoFillBackground(true);
    auto* text = new QLabel(QStringLiteral("Scene background"), this);
    auto* black = new QPushButton(QStringLiteral("Black"), this);
    black->setToolTip(QStringLiteral("Remove this scene's background"));
    auto* choose = new QPushButton(QStringLiteral("Choose…"), this);
    choose->setAccessibleName(QStringLiteral("Choose background image"));
    auto* search = new QPushButton(QStringLiteral("Search the web…"), this);
    search->setAccessibleName(QStringLiteral("Search the web for a background image"));
    search->setToolTip(QStringLiteral("Search the web for this scene's background"));
    layout->addWidget(thumbnail_);
    layout->addWidget(text, 1);
    layout->addWidget(choose);
    layout->addWidget(search);
    layout->addWidget(black);
    connect(black, &QPushButton::clicked, this, [this] {
        if (model_) {
            model_->removeBackground();
        }
    });
    connect(choose, &QPushButton::clicked, this, [this] {
        if (model_) {
            model_->chooseArtwork(std::nullopt, false);
        }
    });
    connect(search, &QPushButton::clicked, this, [this] {
        if (model_) {
            model_->chooseArtwork(std::nullopt, true);
        }
    });
    connect(&model, &Model::changed, this, &BackgroundWell::refresh);
    refresh();
}

void BackgroundWell::refresh() {
    if (!model_) {
        return;
    }
    const std::optional<QString>& path = model_->activeScene().backgroundPath;
    const QString shown = path ? *path : QString();
    if (shown == shownPath_ && !thumbnail_->pixmap().isNull()) {
        return;
    }
    shownPath_ = shown;
    QImage image;
    if (path) {
        try {
            image = ImageLoading::image(QUrl::fromLocalFile(*path));
        } catch (const std::exception&) {
        }
    }
    QPixmap pixmap(thumbnail_->size());
    pixmap.fill(Qt::black);  // what the pad shows without a background
    if (!image.isNull()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint(), pixmap.size()), image);
    }
    thumbnail_->setPixmap(pixmap);
}

void BackgroundWell::setHovered(bool hovered) {
    setFrameShadow(hovered ? QFrame::Sunken : QFrame::Plain);
    setForegroundRole(hovered ? QPalette::Highlight : QPalette::WindowText);
    setLineWidth(hovered ? 2 : 1);
}

void BackgroundWell::dragEnterEvent(QDragEnterEvent* event) {
    if (MimeDropItem::offersContent(*event->mimeData())) {
        setHovered(true);
        event->acceptProposedAction();
    }
}

void BackgroundWell::dragLeaveEvent(QDragLeaveEvent*) {
    setHovered(false);
}

void BackgroundWell::dropEvent(QDropEvent* event) {
    setHovered(false);
    if (model_ && model_->acceptDrop(MimeDropItem::items(*event->mimeData()), std::nullopt)) {
        event->acceptProposedAction();
    }
}

ControlDeleteHandler::ControlDeleteHandler(QWidget* view, Delete action)
    : QObject(view), view_(view), delete_(std::move(action)) {
    qApp->installEventFilter(this);
}

ControlDeleteHandler::~ControlDeleteHandler() {
    if (qApp) {
        qApp->removeEventFilter(this);
    }
}

bool ControlDeleteHandler::applies(const QKeyEvent& event, const QWidget& view) {
    if (event.key() != Qt::Key_Delete && event.key() != Qt::Key_Backspace) {
        return false;
    }
    const Qt::KeyboardModifiers held =
        event.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (held != Qt::NoModifier || !view.isVisible() || !view.window()->isActiveWindow() ||
        QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        return false;
    }
    const QWidget* focus = QApplication::focusWidget();
    if (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QTextEdit*>(focus) ||
        qobject_cast<const QPlainTextEdit*>(focus) ||
        qobject_cast<const QAbstractSpinBox*>(focus)) {
        return false;
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(focus); combo && combo->isEditable()) {
        return false;
    }
    return true;
}

bool ControlDeleteHandler::eventFilter(QObject* watched, QEvent* event) {
    // Each key press reaches the filter once per widget it travels through; only the first
    // delivery, to the focused widget or the window, counts.
    if (event->type() == QEvent::KeyPress && view_ && watched->isWidgetType() &&
        (watched == QApplication::focusWidget() || watched == view_->window())) {
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (!key.isAutoRepeat() && applies(key, *view_) && delete_()) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

SettingsView::SettingsView(Model& model, QWidget* parent) : QWidget(parent), model_(&model) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QHBoxLayout;
    outer->addLayout(columns, 1);

    auto* left = new QVBoxLayout;
    columns->addLayout(left, 3);
    left->addWidget(sectionHeading(QStringLiteral("YOUR DEVICE"), this));

    auto* sceneBar = new QHBoxLayout;
    scenes_ = new QComboBox(this);
    scenes_->setAccessibleName(QStringLiteral("Scene"));
    scenes_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    QToolButton* add = iconButton(QStringLiteral("plus"), QStringLiteral("Add scene"), this);
    QToolButton* duplicate =
        iconButton(QStringLiteral("copy-plus"), QStringLiteral("Duplicate current scene"), this);
    remove_ = iconButton(QStringLiteral("minus"), QStringLiteral("Delete current scene"), this);
    remove_->setAccessibleName(QStringLiteral("Remove scene"));
    share_ = iconButton(QStringLiteral("square-arrow-up"), QStringLiteral("Share settings"), this);
    share_->setPopupMode(QToolButton::InstantPopup);
    auto* shareMenu = new QMenu(QStringLiteral("Share settings"), share_);
    share_->setMenu(shareMenu);
    sceneBar->addWidget(scenes_);
    sceneBar->addWidget(add);
    sceneBar->addWidget(duplicate);
    sceneBar->addWidget(remove_);
    sceneBar->addStretch(1);
    sceneBar->addWidget(share_);
    left->addLayout(sceneBar);

    padView_ = makePadView(model, this);
    left->addWidget(padView_, 1);
    left->addWidget(new BackgroundWell(model, this));

    auto* right = new QVBoxLayout;
    columns->addSpacing(12);
    columns->addLayout(right, 2);
    editorArea_ = new QScrollArea(this);
    editorArea_->setWidgetResizable(true);
    editorArea_->setFrameShape(QFrame::NoFrame);
    editorArea_->setMinimumWidth(340);
    right->addWidget(editorArea_, 1);
    prompt_ = symbolLabel(QStringLiteral("mouse-pointer-2"),
                          QStringLiteral("Click a button to configure it"), this);
    right->addWidget(prompt_);
    right->addStretch(0);

    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    message_->setAccessibleName(QStringLiteral("Status"));
    outer->addWidget(message_);
    outer->addWidget(
        symbolLabel(QStringLiteral("circle-check"), QStringLiteral("Saved automatically"), this));

    QPointer<Model> target(&model);
    connect(scenes_, &QComboBox::activated, this, [this](int index) {
        if (model_ && index >= 0 && index < model_->scenes().size()) {
            model_->selectScene(model_->scenes()[index].id);
        }
    });
    connect(add, &QToolButton::clicked, this, [target] {
        if (target) {
            target->addScene();
        }
    });
    connect(duplicate, &QToolButton::clicked, this, [target] {
        if (target) {
            target->duplicateActiveScene();
        }
    });
    connect(remove_, &QToolButton::clicked, this, [target] {
        if (target) {
            target->deleteActiveScene();
        }
    });
    shareMenu->addAction(QStringLiteral("Export current scene…"), this, [target] {
        if (target) {
            target->exportSettings(true);
        }
    });
    shareMenu->addAction(QStringLiteral("Export device settings…"), this, [target] {
        if (target) {
            target->exportSettings(false);
        }
    });
    shareMenu->addSeparator();
    shareMenu->addAction(QStringLiteral("Import settings…"), this, [target] {
        if (target) {
            target->importSettings();
        }
    });
    connect(padView_, &PadView::selectionChanged, this, &SettingsView::showEditor);
    connect(&model, &Model::changed, this, &SettingsView::refresh);
    new ControlDeleteHandler(this, [this] { return deleteSelected(); });
    refresh();
    showEditor();
}

bool SettingsView::deleteSelected() {
    const std::optional<int> control = padView_->selected();
    if (!model_ || !control || model_->recording() || model_->shuttingDown()) {
        return false;
    }
    model_->clearAction(*control);
    return true;
}

void SettingsView::refresh() {
    if (!model_) {
        return;
    }
    const QList<QuorvelScene>& scenes = model_->scenes();
    if (scenes_->count() != scenes.size()) {
        const QSignalBlocker blocker(scenes_);
        scenes_->clear();
        for (qsizetype index = 0; index < scenes.size(); ++index) {
            scenes_->addItem(QStringLiteral("Scene %1").arg(index + 1));
        }
    }
    scenes_->setCurrentIndex(model_->activeSceneIndex());
    remove_->setEnabled(scenes.size() > 1);
    message_->setText(model_->message());
    message_->setVisible(!model_->message().isEmpty());
}

void SettingsView::showEditor() {
    const std::optional<int> control = padView_->selected();
    if (editor_ && control == editor_->control()) {
        return;
    }
    if (QWidget* old = editorArea_->takeWidget()) {
        // Deleted later: the click that changed the selection may come from inside it.
        old->hide();
        old->deleteLater();
    }
    editor_ = nullptr;
    if (control && model_) {
        editor_ = new ControlEditor(*model_, *control);
        editorArea_->setWidget(editor_);
    }
    editorArea_->setVisible(editor_ != nullptr);
    prompt_->setVisible(editor_ == nullptr);
}
