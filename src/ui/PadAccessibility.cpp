#include "ui/PadAccessibility.h"

#include "actions/ActionCatalog.h"
#include "model/Model.h"
#include "ui/PadViews.h"

#include <QAccessibleWidget>

namespace {

QString actionName(const PadView& view, int control) {
    if (const Model* model = view.model()) {
        for (const Binding& binding : model->activeScene().keys) {
            if (binding.id == control) {
                return ActionCatalog::action(binding.action).name();
            }
        }
    }
    return ActionCatalog::action(QString()).name();
}

// One control of the picture; it lives as long as the view (Qt's accessibility cache keeps it).
class ControlAccessible : public QAccessibleInterface {
public:
    ControlAccessible(PadView* view, int index) : view_(view), index_(index) {}

    bool isValid() const override { return view_ && index_ < controls().size(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return parent()->window(); }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(view_.data());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::Button; }

    QString text(QAccessible::Text type) const override {
        if (!isValid()) {
            return {};
        }
        const int code = controls()[index_].code;
        switch (type) {
            case QAccessible::Name:
                return PadLayout::label(view_->kind(), code) + QStringLiteral(", ") +
                       actionName(*view_, code);
            case QAccessible::Help:
                return view_->helpText(code);
            default:
                return {};
        }
    }

    QRect rect() const override {
        if (!isValid()) {
            return {};
        }
        const QPoint centre = view_->mapToGlobal(view_->controlCentre(controls()[index_].code));
        return QRect(centre - QPoint(16, 16), QSize(32, 32));
    }

    QAccessible::State state() const override {
        QAccessible::State state;
        state.focusable = true;
        state.selectable = true;
        state.selected = isValid() && view_->selected() == controls()[index_].code;
        state.focused = state.selected && view_->hasFocus();
        return state;
    }

private:
    const QList<PadControlShape>& controls() const { return PadLayout::controls(view_->kind()); }

    QPointer<PadView> view_;
    const int index_;
};

class PadViewAccessible : public QAccessibleWidget {
public:
    explicit PadViewAccessible(PadView* view) : QAccessibleWidget(view, QAccessible::Grouping) {}

    int childCount() const override { return int(controls().size()); }
    QAccessibleInterface* child(int index) const override {
        if (index < 0 || index >= childCount()) {
            return nullptr;
        }
        if (!children_.contains(index)) {
            auto* control = new ControlAccessible(view(), index);
            children_.insert(index, QAccessible::registerAccessibleInterface(control));
        }
        return QAccessible::accessibleInterface(children_.value(index));
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (auto entry = children_.cbegin(); entry != children_.cend(); ++entry) {
            if (QAccessible::accessibleInterface(entry.value()) == child) {
                return entry.key();
            }
        }
        return -1;
    }
    QAccessibleInterface* focusChild() const override {
        const std::optional<int> selected = view()->selected();
        for (int index = 0; selected && index < childCount(); ++index) {
            if (controls()[index].code == *selected) {
                return child(index);
            }
        }
        return nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        const std::optional<int> control = view()->controlAt(view()->mapFromGlobal(QPoint(x, y)));
        for (int index = 0; control && index < childCount(); ++index) {
            if (controls()[index].code == *control) {
                return child(index);
            }
        }
        return nullptr;
    }
    ~PadViewAccessible() override {
        for (const QAccessible::Id id : std::as_const(children_)) {
            QAccessible::deleteAccessibleInterface(id);
        }
    }

private:
    PadView* view() const { return static_cast<PadView*>(widget()); }
    const QList<PadControlShape>& controls() const { return PadLayout::controls(view()->kind()); }

    mutable QHash<int, QAccessible::Id> children_;
};

}  // namespace

QAccessibleInterface* padViewAccessible(const QString&, QObject* object) {
    if (auto* view = qobject_cast<PadView*>(object)) {
        return new PadViewAccessible(view);
    }
    return nullptr;
}
