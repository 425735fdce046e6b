// XrefPopupViewController: the view of a link or footnote preview, one read-only wrapping label in
// the reader's text and back colours (swapped, so the preview stands out) and its body font a
// little larger than the page's. The application shows it in a popup beside the link.
// Main thread only.
#pragma once

#include <QLabel>

class UserDefaults;

class XrefPopupViewController {
public:
    static constexpr int kTextTag = 1023;
    // A new preview view; the caller owns it.
    static QLabel* makeView(const UserDefaults& defaults, QWidget* parent = nullptr);
};
