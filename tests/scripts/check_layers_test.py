"""Tests of scripts/check-layers.py: each planted fault in a small tree fails the check, the sound
tree passes, and so does the checkout itself."""
import importlib.util
import os
import tempfile
import textwrap
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_spec = importlib.util.spec_from_file_location("check_layers", os.path.join(ROOT, "scripts", "check-layers.py"))
layers = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(layers)

WIDGETS = {"QWidget", "QWebEngineView"}

# A small tree that follows the table: each folder links what it includes.
SOUND = {
    "engine/CMakeLists.txt": "qs_add_subfolders()\n",
    "engine/foundation/CMakeLists.txt": "qs_add_library(qs_engine_foundation GLOB PUBLIC_DEPS Qt6::Core)\n",
    "engine/foundation/Base.h": "#pragma once\n#include <string>\n",
    "engine/foundation/generated/Tables.h": '#include "engine/foundation/Base.h"\n',
    "engine/bookfile/CMakeLists.txt": "qs_add_library(qs_engine_bookfile GLOB PUBLIC_DEPS qs_engine_foundation)\n",
    "engine/bookfile/Book.h": '#include "engine/foundation/Base.h"\n',
    "render/CMakeLists.txt": "qs_add_library(qs_render GLOB PUBLIC_DEPS qs_engine_bookfile)\n",
    "render/Renderer.cpp": '#include "engine/bookfile/Book.h"\n#include "engine/foundation/Base.h"\n',
    "userdata/CMakeLists.txt": "qs_add_library(qs_userdata GLOB PUBLIC_DEPS qs_engine_foundation)\n",
    "userdata/Store.h": '#include "engine/foundation/Base.h"\n',
    "documents/CMakeLists.txt": "qs_add_library(qs_documents GLOB PUBLIC_DEPS qs_render qs_userdata)\n",
    "documents/Doc.h": '#include "render/Renderer.h"\n#include "userdata/Store.h"\n',
    "panes/CMakeLists.txt": "qs_add_subfolders()\n",
    "panes/layout/CMakeLists.txt": "qs_add_library(qs_panes_layout GLOB PUBLIC_DEPS qs_documents)\n",
    "panes/layout/Layout.h": '#include "documents/Doc.h"\n#include <QObject>\n',
    "panes/bookpane/CMakeLists.txt": "qs_add_library(qs_panes_bookpane GLOB PUBLIC_DEPS qs_panes_layout Qt6::Widgets)\n",
    "panes/bookpane/BookPane.h": '#include "panes/layout/Layout.h"\n#include <QWidget>\n#include <QtWidgets/QLabel>\n',
    "tests/engine/Base_test.cpp": '#include "engine/foundation/Base.h"\n#include "tools/tvkbuild/Builder.h"\n',
    "tests/panes/bookpane/BookPane_test.cpp": '#include "panes/bookpane/BookPane.h"\n#include <QWidget>\n',
    "tools/tvkbuild/Builder.cpp": '#include "documents/Doc.h"\n',
    "resources/page/Utilities.js": "// not C++\n",
}


class CheckLayersTest(unittest.TestCase):
    def run_on(self, changes):
        with tempfile.TemporaryDirectory() as root:
            files = dict(SOUND)
            files.update(changes)
            for rel, text in files.items():
                if text is None:
                    continue
                path = os.path.join(root, rel)
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "w", encoding="utf-8") as f:
                    f.write(textwrap.dedent(text))
            return layers.check(root, WIDGETS)

    def assertFails(self, changes, *fragments):
        faults = self.run_on(changes)
        self.assertEqual(len(faults), 1, faults)
        for fragment in fragments:
            self.assertIn(fragment, faults[0])

    def test_the_checkout_passes(self):
        self.assertEqual(layers.check(ROOT, layers.widget_headers()), [])

    def test_the_table_names_only_folders_of_the_checkout(self):
        named = {folder for layer in layers.LAYERS for folder, same_layer in layer for folder in [folder, *same_layer]}
        named |= set(layers.UI_FOLDERS)
        self.assertEqual(sorted(f for f in named if not os.path.isdir(os.path.join(ROOT, f))), [])

    def test_the_sound_tree_passes(self):
        self.assertEqual(self.run_on({}), [])

    def test_an_upward_include_fails(self):
        self.assertFails(
            {"engine/foundation/Base.h": '#pragma once\n#include "documents/Doc.h"\n'},
            "engine/foundation/Base.h:2",
            '"documents/Doc.h"',
        )

    def test_an_include_from_a_sibling_of_the_same_layer_fails(self):
        self.assertFails({"render/Renderer.cpp": '#include "userdata/Store.h"\n'}, "render/Renderer.cpp:1", "userdata")

    def test_an_upward_include_in_a_generated_subfolder_fails(self):
        self.assertFails(
            {"engine/foundation/generated/Tables.h": '#include "engine/bookfile/Book.h"\n'},
            "engine/foundation/generated/Tables.h:1",
        )

    def test_widgets_in_the_layout_model_fail(self):
        self.assertFails({"panes/layout/Layout.h": "#include <QWidget>\n"}, "panes/layout/Layout.h:1", "<QWidget>")
        self.assertFails(
            {"panes/layout/Layout.h": "#include <QtWebEngineWidgets/QWebEngineView>\n"}, "panes/layout/Layout.h:1"
        )

    def test_widgets_in_the_tests_of_a_lower_folder_fail(self):
        self.assertFails({"tests/engine/Base_test.cpp": "#include <QWidget>\n"}, "tests/engine/Base_test.cpp:1")

    def test_the_shared_support_of_the_drawing_tests_may_draw(self):
        self.assertEqual(self.run_on({"tests/support/TestPage.cpp": "#include <QWebEngineView>\n"}), [])
        self.assertFails({"tests/supporting/X.cpp": "#include <QWidget>\n"}, "tests/supporting/X.cpp:1")

    def test_widgets_in_a_benchmark_follow_the_folder_it_measures(self):
        self.assertEqual(self.run_on({"bench/panes/Page_bench.cpp": "#include <QApplication>\n"}), [])
        self.assertFails({"bench/engine/Open_bench.cpp": "#include <QWidget>\n"}, "bench/engine/Open_bench.cpp:1")

    def test_linking_widgets_below_the_interface_fails(self):
        self.assertFails(
            {"render/CMakeLists.txt": "qs_add_library(qs_render GLOB PUBLIC_DEPS qs_engine_bookfile Qt6::Widgets)\n"},
            "render/CMakeLists.txt:1",
            "Qt6::Widgets",
        )

    def test_a_user_interface_header_below_the_interface_fails(self):
        self.assertFails(
            {
                "platform/ui/Button.h": "#include <QWidget>\n",
                "platform/CMakeLists.txt": "qs_add_library(qs_platform GLOB)\n",
                "platform/ui/CMakeLists.txt": "qs_add_library(qs_platform_ui GLOB PUBLIC_DEPS qs_platform)\n",
                "panes/layout/Layout.h": '#include "platform/ui/Button.h"\n',
            },
            "panes/layout/Layout.h:1",
            "platform/ui",
        )

    def test_an_upward_link_fails(self):
        self.assertFails(
            {"engine/bookfile/CMakeLists.txt": "qs_add_library(qs_engine_bookfile GLOB PUBLIC_DEPS qs_engine_foundation qs_render)\n"},
            "engine/bookfile/CMakeLists.txt",
            "qs_render",
        )

    def test_an_allowed_include_that_is_not_linked_fails(self):
        self.assertFails(
            {"userdata/CMakeLists.txt": "qs_add_library(qs_userdata GLOB)\n"},
            "userdata/Store.h:1",
            "does not link engine/foundation",
        )

    def test_a_folder_missing_from_the_table_fails(self):
        self.assertFails({"widgets/Thing.cpp": "int x;\n"}, "widgets/Thing.cpp", "not in the layer table")

    def test_an_include_of_a_folder_missing_from_the_table_fails(self):
        self.assertFails(
            {"documents/Doc.h": '#include "engine/documents/Old.h"\n'}, "documents/Doc.h:1", "not in the layer table"
        )

    def test_a_process_wide_accessor_in_the_interface_fails(self):
        self.assertFails(
            {"panes/bookpane/Pane.cpp": "auto& d = UserDefaults::standardUserDefaults();  // x\n"},
            "panes/bookpane/Pane.cpp:1",
            "UserDefaults::standardUserDefaults",
        )
        # Named in a comment, or by the code that brings the program up, it passes.
        self.assertEqual(self.run_on({"panes/bookpane/Pane.cpp": "// not Alerts::shared() here\n"}), [])
        self.assertEqual(self.run_on({"app/ProgramParts.cpp": "auto* n = noteDocInstance();\n"}), [])

    def test_main_answers_one_on_a_fault(self):
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "engine/foundation"))
            with open(os.path.join(root, "engine/foundation/Base.h"), "w") as f:
                f.write('#include "app/Main.h"\n')
            self.assertEqual(layers.main(["--root", root]), 1)


if __name__ == "__main__":
    unittest.main()
