// WidgetLookup: the widget that an application-wide event filter's object is, found by its address
// alone. Such a filter also sees the web engine's own items, whose classes are built without type
// information: no call may be made on one of those, not even isWidgetType() or qobject_cast.
// Main thread only.
#pragma once

#include <QApplication>
#include <QWidget>

namespace WidgetLookup {

// The widget among `widgets` that `object` is; null when it is none of them.
inline QWidget* among(const QWidgetList& widgets, const QObject* object)
{
    for (QWidget* widget : widgets)
        if (static_cast<const QObject*>(widget) == object)
            return widget;
    return nullptr;
}

// The widget `object` is, among all of the application's; null when it is no widget.
inline QWidget* widget(const QObject* object)
{
    return among(QApplication::allWidgets(), object);
}

// The window `object` is, among the application's windows; null when it is none.
inline QWidget* window(const QObject* object)
{
    return among(QApplication::topLevelWidgets(), object);
}

}  // namespace WidgetLookup
