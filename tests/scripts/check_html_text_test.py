"""Tests of scripts/check-html-text.py: text put into HTML unescaped, by .arg or by "+", fails the
check on a small planted file; escaped text, literals, numbers and marked values pass, and so does
the checkout itself."""
import importlib.util
import os
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
_spec = importlib.util.spec_from_file_location("check_html_text", os.path.join(ROOT, "scripts", "check-html-text.py"))
html = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(html)

SOUND = r'''
// A comment with QStringLiteral("<b>%1</b>").arg(name) is not code.
QString line(const SourceTuple& book, int count, bool one)
{
    QString out = QStringLiteral("<div class=\"title\">%1 (%2)</div>")
                      .arg(book.name().toHtmlEscaped(), book.abbr().toHtmlEscaped());
    out += QStringLiteral("%1 %2<br />").arg(QString::number(count), one ? QStringLiteral("verse") : tr("verses"));
    out += QStringLiteral("<td width=%1>").arg(40).arg(QLatin1Char('x'));
    out += QStringLiteral("<p>") + NoteHtml::escapeHref(book.name()) + QStringLiteral("</p>");
    out += QStringLiteral("<dd>%1</dd>").arg(inertHtml(book.copyrightText()));
    out += QStringLiteral("<dt>%1</dt>").arg(QStringLiteral("%1 (%2)").arg(book.name(), book.abbr()).toHtmlEscaped());
    const QString plain = QStringLiteral("%1: %2").arg(book.name(), book.abbr());
    // html-safe: the program's own style sheet
    out += QStringLiteral("<style>%1</style>").arg(m_css);
    out += QStringLiteral("<style>%1</style>").arg(m_css);  // html-safe: the program's own style sheet
    return out;
}
'''


class CheckHtmlTextTest(unittest.TestCase):
    def faults(self, body):
        return html.check_text(body, "reports/Report.cpp")

    def assertFails(self, body, value):
        faults = self.faults(body)
        self.assertEqual(len(faults), 1, faults)
        self.assertIn(value, faults[0])

    def test_sound_file_passes(self):
        self.assertEqual(self.faults(SOUND), [])

    def test_unescaped_values(self):
        # The word report's count line as it was: the book's name and abbreviation drawn as markup.
        faults = self.faults('QString f() {\n    return QStringLiteral("%1 in %2 (%3)<br />")\n'
                             '        .arg(QString::number(n), book.name(),\n            book.abbr());\n}\n')
        self.assertEqual([f.split(": ", 1)[1].split(" goes")[0] for f in faults], ["book.name()", "book.abbr()"])
        self.assertTrue(faults[0].startswith("reports/Report.cpp:2: "), faults)
        self.assertFails('void f() { s = QStringLiteral("<b>%1 %2</b>").arg(QString::number(n)).arg(name); }\n', "name")
        self.assertFails('void f() { s += QStringLiteral("<p>") + note.text + QStringLiteral("</p>"); }\n',
                         "note.text")
        self.assertFails('void f() { s = QStringLiteral("<i>%1</i>").arg(a ? b : QString()); }\n', "a ? b")
        self.assertFails('void f() { t.replace(x, QStringLiteral("<b>") + reply + "</b>"); }\n', "reply")
        # An unescape call does not make text safe; a marker on another statement does not either.
        self.assertFails('void f() { s = QStringLiteral("<a href=\'%1\'>").arg(unescapeHref(h)); }\n', "unescapeHref")
        self.assertFails('// html-safe: a number\nint n = 1;\nvoid f() { s = QStringLiteral("<b>%1</b>").arg(n); }\n',
                         "n")

    def test_checkout_passes(self):
        self.assertEqual(html.check(ROOT), [])


if __name__ == "__main__":
    unittest.main()
