#pragma once

#include <QFrame>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class ControlEditor;
class Model;
class PadView;
class QComboBox;
class QLabel;
class QScrollArea;
class QToolButton;

// The scene background of the active scene: a thumbnail that takes a dropped image, "Black" to
// remove the background, "Choose…" for a file.
class BackgroundWell : public QFrame {
    Q_OBJECT
public:
    explicit BackgroundWell(Model& model, QWidget* parent = nullptr);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void refresh();
    void setHovered(bool hovered);
    QPointer<Model> model_;
    QLabel* thumbnail_;
    QString shownPath_;
};

// Deletes the selected control's action when Delete (or Backspace, the key labelled Delete on
// Apple keyboards) is pressed without modifiers while the window is in front, no dialog is
// open, no text field has the focus, no shortcut is being recorded and the program is not
// quitting. Watches the application's key presses while its window is shown.
class ControlDeleteHandler : public QObject {
    Q_OBJECT
public:
    using Delete = std::function<bool()>;
    ControlDeleteHandler(QWidget* view, Delete action);
    ~ControlDeleteHandler() override;
    // Whether the key press may clear the selection now, for `view`.
    static bool applies(const QKeyEvent& event, const QWidget& view);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> view_;
    Delete delete_;
};

// One device's page: "YOUR DEVICE", the scene bar, the pad picture, the scene background, the
// editor of the selected control (or the prompt to click one), the status line and the footer.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(Model& model, QWidget* parent = nullptr);

    PadView* padView() const { return padView_; }
    ControlEditor* editor() const { return editor_; }
    QComboBox* scenePicker() const { return scenes_; }
    QToolButton* shareButton() const { return share_; }
    // Clears the selected control's action (the Delete key); true when it did.
    bool deleteSelected();

private:
    void refresh();
    void showEditor();

    QPointer<Model> model_;
    QComboBox* scenes_;
    QToolButton* remove_;
    QToolButton* share_;
    PadView* padView_;
    QScrollArea* editorArea_;
    ControlEditor* editor_ = nullptr;
    QWidget* prompt_;
    QLabel* message_;
};
