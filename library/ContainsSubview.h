// ContainsSubview: whether a view is, or holds at any depth, another view. Views are QObjects here
// (a widget's child widgets are its children), searched depth first in child order. Call it on the
// thread that owns the views.
#pragma once

class QObject;

bool containsSubview(const QObject* view, const QObject* subview);
