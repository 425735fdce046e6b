// Utilities.js: the script of a book page.
//
// The page holds a window of a book's blocks, one <div id="_b<n>"> each, between the markers
// #startofpage and #endofpage ("Loading..." until the book's start or end is reached). As the reader
// scrolls, the script asks the reader for neighbouring blocks through `jsInterface`, drops blocks far
// out of sight, and reports where the reader is. A place gone to is shown with room held above and
// below it, which the blocks filled in around it take, so its scroll bar stays as the place painted.
// Where the page stands (its blocks, the room held, a placement on its way) is kept in qsPlacement.
// The reader drives the page through the functions
// fillExtraScreens, getPageYOffset, scrollToElement, scrollToYOffset, getSelectionHtml,
// qsSelectionWords, getSelectedBlocksOrKeys, qsMenuSelection, updateDevotionalReadingStatus,
// resizeDocument, qsReportPlacePainted, qsGoToPlace, qsRenderBlocksAgain and qsShowPartEnd.
// What a render of the page's blocks keeps for the reader (the blocks replaced, the selection held
// and put back, the verse of a block and the keyboard's verse) is in Render.js, which the reader puts
// after this script in the same script element.
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
    // In a Bible, the verse key that what block `block` shows outside its verses belongs to; null when
    // none does.
    verseKeyForBlock: function (block) {
        var key = qsSend('verseKeyForBlock', [block | 0], true);
        return typeof key === 'number' && key > 0 ? key : null;
    },
    // `moved`: the reader has moved the page since the latest go-to (qsPlacement.movedSinceGoTo).
    updatePosition: function (book, serial, blockId, verseId, offset, pageOffset, moved) {
        qsSend('updatePosition', [String(book), serial, blockId, verseId, offset | 0, pageOffset | 0, moved === true],
            false);
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
    placePainted: function (serial) { qsSend('placePainted', [serial], false); },
    // Home or End pressed with block `blockId` at the top of the view.
    goToPartEdge: function (end, blockId) { qsSend('goToPartEdge', [end === true, String(blockId)], false); }
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
    // Attributes are read by name (no attribute objects made: a chapter has thousands of them); a
    // value without a colon cannot be a script address.
    var all = root.getElementsByTagName('*');
    for (var j = 0; j < all.length; j++) {
        var element = all[j];
        var names = element.getAttributeNames();
        for (var k = names.length - 1; k >= 0; k--) {
            var raw = element.getAttribute(names[k]);
            if (raw === null)
                continue;
            var name = names[k].toLowerCase();
            var scriptUrl = raw.indexOf(':') >= 0 &&
                /^(javascript|vbscript|livescript):/.test(raw.replace(/[\s\u0000-\u001f]/g, '').toLowerCase());
            if (name.substring(0, 2) === 'on' || name === 'srcdoc' || name === 'formaction' ||
                (scriptUrl && !(name === 'href' && qsReaderLink.test(raw))) ||
                (name === 'id' && qsIsReaderId(raw)) || (name === 'name' && element.tagName === 'IMG'))
                element.removeAttribute(names[k]);
        }
        if (element.hasAttribute('style'))
            qsInertDeclarations(element.style);
        // An open dialog is placed absolutely by the browser's own style sheet.
        if (element.tagName === 'DIALOG')
            element.style.position = 'static';
    }
}

// ---------------------------------------------------------------------------------------------------
// The window of blocks and the placement of the page: which blocks the page holds, where the
// reader's place is, the room held around a place gone to, and where a placement is on its way from
// its blocks put on the page to the page filled around it.

// The states of a placement. A new page or a go-to puts the place's blocks on the page and lands:
// no filling until the frame that shows them has painted. A go-to of the pane gone to then settles:
// a frame later the page is brought back to its place (unless the reader moved it) and filled around
// it. A new page instead fetches the blocks around its place without waiting and settles once they
// came. A placement landing or fetching is not final, so the page does not report its position
// meanwhile; a newer placement ends the older one's wait (a new rendering of the blocks does not: the
// blocks fetched around the place are then fetched again as the page fills).
var qsPlacementState = Object.freeze({
    IDLE: 'idle', // placed: the page fills as the reader scrolls
    LANDING: 'landing', // waiting for the paint of the place's blocks; no filling
    SETTLING: 'settling', // painted; settles (brought back and filled around) a frame later
    FETCHING: 'fetching' // painted; the blocks around the place are on their way
});

var qsPlacement = {
    state: qsPlacementState.IDLE,
    token: 0, // counts the placements: a wait that finds another one current has been overtaken

    first: -1, // first and last block on the page
    last: -1,
    atStart: false, // the book has nothing before `first` / after `last`
    atEnd: false,

    // Blocks fetched ahead in the direction of travel and not yet on the page, and the count of the
    // re-renderings of the page's blocks (blocks fetched before one are stale).
    ahead: {},
    rendering: 0,

    // Room held for the blocks that fill around a new placement: white space above the blocks (in
    // qsFrame.top, with the fraction) and below the end marker (in qsFrame.bottom, after the room
    // that brings the last block to the top). The blocks filled in take the room's place, so the page
    // keeps the length and the scroll offset of its first paint and its scroll bar does not move when
    // the blocks around the place come. What is left stays until the reader scrolls to it, or goes
    // once the book's start or end is on the page.
    heldAbove: 0,
    heldBelow: 0,
    // The fraction of a pixel added to the white space above the blocks (qsFrame.top), so that
    // content put in or taken out above the view always moves what follows by whole pixels.
    topFraction: 0,

    filling: false, // a fill is running
    fillTimer: null, // the fill that goes on after one that spent its budget

    place: { id: '', offset: 0 }, // where the page is placed until its paint
    // Whether the reader has moved the page since it was placed (a scroll command, a scrolling key or
    // the wheel): the end of the page's load then leaves it where the reader took it.
    movedByReader: false,
    // Whether the reader has moved the page since the latest go-to (a placement, or a scroll to a
    // place the page held): the first report after a go-to tells where it landed, unless the reader
    // moved the page before it came (a Page Down pressed while a new page still loads is a place like
    // any other). Sent with every report.
    movedSinceGoTo: false,
    firstPaintAsked: false, // the page's first paint is waited for once a page
    // What the page's first paint showed: the top of the element it was placed at (null without it)
    // and whether blocks covered the view down to its bottom (or the book's end).
    firstPaint: null,

    reportTimer: null, // the position report to come
    lastReport: '', // the last position reported, as block, verse, offset and page offset
    lastPosition: null, // and as qsCurrentPosition gave it
    hidden: null, // the page's size and place when it was hidden

    // A placement is still on its way: the page waits for its paint, or for the blocks around it.
    pending: function () {
        return this.state === qsPlacementState.LANDING || this.state === qsPlacementState.FETCHING;
    },

    // Lands a new placement: holds the filling until the next frame has painted and then runs
    // done(current); current is false when a newer placement came meanwhile (the filling stays held
    // for that one). Returns the placement's token.
    land: function (done) {
        var placement = this;
        var token = ++placement.token;
        placement.state = qsPlacementState.LANDING;
        requestAnimationFrame(function () {
            setTimeout(function () {
                var current = token === placement.token;
                if (current)
                    placement.state = qsPlacementState.IDLE;
                done(current);
            }, 0);
        });
        return token;
    }
};

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
    qsPlacement.first = blocks.length ? qsBlockNumberFromId(blocks[0].id) : -1;
    qsPlacement.last = blocks.length ? qsBlockNumberFromId(blocks[blocks.length - 1].id) : -1;
    if (!blocks.length)
        qsPlacement.atStart = qsPlacement.atEnd = true;
}

// The markup each block on the page was made from: a block rendered again to the same markup stays.
var qsBlockSources = new WeakMap();

function qsMakeBlock(n, html) {
    var div = document.createElement('div');
    qsBlockSources.set(div, html);
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

function qsSetTopSpace() {
    if (qsFrame.top)
        qsFrame.top.style.height = String(qsPlacement.heldAbove + qsPlacement.topFraction) + 'px';
}

// Runs change(shift) and then scrolls once so that the anchor stays where it was on screen; change
// may call shift() to learn how far the anchor has moved so far. Scroll offsets are whole pixels, so
// a whole batch of changes is compensated in one step. Blocks are rarely a whole number of pixels
// high: a shift of 312.4 pixels scrolled back by 312 would leave the text 0.4 pixels lower, which
// the next paint shows as a line of text jumping a pixel. The white space at the top takes the
// fraction up, and the scroll is the whole number that is left. `find`, when given, answers the
// element to keep in place, before the change and after it (an element the change replaces is found
// again by its id); without it the block at the top of the view is kept.
function qsKeepingPlace(change, find) {
    var anchor = find ? find() : qsAnchorElement();
    var before = anchor ? anchor.getBoundingClientRect().top : 0;
    var shift = function () {
        var now = find ? find() : anchor;
        return anchor && now && now.parentNode ? now.getBoundingClientRect().top - before : 0;
    };
    change(shift);
    var delta = shift();
    if (delta === 0)
        return;
    if (delta > 0 && qsPlacement.heldAbove > 0) {
        // Blocks put in above take the held room's place: nothing below them moves.
        var room = Math.round((qsPlacement.heldAbove + qsPlacement.topFraction - delta) * 1024) / 1024;
        qsPlacement.heldAbove = room > 0 ? Math.floor(room) : 0;
        if (room > 0)
            qsPlacement.topFraction = room - qsPlacement.heldAbove;
        qsSetTopSpace();
        delta = shift();
        if (delta === 0)
            return;
    }
    var whole = Math.round(delta);
    var fraction = whole - delta;
    if (Math.abs(fraction) > 0.01 && qsFrame.top) {
        var total = Math.round((qsPlacement.topFraction + fraction) * 1024) / 1024;
        if (total < 0) {
            total += 1;
            whole += 1;
        } else if (total >= 1) {
            total -= 1;
            whole -= 1;
        }
        qsPlacement.topFraction = total;
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

var qsBatch = 8;
// qsBatchMost, the most blocks one bridge request may carry, is set by the page's header.

// Fetches block n (with the blocks next to it in direction dir, +1 or -1); null when the book has
// no such block.
function qsFetch(n, dir) {
    if (n < 0)
        return null;
    if (!Object.prototype.hasOwnProperty.call(qsPlacement.ahead, n)) {
        qsPlacement.ahead = {};
        var first = dir < 0 ? Math.max(0, n - qsBatch + 1) : n;
        var list = jsInterface.getHTMLTextForBlocks(first, dir < 0 ? n - first + 1 : qsBatch);
        if (!Array.isArray(list))
            return null;
        for (var i = 0; i < list.length; i++)
            qsPlacement.ahead[first + i] = list[i];
    }
    var html = qsPlacement.ahead[n];
    delete qsPlacement.ahead[n];
    return typeof html === 'string' ? html : null;
}

// After a placement has painted: fetches the blocks on either side of the page's window without
// waiting (qsBatchMost each), keeps them in qsPlacement.ahead (unless the page's blocks were rendered
// again meanwhile), and then runs done(), unless another placement came meanwhile. The filling that follows finds its first
// blocks there: every book page is painted by one renderer, which a synchronous request would hold
// while the other pages wait to paint.
function qsFetchAroundThen(done) {
    var token = qsPlacement.token;
    var rendering = qsPlacement.rendering;
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
            if (--pending === 0 && token === qsPlacement.token) {
                // Blocks rendered before the page's blocks were rendered again are stale: the filling
                // fetches them anew. The placement goes on all the same.
                for (var n in got) {
                    if (rendering === qsPlacement.rendering && Object.prototype.hasOwnProperty.call(got, n))
                        qsPlacement.ahead[n] = got[n];
                }
                done();
            }
        });
    };
    if (qsPlacement.first >= 0 && !qsPlacement.atStart)
        ask(Math.max(0, qsPlacement.first - qsBatchMost), Math.min(qsBatchMost, qsPlacement.first));
    if (qsPlacement.last >= 0 && !qsPlacement.atEnd)
        ask(qsPlacement.last + 1, qsBatchMost);
    if (pending === 0)
        done();
}

// Once a placement has painted and the blocks around it came: fills around the place, which stays
// where the paint showed it. A reader who scrolled meanwhile keeps the place they scrolled to. Until
// then the place is not final (the blocks above may change what the top of the view shows), so the
// position is not reported meanwhile (the placement is fetching).
function qsFillAroundPlacement() {
    var painted = window.pageYOffset;
    qsPlacement.state = qsPlacementState.FETCHING;
    qsFetchAroundThen(function () {
        qsPlacement.state = qsPlacementState.IDLE;
        qsSettlePlacement(painted);
    });
}

// Once a placement's paint is done: a page the reader moved since (by a command, a key or the wheel,
// or away from `painted`, the offset it painted at; null: no offset to compare) fills around where
// the reader is; any other page is brought back to its place and filled around it.
function qsSettlePlacement(painted) {
    if (qsPlacement.movedByReader || (painted !== null && window.pageYOffset !== painted)) {
        fillExtraScreens();
        qsReportSoon();
    } else if (!scrollToElement(qsPlacement.place.id, qsPlacement.place.offset)) {
        scrollToElement('', 0);
    }
}

function qsAppendNext() {
    var html = qsFetch(qsPlacement.last + 1, 1);
    if (html === null) {
        qsPlacement.atEnd = true;
        return;
    }
    qsPlacement.last++;
    var div = qsMakeBlock(qsPlacement.last, html);
    qsFrame.end.parentNode.insertBefore(div, qsFrame.end);
    if (qsPlacement.first < 0)
        qsPlacement.first = qsPlacement.last;
}

// Puts the block before the first one on the page; the caller keeps the reader's place.
function qsPrependPrevious() {
    var html = qsFetch(qsPlacement.first - 1, -1);
    if (html === null) {
        qsPlacement.atStart = true;
        return;
    }
    qsPlacement.first--;
    var div = qsMakeBlock(qsPlacement.first, html);
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
        qsPlacement.first = qsBlockNumberFromId(blocks[i].id);
        qsPlacement.atStart = false;
    }
    blocks = qsBlocks();
    for (i = blocks.length - 1; i > 0; i--) {
        if (blocks[i].getBoundingClientRect().top <= (qsKeepScreens + 1) * h)
            break;
        blocks[i].parentNode.removeChild(blocks[i]);
        qsPlacement.last = qsBlockNumberFromId(blocks[i - 1].id);
        qsPlacement.atEnd = false;
    }
}

function qsUpdateMarkers() {
    var start = qsFrame.start;
    var end = qsFrame.end;
    if (start) {
        var startText = qsPlacement.atStart ? '' : 'Loading...';
        if (start.textContent !== startText || (qsPlacement.atStart && qsPlacement.heldAbove > 0)) {
            qsKeepingPlace(function () {
                start.textContent = startText;
                if (qsPlacement.atStart) {
                    qsPlacement.heldAbove = 0;
                    qsSetTopSpace();
                }
            });
        }
    }
    if (end)
        end.textContent = qsPlacement.atEnd ? '' : 'Loading...';
    if (qsPlacement.atEnd)
        qsPlacement.heldBelow = 0;
    // Room below the last block, so that any block can be brought to the top of the view.
    var bottom = qsFrame.bottom;
    if (bottom)
        bottom.style.height = String((window.innerHeight || 600) + qsPlacement.heldBelow) + 'px';
}

// Fills the page to qsScreens screens above and below the view, a budget of blocks at a time.
function fillExtraScreens() {
    if (qsPlacement.filling || qsPlacement.state === qsPlacementState.LANDING || !qsBody())
        return;
    qsPlacement.filling = true;
    var budget = qsFillBudget;
    try {
        var h = window.innerHeight || 600;
        var end = qsFrame.end;
        var endBefore = end ? end.getBoundingClientRect().top : 0;
        while (budget > 0 && !qsPlacement.atEnd && end &&
            end.getBoundingClientRect().top < (qsScreens + 1) * h) {
            qsAppendNext();
            budget--;
        }
        if (end && qsPlacement.heldBelow > 0) {
            // Blocks put in below take the held room's place (qsUpdateMarkers sizes it).
            var grown = end.getBoundingClientRect().top - endBefore;
            qsPlacement.heldBelow = Math.max(0, Math.round((qsPlacement.heldBelow - grown) * 1024) / 1024);
        }
        if (qsBlocks().length) {
            qsKeepingPlace(function (shift) {
                // Content above the view once the batch is compensated.
                var above = function () {
                    var first = document.getElementById('_b' + qsPlacement.first);
                    return shift() - first.getBoundingClientRect().top;
                };
                while (budget > 0 && !qsPlacement.atStart && above() < qsScreens * h) {
                    qsPrependPrevious();
                    budget--;
                }
            });
        }
        qsTrim();
        qsUpdateMarkers();
    } finally {
        qsPlacement.filling = false;
    }
    if (budget <= 0 && qsPlacement.fillTimer === null)
        qsPlacement.fillTimer = setTimeout(function () {
            qsPlacement.fillTimer = null;
            fillExtraScreens();
        }, 0);
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

// Tells the reader where the page is once it is placed: the first report after a go-to is where it
// landed, which the reader does not count as a move of its own.
function qsReportPosition() {
    if (qsPlacement.pending()) {
        qsReportSoon();
        return;
    }
    var p = qsCurrentPosition();
    if (!p)
        return;
    var key = p.block + ' ' + p.verse + ' ' + p.offset + ' ' + getPageYOffset();
    if (key === qsPlacement.lastReport)
        return;
    qsPlacement.lastReport = key;
    qsPlacement.lastPosition = p;
    jsInterface.updatePosition(sourceTupleString, webViewSerialNumber, p.block, p.verse, p.offset, getPageYOffset(),
        qsPlacement.movedSinceGoTo);
}

function qsReportSoon() {
    if (qsPlacement.reportTimer !== null)
        clearTimeout(qsPlacement.reportTimer);
    qsPlacement.reportTimer = setTimeout(function () {
        qsPlacement.reportTimer = null;
        qsReportPosition();
    }, 100);
}

// Brings the element's top, moved down by offset pixels, to the top of the view; false when the
// page does not hold the element. An empty id goes to the top of the page.
function scrollToElement(id, offset) {
    var y;
    if (id === '' || id === null || id === undefined) {
        y = qsPlacement.heldAbove; // the page's start, below the room held above it
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

// Brings the end of blocks first..last (a chapter, say) to the bottom of the view, or their start to
// its top when they are shorter than the view; the blocks up to the last are put on the page first.
// False when the page cannot reach them from its blocks (the reader then goes there itself).
var qsPartMost = 400; // most blocks put on the page to reach a part's end
function qsShowPartEnd(first, last) {
    first = parseInt(first, 10);
    last = parseInt(last, 10);
    if (!qsFrame.end || qsPlacement.state === qsPlacementState.LANDING || qsPlacement.first < 0 ||
        isNaN(first) || isNaN(last) || last < qsPlacement.first ||
        last - qsPlacement.last > qsPartMost)
        return false;
    var end = qsFrame.end;
    var endBefore = end.getBoundingClientRect().top;
    while (qsPlacement.last < last && !qsPlacement.atEnd)
        qsAppendNext();
    if (qsPlacement.heldBelow > 0) {
        // As in fillExtraScreens: the blocks put in below take the held room's place.
        var grown = end.getBoundingClientRect().top - endBefore;
        qsPlacement.heldBelow = Math.max(0, Math.round((qsPlacement.heldBelow - grown) * 1024) / 1024);
    }
    var el = document.getElementById('_b' + last);
    if (!el)
        return false;
    var y = el.getBoundingClientRect().bottom + window.pageYOffset - (window.innerHeight || 600);
    var start = document.getElementById('_b' + first);
    if (start)
        y = Math.max(y, start.getBoundingClientRect().top + window.pageYOffset);
    qsReaderMoved();
    qsUpdateMarkers();
    window.scrollTo(0, Math.max(0, Math.round(y)));
    fillExtraScreens();
    qsReportSoon();
    return true;
}

// Home and End go to the start and the end of the part of the book at the top of the view (a Bible's
// chapter, another book's section), which the reader works out; not to the ends of the page's blocks.
function qsOnEdgeKey(e) {
    if ((e.key !== 'Home' && e.key !== 'End') || e.altKey || e.metaKey || e.shiftKey)
        return false;
    var p = qsFrame.end ? qsCurrentPosition() : null;
    if (!p)
        return false;
    e.preventDefault();
    jsInterface.goToPartEdge(e.key === 'End', p.block);
    return true;
}

// The keys that scroll the page: the reader moved it (qsPlacement.movedByReader).
var qsScrollKeys = { PageUp: 1, PageDown: 1, ArrowUp: 1, ArrowDown: 1, Home: 1, End: 1, ' ': 1 };

// The reader moved the page: by a scroll command, a scrolling key or the wheel.
function qsReaderMoved() {
    qsPlacement.movedByReader = true;
    qsPlacement.movedSinceGoTo = true;
}

function scrollToYOffset(y) {
    qsReaderMoved();
    window.scrollTo(0, Math.max(0, parseInt(y, 10) || 0));
    fillExtraScreens();
    qsReportSoon();
}

// After a page load (and when the reader asks): size the white space, go to the element, fill.
// The first time, the page is shown as placed and filled around it only after that paint.
function resizeDocument(id, offset) {
    qsUpdateMarkers();
    qsPlacement.place = { id: id, offset: offset };
    qsSettlePlacement(null);
    qsReportFirstPaint();
}

// What a paint shows of the page placed at the element `id` (qsPlacement.firstPaint).
function qsShownPlace(id) {
    var el = id ? document.getElementById(String(id)) : null;
    var end = qsFrame.end;
    return {
        top: el ? el.getBoundingClientRect().top : null,
        covered: !end || qsPlacement.atEnd || end.getBoundingClientRect().top >= (window.innerHeight || 600)
    };
}

// Holds the filling until the page's first paint, then tells the reader, and places and fills the
// page again; once a page.
function qsReportFirstPaint() {
    if (qsPlacement.firstPaintAsked)
        return;
    qsPlacement.firstPaintAsked = true;
    var serial = webViewSerialNumber;
    qsPlacement.land(function (current) {
        if (current)
            qsPlacement.firstPaint = qsShownPlace(qsPlacement.place.id);
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
function qsOnResize() {
    var p = qsPlacement.lastPosition;
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

// A page hidden and shown again at the same size (its pane's view taken out of the window and put
// back when another pane splits or closes) shows what it showed before: the web engine may leave it
// at another offset meanwhile, without a scroll the reader made. The place is the one last reported,
// the block at the top and the offset in it, so the page stands as it stood.
function qsOnVisibilityChange() {
    if (document.visibilityState === 'hidden') {
        qsPlacement.hidden = {
            width: window.innerWidth,
            height: window.innerHeight,
            place: qsPlacement.lastPosition
        };
        return;
    }
    var was = qsPlacement.hidden;
    qsPlacement.hidden = null;
    if (!was || !was.place || was.width !== window.innerWidth || was.height !== window.innerHeight ||
        qsPlacement.pending() || !document.getElementById(was.place.block))
        return;
    scrollToElement(was.place.block, was.place.offset);
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

// A drag that starts on a Strong's number selects text, as a drag from a word does. The engine starts
// no selection on a link (it drags the link instead), so a press on a number's link starts the
// selection here and the moves until the release extend it. So does a press on the first or the last
// line of the view: the engine scrolls the page as soon as a selection's drag is that near the view's
// edge, and the text would run under the pointer, selecting lines the reader never pointed at; here
// the page moves only when the pointer leaves the view. Where the press was tells a click from the
// end of a drag that selected text.
var qsPressedAt = null;
var qsSelecting = false;
var qsEdgeBelt = 24; // the band along the view's top and bottom where the engine's drag scrolls

function qsOnMouseDown(event) {
    qsPressedAt = event.button === 0 ? { x: event.clientX, y: event.clientY } : null;
    qsSelecting = false;
    if (event.button === 0) {
        var pressed = document.caretRangeFromPoint(event.clientX, event.clientY);
        qsLastPress = pressed ? { node: pressed.startContainer, offset: pressed.startOffset } : null;
    }
    // A double or triple press selects a word or a line as the engine does.
    if (event.button !== 0 || event.shiftKey || event.altKey || event.ctrlKey || event.metaKey || event.detail > 1)
        return;
    var node = event.target && event.target.nodeType === 1 ? event.target : (event.target || {}).parentElement;
    var link = node && node.closest ? node.closest('a[href]') : null;
    var nearEdge = event.clientY < qsEdgeBelt || event.clientY > window.innerHeight - qsEdgeBelt;
    if (link ? !qsIsStrongsTarget(qsLinkTarget(link)) : !nearEdge)
        return;
    var at = document.caretRangeFromPoint(event.clientX, event.clientY);
    if (!at)
        return;
    event.preventDefault();
    window.getSelection().collapse(at.startContainer, at.startOffset);
    qsSelecting = true;
}

function qsOnMouseMove(event) {
    if (!qsSelecting)
        return;
    if ((event.buttons & 1) === 0) {
        qsSelecting = false;
        return;
    }
    // Past the view's top or bottom the page scrolls towards the pointer, and the selection reaches
    // the edge of what is shown.
    var y = event.clientY;
    if (y < 0 || y >= window.innerHeight) {
        var step = y < 0 ? Math.max(-60, y) : Math.min(60, y - window.innerHeight + 1);
        window.scrollBy(0, step);
        y = y < 0 ? 0 : window.innerHeight - 1;
    }
    var at = document.caretRangeFromPoint(Math.max(0, Math.min(window.innerWidth - 1, event.clientX)), y);
    var s = window.getSelection();
    if (at && s.rangeCount > 0)
        s.extend(at.startContainer, at.startOffset);
    event.preventDefault();
}

function qsOnMouseUp() {
    qsSelecting = false;
}

function qsOnClick(event) {
    var node = event.target && event.target.nodeType === 1 ? event.target : event.target.parentElement;
    if (!node || !node.closest)
        return;
    // The release that ends a drag which selected text follows no link.
    var dragged = qsPressedAt !== null && !window.getSelection().isCollapsed &&
        (Math.abs(event.clientX - qsPressedAt.x) > 3 || Math.abs(event.clientY - qsPressedAt.y) > 3);
    var reading = node.closest('[id^="_reading"]');
    if (reading && qsReadingNumberFromId(reading.id) !== null) {
        event.preventDefault();
        if (!dragged)
            toggleReadingNumber(qsReadingNumberFromId(reading.id));
        return;
    }
    var link = node.closest('a[href],area[href]');
    if (!link)
        return;
    event.preventDefault();
    if (!dragged)
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
// Selection: the blocks (or, in a Bible, the verse keys) that hold the selected words, or for a
// selection of no words those it touches, found by walking the page backwards from the selection's
// end to its start. The first entry belongs to the start, the second to the end.

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
    // The start's verse is the one around it or, outside every verse, the one its block gives it:
    // never one before it that the walk back would find (the last verse above a psalm's title).
    var first = returnBlocks ? null : qsHitAround(start, false);
    if (first !== null)
        results.push(first);
    for (var n = start; first === null && n && !qsWalkOlderSiblingsAndMe(n, results, true, null, returnBlocks);
        n = n.parentElement) { }
    for (n = end; n && !qsWalkOlderSiblingsAndMe(n, results, false, start, returnBlocks); n = n.parentElement) { }
    return results;
}

// The block or verse that holds `node`: its nearest enclosing hit. In a Bible, what lies outside
// every verse belongs to the verse its block gives it (qsVerseOfBlockAround, `keys` its cache). Null
// when there is none.
function qsHitAround(node, returnBlocks, keys) {
    for (var n = node; n; n = n.parentNode) {
        var hit = qsHit(n, returnBlocks);
        if (hit !== null)
            return hit;
    }
    return returnBlocks ? null : qsVerseOfBlockAround(node, keys);
}

// Whether characters from..to of the text node are words the page shows: not blanks, line ends or
// paragraph signs, and not in a verse's number, a note link, a footnote marker, a Strong's number
// or anything hidden. `shown` caches the answer per element for one selection.
function qsIsWordText(text, from, to, shown) {
    if (!/[^\s\u00a0\u00b6]/.test(text.data.substring(from, to)))
        return false;
    var parent = text.parentNode;
    if (!parent || parent.nodeType !== 1)
        return false;
    if (shown.has(parent))
        return shown.get(parent);
    var words = parent.getClientRects().length > 0;
    for (var e = parent; words && e && e.nodeType === 1 && e !== document.body; e = e.parentNode)
        if (qsIsNotAWord(e))
            words = false;
    shown.set(parent, words);
    return words;
}

// The blocks or verses that hold selected words, in the walk's order (the start's, the end's, then
// those between from the end backwards); empty when the range holds no words.
function qsBlocksOrKeysWithWords(range, returnBlocks) {
    var root = range.commonAncestorContainer;
    var found = [];
    var shown = new Map();
    var keys = new Map();
    if (root.nodeType === 3) {
        if (qsIsWordText(root, range.startOffset, range.endOffset, shown)) {
            var only = qsHitAround(root, returnBlocks, keys);
            if (only !== null)
                found.push(only);
        }
        return found;
    }
    var walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
    var inRange = false;
    for (var n = walker.nextNode(); n; n = walker.nextNode()) {
        if (!inRange) {
            if (!range.intersectsNode(n))
                continue;
            inRange = true;
        } else if (!range.intersectsNode(n)) {
            break;
        }
        var from = n === range.startContainer ? range.startOffset : 0;
        var to = n === range.endContainer ? range.endOffset : n.data.length;
        if (!qsIsWordText(n, from, to, shown))
            continue;
        var hit = qsHitAround(n, returnBlocks, keys);
        if (hit !== null && (found.length === 0 || found[found.length - 1] !== hit))
            qsAddHit(found, hit);
        if (found.length >= 10000)
            break;
    }
    return found.length <= 2 ? found : [found[0], found[found.length - 1]].concat(found.slice(1, -1).reverse());
}

// Blocks (books) or verse keys (Bibles) of the current selection; an empty list without one. They
// are the blocks or verses with selected words: one whose only selected part is a line end, its
// number or its markers is not in it. A selection of no words at all (a verse's number alone) has
// the blocks or verses it touches.
function getSelectedBlocksOrKeys() {
    var s = window.getSelection();
    if (!s || s.rangeCount === 0 || s.isCollapsed)
        return [];
    var r = s.getRangeAt(0);
    var withWords = qsBlocksOrKeysWithWords(r, !qsIsBible);
    return withWords.length ? withWords : selectedElements(r.startContainer, r.endContainer, !qsIsBible);
}

// Whether some of the range is in the view: more than a sliver of a few pixels that rounding leaves
// at the view's edge (as the verse at the top is told, qsCurrentPosition).
function qsRangeInView(range) {
    var rects = range.getClientRects();
    for (var i = 0; i < rects.length; i++)
        if (rects[i].bottom > 4 && rects[i].top < window.innerHeight - 4 && rects[i].width > 0)
            return true;
    return false;
}

// The whole of the verse whose anchor is `from` (the text up to the next verse's anchor), or of the
// block `from`, as a range.
function qsRangeOfVerseOrBlock(from, isVerse) {
    var r = document.createRange();
    if (!isVerse) {
        r.selectNodeContents(from);
        return r;
    }
    var anchors = document.querySelectorAll('span[id^="_s"]');
    var next = null, seen = false;
    for (var i = 0; i < anchors.length && !next; i++) {
        if (anchors[i] === from)
            seen = true;
        else if (seen && qsIsVerseId(anchors[i].id))
            next = anchors[i];
    }
    r.setStartBefore(from);
    // The verse ends with the last text before the next verse's anchor (not in that verse's block).
    var last = null;
    if (next) {
        var w = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
        w.currentNode = next;
        last = w.previousNode();
    }
    if (last && (from.compareDocumentPosition(last) & Node.DOCUMENT_POSITION_FOLLOWING))
        r.setEnd(last, last.length);
    else if (next)
        r.setEndBefore(next);
    else
        r.setEndAfter(from.parentNode.lastChild);
    return r;
}

// What the keyboard's context menu acts on, made the page's selection: the reader's selection while
// some of it is in view; else the verse (or block) of the caret or of the last press on the page
// while some of it is in view; else the verse (or block) at the top of the view. Never a verse out of
// sight. Answered as [left, bottom] of its first line in view and its blocks or verse keys; [] when
// the page has nothing to act on.
function qsMenuSelection() {
    var s = window.getSelection();
    if (!s)
        return [];
    if (s.rangeCount === 0 || s.isCollapsed || !qsRangeInView(s.getRangeAt(0))) {
        var places = [s.rangeCount > 0 && s.isCollapsed ? s.getRangeAt(0).startContainer : null,
            qsLastPress ? qsLastPress.node : null];
        var from = null, range = null;
        for (var i = 0; i < places.length && !range; i++) {
            from = qsVerseOrBlockAround(places[i]);
            range = from ? qsRangeOfVerseOrBlock(from, qsIsBible) : null;
            if (range && !qsRangeInView(range))
                range = null;
        }
        if (!range) {
            var p = qsCurrentPosition();
            from = p && p.verse ? document.getElementById(p.verse) : (p ? document.getElementById(p.block) : null);
            range = from ? qsRangeOfVerseOrBlock(from, !!p.verse) : null;
        }
        if (!range)
            return [];
        s.removeAllRanges();
        s.addRange(range);
    }
    var chosen = s.getRangeAt(0);
    var rects = chosen.getClientRects(), b = null;
    for (var k = 0; k < rects.length && !b; k++)
        if (rects[k].width > 0 && rects[k].bottom > 0 && rects[k].top < window.innerHeight)
            b = rects[k];
    if (!b)
        b = chosen.getBoundingClientRect();
    var x = Math.max(0, Math.min(window.innerWidth - 1, b.left));
    var y = Math.max(0, Math.min(window.innerHeight - 1, b.bottom));
    return [x, y, getSelectedBlocksOrKeys()];
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

// The selected HTML: the words of the selection with their markup (qsSelectionWords).
function getSelectionHtml() {
    return qsSelectionWords()[1];
}

// ---------------------------------------------------------------------------------------------------
// The words of the selection. Beside a book's words the page shows what a reader does not read as
// words: Strong's numbers (in span._stheb or span._stgrk, or a book's own link to a "sync:" Strong's
// number), verse numbers (the verse's anchor span#_s<book>.<chapter>.<verse>, in an interlinear its
// number table), the links to the reader's notes ("Note"), footnote markers ("*"), footnotes that are
// not shown, and the paragraph sign (¶) of some Bibles. What is copied, looked up, studied or spoken
// of a selection is the selection without them; a selection that lies inside one of them (a number
// alone) is kept as it stands.

// The target of a link, unwrapped from the renderer's link form javascript:href('...').
function qsLinkTarget(link) {
    var target = link.getAttribute('href') || '';
    var m = /^javascript:href\('([^'"\\]*)'\);?$/.exec(target);
    return m ? m[1] : target;
}

function qsIsStrongsTarget(target) {
    return /^sync:(@@bs@@|\\|\/)*[GH]\d+[a-z]?$/i.test(target);
}

function qsIsNotAWord(element) {
    var tag = element.tagName;
    var className = ' ' + (element.getAttribute('class') || '') + ' ';
    if (tag === 'SPAN') {
        if (/ _st(heb|grk) /.test(className) || qsIsVerseId(element.getAttribute('id')))
            return true;
        if (/ footnote /.test(className)) {
            var shown = document.getElementById(element.getAttribute('id') || '');
            return !shown || window.getComputedStyle(shown).display === 'none';
        }
        return false;
    }
    if (tag === 'A') {
        var href = element.getAttribute('href') || '';
        var target = qsLinkTarget(element);
        return /^javascript:toggleFootnote\(/.test(href) || /^note:/.test(target) || qsIsStrongsTarget(target);
    }
    if (tag === 'TABLE')
        return / _interlinear(versenumber|notelink)table /.test(className);
    return false;
}

// Takes what is not a word out of `root` (a copy of selected markup).
function qsRemoveNonWords(root) {
    var all = root.querySelectorAll('span,a,table');
    for (var i = 0; i < all.length; i++) {
        var element = all[i];
        if (!element.parentNode || !qsIsNotAWord(element))
            continue;
        // A note link is followed by a space of its own.
        var next = element.nextSibling;
        if (element.tagName === 'A' && next && next.nodeType === 3 && /^note:/.test(qsLinkTarget(element)))
            next.data = next.data.replace(/^\u00a0/, '');
        element.parentNode.removeChild(element);
    }
    var walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT);
    for (var n = walker.nextNode(); n; n = walker.nextNode())
        if (n.data.indexOf('\u00b6') >= 0)
            n.data = n.data.replace(/\u00b6[ \u00a0]?/g, '');
}

// [text, html] of the selection's words: the text as the page lays it out, the HTML of the selected
// markup; both empty without a selection.
function qsSelectionWords() {
    var s = window.getSelection();
    var body = qsBody();
    if (!s || s.rangeCount === 0 || s.isCollapsed || !body)
        return ['', ''];
    var holder = document.createElement('div');
    for (var i = 0; i < s.rangeCount; i++)
        holder.appendChild(s.getRangeAt(i).cloneContents());
    qsRemoveNonWords(holder);
    // The text breaks paragraphs where the page does: a paragraph's lines follow one another and an
    // empty line stands only before a paragraph that opens (where the page leaves its gap), while
    // the text of a paragraph element alone would stand between empty lines, after it as well.
    // A paragraph opens at a mark, a character that the words themselves do not hold.
    var laidOut = holder.cloneNode(true);
    var words = laidOut.textContent;
    var mark = '\uE000';
    for (var c = 0xE001; words.indexOf(mark) >= 0 && c <= 0xF8FF; c++)
        mark = String.fromCharCode(c);
    var paragraphs = laidOut.querySelectorAll('p');
    for (var p = 0; p < paragraphs.length; p++) {
        var line = document.createElement('div');
        line.appendChild(document.createTextNode(mark));
        while (paragraphs[p].firstChild)
            line.appendChild(paragraphs[p].firstChild);
        paragraphs[p].parentNode.replaceChild(line, paragraphs[p]);
    }
    // Laid out out of sight for the moment it is read, at the page's width, so that its text has the
    // page's line breaks between blocks.
    laidOut.style.cssText = 'position:fixed;left:-100000px;top:0;pointer-events:none;width:' +
        Math.max(1, body.clientWidth) + 'px';
    body.appendChild(laidOut);
    var text = laidOut.innerText;
    body.removeChild(laidOut);
    text = text.replace(/\u00a0/g, ' ').split(mark).map(function (part) {
        return part.replace(/^[ \t\n]+|[ \t\n]+$/g, '');
    }).filter(function (part) {
        return part !== '';
    }).join('\n\n');
    // The blocks are divisions, which a copy's HTML leaves out: a block of running text ends with a
    // line break, so that the next block's words do not run on from it.
    var blocks = holder.querySelectorAll('div[' + qsBlockMark + ']');
    for (var b = 0; b + 1 < blocks.length; b++)
        if (!blocks[b].querySelector('p,h1,h2,h3,h4,h5,h6,table,ul,ol,dl,blockquote,pre'))
            blocks[b].appendChild(document.createElement('br'));
    return [text, holder.innerHTML];
}

// A copy the page makes itself (on a key that the reader's commands leave to it, Ctrl+Insert say)
// copies the words, as the reader's Copy does.
function qsOnCopy(event) {
    var words = qsSelectionWords();
    if (!event.clipboardData || (words[0] === '' && words[1] === ''))
        return;
    event.clipboardData.setData('text/plain', words[0]);
    event.clipboardData.setData('text/html', words[1]);
    event.preventDefault();
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
    qsPlacement.atStart = qsPlacement.first === 0;
    qsPlacement.atEnd = false;
    qsPlacement.movedByReader = false;
    qsPlacement.movedSinceGoTo = false;
    // Room for the screens that fill around the place after the paint (a block longer than a screen
    // may outgrow it). Only the pane gone to holds it: a pane that follows fills once the reader
    // scrolls it, which moves its bar anyway, and room it held would go from under that scroll when
    // the filling reaches the book's start; a new page fills as it always has.
    var h = window.innerHeight || 600;
    qsPlacement.heldAbove = holdRoom && !qsPlacement.atStart ? (qsScreens + 1) * h : 0;
    qsPlacement.heldBelow = holdRoom ? (qsScreens + 1) * h : 0;
    qsSetTopSpace();
    qsUpdateMarkers();
    qsPlacement.place = { id: target, offset: offset };
    var el = target ? document.getElementById(String(target)) : null;
    var y = el ? el.getBoundingClientRect().top + window.pageYOffset + (parseInt(offset, 10) || 0) : 0;
    window.scrollTo(0, Math.max(0, Math.round(y)));
    var budget = qsFillBudget;
    while (budget > 0 && !qsPlacement.atEnd && qsFrame.end.getBoundingClientRect().top < h) {
        qsAppendNext();
        budget--;
    }
    qsUpdateMarkers();
}

// Called while the reader types where to go: the renderer reads the page's layout and draws a frame
// (one pixel in the corner changes by less than a shade), so that the go-to that follows finds the
// renderer, its compositor and the window's drawing of the page awake rather than gone idle.
var qsWakeDot = null;
function qsWake() {
    if (!qsWakeDot) {
        qsWakeDot = document.createElement('div');
        qsWakeDot.setAttribute('aria-hidden', 'true');
        qsWakeDot.style.cssText = 'position:fixed;left:0;top:0;width:1px;height:1px;pointer-events:none;' +
            'user-select:none;z-index:-1';
        document.documentElement.appendChild(qsWakeDot);
    }
    qsWakeDot.style.backgroundColor = qsWakeDot.style.backgroundColor ? '' : 'rgba(128,128,128,0.004)';
    return document.body ? document.body.offsetHeight : 0;
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

// A go-to in the book of the loaded page, as [moved, page offset, replaced, rendered again]. When the
// page holds the element `id` it scrolls there (moved); otherwise the page's blocks are replaced by
// `list` (block `first` onwards) with `target` at the top, without loading a page: the script and the
// style sheet stay, and the blocks around the target follow after the paint that shows it. Either way
// the page's serial becomes `serial` and the reader is told once the place has painted. `following`:
// the pane follows another pane's go-to; it shows the place's screen and fills around it only once the
// reader scrolls it, so that its first paint is its last (its scroll bar too) and the renderer, which
// paints every book page, is left to the other panes. The pane gone to fills a frame after its paint.
// `renderAgain`: the reader's data changed since the page's blocks were rendered; a page that holds
// `id` has its blocks rendered again before it scrolls (rendered again).
function qsGoToPlace(id, offset, serial, first, list, target, targetOffset, following, renderAgain) {
    // Reports of the place before are no longer about this page.
    webViewSerialNumber = serial;
    // The reader's data changed since the blocks were rendered: a place on the page is shown as the
    // reader renders it now (a place elsewhere comes with fresh blocks anyway).
    var renderedAgain = renderAgain && document.getElementById(id) !== null && qsRenderBlocksAgain() >= 0;
    if (scrollToElement(id, offset)) {
        qsPlacement.movedSinceGoTo = false;
        qsReportPlacePainted();
        return [true, getPageYOffset(), false, renderedAgain];
    }
    if (!qsFrame.end)
        return [false, 0, false, false];
    qsPlacement.state = qsPlacementState.LANDING;
    if (qsPlacement.fillTimer !== null) {
        clearTimeout(qsPlacement.fillTimer);
        qsPlacement.fillTimer = null;
    }
    if (qsPlacement.reportTimer !== null) {
        clearTimeout(qsPlacement.reportTimer);
        qsPlacement.reportTimer = null;
    }
    var old = qsBlocks();
    for (var i = 0; i < old.length; i++)
        old[i].parentNode.removeChild(old[i]);
    qsPlacement.ahead = {};
    qsPlacement.lastReport = '';
    qsPlacement.lastPosition = null;
    qsPlacement.first = qsPlacement.last = -1;
    qsPlaceBlocks(first, list, target, targetOffset, !following);
    var token = qsPlacement.land(function (current) {
        jsInterface.placePainted(serial);
        if (!current)
            return;
        if (following) {
            qsReportSoon();
            return;
        }
        // A frame later, so that the panes that follow the go-to paint first: the renderer is theirs
        // too, and the filling holds it while it waits for the reader's blocks. (A go-to that came
        // while the reader was told keeps its own state.)
        if (token === qsPlacement.token)
            qsPlacement.state = qsPlacementState.SETTLING;
        var painted = window.pageYOffset;
        requestAnimationFrame(function () {
            setTimeout(function () {
                if (token !== qsPlacement.token)
                    return;
                if (qsPlacement.state === qsPlacementState.SETTLING)
                    qsPlacement.state = qsPlacementState.IDLE;
                qsSettlePlacement(painted);
            }, 0);
        });
    });
    return [false, getPageYOffset(), true, false];
}

// Listeners go on while the page holds no content yet, so no element of a book can stand in for
// the functions that add them.
document.addEventListener('mousedown', qsOnMouseDown, true);
document.addEventListener('mousemove', qsOnMouseMove, true);
document.addEventListener('mouseup', qsOnMouseUp, true);
document.addEventListener('click', qsOnClick, true);
document.addEventListener('mouseover', qsOnMouseOver, true);
document.addEventListener('mouseout', qsOnMouseOut, true);
document.addEventListener('selectionchange', qsOnSelectionChange);
document.addEventListener('copy', qsOnCopy, true);
window.addEventListener('scroll', function () {
    if (!qsPlacement.filling && qsPlacement.state !== qsPlacementState.LANDING)
        fillExtraScreens();
    qsReportSoon();
});
window.addEventListener('resize', qsOnResize);
document.addEventListener('visibilitychange', qsOnVisibilityChange);
window.addEventListener('wheel', function () {
    qsReaderMoved();
}, { passive: true, capture: true });
window.addEventListener('keydown', function (e) {
    if (qsOnEdgeKey(e))
        return;
    if (qsScrollKeys[e.key])
        qsReaderMoved();
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
