"""What the checks of the tree share: the folders that draw, and the command a check runs as.

check-layers.py lets only UI_FOLDERS (and their tests) include QtWidgets or QtWebEngine, and
check-plain-text.py holds their widgets to plain text. panes/layout is the layout model and draws
nothing."""
import argparse
import os

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


def run_check(argv, description, name, headline, check):
    """The command of a check over a tree (--root DIR, by default the checkout holding the scripts):
    prints the faults `check(root)` finds under "<name>: <headline>:" and answers 1, or says the check
    passed and answers 0."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = parser.parse_args(argv)
    faults = check(os.path.abspath(args.root))
    if faults:
        print(f"{name}: {headline}:")
        print("\n".join(faults))
        return 1
    print(f"{name}: passed")
    return 0
