// Bridge.js: the bridge from a page to the reader, shared by the book page and the note pages, and the
// hover over links that both pages report through it. The reader puts this script before the page's
// own and sets `qsBridgeBase` (the bridge address with the page's secret) before either runs.
//
// Calls whose answer the page needs at once go out as synchronous requests to the bridge address; the
// others are sent without waiting (qsSendLater hands the answer to a callback). Arguments travel JSON-encoded; a text the page hands over is cut to
// qsMaxText characters.

function qsSend(name, args, wait) {
    var request = new XMLHttpRequest();
    try {
        request.open('GET', qsBridgeBase + name + '?' + encodeURIComponent(JSON.stringify(args)), !wait);
        request.send();
    } catch (e) {
        return null;
    }
    if (!wait || request.status !== 200)
        return null;
    try {
        return JSON.parse(request.responseText);
    } catch (e) {
        return null;
    }
}

// The same request without waiting: done(answer) runs when it comes (null when there is none).
function qsSendLater(name, args, done) {
    var request = new XMLHttpRequest();
    var answered = false;
    var answer = function (value) {
        if (!answered) {
            answered = true;
            done(value);
        }
    };
    request.onload = function () {
        var value = null;
        if (request.status === 200) {
            try {
                value = JSON.parse(request.responseText);
            } catch (e) {
                value = null;
            }
        }
        answer(value);
    };
    request.onerror = function () { answer(null); };
    request.onabort = request.onerror;
    try {
        request.open('GET', qsBridgeBase + name + '?' + encodeURIComponent(JSON.stringify(args)), true);
        request.send();
    } catch (e) {
        answer(null);
    }
}

var qsMaxText = 65536; // longest text of one bridge call

function qsText(value) {
    return String(value).substring(0, qsMaxText);
}

// The link under the pointer. qsHoverLink is called on every mouse-over with the link there (or
// null): entering another link hides the old preview and hands the new link and its box to `show`,
// which asks the reader for a preview; qsHoverOut on a mouse-out hides it once the pointer has left
// the link.
var qsHovered = null;

function qsHoverLink(link, show) {
    if (link === qsHovered)
        return;
    if (qsHovered)
        jsInterface.hideHrefTargetTooltip();
    qsHovered = link;
    if (link)
        show(link, link.getBoundingClientRect());
}

function qsHoverOut(event) {
    if (qsHovered && (!event.relatedTarget || !qsHovered.contains(event.relatedTarget))) {
        qsHovered = null;
        jsInterface.hideHrefTargetTooltip();
    }
}
