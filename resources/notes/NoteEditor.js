// NoteEditor.js: the script of the three note pages (the read-only view, the rich editor and the
// source editor). The reader sets `qsPageSerial` before this script runs and puts the bridge
// (resources/page/Bridge.js: qsSend, qsText) before it.
//
// In the view page every link is written as javascript:href('<escaped target>'); the page's security
// policy runs no script URL, so a click is read here and handed to the reader, which follows it. Hovers
// over links ask the reader for a preview of the target.
//
// In the editors every change is pushed to the reader at once (the whole content, with a change
// number), so that the reader always holds what the user typed, even when it saves before the page
// could answer a question. Pasted HTML goes to the reader first, which returns it filtered, with its
// links made inert. The rich editor reports the styles around the selection, and the reader drives it
// through qsFormat, qsReplaceEditorContent, qsFlush, qsFocusEditor and qsRestoreCaret; the editors tell
// the reader where their caret is.

var jsInterface = {
    href: function (text) { qsSend('href', [qsText(text)], false); },
    showHrefTargetInTooltip: function (target, left, top, width, height) {
        qsSend('showHrefTargetInTooltip', [qsText(target), left | 0, top | 0, width | 0, height | 0], false);
    },
    hideHrefTargetTooltip: function () { qsSend('hideHrefTargetTooltip', [], false); },
    writeToLog: function (text) { qsSend('writeToLog', [qsText(text)], false); }
};

// The link form of the view page.
function href(text) {
    jsInterface.href(text);
}

// ---------------------------------------------------------------------------------------------------
// The view page: links and their previews.

function qsLinkOf(event) {
    var node = event.target && event.target.nodeType === 1 ? event.target : (event.target ? event.target.parentElement : null);
    return node && node.closest ? node.closest('a[href],area[href]') : null;
}

function qsFollowLink(target) {
    var m = /^javascript:href\('([^'"\\]*)'\);?$/.exec(target);
    if (m) {
        jsInterface.href(m[1]);
        return;
    }
    if (/^\s*(javascript|vbscript|livescript|data):/i.test(target)) {
        jsInterface.writeToLog('refused a script link');
        return;
    }
    jsInterface.href(target);
}

function qsUnwrap(target) {
    var m = /^javascript:href\('([^'"\\]*)'\);?$/.exec(target || '');
    return m ? m[1] : (target || '');
}

function qsOnViewMouseOver(event) {
    qsHoverLink(qsLinkOf(event), function (link, r) {
        jsInterface.showHrefTargetInTooltip(qsUnwrap(link.getAttribute('href')), Math.round(r.left),
            Math.round(r.top), Math.round(r.width), Math.round(r.height));
    });
}

function qsOnViewMouseOut(event) {
    qsHoverOut(event);
}

// ---------------------------------------------------------------------------------------------------
// The editors: the content pushed on every change.

var qsChange = 0;      // number of the last change
var qsChunk = 60000;   // characters per push request

function qsEditorElement() {
    return document.getElementById('editor') || document.getElementById('raw-editor');
}

function qsContent() {
    var e = qsEditorElement();
    if (!e)
        return '';
    return e.id === 'raw-editor' ? e.value : e.innerHTML;
}

// Keys this page has taken (every key but the reader's flush key). The reader keeps the keys it sent
// until the page says it has taken them, with the content and the caret they made: when the page's
// renderer ends, the keys it had not confirmed go to the page drawn again.
var qsKeysSeen = 0;

function qsCountKey(event) {
    if (event.key !== 'F24')
        ++qsKeysSeen;
}

// Sends the content in pieces the bridge takes; the reader puts them together by change number. The
// last piece tells how many keys the content holds, and where the caret is.
function qsPush() {
    var text = qsContent();
    var count = Math.max(1, Math.ceil(text.length / qsChunk));
    var at = qsCaret() || [-1, -1];
    for (var i = 0; i < count; ++i)
        qsSend('contentChanged', [qsPageSerial, qsChange, i, count, text.substring(i * qsChunk, (i + 1) * qsChunk),
            qsKeysSeen, at[0], at[1]], true);
}

function qsOnInput() {
    ++qsChange;
    qsPush();
    qsReportStyles();
    qsReportCaret();
}

// The content and change number as they are now; the reader asks for them before it quits.
function qsFlush() {
    return [qsPageSerial, qsChange, qsContent()];
}

// The reader's flush key (F24, which no keyboard sends) comes behind every key typed before it, so
// when it arrives here every one of them is in the content pushed now.
function qsOnFlushKey(event) {
    if (event.key !== 'F24')
        return;
    event.preventDefault();
    event.stopPropagation();
    qsPush();
    qsSend('flushed', [qsPageSerial, qsChange], true);
}

// Focuses the editor; one that has the focus keeps its caret.
function qsFocusEditor() {
    var e = qsEditorElement();
    if (e && document.activeElement !== e)
        e.focus();
}

function qsFormat(command, value) {
    var e = document.getElementById('editor');
    if (!e)
        return;
    e.focus();
    document.execCommand(command, false, value === undefined ? null : value);
}

// The styles the selection sits in: bold, italic, underline, ordered list, unordered list, H1, H2,
// H3, paragraph.
var qsLastStyles = '';

function qsReportStyles() {
    var e = document.getElementById('editor');
    var sel = window.getSelection();
    if (!e || !sel || sel.rangeCount === 0)
        return;
    var flags = [false, false, false, false, false, false, false, false, false];
    var names = { B: 0, STRONG: 0, I: 1, EM: 1, U: 2, OL: 3, UL: 4, H1: 5, H2: 6, H3: 7, P: 8 };
    var node = sel.getRangeAt(0).startContainer;
    while (node && !(node.nodeType === 1 && node.nodeName.toUpperCase() === 'BODY')) {
        if (node.nodeType === 1) {
            var n = names[node.nodeName.toUpperCase()];
            if (n !== undefined)
                flags[n] = true;
        }
        node = node.parentNode;
    }
    var key = flags.join(',');
    if (key === qsLastStyles)
        return;
    qsLastStyles = key;
    qsSend('stylesChanged', [flags], false);
}

// ---------------------------------------------------------------------------------------------------
// Caret keeping: the selection as text offsets within the editor. Line ends between blocks (the
// stored form puts one after each paragraph; the editor makes none) do not count, so an offset
// means the same place in the typed and in the stored form of a text.

function qsTextNodesIn(node) {
    var out = [];
    if (node.nodeType === 3)
        return [node];
    for (var c = node.firstChild; c; c = c.nextSibling)
        out = out.concat(qsTextNodesIn(c));
    return out;
}

function qsCounted(node) {
    return !/^\s*\n\s*$/.test(node.data);
}

// The counted characters from the element's start to a point in it.
function qsOffsetTo(e, container, offset) {
    var before = document.createRange();
    before.setStart(e, 0);
    before.setEnd(container, offset);
    var nodes = qsTextNodesIn(e), total = 0;
    for (var i = 0; i < nodes.length; ++i) {
        if (!before.intersectsNode(nodes[i]) || !qsCounted(nodes[i]))
            continue;
        total += nodes[i] === container ? offset : nodes[i].length;
    }
    return total;
}

function qsGetSelectionRange(e) {
    var sel = window.getSelection();
    if (!sel || sel.rangeCount === 0)
        return null;
    var r = sel.getRangeAt(0);
    if (!e.contains(r.startContainer) || !e.contains(r.endContainer))
        return null;
    return [qsOffsetTo(e, r.startContainer, r.startOffset), qsOffsetTo(e, r.endContainer, r.endOffset)];
}

// Selects from `start` to `end` (counted characters); past the text, at its end.
function qsSetSelectionRange(e, start, end) {
    var nodes = qsTextNodesIn(e).filter(qsCounted);
    var range = document.createRange();
    range.selectNodeContents(e);
    range.collapse(false);
    var total = 0, startSet = false, endSet = false;
    for (var i = 0; i < nodes.length && !endSet; ++i) {
        var len = nodes[i].length;
        if (!startSet && start <= total + len) {
            range.setStart(nodes[i], Math.max(0, start - total));
            startSet = true;
        }
        if (startSet && end <= total + len) {
            range.setEnd(nodes[i], Math.max(0, Math.min(len, end - total)));
            endSet = true;
        }
        total += len;
    }
    if (startSet && !endSet) {
        var last = document.createRange();
        last.selectNodeContents(e);
        range.setEnd(last.endContainer, last.endOffset);
    }
    var sel = window.getSelection();
    sel.removeAllRanges();
    sel.addRange(range);
}

// Where the caret is, told to the reader when it moves: a page drawn again after its renderer ended
// puts it back there.
var qsCaretSequence = 0;
var qsLastCaret = '';

function qsCaret() {
    var e = qsEditorElement();
    if (!e)
        return null;
    if (e.id === 'raw-editor')
        return document.activeElement === e ? [e.selectionStart, e.selectionEnd] : null;
    return qsGetSelectionRange(e);
}

function qsReportCaret() {
    var at = qsCaret();
    if (!at)
        return;
    var key = at[0] + ',' + at[1] + ',' + qsKeysSeen;
    if (key === qsLastCaret)
        return;
    qsLastCaret = key;
    qsSend('caret', [qsPageSerial, ++qsCaretSequence, at[0], at[1], qsKeysSeen], false);
}

// Whether keys sent to the page reach the editor: it is the page's active element, and the page has
// the focus unless `unfocused` (keys sent while the user types elsewhere reach it all the same).
function qsEditorTakesKeys(unfocused) {
    var e = qsEditorElement();
    return !!e && (unfocused === true || document.hasFocus()) && document.activeElement === e;
}

// Focuses the editor with the caret at `start`..`end` (at the end of the text when negative).
function qsRestoreCaret(start, end) {
    var e = qsEditorElement();
    if (!e)
        return false;
    e.focus();
    if (e.id === 'raw-editor') {
        var n = e.value.length;
        if (start < 0 || end < 0)
            start = end = n;
        e.setSelectionRange(Math.min(start, n), Math.min(end, n));
    } else if (start < 0 || end < 0) {
        var r = document.createRange();
        r.selectNodeContents(e);
        r.collapse(false);
        var sel = window.getSelection();
        sel.removeAllRanges();
        sel.addRange(r);
    } else {
        qsSetSelectionRange(e, start, end);
    }
    qsReportCaret();
    return true;
}

// Replaces the editor's content by the stored form of the note, keeping the caret, unless the user
// changed it since the reader's copy (change number `expected`): the reader then saves again first.
// In the source editor the caret keeps its offsets, within the new text.
function qsReplaceEditorContent(html, expected) {
    var e = qsEditorElement();
    if (!e || (expected !== undefined && expected !== qsChange))
        return false;
    if (e.id === 'raw-editor') {
        var start = Math.min(e.selectionStart, html.length);
        var end = Math.min(e.selectionEnd, html.length);
        e.value = html;
        e.setSelectionRange(start, end);
        return true;
    }
    var at = qsGetSelectionRange(e);
    e.innerHTML = html;
    if (at)
        qsSetSelectionRange(e, at[0], at[1]);
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Paste: HTML from the clipboard is filtered by the reader, its links written as inert placeholders.

function qsOnPaste(event) {
    var data = event.clipboardData;
    var html = data ? data.getData('text/html') : '';
    if (!html)
        return; // plain text: the editor inserts it itself
    event.preventDefault();
    var safe = '';
    for (var i = 0; i < html.length; i += qsChunk) {
        var last = i + qsChunk >= html.length;
        var answer = qsSend('pastedHtml', [html.substring(i, i + qsChunk), last], true);
        if (last && typeof answer === 'string')
            safe = answer;
    }
    if (safe)
        document.execCommand('insertHTML', false, safe);
}

// Links in the editors are not followed: the reader tells the user how to follow them.
function qsOnEditorClick(event) {
    var link = qsLinkOf(event);
    if (!link)
        return;
    event.preventDefault();
    qsSend('linkClickedInEditor', [], false);
}

// ---------------------------------------------------------------------------------------------------

window.addEventListener('DOMContentLoaded', function () {
    var editor = qsEditorElement();
    if (!editor) {
        document.addEventListener('click', function (event) {
            var link = qsLinkOf(event);
            if (!link)
                return;
            event.preventDefault();
            qsFollowLink(link.getAttribute('href'));
        }, true);
        document.addEventListener('mouseover', qsOnViewMouseOver);
        document.addEventListener('mouseout', qsOnViewMouseOut);
        return;
    }
    window.addEventListener('keydown', qsCountKey, true);
    editor.addEventListener('input', qsOnInput);
    document.addEventListener('selectionchange', qsReportCaret);
    ['keyup', 'mouseup', 'select', 'focus'].forEach(function (name) { editor.addEventListener(name, qsReportCaret); });
    window.addEventListener('keydown', qsOnFlushKey, true);
    document.addEventListener('click', qsOnEditorClick, true);
    if (editor.id === 'editor') {
        editor.addEventListener('paste', qsOnPaste);
        document.addEventListener('selectionchange', qsReportStyles);
    }
});
