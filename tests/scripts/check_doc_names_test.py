"""Tests of scripts/check-doc-names.py: on a small planted tree, a member its class lacks fails though
both words are spelled somewhere, members found in the declaring files or spelled whole pass, and
the checkout itself passes."""
import importlib.util
import os
import pathlib
import subprocess
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_spec = importlib.util.spec_from_file_location("check_doc_names", os.path.join(ROOT, "scripts", "check-doc-names.py"))
doc_names = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(doc_names)

HEADER = """
#pragma once
// addFactories was the old name; only comments still say it.
class GoToRouter final : public QObject {
public:
    void addFactory(int kind);
};
namespace StudyPaneTabs {
inline constexpr int kCount = 9;
}
namespace qs::cloud {
struct SyncRow { int id; };
}
"""
SOURCE = """
#include "lib/GoToRouter.h"
void GoToRouter::addFactory(int kind) { int kPages = kind; (void)kPages; }
void GoToRouter::route() {}
"""


class CheckDocNamesTest(unittest.TestCase):
    def tree(self, readme):
        top = pathlib.Path(self.enterContext(tempfile.TemporaryDirectory()))
        (top / "lib").mkdir()
        (top / "lib" / "GoToRouter.h").write_text(HEADER)
        (top / "lib" / "GoToRouter.cpp").write_text(SOURCE)
        (top / "README.md").write_text(readme)
        subprocess.run(["git", "init", "-q"], cwd=top, check=True)
        subprocess.run(["git", "add", "."], cwd=top, check=True)
        return top

    def failures(self, readme):
        return [f.split(": ", 1)[1] for f in doc_names.check(self.tree(readme))]

    def test_members_are_checked_against_their_class(self):
        self.assertEqual(
            self.failures("`GoToRouter::addFactories` and `StudyPaneTabs::kPages()` and `qs::cloud::SyncRow::name`\n"),
            ["`GoToRouter::addFactories`: GoToRouter has no member addFactories",
             "`StudyPaneTabs::kPages()`: StudyPaneTabs has no member kPages",
             "`qs::cloud::SyncRow::name`: SyncRow has no member name"])

    def test_sound_names_pass(self):
        readme = ("`GoToRouter::addFactory(int kind)`, `GoToRouter::route()` (defined in the source only),\n"
                  "`StudyPaneTabs::kCount`, `qs::cloud::SyncRow::id`, `QString::fromUtf8` (not ours),\n"
                  "`GoToRouter.cpp`, `lib/GoToRouter.h`, `Class::X`, `make install`\n"
                  "```\n`Nothing::checked` in a fenced block\n```\n")
        self.assertEqual(self.failures(readme), [])

    def test_gone_names_and_files_fail(self):
        self.assertEqual(self.failures("`RemovedClass`, `Gone.cpp`, `lib/Gone.h`\n"),
                         ["`RemovedClass`: no source file spells RemovedClass",
                          "`Gone.cpp`: no tracked file has this name",
                          "`lib/Gone.h`: no such file or folder"])

    def test_the_checkout_passes(self):
        self.assertEqual(doc_names.check(pathlib.Path(ROOT)), [])


if __name__ == "__main__":
    unittest.main()
