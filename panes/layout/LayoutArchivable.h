// A record that a tab (LayoutRegionContentItem) holds as its descriptor or its state. Book panes
// hold LayoutRegionContentItemDescriptor and LayoutRegionContentItemState; other panes (the
// study pane) hold records of their own. The archive tells them apart by class name, so every
// kind registers its reader once at start-up (the book pane's records are registered already).
#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class LayoutArchivable {
public:
    using Reader = std::function<std::unique_ptr<LayoutArchivable>(const QVariant& archived)>;

    virtual ~LayoutArchivable() = default;
    virtual QString archiveClassName() const = 0;
    virtual QVariant encode() const = 0;
    virtual QString description() const = 0;

    // Registers (or replaces) the reader of a class name. Thread-safe.
    static void registerReader(const QString& className, Reader reader);
    // Reads a record by the class name stored in it; null (with a log line) for a class
    // nobody registered or a value that is no archived record.
    static std::unique_ptr<LayoutArchivable> decode(const QVariant& archived);
};
