// Utilities.js: the script of a book page.
//
// The page holds a window of a book's blocks, one <div id="_b<n>"> each, between the markers
// #startofpage and #endofpage ("Loading..." until the book's start or end is reached). As the reader
// scrolls, the script asks the reader for neighbouring blocks through `jsInterface`, drops blocks far
// out of sight, and reports where the reader is. A place gone to is shown with room held above and
// below it, which the blocks filled in around it take, so its scroll bar stays as the place painted.
// The reader drives the page through the functions
// fillExtraScreens, getPageYOffset, scrollToElement, scrollToYOffset, getSelectionHtml,
// updateDevotionalReadingStatus, resizeDocument, qsReportPlacePainted, qsGoToPlace and
// qsRenderBlocksAgain.
//
// The reader sets `sourceTupleString`, `webViewSerialNumber`, `qsBridgeBase` (the bridge address with
// this page's secret) and `qsFrameKey` (the mark of the reader's own elements among the blocks)
// before this script runs. Book content is untrusted: the page's security policy lets only this
// script run, and links are followed here, never by the browser, so a script URL in a book does
// nothing. No content stands in the page's markup: the first blocks come through qsStartPage, after
// the script holds the frame's elements, and every block is made inert (active elements, handlers,
// script URLs, ids that would pass for the reader's own, names that would cover the document's
// members) before it joins the page.

// ---------------------------------------------------------------------------------------------------
// The calls to the reader, through qsSend of Bridge.js (which the reader puts before this script).

var jsInterface = {
    getHTMLTextForBlock: function (block) { return qsSend('getHTMLTextForBlock', [block | 0], true); },
    // Several neighbouring blocks in one request: an array with an entry per block (null past the
    // book's ends).
    getHTMLTextForBlocks: function (first, count) {
        return qsSend('getHTMLTextForBlocks', [first | 0, count | 0], true);
    },
    // The same without waiting: done(list) once the answer came (null without one).
    getHTMLTextForBlocksLater: function (first, count, done) {
        qsSendLater('getHTMLTextForBlocks', [first | 0, count | 0], done);
    },
    writeToLog: function (text) { qsSend('writeToLog', [qsText(text)], false); },
    isABible: function () { return qsSend('isABible', [], true) === true; },
    updatePosition: function (book, serial, blockId, verseId, offset, pageOffset) {
        qsSend('updatePosition', [String(book), serial, blockId, verseId, offset | 0, pageOffset | 0], false);
    },
    href: function (text) { qsSend('href', [qsText(text)], false); },
    // Waits, so that a status asked right after the toggle sees it.
    toggleReadingNumber: function (n) { qsSend('toggleReadingNumber', [n | 0], true); },
    isReadingComplete: function (n) { return qsSend('isReadingComplete', [n | 0], true) === true; },
    showHrefTargetInTooltip: function (target, footnote, left, top, width, height) {
        qsSend('showHrefTargetInTooltip',
            [qsText(target), footnote === null ? null : qsText(footnote), left | 0, top | 0, width | 0, height | 0],
            false);
    },
    hideHrefTargetTooltip: function () { qsSend('hideHrefTargetTooltip', [], false); },
    // The blocks or verse keys the selection touches, pushed whenever the selection changes.
    selectionChanged: function (list) { qsSend('selectionChanged', [list], false); },
    // The first paint of a page after the reader placed it.
    pagePainted: function (serial) { qsSend('pagePainted', [serial], false); },
    // The first paint after the reader moved the page to a place.
    placePainted: function (serial) { qsSend('placePainted', [serial], false); }
};

// The link handler of the renderer's link form javascript:href('...'). Book content cannot call it
// (no script of the book runs); the click handler below reads such links and calls it.
function href(text) {
    jsInterface.href(text);
}

// ---------------------------------------------------------------------------------------------------
// Ids.

function qsBlockNumberFromId(id) {
    var m = /^_b(\d+)$/.exec(id || '');
    return m ? parseInt(m[1], 10) : null;
}

// The reader's reading headers only: their ids end in the frame key.
function qsReadingNumberFromId(id) {
    var m = /^_reading(\d+)_([0-9a-f]+)$/.exec(id || '');
    return m && qsFrameKey && m[2] === qsFrameKey ? parseInt(m[1], 10) : null;
}

// "_s" book "." chapter "." verse anywhere in the text; missing parts are 0, each part one byte.
function qsBibleKeyFromDataVerseSpan(text) {
    var at = String(text).indexOf('_s');
    if (at < 0)
        return 0;
    var parts = String(text).substring(at + 2).split('.');
    var key = 0;
    for (var i = 0; i < 3; i++) {
        var n = parseInt(parts[i], 10);
        key = key * 256 + ((isNaN(n) ? 0 : n) & 255);
    }
    return key >>> 0;
}

function qsIsVerseId(id) {
    return /^_s\d+\.\d+\.\d+$/.test(id || '');
}

// ---------------------------------------------------------------------------------------------------
// Book content is made inert before it joins the page: no script elements, frames or plug-ins, no
// event-handler attributes, no script URLs other than the renderer's own link forms (which the click
// handler reads and never runs), and no place of its own on the page: content keeps to the flow of
// its block (no fixed, absolute or sticky position, no z-index, no offsets, no transforms, in style
// attributes or style elements), a style element reaches only what stands inside the blocks (never a
// block itself nor any other element of the page's own), and every block clips what it holds by
// inline !important styles that no content rule can override. So nothing of it can cover the page or
// catch clicks meant for the rest of it.

var qsReaderLink = /^javascript:(href\('[^'"\\]*'\)|toggleFootnote\('_fn\d+'\));?$/;

// Ids the page's own elements carry; content that uses them loses them.
var qsFrameIds = /^(body|topwhitespace|startofpage|endofpage|bottomwhitespace|_b\d+)$/i;

function qsIsReaderId(id) {
    return qsFrameIds.test(id) || (/^_reading/i.test(id) && qsReadingNumberFromId(id) === null);
}

// The properties that move a box away from its place in the flow: offsets, transforms and motion.
var qsMovingProperties = ['top', 'right', 'bottom', 'left', 'inset', 'inset-block', 'inset-inline',
    'inset-block-start', 'inset-block-end', 'inset-inline-start', 'inset-inline-end', 'transform',
    'translate', 'rotate', 'scale', 'offset', 'offset-path', 'offset-distance', 'offset-position',
    'offset-anchor', 'offset-rotate'];

// Takes the placing properties out of one declaration block: a position other than static or
// relative (whatever its spelling: var(), inherit and vendor forms go too), any z-index, and every
// offset and transform.
function qsInertDeclarations(style) {
    if (!style)
        return;
    var position = style.getPropertyValue('position').trim().toLowerCase();
    if (position !== '' && position !== 'static' && position !== 'relative')
        style.removeProperty('position');
    if (style.getPropertyValue('z-index') !== '')
        style.removeProperty('z-index');
    for (var i = 0; i < qsMovingProperties.length; i++)
        if (style.getPropertyValue(qsMovingProperties[i]) !== '')
            style.removeProperty(qsMovingProperties[i]);
}

// The selectors of a selector list, split at its top-level commas.
function qsSplitSelectors(text) {
    var parts = [];
    var depth = 0;
    var quote = '';
    var start = 0;
    for (var i = 0; i < text.length; i++) {
        var c = text.charAt(i);
        if (c === '\\') {
            i++;
        } else if (quote) {
            if (c === quote)
                quote = '';
        } else if (c === '"' || c === "'") {
            quote = c;
        } else if (c === '(' || c === '[') {
            depth++;
        } else if (c === ')' || c === ']') {
            depth--;
        } else if (c === ',' && depth === 0) {
            parts.push(text.substring(start, i).trim());
            start = i + 1;
        }
    }
    parts.push(text.substring(start).trim());
    return parts;
}

// The keyframe names of the page's own style sheets, which content may not redefine.
var qsPageKeyframes = null;

function qsPageKeyframeNames() {
    if (qsPageKeyframes)
        return qsPageKeyframes;
    qsPageKeyframes = {};
    for (var i = 0; i < document.styleSheets.length; i++) {
        try {
            var rules = document.styleSheets[i].cssRules;
            for (var j = 0; j < rules.length; j++)
                if (rules[j].type === CSSRule.KEYFRAMES_RULE)
                    qsPageKeyframes[rules[j].name] = true;
        } catch (e) {
        }
    }
    return qsPageKeyframes;
}

// The kinds of rule a content style sheet keeps: style, media, font-face, keyframes and supports.
function qsIsKeptRule(rule) {
    return rule.type === CSSRule.STYLE_RULE || rule.type === CSSRule.MEDIA_RULE ||
        rule.type === CSSRule.FONT_FACE_RULE || rule.type === CSSRule.KEYFRAMES_RULE ||
        rule.type === CSSRule.SUPPORTS_RULE;
}

// The mark of the page's blocks; content style rules match only below an element that has it.
var qsBlockMark = 'data-qs-block';

// Every style rule of the list matches only inside the blocks (its selectors are put after the
// blocks' mark, so they can reach neither a block itself nor anything of the page outside the blocks,
// and their weight stays theirs: a mark content sets on its own elements is inside a block too);
// placing properties go; other kinds of rules go, and so do keyframes that the page's own style
// sheets name.
function qsScopeRules(list) {
    var prefix = ':where([' + qsBlockMark + ']) ';
    for (var i = list.cssRules.length - 1; i >= 0; i--) {
        var rule = list.cssRules[i];
        var keep = qsIsKeptRule(rule);
        if (keep && rule.type === CSSRule.STYLE_RULE) {
            rule.selectorText = qsSplitSelectors(rule.selectorText).map(function (s) {
                return prefix + s;
            }).join(', ');
            // A selector list the parser would not take leaves the rule as it was: it goes.
            keep = qsSplitSelectors(rule.selectorText).every(function (s) {
                return s.indexOf(prefix) === 0;
            });
        } else if (keep && rule.type === CSSRule.KEYFRAMES_RULE) {
            keep = !qsPageKeyframeNames()[rule.name];
        }
        if (!keep) {
            list.deleteRule(i);
            continue;
        }
        qsInertDeclarations(rule.style);
        if (rule.type === CSSRule.KEYFRAMES_RULE) {
            for (var k = 0; k < rule.cssRules.length; k++)
                qsInertDeclarations(rule.cssRules[k].style);
        } else if (rule.cssRules) {
            qsScopeRules(rule);
        }
    }
}

// A style element of the content, read by the browser's own style parser (so escapes and comments
// cannot hide a property), kept to the inside of the blocks with its placing properties taken out,
// and written back; @import rules are dropped by the parser. A style sheet that cannot be read goes.
function qsInertStyleElement(element) {
    try {
        var sheet = new CSSStyleSheet();
        sheet.replaceSync(element.textContent || '');
        qsScopeRules(sheet);
        var text = [];
        for (var i = 0; i < sheet.cssRules.length; i++)
            text.push(sheet.cssRules[i].cssText);
        element.textContent = text.join('\n');
    } catch (e) {
        element.parentNode.removeChild(element);
    }
}

function qsMakeInert(root) {
    var dead = root.querySelectorAll('script,iframe,frame,object,embed,base,meta,link,form,applet');
    for (var i = dead.length - 1; i >= 0; i--)
        dead[i].parentNode.removeChild(dead[i]);
    var sheets = root.querySelectorAll('style');
    for (var s = sheets.length - 1; s >= 0; s--)
        qsInertStyleElement(sheets[s]);
    var all = root.getElementsByTagName('*');
    for (var j = 0; j < all.length; j++) {
        var attrs = all[j].attributes;
        for (var k = attrs.length - 1; k >= 0; k--) {
            var name = attrs[k].name.toLowerCase();
            var value = attrs[k].value.replace(/[\s\u0000-\u001f]/g, '').toLowerCase();
            var scriptUrl = /^(javascript|vbscript|livescript):/.test(value);
            if (name.substring(0, 2) === 'on' || name === 'srcdoc' || name === 'formaction' ||
                (scriptUrl && !(name === 'href' && qsReaderLink.test(attrs[k].value))) ||
                (name === 'id' && qsIsReaderId(attrs[k].value)) ||
                (name === 'name' && all[j].tagName === 'IMG'))
                all[j].removeAttribute(attrs[k].name);
        }
        if (all[j].hasAttribute('style'))
            qsInertDeclarations(all[j].style);
        // An open dialog is placed absolutely by the browser's own style sheet.
        if (all[j].tagName === 'DIALOG')
            all[j].style.position = 'static';
    }
}

// ---------------------------------------------------------------------------------------------------
// The window of blocks.

var qsFirst = -1; // first and last block on the page
var qsLast = -1;
var qsAtStart = false; // the book has nothing before qsFirst / after qsLast
var qsAtEnd = false;
var qsScreens = 2; // screens kept filled above and below the view
var qsKeepScreens = 10; // blocks further away than this are dropped
var qsFillBudget = 40; // blocks fetched per fill before yielding
var qsIsBible = false;

// The frame's own elements, held from before any content joined the page (null on pages without).
var qsFrame = { body: null, top: null, start: null, end: null, bottom: null };

function qsBody() {
    return qsFrame.body || document.body;
}

function qsBlocks() {
    var list = [];
    var body = qsBody();
    var children = body ? body.children : [];
    for (var i = 0; i < children.length; i++)
        if (qsBlockNumberFromId(children[i].id) !== null)
            list.push(children[i]);
    return list;
}

function qsScanBlocks() {
    var blocks = qsBlocks();
    qsFirst = blocks.length ? qsBlockNumberFromId(blocks[0].id) : -1;
    qsLast = blocks.length ? qsBlockNumberFromId(blocks[blocks.length - 1].id) : -1;
    if (!blocks.length)
        qsAtStart = qsAtEnd = true;
}

function qsMakeBlock(n, html) {
    var div = document.createElement('div');
    div.id = '_b' + n;
    div.setAttribute(qsBlockMark, '');
    div.style.clear = 'both';
    // What the block holds stays inside it, whatever its own styles say: inline !important styles
    // win over every content rule, !important ones included.
    div.style.setProperty('overflow', 'auto', 'important');
    div.style.setProperty('contain', 'paint', 'important');
    div.innerHTML = html;
    qsMakeInert(div);
    return div;
}

// The element whose place on screen must not move while the page changes above it.
function qsAnchorElement() {
    var blocks = qsBlocks();
    for (var i = 0; i < blocks.length; i++)
        if (blocks[i].getBoundingClientRect().bottom > 0)
            return blocks[i];
    return blocks.length ? blocks[blocks.length - 1] : qsFrame.end;
}

// The fraction of a pixel added to the white space above the blocks (qsFrame.top), so that content
// put in or taken out above the view always moves what follows by whole pixels.
var qsTopFraction = 0;

// Room held for the blocks that fill around a new placement: white space above the blocks (in
// qsFrame.top, with the fraction) and below the end marker (in qsFrame.bottom, after the room that
// brings the last block to the top). The blocks filled in take the room's place, so the page keeps
// the length and the scroll offset of its first paint and its scroll bar does not move when the
// blocks around the place come. What is left stays until the reader scrolls to it, or goes once
// the book's start or end is on the page.
var qsHeldAbove = 0;
var qsHeldBelow = 0;

function qsSetTopSpace() {
    if (qsFrame.top)
        qsFrame.top.style.height = String(qsHeldAbove + qsTopFraction) + 'px';
}

// Runs change(shift) and then scrolls once so that the anchor stays where it was on screen; change
// may call shift() to learn how far the anchor has moved so far. Scroll offsets are whole pixels, so
// a whole batch of changes is compensated in one step. Blocks are rarely a whole number of pixels
// high: a shift of 312.4 pixels scrolled back by 312 would leave the text 0.4 pixels lower, which
// the next paint shows as a line of text jumping a pixel. The white space at the top takes the
// fraction up, and the scroll is the whole number that is left.
function qsKeepingPlace(change) {
    var anchor = qsAnchorElement();
    var before = anchor ? anchor.getBoundingClientRect().top : 0;
    var shift = function () {
        return anchor && anchor.parentNode ? anchor.getBoundingClientRect().top - before : 0;
    };
    change(shift);
    var delta = shift();
    if (delta === 0)
        return;
    if (delta > 0 && qsHeldAbove > 0) {
        // Blocks put in above take the held room's place: nothing below them moves.
        var room = Math.round((qsHeldAbove + qsTopFraction - delta) * 1024) / 1024;
        qsHeldAbove = room > 0 ? Math.floor(room) : 0;
        if (room > 0)
            qsTopFraction = room - qsHeldAbove;
        qsSetTopSpace();
        delta = shift();
        if (delta === 0)
            return;
    }
    var whole = Math.round(delta);
    var fraction = whole - delta;
    if (Math.abs(fraction) > 0.01 && qsFrame.top) {
        var total = Math.round((qsTopFraction + fraction) * 1024) / 1024;
        if (total < 0) {
            total += 1;
            whole += 1;
        } else if (total >= 1) {
            total -= 1;
            whole -= 1;
        }
        qsTopFraction = total;
        // Layout positions are multiples of 1/64 pixel, which the number holds exactly (kept to 1/1024
        // so that it is never written in exponent form): rounded to fewer digits, the fraction would
        // leave a residue that moves a line of text across a pixel boundary.
        qsSetTopSpace();
        delta = shift();
        whole = Math.round(delta);
    }
    if (whole !== 0)
        window.scrollBy(0, whole);
}

// Blocks fetched ahead in the direction of travel and not yet on the page.
var qsAhead = {};
var qsAheadRendering = 0; // counts the re-renderings of the page's blocks: blocks fetched before are stale
var qsBatch = 8;
var qsBatchMost = 32; // most blocks one bridge request may carry

// Fetches block n (with the blocks next to it in direction dir, +1 or -1); null when the book has
// no such block.
function qsFetch(n, dir) {
    if (n < 0)
        return null;
    if (!Object.prototype.hasOwnProperty.call(qsAhead, n)) {
        qsAhead = {};
        var first = dir < 0 ? Math.max(0, n - qsBatch + 1) : n;
        var list = jsInterface.getHTMLTextForBlocks(first, dir < 0 ? n - first + 1 : qsBatch);
        if (!Array.isArray(list))
            return null;
        for (var i = 0; i < list.length; i++)
            qsAhead[first + i] = list[i];
    }
    var html = qsAhead[n];
    delete qsAhead[n];
    return typeof html === 'string' ? html : null;
}

// After a placement has painted: fetches the blocks on either side of the page's window without
// waiting (qsBatchMost each), keeps them in qsAhead, and then runs done(), unless another placement
// or a new rendering of the blocks came meanwhile. The filling that follows finds its first blocks there: every book page is painted
// by one renderer, which a synchronous request would hold while the other pages wait to paint.
function qsFetchAroundThen(done) {
    var token = qsPlacing;
    var rendering = qsAheadRendering;
    var pending = 0;
    var got = {};
    var ask = function (first, count) {
        if (count <= 0)
            return;
        pending++;
        jsInterface.getHTMLTextForBlocksLater(first, count, function (list) {
            if (Array.isArray(list)) {
                for (var i = 0; i < list.length && i < count; i++)
                    got[first + i] = list[i];
            }
            if (--pending === 0 && token === qsPlacing && rendering === qsAheadRendering) {
                for (var n in got) {
                    if (Object.prototype.hasOwnProperty.call(got, n))
                        qsAhead[n] = got[n];
                }
                done();
            }
        });
    };
    if (qsFirst >= 0 && !qsAtStart)
        ask(Math.max(0, qsFirst - qsBatchMost), Math.min(qsBatchMost, qsFirst));
    if (qsLast >= 0 && !qsAtEnd)
        ask(qsLast + 1, qsBatchMost);
    if (pending === 0)
        done();
}

// Once a placement has painted and the blocks around it came: fills around the place, which stays
// where the paint showed it. A reader who scrolled meanwhile keeps the place they scrolled to. Until
// then the place is not final (the blocks above may change what the top of the view shows), so the
// position is not reported meanwhile (qsPlacementPending).
var qsAround = null; // the placement (qsPlacing, qsAheadRendering) whose blocks around are on their way
function qsFillAroundPlacement() {
    var painted = window.pageYOffset;
    qsAround = { placing: qsPlacing, rendering: qsAheadRendering };
    qsFetchAroundThen(function () {
        qsAround = null;
        qsSettlePlacement(painted);
    });
}

// Once a placement's paint is done: a page the reader moved since (by a command, a key or the wheel,
// or away from `painted`, the offset it painted at; null: no offset to compare) fills around where
// the reader is; any other page is brought back to its place and filled around it.
function qsSettlePlacement(painted) {
    if (qsMovedByReader || (painted !== null && window.pageYOffset !== painted)) {
        fillExtraScreens();
        qsReportSoon();
    } else if (!scrollToElement(qsPlace.id, qsPlace.offset)) {
        scrollToElement('', 0);
    }
}

function qsAppendNext() {
    var html = qsFetch(qsLast + 1, 1);
    if (html === null) {
        qsAtEnd = true;
        return;
    }
    qsLast++;
    var div = qsMakeBlock(qsLast, html);
    qsFrame.end.parentNode.insertBefore(div, qsFrame.end);
    if (qsFirst < 0)
        qsFirst = qsLast;
}

// Puts the block before the first one on the page; the caller keeps the reader's place.
function qsPrependPrevious() {
    var html = qsFetch(qsFirst - 1, -1);
    if (html === null) {
        qsAtStart = true;
        return;
    }
    qsFirst--;
    var div = qsMakeBlock(qsFirst, html);
    var marker = qsFrame.start;
    marker.parentNode.insertBefore(div, marker.nextSibling);
}

// Drops blocks more than qsKeepScreens screens out of sight, so a long read keeps a small page.
function qsTrim() {
    var h = window.innerHeight || 600;
    var blocks = qsBlocks();
    var i;
    for (i = 0; i < blocks.length - 1; i++) {
        if (blocks[i].getBoundingClientRect().bottom >= -qsKeepScreens * h)
            break;
    }
    if (i > 0) {
        var gone = blocks.slice(0, i);
        qsKeepingPlace(function () {
            gone.forEach(function (b) { b.parentNode.removeChild(b); });
        });
        qsFirst = qsBlockNumberFromId(blocks[i].id);
        qsAtStart = false;
    }
    blocks = qsBlocks();
    for (i = blocks.length - 1; i > 0; i--) {
        if (blocks[i].getBoundingClientRect().top <= (qsKeepScreens + 1) * h)
            break;
        blocks[i].parentNode.removeChild(blocks[i]);
        qsLast = qsBlockNumberFromId(blocks[i - 1].id);
        qsAtEnd = false;
    }
}

function qsUpdateMarkers() {
    var start = qsFrame.start;
    var end = qsFrame.end;
    if (start) {
        var startText = qsAtStart ? '' : 'Loading...';
        if (start.textContent !== startText || (qsAtStart && qsHeldAbove > 0)) {
            qsKeepingPlace(function () {
                start.textContent = startText;
                if (qsAtStart) {
                    qsHeldAbove = 0;
                    qsSetTopSpace();
                }
            });
        }
    }
    if (end)
        end.textContent = qsAtEnd ? '' : 'Loading...';
    if (qsAtEnd)
        qsHeldBelow = 0;
    // Room below the last block, so that any block can be brought to the top of the view.
    var bottom = qsFrame.bottom;
    if (bottom)
        bottom.style.height = String((window.innerHeight || 600) + qsHeldBelow) + 'px';
}

var qsFilling = false;
var qsHold = false; // no filling until a new page's first block is painted
var qsFillTimer = null;

// Fills the page to qsScreens screens above and below the view, a budget of blocks at a time.
function fillExtraScreens() {
    if (qsFilling || qsHold || !qsBody())
        return;
    qsFilling = true;
    var budget = qsFillBudget;
    try {
        var h = window.innerHeight || 600;
        var end = qsFrame.end;
        var endBefore = end ? end.getBoundingClientRect().top : 0;
        while (budget > 0 && !qsAtEnd && end && end.getBoundingClientRect().top < (qsScreens + 1) * h) {
            qsAppendNext();
            budget--;
        }
        if (end && qsHeldBelow > 0) {
            // Blocks put in below take the held room's place (qsUpdateMarkers sizes it).
            var grown = end.getBoundingClientRect().top - endBefore;
            qsHeldBelow = Math.max(0, Math.round((qsHeldBelow - grown) * 1024) / 1024);
        }
        if (qsBlocks().length) {
            qsKeepingPlace(function (shift) {
                // Content above the view once the batch is compensated.
                var above = function () {
                    return shift() - document.getElementById('_b' + qsFirst).getBoundingClientRect().top;
                };
                while (budget > 0 && !qsAtStart && above() < qsScreens * h) {
                    qsPrependPrevious();
                    budget--;
                }
            });
        }
        qsTrim();
        qsUpdateMarkers();
    } finally {
        qsFilling = false;
    }
    if (budget <= 0 && qsFillTimer === null)
        qsFillTimer = setTimeout(function () { qsFillTimer = null; fillExtraScreens(); }, 0);
}

// Replaces every block on the page by the reader's new rendering of it (a search's hits marked, say)
// without loading a page; the block at the top of the view keeps its place on screen. Returns the
// number of blocks replaced, or -1 when the reader did not answer (the page is left as it was).
function qsRenderBlocksAgain() {
    qsAhead = {};
    qsAheadRendering++;
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
    var anchor = qsAnchorElement();
    var anchorId = anchor ? anchor.id : '';
    var before = anchor ? anchor.getBoundingClientRect().top : 0;
    var replaced = 0;
    for (var j = 0; j < blocks.length; j++) {
        var html = fresh[qsBlockNumberFromId(blocks[j].id)];
        if (typeof html !== 'string')
            continue;
        blocks[j].parentNode.replaceChild(qsMakeBlock(qsBlockNumberFromId(blocks[j].id), html), blocks[j]);
        replaced++;
    }
    var now = anchorId ? document.getElementById(anchorId) : null;
    var delta = now ? Math.round(now.getBoundingClientRect().top - before) : 0;
    if (delta !== 0)
        window.scrollBy(0, delta);
    return replaced;
}

// ---------------------------------------------------------------------------------------------------
// Position.

function getPageYOffset() {
    return Math.round(window.pageYOffset || 0);
}

// The block at the top of the view, the offset of the view's top in it, and the verse there. The
// top block is the first one reaching more than a few pixels into the view: a sliver of the block
// above left by rounding is not what the reader sees at the top.
function qsCurrentPosition() {
    var blocks = qsBlocks();
    var top = null;
    var index = -1;
    for (var i = 0; i < blocks.length; i++) {
        if (blocks[i].getBoundingClientRect().bottom > 4) {
            top = blocks[i];
            index = i;
            break;
        }
    }
    if (!top)
        return null;
    var offset = Math.round(-top.getBoundingClientRect().top);
    // The verse: the last verse anchor starting at or above the view's top (a few pixels of slack),
    // looked for in the top block, and in the one before only when the view's top lies inside a
    // block of verses whose text there continues a verse begun above it; else the first verse of
    // the top block, or the first one further down in view. A heading at the top (a psalm's title)
    // is followed by its first verse, never preceded by the last verse above it.
    var verse = '';
    var topVerses = 0;
    var topAnchors = top.querySelectorAll('span[id^="_s"]');
    for (var t = 0; t < topAnchors.length; t++)
        if (qsIsVerseId(topAnchors[t].id))
            topVerses++;
    var continues = index > 0 && topVerses > 0 && top.getBoundingClientRect().top < -4;
    var scope = continues ? [blocks[index - 1], top] : [top];
    var firstInTop = '';
    for (var s = 0; s < scope.length; s++) {
        var anchors = scope[s].querySelectorAll('span[id^="_s"]');
        for (var j = 0; j < anchors.length; j++) {
            if (!qsIsVerseId(anchors[j].id))
                continue;
            if (scope[s] === top && !firstInTop)
                firstInTop = anchors[j].id;
            if (anchors[j].getBoundingClientRect().top <= 4)
                verse = anchors[j].id;
        }
    }
    // A block without verses at the top (a book's title): the first verse in view below it.
    for (var k = index + 1; !verse && !firstInTop && k < blocks.length; k++) {
        if (blocks[k].getBoundingClientRect().top > window.innerHeight)
            break;
        var below = blocks[k].querySelectorAll('span[id^="_s"]');
        for (var m = 0; m < below.length && !firstInTop; m++)
            if (qsIsVerseId(below[m].id))
                firstInTop = below[m].id;
    }
    return { block: top.id, offset: offset, verse: verse || firstInTop };
}

var qsLastReport = '';
var qsReportTimer = null;

// A placement is still on its way: the page waits for its first paint, or for the blocks around it
// (a newer placement or rendering of the blocks ends the wait).
function qsPlacementPending() {
    return qsHold || (qsAround !== null && qsAround.placing === qsPlacing && qsAround.rendering === qsAheadRendering);
}

// Tells the reader where the page is once it is placed: the first report after a go-to is where it
// landed, which the reader does not count as a move of its own.
function qsReportPosition() {
    if (qsPlacementPending()) {
        qsReportSoon();
        return;
    }
    var p = qsCurrentPosition();
    if (!p)
        return;
    var key = p.block + ' ' + p.verse + ' ' + p.offset + ' ' + getPageYOffset();
    if (key === qsLastReport)
        return;
    qsLastReport = key;
    qsLastPosition = p;
    jsInterface.updatePosition(sourceTupleString, webViewSerialNumber, p.block, p.verse, p.offset, getPageYOffset());
}

function qsReportSoon() {
    if (qsReportTimer !== null)
        clearTimeout(qsReportTimer);
    qsReportTimer = setTimeout(function () { qsReportTimer = null; qsReportPosition(); }, 100);
}

// Brings the element's top, moved down by offset pixels, to the top of the view; false when the
// page does not hold the element. An empty id goes to the top of the page.
function scrollToElement(id, offset) {
    var y;
    if (id === '' || id === null || id === undefined) {
        y = qsHeldAbove; // the page's start, below the room held above it
    } else {
        var el = document.getElementById(String(id));
        if (!el)
            return false;
        y = el.getBoundingClientRect().top + window.pageYOffset + (parseInt(offset, 10) || 0);
    }
    qsUpdateMarkers();
    window.scrollTo(0, Math.max(0, Math.round(y)));
    fillExtraScreens();
    qsReportSoon();
    return true;
}

// Whether the reader has moved the page since it was placed (a scroll command, a scrolling key or
// the wheel): the end of the page's load then leaves it where the reader took it.
var qsMovedByReader = false;
var qsScrollKeys = { PageUp: 1, PageDown: 1, ArrowUp: 1, ArrowDown: 1, Home: 1, End: 1, ' ': 1 };

function scrollToYOffset(y) {
    qsMovedByReader = true;
    window.scrollTo(0, Math.max(0, parseInt(y, 10) || 0));
    fillExtraScreens();
    qsReportSoon();
}

// After a page load (and when the reader asks): size the white space, go to the element, fill.
// The first time, the page is shown as placed and filled around it only after that paint.
var qsPainted = false;
var qsPlace = { id: '', offset: 0 }; // where the page is placed until its first paint
function resizeDocument(id, offset) {
    qsUpdateMarkers();
    qsPlace = { id: id, offset: offset };
    qsSettlePlacement(null);
    qsReportFirstPaint();
}

// What the page's first paint showed: the top of the element it was placed at (null without it)
// and whether blocks covered the view down to its bottom (or the book's end).
var qsFirstPaint = null;
function qsShownPlace(id) {
    var el = id ? document.getElementById(String(id)) : null;
    var end = qsFrame.end;
    return {
        top: el ? el.getBoundingClientRect().top : null,
        covered: !end || qsAtEnd || end.getBoundingClientRect().top >= (window.innerHeight || 600)
    };
}

// Holds the filling until the next frame has painted and then runs done(current); current is false
// when a newer placement came meanwhile (the filling stays held for that one).
var qsPlacing = 0;
function qsHoldUntilPainted(done) {
    var token = ++qsPlacing;
    qsHold = true;
    requestAnimationFrame(function () {
        setTimeout(function () {
            var current = token === qsPlacing;
            if (current)
                qsHold = false;
            done(current);
        }, 0);
    });
}

// Holds the filling until the page's first paint, then tells the reader, and places and fills the
// page again; once a page.
function qsReportFirstPaint() {
    if (qsPainted)
        return;
    qsPainted = true;
    var serial = webViewSerialNumber;
    qsHoldUntilPainted(function (current) {
        if (current)
            qsFirstPaint = qsShownPlace(qsPlace.id);
        jsInterface.pagePainted(serial);
        if (current)
            qsFillAroundPlacement();
    });
}

// Tells the reader once the frame that shows the place it just moved the page to has painted.
function qsReportPlacePainted() {
    var serial = webViewSerialNumber;
    requestAnimationFrame(function () {
        setTimeout(function () { jsInterface.placePainted(serial); }, 0);
    });
    return true;
}

// A window resize reflows the text: keep the verse (or the block and offset) that was at the top.
var qsLastPosition = null;
function qsOnResize() {
    var p = qsLastPosition;
    qsUpdateMarkers();
    if (p) {
        if (p.verse && document.getElementById(p.verse) && p.offset >= 0 && qsBlockNumberFromId(p.block) !== null)
            scrollToElement(p.verse, 0);
        else
            scrollToElement(p.block, p.offset);
    } else {
        fillExtraScreens();
    }
}

// ---------------------------------------------------------------------------------------------------
// Footnotes: the marker "*" shows or hides its note.

function toggleFootnote(id) {
    var note = document.getElementById(String(id));
    if (!note || !/(^|\s)footnote(\s|$)/.test(note.className))
        return false;
    var shown = window.getComputedStyle(note).display !== 'none';
    note.style.display = shown ? 'none' : 'inline';
    return !shown;
}

// ---------------------------------------------------------------------------------------------------
// Links and clicks.

function qsFollowLink(target) {
    var m = /^javascript:href\('([^'"\\]*)'\);?$/.exec(target);
    if (m) {
        jsInterface.href(m[1]);
        return;
    }
    m = /^javascript:toggleFootnote\('(_fn\d+)'\);?$/.exec(target);
    if (m) {
        toggleFootnote(m[1]);
        return;
    }
    if (/^\s*(javascript|vbscript|livescript|data):/i.test(target)) {
        jsInterface.writeToLog('refused a script link');
        return;
    }
    if (target.charAt(0) === '#') {
        scrollToElement(target.substring(1), 0);
        return;
    }
    jsInterface.href(target);
}

function qsOnClick(event) {
    var node = event.target && event.target.nodeType === 1 ? event.target : event.target.parentElement;
    if (!node || !node.closest)
        return;
    var reading = node.closest('[id^="_reading"]');
    if (reading && qsReadingNumberFromId(reading.id) !== null) {
        event.preventDefault();
        toggleReadingNumber(qsReadingNumberFromId(reading.id));
        return;
    }
    var link = node.closest('a[href],area[href]');
    if (!link)
        return;
    event.preventDefault();
    qsFollowLink(link.getAttribute('href'));
}

// ---------------------------------------------------------------------------------------------------
// Hover over links and footnote markers: the reader shows a preview of the target.

function qsFootnoteOf(link) {
    var m = /toggleFootnote\('(_fn\d+)'\)/.exec(link.getAttribute('href') || '');
    var note = m ? document.getElementById(m[1]) : null;
    if (!note)
        return null;
    return note.textContent.replace(/^\s*\[/, '').replace(/\]\s*$/, '').trim();
}

function qsOnMouseOver(event) {
    var node = event.target && event.target.nodeType === 1 ? event.target : null;
    qsHoverLink(node && node.closest ? node.closest('a[href]') : null, function (link, r) {
        jsInterface.showHrefTargetInTooltip(link.getAttribute('href'), qsFootnoteOf(link),
            Math.round(r.left + window.pageXOffset), Math.round(r.top + window.pageYOffset),
            Math.round(r.width), Math.round(r.height));
    });
}

function qsOnMouseOut(event) {
    qsHoverOut(event);
}

// ---------------------------------------------------------------------------------------------------
// Selection: the blocks (or, in a Bible, the verse keys) the selection touches, found by walking the
// page backwards from the selection's end to its start. The first entry belongs to the start, the
// second to the end.

function qsHit(node, returnBlocks) {
    if (!node || node.nodeType !== 1)
        return null;
    if (returnBlocks && node.tagName === 'DIV') {
        var b = qsBlockNumberFromId(node.getAttribute('id'));
        if (b !== null)
            return b;
    }
    if (node.tagName === 'SPAN' && node.hasAttribute('data-verse-span'))
        return qsBibleKeyFromDataVerseSpan(node.getAttribute('data-verse-span'));
    return null;
}

function qsAddHit(results, hit) {
    if (results.indexOf(hit) < 0)
        results.push(hit);
}

function qsWalkBackwardsOverChildrenOf(node, results, stopAtFirst, stopNode, returnBlocks) {
    if (!node)
        return false;
    for (var child = node.lastChild; child; child = child.previousSibling) {
        if (child === stopNode)
            return true;
        if (qsWalkBackwardsOverChildrenOf(child, results, stopAtFirst, stopNode, returnBlocks))
            return true;
        var hit = qsHit(child, returnBlocks);
        if (hit !== null) {
            qsAddHit(results, hit);
            if (stopAtFirst)
                return true;
        }
    }
    return false;
}

function qsWalkOlderSiblingsAndMe(node, results, stopAtFirst, stopNode, returnBlocks) {
    for (var n = node, first = true; n; n = n.previousSibling, first = false) {
        if (n === stopNode)
            return true;
        var hit = qsHit(n, returnBlocks);
        if (hit !== null) {
            qsAddHit(results, hit);
            if (stopAtFirst)
                return true;
        }
        if (!first && qsWalkBackwardsOverChildrenOf(n, results, stopAtFirst, stopNode, returnBlocks))
            return true;
    }
    return false;
}

function selectedElements(start, end, returnBlocks) {
    var results = [];
    for (var n = start; n && !qsWalkOlderSiblingsAndMe(n, results, true, null, returnBlocks); n = n.parentElement) { }
    for (n = end; n && !qsWalkOlderSiblingsAndMe(n, results, false, start, returnBlocks); n = n.parentElement) { }
    return results;
}

// Blocks (books) or verse keys (Bibles) of the current selection; an empty list without one.
function getSelectedBlocksOrKeys() {
    var s = window.getSelection();
    if (!s || s.rangeCount === 0 || s.isCollapsed)
        return [];
    var r = s.getRangeAt(0);
    return selectedElements(r.startContainer, r.endContainer, !qsIsBible);
}

var qsSelectionTimer = null;
var qsLastSelection = '[]';
function qsOnSelectionChange() {
    if (qsSelectionTimer !== null)
        clearTimeout(qsSelectionTimer);
    qsSelectionTimer = setTimeout(function () {
        qsSelectionTimer = null;
        var list = getSelectedBlocksOrKeys().slice(0, 10000);
        var text = JSON.stringify(list);
        if (text !== qsLastSelection) {
            qsLastSelection = text;
            jsInterface.selectionChanged(list);
        }
    }, 50);
}

function getSelectionHtml() {
    var s = window.getSelection();
    if (!s || s.rangeCount === 0)
        return '';
    var holder = document.createElement('div');
    for (var i = 0; i < s.rangeCount; i++)
        holder.appendChild(s.getRangeAt(i).cloneContents());
    return holder.innerHTML;
}

// ---------------------------------------------------------------------------------------------------
// Daily readings: the header of a reading shows whether it has been read; a click toggles it.

function updateDevotionalReadingStatus() {
    var headers = document.querySelectorAll('[id^="_reading"]');
    for (var i = 0; i < headers.length; i++) {
        var n = qsReadingNumberFromId(headers[i].id);
        if (n !== null)
            headers[i].className = jsInterface.isReadingComplete(n) ? 'devoread' : 'devounread';
    }
}

function toggleReadingNumber(n) {
    jsInterface.toggleReadingNumber(n);
    var header = document.getElementById('_reading' + n + '_' + qsFrameKey);
    if (header)
        header.className = jsInterface.isReadingComplete(n) ? 'devoread' : 'devounread';
}

// ---------------------------------------------------------------------------------------------------
// Start-up.

// Puts the blocks (block `first` onwards, made inert) between the markers, brings the target element
// (moved down by offset pixels) to the top of the view and fills the rest of the view from the
// bridge, so that the next paint already shows the target's screen whole. `holdRoom`: the page fills
// around the place right after its paint, into room held for it.
function qsPlaceBlocks(first, list, target, offset, holdRoom) {
    if (typeof list === 'string')
        list = [list];
    for (var i = 0; i < list.length; i++)
        qsFrame.end.parentNode.insertBefore(qsMakeBlock(first + i, String(list[i])), qsFrame.end);
    qsScanBlocks();
    qsAtStart = qsFirst === 0;
    qsAtEnd = false;
    qsMovedByReader = false;
    // Room for the screens that fill around the place after the paint (a block longer than a screen
    // may outgrow it). Only the pane gone to holds it: a pane that follows fills once the reader
    // scrolls it, which moves its bar anyway, and room it held would go from under that scroll when
    // the filling reaches the book's start; a new page fills as it always has.
    var h = window.innerHeight || 600;
    qsHeldAbove = holdRoom && !qsAtStart ? (qsScreens + 1) * h : 0;
    qsHeldBelow = holdRoom ? (qsScreens + 1) * h : 0;
    qsSetTopSpace();
    qsUpdateMarkers();
    qsPlace = { id: target, offset: offset };
    var el = target ? document.getElementById(String(target)) : null;
    var y = el ? el.getBoundingClientRect().top + window.pageYOffset + (parseInt(offset, 10) || 0) : 0;
    window.scrollTo(0, Math.max(0, Math.round(y)));
    var budget = qsFillBudget;
    while (budget > 0 && !qsAtEnd && qsFrame.end.getBoundingClientRect().top < h) {
        qsAppendNext();
        budget--;
    }
    qsUpdateMarkers();
}

// Called by the page's markup right after the frame's elements and before anything else: holds the
// frame's elements and places the first blocks. The blocks above the target follow once the first
// paint is done (resizeDocument).
function qsStartPage(first, list, target, offset) {
    qsFrame.body = document.body;
    qsFrame.top = document.getElementById('topwhitespace');
    qsFrame.start = document.getElementById('startofpage');
    qsFrame.end = document.getElementById('endofpage');
    qsFrame.bottom = document.getElementById('bottomwhitespace');
    if (!qsFrame.end)
        return;
    // Set before the first layout, so that the first paint has the width of every later one.
    document.documentElement.style.overflowAnchor = 'none';
    document.documentElement.style.overflowY = 'scroll';
    qsPlaceBlocks(first, list, target, offset);
    qsReportFirstPaint();
}

// A go-to in the book of the loaded page, as [moved, page offset, replaced]. When the page holds the
// element `id` it scrolls there (moved); otherwise the page's blocks are replaced by `list` (block
// `first` onwards) with `target` at the top, without loading a page: the script and the style sheet
// stay, and the blocks around the target follow after the paint that shows it. Either way the page's
// serial becomes `serial` and the reader is told once the place has painted. `following`: the pane
// follows another pane's go-to; it shows the place's screen and fills around it only once the reader
// scrolls it, so that its first paint is its last (its scroll bar too) and the renderer, which paints
// every book page, is left to the other panes. The pane gone to fills a frame after its paint.
function qsGoToPlace(id, offset, serial, first, list, target, targetOffset, following) {
    // Reports of the place before are no longer about this page.
    webViewSerialNumber = serial;
    if (scrollToElement(id, offset)) {
        qsReportPlacePainted();
        return [true, getPageYOffset(), false];
    }
    if (!qsFrame.end)
        return [false, 0, false];
    qsHold = true;
    if (qsFillTimer !== null) {
        clearTimeout(qsFillTimer);
        qsFillTimer = null;
    }
    if (qsReportTimer !== null) {
        clearTimeout(qsReportTimer);
        qsReportTimer = null;
    }
    var old = qsBlocks();
    for (var i = 0; i < old.length; i++)
        old[i].parentNode.removeChild(old[i]);
    qsAhead = {};
    qsLastReport = '';
    qsLastPosition = null;
    qsFirst = qsLast = -1;
    qsPlaceBlocks(first, list, target, targetOffset, !following);
    qsHoldUntilPainted(function (current) {
        jsInterface.placePainted(serial);
        if (!current)
            return;
        if (following) {
            qsReportSoon();
            return;
        }
        // A frame later, so that the panes that follow the go-to paint first: the renderer is theirs
        // too, and the filling holds it while it waits for the reader's blocks.
        var token = qsPlacing;
        var painted = window.pageYOffset;
        requestAnimationFrame(function () {
            setTimeout(function () {
                if (token === qsPlacing)
                    qsSettlePlacement(painted);
            }, 0);
        });
    });
    return [false, getPageYOffset(), true];
}

// Listeners go on while the page holds no content yet, so no element of a book can stand in for
// the functions that add them.
document.addEventListener('click', qsOnClick, true);
document.addEventListener('mouseover', qsOnMouseOver, true);
document.addEventListener('mouseout', qsOnMouseOut, true);
document.addEventListener('selectionchange', qsOnSelectionChange);
window.addEventListener('scroll', function () {
    if (!qsFilling && !qsHold)
        fillExtraScreens();
    qsReportSoon();
});
window.addEventListener('resize', qsOnResize);
window.addEventListener('wheel', function () { qsMovedByReader = true; }, { passive: true, capture: true });
window.addEventListener('keydown', function (e) {
    if (qsScrollKeys[e.key])
        qsMovedByReader = true;
}, true);
document.addEventListener('DOMContentLoaded', function () {
    // The script keeps the reader's place itself when blocks come and go above the view, and the
    // scroll bar is always shown, so that filling the page never narrows it and reflows the text.
    var root = document.documentElement;
    var body = qsBody();
    root.style.overflowAnchor = 'none';
    if (body)
        body.style.overflowAnchor = 'none';
    root.style.overflowY = 'scroll';
    qsIsBible = jsInterface.isABible();
    qsScanBlocks();
});
