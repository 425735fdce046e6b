"""The folders of the tree that draw, shared by the checks: check-layers.py lets only these (and
their tests) include QtWidgets or QtWebEngine, and check-plain-text.py holds their widgets to plain
text. panes/layout is the layout model and draws nothing."""

UI_FOLDERS = (
    "platform/ui",
    "panes",
    "panes/page",
    "panes/bookpane",
    "panes/layoutview",
    "studypane",
    "app",
    "app/preferences",
    "cloud/ui",
    "cloud/store/ui",
    "reports/ui",
    "reports/ui/web",
)
