// What every pane controller held by a region's contents answers. The contents own their
// controller; the layout model calls these on the main thread only.
#pragma once

class LayoutRegionContentsViewControllerProtocol {
public:
    virtual ~LayoutRegionContentsViewControllerProtocol() = default;

    // This pane becomes (true) or stops being (false) the current pane.
    virtual void makeYourselfCurrent(bool current) = 0;
    // The application is about to quit: stop timers and observers, save.
    virtual void exitIsImminent() = 0;
    virtual bool shouldCaptureHistory() = 0;
    virtual void willCaptureHistory() = 0;
    // The pane's layout is being deleted.
    virtual void willBeRemovedFromLayoutManager() = 0;
};
