// Keeps the window's helpers out of what screen readers see.
#include "app/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QGroupBox>
#include <QWidget>

namespace parlowen {

namespace {

constexpr char HiddenProperty[] = "parlowenHiddenFromAccessibility";

bool isListed(const QObject* child)
{
    const auto* widget = qobject_cast<const QWidget*>(child);
    return widget && !widget->isWindow() && !widget->property(HiddenProperty).toBool();
}

// A widget's accessible side, listing only the children a person can use.
class AccessibleWithoutHelpers : public QAccessibleWidget {
public:
    using QAccessibleWidget::QAccessibleWidget;

    int childCount() const override { return int(listedChildren().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = listedChildren();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index])
                                                     : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? int(listedChildren().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

private:
    QList<QWidget*> listedChildren() const
    {
        QList<QWidget*> children;
        for (QObject* child : widget()->children()) {
            if (isListed(child))
                children.append(static_cast<QWidget*>(child));
        }
        return children;
    }
};

QAccessibleInterface* accessibleWithoutHelpers(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    const QObjectList& children = widget->children();
    const bool hidesAChild = std::any_of(children.begin(), children.end(), [](const QObject* child) {
        return child->property(HiddenProperty).toBool();
    });
    if (!hidesAChild)
        return nullptr;
    if (auto* frame = qobject_cast<QGroupBox*>(widget))
        return new AccessibleWithoutHelpers(frame, QAccessible::Grouping, frame->title());
    return new AccessibleWithoutHelpers(widget);
}

} // namespace

void hideFromAccessibility(QWidget* widget)
{
    // Qt asks the factories installed last first, so this one comes before
    // the widgets' own; it answers only for the parents of hidden widgets.
    static const bool installed = [] {
        QAccessible::installFactory(accessibleWithoutHelpers);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(HiddenProperty, true);
    // A parent described before (Qt describes a group box as its title is
    // set) keeps listing every child until it is described afresh.
    QWidget* parent = widget->parentWidget();
    QAccessibleInterface* described = parent ? QAccessible::queryAccessibleInterface(parent) : nullptr;
    if (described && !dynamic_cast<AccessibleWithoutHelpers*>(described))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(described));
}

} // namespace parlowen
