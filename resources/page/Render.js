// Render.js: what a render of a book page's blocks keeps for the reader.
//
// The reader renders the blocks of a loaded page again when what they show changes (a search's hits
// marked, a note or a highlight written). Only the blocks whose markup changed are replaced, and what
// the reader holds stays as it was: the text at the top of the view, the selection's words, and the
// verse (or block) the keyboard's context menu acts on. This part of the page script belongs with
// Utilities.js (the reader puts it after that script, in the same script element) and uses its
// window of blocks, its placement and its bridge calls.

// ---------------------------------------------------------------------------------------------------
// The blocks rendered again.

// Renders the page's blocks again (a search's hits marked, a note or a highlight written) without
// loading a page: only the blocks whose markup changed are replaced. Nothing the reader holds
// changes: the text at the top of the view keeps its place to the fraction of a pixel, the selection
// keeps its words (an end in a replaced block is put back at the same place in its text), and a
// placement on its way goes on. Returns the number of blocks replaced, or -1 when the reader did not
// answer (the page is left as it was).
function qsRenderBlocksAgain() {
    qsPlacement.ahead = {};
    qsPlacement.rendering++;
    var blocks = qsBlocks();
    if (!blocks.length)
        return 0;
    var first = qsBlockNumberFromId(blocks[0].id);
    var last = qsBlockNumberFromId(blocks[blocks.length - 1].id);
    var fresh = {};
    for (var b = first; b <= last; b += qsBatchMost) {
        var list = jsInterface.getHTMLTextForBlocks(b, Math.min(qsBatchMost, last - b + 1));
        if (!Array.isArray(list))
            return -1;
        for (var i = 0; i < list.length; i++)
            fresh[b + i] = list[i];
    }
    var changed = new Map();
    for (var j = 0; j < blocks.length; j++) {
        var html = fresh[qsBlockNumberFromId(blocks[j].id)];
        if (typeof html === 'string' && !qsSameMarkup(html, qsBlockSources.get(blocks[j])))
            changed.set(blocks[j], html);
    }
    if (!changed.size)
        return 0;
    var top = qsAnchorElement();
    var keep = top ? top.id : '';
    if (top && changed.has(top))
        keep = qsVerseStartingInView(top) || keep;
    var selection = qsHoldSelection(changed);
    var pressed = qsHoldPress(changed);
    qsKeepingPlace(function () {
        changed.forEach(function (markup, old) {
            var block = qsMakeBlock(qsBlockNumberFromId(old.id), markup);
            var shown = qsShownFootnotes(old);
            old.parentNode.replaceChild(block, old);
            qsShowFootnotes(block, shown);
        });
    }, function () {
        return keep ? document.getElementById(keep) : null;
    });
    qsPutBackSelection(selection);
    qsPutBackPress(pressed);
    return changed.size;
}

// Whether a block's new markup shows what its markup before showed. A footnote's marker and text are
// tied by a number that every rendering counts on: a block whose footnotes are numbered anew is the
// same block.
function qsSameMarkup(now, before) {
    if (now === before)
        return true;
    if (typeof before !== 'string' || now.indexOf('_fn') < 0)
        return false;
    return now.replace(/_fn\d+/g, '_fn') === before.replace(/_fn\d+/g, '_fn');
}

// The first verse whose anchor stands in the view, from block `top` on: what a render keeps in
// place when the block at the top is replaced (a note link put in above it moves nothing under it).
// Empty when none does.
function qsVerseStartingInView(top) {
    var h = window.innerHeight || 600;
    for (var b = top; b && qsBlockNumberFromId(b.id) !== null && b.getBoundingClientRect().top < h;
        b = b.nextElementSibling) {
        var anchors = b.querySelectorAll('span[id^="_s"]');
        for (var i = 0; i < anchors.length; i++) {
            var at = anchors[i].getBoundingClientRect().top;
            if (qsIsVerseId(anchors[i].id) && at >= 0 && at < h)
                return anchors[i].id;
        }
    }
    return '';
}

// ---------------------------------------------------------------------------------------------------
// The selection held through a render: its ends as places in their blocks' text.

// The footnotes of a block the reader opened or closed (toggleFootnote), in the block's order: for
// each footnote its text and the display the reader gave it ('' when none).
function qsShownFootnotes(block) {
    var notes = block.querySelectorAll('.footnote');
    var list = [];
    var any = false;
    for (var i = 0; i < notes.length; i++) {
        list.push({ text: notes[i].textContent, display: notes[i].style.display });
        any = any || notes[i].style.display !== '';
    }
    return any ? list : null;
}

// Opens and closes the footnotes of a block rendered anew as the reader left them in the block it
// replaces (qsShownFootnotes): each as the footnote at the same place among the block's footnotes
// when it says the same, else as the first one not yet matched that says the same. (Their ids are
// numbered anew by every rendering.)
function qsShowFootnotes(block, shown) {
    if (!shown)
        return;
    var notes = block.querySelectorAll('.footnote');
    var taken = [];
    var match = function (i) {
        if (i < notes.length && !taken[i] && notes[i].textContent === shown[i].text)
            return i;
        for (var j = 0; j < notes.length; j++)
            if (!taken[j] && notes[j].textContent === shown[i].text)
                return j;
        return -1;
    };
    for (var i = 0; i < shown.length; i++) {
        var at = match(i);
        if (at < 0)
            continue;
        taken[at] = true;
        if (shown[i].display)
            notes[at].style.display = shown[i].display;
    }
}

// The page's block (a child of the body) that holds `node`; null outside every block.
function qsBlockAround(node) {
    var body = qsBody();
    var n = node;
    while (n && n.parentNode !== body)
        n = n.parentNode;
    return n && n.nodeType === 1 && qsBlockNumberFromId(n.id) !== null ? n : null;
}

// The links to the reader's notes come and go with the notes (each with a space after it): a place
// in a block's text is counted without them. Answers where the counted characters of text node `n`
// start, or -1 when none of them count.
function qsCountedFrom(n, block) {
    var isNoteLink = function (e) {
        return e && e.nodeType === 1 && e.tagName === 'A' && /^note:/.test(qsLinkTarget(e));
    };
    for (var e = n.parentNode; e && e !== block; e = e.parentNode) {
        if (isNoteLink(e) || (e.tagName === 'TABLE' && / _interlinearnotelinktable /.test(' ' + e.className + ' ')))
            return -1;
    }
    return isNoteLink(n.previousSibling) && n.data.charAt(0) === '\u00a0' ? 1 : 0;
}

// A point of the page (node, offset) inside `block`, as the block's id and the count of its text's
// characters before the point.
function qsTextPlace(block, node, offset) {
    var upTo = document.createRange();
    upTo.setStart(block, 0);
    upTo.setEnd(node, offset);
    var count = 0;
    var walker = document.createTreeWalker(block, NodeFilter.SHOW_TEXT);
    for (var n = walker.nextNode(); n && upTo.intersectsNode(n); n = walker.nextNode()) {
        var from = qsCountedFrom(n, block);
        if (from >= 0)
            count += Math.max(0, (n === node ? offset : n.data.length) - from);
    }
    return { block: block.id, count: count };
}

// The point that a qsTextPlace names, on the page as it is now; null when its block is gone. Where
// one text ends and the next begins, a point that starts something (`forward`) goes to the next.
function qsPointAt(place, forward) {
    var block = document.getElementById(place.block);
    if (!block)
        return null;
    var left = place.count;
    var found = null;
    var walker = document.createTreeWalker(block, NodeFilter.SHOW_TEXT);
    for (var n = walker.nextNode(); n; n = walker.nextNode()) {
        var from = qsCountedFrom(n, block);
        if (from < 0)
            continue;
        var length = n.data.length - from;
        if (left < length || (left === length && !forward))
            return { node: n, offset: from + left };
        found = { node: n, offset: n.data.length };
        left -= length;
    }
    return found || { node: block, offset: block.childNodes.length };
}

// The selection's ends before the blocks in `replaced` (a Map keyed by block) are replaced: an end
// in one of them as its place in the block's text, any other as it stands; null when no end is in
// one of them.
function qsHoldSelection(replaced) {
    var s = window.getSelection();
    if (!s || s.rangeCount === 0 || !s.anchorNode || !s.focusNode)
        return null;
    var r = s.getRangeAt(0);
    var anchorStarts = s.anchorNode === r.startContainer && s.anchorOffset === r.startOffset;
    var end = function (node, offset, forward) {
        var block = qsBlockAround(node);
        return block && replaced.has(block) ? { place: qsTextPlace(block, node, offset), forward: forward }
            : { node: node, offset: offset };
    };
    var anchor = end(s.anchorNode, s.anchorOffset, anchorStarts);
    var focus = s.isCollapsed ? null : end(s.focusNode, s.focusOffset, !anchorStarts);
    return anchor.place || (focus && focus.place) ? { anchor: anchor, focus: focus } : null;
}

// Puts back a selection that qsHoldSelection kept.
function qsPutBackSelection(held) {
    if (!held)
        return;
    var at = function (end) {
        return end.place ? qsPointAt(end.place, end.forward) : end;
    };
    var anchor = at(held.anchor);
    var focus = held.focus ? at(held.focus) : anchor;
    if (!anchor || !focus)
        return;
    try {
        window.getSelection().setBaseAndExtent(anchor.node, anchor.offset, focus.node, focus.offset);
    } catch (e) {
        jsInterface.writeToLog('the selection could not be put back');
    }
}

// ---------------------------------------------------------------------------------------------------
// The verse of a block, and the verse (or block) the keyboard acts on.

// The verse key that text outside every verse belongs to: the first verse after it in its block
// (a heading between verses), else the verse of its block's section as the reader gives it (a
// psalm's title, in a block of its own before its first verse; a closing line a book puts after its
// last verse; a chapter's or a book's heading, whose first verse it leads to); for a block that has
// none (the opening before the Bible's first book), the first verse after it on the page. Null
// outside every block or when none is found. `keys` keeps the blocks' answers for one selection.
function qsVerseOfBlockAround(node, keys) {
    var element = node && (node.nodeType === 1 ? node : node.parentElement);
    var block = element && element.closest ? element.closest('div[' + qsBlockMark + ']') : null;
    var number = block ? qsBlockNumberFromId(block.id) : null;
    if (number === null)
        return null;
    var spans = block.querySelectorAll('span[data-verse-span]');
    for (var i = 0; i < spans.length; i++)
        if (node.compareDocumentPosition(spans[i]) & Node.DOCUMENT_POSITION_FOLLOWING)
            return qsBibleKeyFromDataVerseSpan(spans[i].getAttribute('data-verse-span'));
    if (keys && keys.has(block))
        return keys.get(block);
    var key = jsInterface.verseKeyForBlock(number);
    for (var b = block.nextElementSibling; key === null && b; b = b.nextElementSibling) {
        var span = b.hasAttribute(qsBlockMark) ? b.querySelector('span[data-verse-span]') : null;
        if (span)
            key = qsBibleKeyFromDataVerseSpan(span.getAttribute('data-verse-span'));
    }
    if (keys)
        keys.set(block, key);
    return key;
}

// The verse's anchor (in a Bible) or the block that holds `node`; null outside every one. In a Bible
// what lies outside every verse (its number, a note link, a heading) belongs to the verse its block
// gives it, as for a selection (qsHitAround).
function qsVerseOrBlockAround(node) {
    if (!node || !document.body.contains(node))
        return null;
    var element = node.nodeType === 1 ? node : node.parentElement;
    if (!element || !element.closest)
        return null;
    if (qsIsBible) {
        var key = qsBlockAround(node) ? qsHitAround(node, false) : null;
        var id = key === null ? '' : '_s' + (key >>> 16) + '.' + ((key >>> 8) & 255) + '.' + (key & 255);
        return qsIsVerseId(id) ? document.getElementById(id) : null;
    }
    var block = element.closest('[' + qsBlockMark + ']');
    return block && qsBlockNumberFromId(block.id) !== null ? block : null;
}

// Where the reader last pressed on the page's text ({node, offset}): the verse there is the one the
// keyboard's context menu acts on while it is in view and nothing is selected.
var qsLastPress = null;

// The last press before the blocks in `replaced` are replaced: as its place in its block's text when
// its block is one of them; null when it stays as it is.
function qsHoldPress(replaced) {
    if (!qsLastPress || !qsLastPress.node)
        return null;
    var block = qsBlockAround(qsLastPress.node);
    if (!block || !replaced.has(block))
        return null;
    return qsTextPlace(block, qsLastPress.node, qsLastPress.offset || 0);
}

// Puts the last press back on the same character of its block rendered anew (qsHoldPress).
function qsPutBackPress(place) {
    if (!place)
        return;
    var at = qsPointAt(place, true);
    qsLastPress = at ? { node: at.node, offset: at.offset } : null;
}

