#include "library/ContainsSubview.h"

#include <QObject>

bool containsSubview(const QObject* view, const QObject* subview)
{
    if (view == nullptr || subview == nullptr)
        return false;
    if (view == subview)
        return true;
    for (const QObject* child : view->children())
        if (containsSubview(child, subview))
            return true;
    return false;
}
