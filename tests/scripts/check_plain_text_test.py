"""Tests of scripts/check-plain-text.py: each way of letting Qt read text as rich text fails the
check on a small planted file, the plain forms pass, and so does the checkout itself."""
import importlib.util
import os
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_spec = importlib.util.spec_from_file_location("check_plain_text", os.path.join(ROOT, "scripts", "check-plain-text.py"))
plain = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(plain)

SOUND = r'''
#include "platform/ui/PlainLabel.h"
// A comment naming new QLabel(x) or setToolTip(name) is not code.
Widget::Widget(const QString& name, QFormLayout* form, QWidget* row)
{
    auto* title = new PlainLabel(name, this);
    auto* text = "new QLabel(name) in a string";
    title->setToolTip(ContentTextDocument::plainToolTip(name));
    title->setToolTip(tr("Literal"));
    title->setToolTip(QStringLiteral("one " "two"));
    title->setToolTip(busy ? QStringLiteral("Stop") : tr("Go"));
    m_bar->setTabToolTip(i, ContentTextDocument::plainToolTip(name));
    const QString copied = from->tabToolTip(index);
    m_bar->setTabToolTip(at, copied);
    action->setToolTip(tabToolTip(i));
    well->setToolTip(tr(kWells[i].label));
    form->addRow(tr("Name:"), row);
    form->addRow(new PlainLabel(name, this), row);
    form->addRow(row);
    QMessageBox box;
    PlainLabel::makePlain(&box);
    m_view = new QTextBrowser(this);
    m_view->setDocument(new ContentTextDocument(m_view));
    m_view->setOpenLinks(false);
    ContentTextDocument doc;
}

QVariant Model::data(const QModelIndex& index, int role) const
{
    if (role == Qt::ToolTipRole)
        return ContentTextDocument::plainToolTip(m_names[index.row()]);
    return {};
}

QVariant List::resultData(int row, int role) const
{
    switch (role) {
    case Qt::ToolTipRole:
        return m_names[row];
    }
    return {};
}
'''


class CheckPlainTextTest(unittest.TestCase):
    def faults(self, body, rel="panes/bookpane/Widget.cpp"):
        return plain.check_file(rel, body)

    def assertFails(self, body, fragment, rel="panes/bookpane/Widget.cpp"):
        faults = self.faults(SOUND + body, rel)
        self.assertEqual(len(faults), 1, faults)
        self.assertIn(fragment, faults[0])
        # The fault names a line of the planted code.
        line = int(faults[0].split(":")[1])
        self.assertGreater(line, SOUND.count("\n"), faults[0])
        self.assertLessEqual(line, (SOUND + body).count("\n"), faults[0])

    def test_sound_file_passes(self):
        self.assertEqual(self.faults(SOUND), [])

    def test_labels(self):
        self.assertFails("\nvoid f() { auto* l = new QLabel(name, this); }\n", "make a PlainLabel")
        self.assertFails("\nvoid f() { QLabel label(name); }\n", "make a PlainLabel")
        self.assertFails("\nvoid f() { layout->addWidget(new QLabel(this)); }\n", "make a PlainLabel")
        self.assertFails("\nvoid f() { label->setTextFormat(Qt::AutoText); }\n", "Qt::AutoText")
        self.assertFails("\nvoid f() { label->setTextFormat(Qt::RichText); }\n", "Qt::RichText")

    def test_dialogs(self):
        self.assertFails("\nvoid f() { QMessageBox::warning(this, t, name); }\n", "use the alerts")
        self.assertFails("\nvoid f() { QInputDialog::getText(this, t, name, QLineEdit::Normal); }\n",
                         "PlainLabel::getText")
        faults = self.faults("void f() {\n    auto* p = new QProgressDialog(name, t, 0, 0);\n}\n")
        self.assertEqual(len(faults), 1, faults)
        self.assertIn("QProgressDialog made without PlainLabel::makePlain", faults[0])
        self.assertFails("\nvoid f(const QString& label) { form->addRow(label, field); }\n", "form row")
        self.assertFails("\nvoid f() { form->addRow(tr(\"Open %1\").arg(name), field); }\n", "form row")

    def test_rich_text_files_may_use_the_about_box(self):
        body = "void f() { QMessageBox::about(this, t, aboutText()); }\n"
        self.assertEqual(self.faults(body, "app/HelpCommands.cpp"), [])
        self.assertEqual(len(self.faults(body, "app/Other.cpp")), 1)

    def test_tool_tips(self):
        self.assertFails("\nvoid f() { label->setToolTip(name); }\n", "setToolTip")
        self.assertFails("\nvoid f() { label->setToolTip(tr(\"Open %1\").arg(name)); }\n", "setToolTip")
        self.assertFails("\nvoid f() { label->setToolTip(\n    ContentTextDocument::plainToolTip(a) + name); }\n",
                         "setToolTip")
        self.assertFails("\nvoid f() { bar->setTabToolTip(i, book->name()); }\n", "setTabToolTip")
        self.assertFails("\nvoid f() { QToolTip::showText(pos, name, this); }\n", "showText")
        self.assertFails("\nvoid f() { item->setData(0, name, Qt::ToolTipRole); }\n", "item's tool tip")
        self.assertFails("\nvoid f() { const QString tip = book->name();\n    b->setToolTip(tip); }\n",
                         "setToolTip")

    def test_model_tool_tips(self):
        self.assertFails("\nQVariant M::data(const QModelIndex& i, int role) const\n{\n"
                         "    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)\n        return name;\n}\n",
                         "Qt::ToolTipRole")

    def test_text_documents(self):
        self.assertFails("\nvoid f() { QTextDocument doc; doc.setHtml(html); }\n", "QTextDocument")
        self.assertFails("\nvoid f() { auto* d = new QTextDocument(this); }\n", "QTextDocument")
        self.assertFails("\nvoid f() { QTextDocumentFragment::fromHtml(html).toPlainText(); }\n", "plainText")
        faults = self.faults("class V : public QTextBrowser {\n};\n")
        self.assertEqual(len(faults), 1, faults)
        self.assertIn("QTextBrowser", faults[0])
        faults = self.faults("void f() {\n    auto* v = new QTextBrowser(this);\n"
                             "    v->setDocument(new ContentTextDocument(v));\n}\n")
        self.assertEqual(len(faults), 1, faults)
        self.assertIn("setOpenLinks(false)", faults[0])

    def test_checkout_passes(self):
        self.assertEqual(plain.check(ROOT), [])


if __name__ == "__main__":
    unittest.main()
