#include "platform/tb_qt_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <unordered_map>
#include <vector>

#include "platform/tb_native_window.h"
#include "platform/tb_qt_platform.h"
#include "tb_accessible.h"
#include "tb_nativewidget.h"

namespace {

QString ToQString(const TB_String& text) {
    return QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
}

QAccessible::Role ToQtRole(TB_AccessibleRole role) {
    switch (role) {
        case TB_AccessibleRole::Frame:
            return QAccessible::Window;
        case TB_AccessibleRole::Dialog:
            return QAccessible::Dialog;
        case TB_AccessibleRole::Button:
        case TB_AccessibleRole::ToggleButton:
            return QAccessible::Button;
        case TB_AccessibleRole::CheckBox:
            return QAccessible::CheckBox;
        case TB_AccessibleRole::Label:
            return QAccessible::StaticText;
        case TB_AccessibleRole::Text:
            return QAccessible::EditableText;
        case TB_AccessibleRole::ScrollBar:
            return QAccessible::ScrollBar;
        case TB_AccessibleRole::Slider:
            return QAccessible::Slider;
        case TB_AccessibleRole::ComboBox:
            return QAccessible::ComboBox;
        case TB_AccessibleRole::List:
            return QAccessible::List;
        case TB_AccessibleRole::ListItem:
            return QAccessible::ListItem;
        case TB_AccessibleRole::Menu:
            return QAccessible::PopupMenu;
        case TB_AccessibleRole::MenuItem:
            return QAccessible::MenuItem;
        case TB_AccessibleRole::Popup:
            return QAccessible::PopupMenu;
        case TB_AccessibleRole::Panel:
            break;
    }
    return QAccessible::Pane;
}

QString Text(const TB_AccessibleInfo& info, QAccessible::Text which) {
    switch (which) {
        case QAccessible::Name:
            return ToQString(info.Name);
        case QAccessible::Description:
            return ToQString(info.Description);
        case QAccessible::Value:
            return info.HasRange ? QString::number(info.Current) : ToQString(info.Value);
        case QAccessible::Accelerator:
            return ToQString(info.Shortcut);
        default:
            return QString();
    }
}

void AddStates(const TB_AccessibleInfo& info, QAccessible::State& state) {
    state.focusable = state.focusable || info.Focusable;
    state.focused = state.focused || info.Focused;
    state.checkable = info.Checkable;
    state.checked = info.Checked;
    state.selectable = info.Selectable;
    state.selected = info.Selected;
    if (info.Unavailable) {
        state.disabled = true;
    }
}

TB_NativeWidget* WidgetOf(QObject* object) {
    auto* window = dynamic_cast<TB_NativeWindow*>(object);
    TB_NativeWidget* widget = window ? window->Widget() : nullptr;
    return widget && widget->RefCount() > 0 ? widget : nullptr;
}

// An item's second action: a row is played, as with Enter.
const QString kActivate = QStringLiteral("activate");

// Runs a widget's action once the tool's request has been answered: an action may open a
// modal popup, whose loop would keep the answer back until the tool gives up waiting.
void RunLater(TB_NativeWindow* window, int item, bool activate = false) {
    QPointer<TB_NativeWindow> guard(window);
    QMetaObject::invokeMethod(
        window,
        [guard, item, activate] {
            if (TB_NativeWidget* widget = guard ? WidgetOf(guard) : nullptr) {
                if (activate) {
                    widget->ActivateAccessibleItem(item);
                } else {
                    widget->DoAccessibleAction(item);
                }
            }
        },
        Qt::QueuedConnection);
}

// An item drawn inside a widget: made when a tool asks for it, dropped when the items change.
class AccessibleItem : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    AccessibleItem(TB_NativeWindow* window, int item) : m_window(window), m_item(item) {}

    bool isValid() const override {
        TB_NativeWidget* widget = m_window ? WidgetOf(m_window) : nullptr;
        return widget && m_item < widget->AccessibleItemCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override {
        return m_window ? m_window->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface* parent() const override {
        return m_window ? QAccessible::queryAccessibleInterface(m_window) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text which) const override { return Text(Describe(), which); }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        TB_Rectangle<float> b = Describe().Bounds;
        return QRect(static_cast<int>(b.x), static_cast<int>(b.y), static_cast<int>(b.width),
                     static_cast<int>(b.height));
    }
    QAccessible::Role role() const override { return ToQtRole(Describe().Role); }
    QAccessible::State state() const override {
        QAccessible::State state;
        AddStates(Describe(), state);
        return state;
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override {
        if (Describe().Role == TB_AccessibleRole::ListItem) {
            return {pressAction(), kActivate};
        }
        return {pressAction()};
    }
    void doAction(const QString& name) override {
        if (m_window && (name == pressAction() || name == kActivate)) {
            RunLater(m_window, m_item, name == kActivate);
        }
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    TB_AccessibleInfo Describe() const {
        TB_AccessibleInfo info;
        if (TB_NativeWidget* widget = m_window ? WidgetOf(m_window) : nullptr) {
            widget->DescribeAccessibleItem(m_item, info);
        }
        return info;
    }

    QPointer<TB_NativeWindow> m_window;
    int m_item;
};

// A toolkit widget's window, as the widget describes itself.
class AccessibleWindow : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleWindow(TB_NativeWindow* window) : QAccessibleWidget(window) {}
    ~AccessibleWindow() override { DropItems(); }

    QString text(QAccessible::Text which) const override {
        QString text = Text(Describe(), which);
        return text.isEmpty() && which == QAccessible::Name ? QAccessibleWidget::text(which) : text;
    }
    QAccessible::Role role() const override { return ToQtRole(Describe().Role); }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        AddStates(Describe(), state);
        return state;
    }
    int childCount() const override {
        return QAccessibleWidget::childCount() + ItemCount() + static_cast<int>(Popups().size());
    }
    QAccessibleInterface* child(int index) const override {
        int windows = QAccessibleWidget::childCount();
        if (index < windows) {
            return QAccessibleWidget::child(index);
        }
        int item = index - windows;
        if (item >= ItemCount()) {
            std::vector<QWidget*> popups = Popups();
            size_t popup = static_cast<size_t>(item - ItemCount());
            return popup < popups.size() ? QAccessible::queryAccessibleInterface(popups[popup])
                                         : nullptr;
        }
        if (item >= ItemCount()) {
            return nullptr;
        }
        auto found = m_items.find(item);
        if (found != m_items.end()) {
            return QAccessible::accessibleInterface(found->second);
        }
        auto* made = new AccessibleItem(static_cast<TB_NativeWindow*>(widget()), item);
        m_items[item] = QAccessible::registerAccessibleInterface(made);
        return made;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        for (const auto& [item, id] : m_items) {
            if (QAccessible::accessibleInterface(id) == child) {
                return QAccessibleWidget::childCount() + item;
            }
        }
        std::vector<QWidget*> popups = Popups();
        for (size_t i = 0; i < popups.size(); ++i) {
            if (child && child->object() == popups[i]) {
                return QAccessibleWidget::childCount() + ItemCount() + static_cast<int>(i);
            }
        }
        return QAccessibleWidget::indexOfChild(child);
    }
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) {
            return Describe().HasRange ? static_cast<QAccessibleValueInterface*>(this) : nullptr;
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QStringList actionNames() const override {
        switch (Describe().Role) {
            case TB_AccessibleRole::Button:
            case TB_AccessibleRole::ToggleButton:
            case TB_AccessibleRole::CheckBox:
            case TB_AccessibleRole::ComboBox:
                return {pressAction()};
            default:
                return QAccessibleWidget::actionNames();
        }
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && actionNames().contains(name)) {
            RunLater(static_cast<TB_NativeWindow*>(widget()), -1);
            return;
        }
        QAccessibleWidget::doAction(name);
    }
    QVariant currentValue() const override { return Describe().Current; }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return Describe().Maximum; }
    QVariant minimumValue() const override { return Describe().Minimum; }
    QVariant minimumStepSize() const override { return 1; }

    // The items changed: the interfaces made for them stand for other rows now.
    void DropItems() {
        for (const auto& [item, id] : m_items) {
            QAccessible::deleteAccessibleInterface(id);
        }
        m_items.clear();
    }
    int ItemChild(int item) const { return QAccessibleWidget::childCount() + item; }

private:
    TB_AccessibleInfo Describe() const {
        TB_AccessibleInfo info;
        if (TB_NativeWidget* widget = WidgetOf(object())) {
            widget->DescribeAccessible(info);
        }
        return info;
    }
    // The open popups (menus, the filter, drop-downs) this widget opened: Qt leaves popup
    // windows out of the application's children, so a reader walking the tree finds them here.
    std::vector<QWidget*> Popups() const {
        std::vector<QWidget*> popups;
        TB_NativeWidget* self = WidgetOf(object());
        if (!self) {
            return popups;
        }
        for (QWidget* top : QApplication::topLevelWidgets()) {
            TB_NativeWidget* widget =
                top->windowType() == Qt::Popup && top->isVisible() ? WidgetOf(top) : nullptr;
            if (widget && widget->Parent == self) {
                popups.push_back(top);
            }
        }
        return popups;
    }
    int ItemCount() const {
        TB_NativeWidget* widget = WidgetOf(object());
        return widget ? widget->AccessibleItemCount() : 0;
    }

    mutable std::unordered_map<int, QAccessible::Id> m_items;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    auto* window = dynamic_cast<TB_NativeWindow*>(object);
    return window ? new AccessibleWindow(window) : nullptr;
}

}  // namespace

void TB_QtPlatform::NotifyAccessible(TB_NativeWidget* widget, TB_AccessibleChange change,
                                     tb_int item) {
    TB_QtNotifyAccessible(widget, change, item);
}

void TB_QtInstallAccessibility() {
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(Factory);
    }
}

void TB_QtNotifyAccessible(TB_NativeWidget* widget, TB_AccessibleChange change, int item) {
    if (!QAccessible::isActive() || !widget || !widget->Window) {
        return;
    }
    QWidget* window = widget->Window;
    auto* self = dynamic_cast<AccessibleWindow*>(QAccessible::queryAccessibleInterface(window));
    if (!self) {
        return;
    }
    switch (change) {
        case TB_AccessibleChange::Name: {
            QAccessibleEvent event(window, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
            break;
        }
        case TB_AccessibleChange::Value: {
            QAccessibleValueChangeEvent event(window, self->currentValue());
            QAccessible::updateAccessibility(&event);
            break;
        }
        case TB_AccessibleChange::State: {
            QAccessible::State changed;
            changed.checked = true;
            QAccessibleStateChangeEvent event(window, changed);
            QAccessible::updateAccessibility(&event);
            break;
        }
        case TB_AccessibleChange::Selection:
            if (item >= 0) {
                QAccessibleEvent selected(window, QAccessible::Selection);
                selected.setChild(self->ItemChild(item));
                QAccessible::updateAccessibility(&selected);
            }
            break;
        case TB_AccessibleChange::Items: {
            self->DropItems();
            QAccessibleEvent event(window, QAccessible::ObjectReorder);
            QAccessible::updateAccessibility(&event);
            break;
        }
        case TB_AccessibleChange::Focus: {
            QAccessibleEvent event(window, QAccessible::Focus);
            if (item >= 0) {
                event.setChild(self->ItemChild(item));
            }
            QAccessible::updateAccessibility(&event);
            break;
        }
    }
}
