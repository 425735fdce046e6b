// The book markup's vocabulary: tag codes, known attribute names and known attribute values.
//
// Book files store these numbers (the HTML-node storage writes tag, attribute and value codes), so
// every number here is part of the book-file format and must never change. Names are looked up
// exactly (case-sensitive); callers lower-case tag and attribute names first.
//
// All functions are pure and may be called from any thread.

#pragma once

#include <cstdint>
#include <string_view>

using HTMLTagCode = std::int32_t;

// Tag codes (1-80). Stored in book files: never renumber.
namespace HTMLTag {
enum : HTMLTagCode {
    none = 0,
    a = 1,
    area = 2,
    b = 3,
    basefont = 4,
    bgsound = 5,
    big = 6,
    blockquote = 7,
    body = 8,
    br = 9,
    caption = 10,
    col = 11,
    colgroup = 12,
    dd = 13,
    dir = 14,
    dl = 15,
    dt = 16,
    fieldset = 17,
    font = 18,
    form = 19,
    h1 = 20,
    h2 = 21,
    h3 = 22,
    h4 = 23,
    h5 = 24,
    h6 = 25,
    h7 = 26,
    h8 = 27,
    h9 = 28,
    head = 29,
    hr = 30,
    html = 31,
    i = 32,
    img = 33,
    input = 34,
    keygen = 35,
    label = 36,
    legend = 37,
    li = 38,
    map = 39,
    menu = 40,
    meta = 41,
    nobr = 42,
    ol = 43,
    optgroup = 44,
    option = 45,
    p = 46,
    qs_attr = 47,
    qs_context = 48,
    qs_lang = 49,
    qs_link = 50,
    qs_noconc = 51,
    qs_nolinks = 52,
    qs_note = 53,
    qs_sync = 54,
    qs_vlskip = 55,
    qs_woc = 56,
    pre = 57,
    s = 58,
    select = 59,
    small = 60,
    style = 61,
    sub = 62,
    sup = 63,
    table = 64,
    tbody = 65,
    td = 66,
    textarea = 67,
    tfoot = 68,
    th = 69,
    thead = 70,
    title = 71,
    tr = 72,
    u = 73,
    ul = 74,
    untagged_text = 75,
    qs_relhdg = 76,
    div = 77,
    qs_if = 78,
    qs_else = 79,
    qs_endif = 80,
};
}  // namespace HTMLTag

// Known attribute names (1-119); 0 is the empty name. Stored in book files: never renumber.
namespace HTMLAttr {
enum : std::int32_t {
    empty = 0,
    contents = 1,           // $contents
    expand = 2,             // $expand
    textat = 3,             // $textat
    abbr = 4,               // abbr
    accept = 5,             // accept
    accept_charset = 6,     // accept-charset
    accesskey = 7,          // accesskey
    action = 8,             // action
    align = 9,              // align
    alink = 10,             // alink
    alt = 11,               // alt
    archive = 12,           // archive
    axis = 13,              // axis
    background = 14,        // background
    background_color = 15,  // background-color
    bgcolor = 16,           // bgcolor
    border = 17,            // border
    bordercolor = 18,       // bordercolor
    bordercolordark = 19,   // bordercolordark
    bordercolorlight = 20,  // bordercolorlight
    cellpadding = 21,       // cellpadding
    cellspacing = 22,       // cellspacing
    char_ = 23,             // char
    charoff = 24,           // charoff
    charset = 25,           // charset
    checked = 26,           // checked
    cite = 27,              // cite
    class_ = 28,            // class
    classid = 29,           // classid
    clear = 30,             // clear
    code = 31,              // code
    codebase = 32,          // codebase
    codetype = 33,          // codetype
    color = 34,             // color
    cols = 35,              // cols
    colspan = 36,           // colspan
    compact = 37,           // compact
    content = 38,           // content
    coords = 39,            // coords
    data = 40,              // data
    datetime = 41,          // datetime
    declare = 42,           // declare
    defer = 43,             // defer
    dir = 44,               // dir
    disabled = 45,          // disabled
    display = 46,           // display
    enctype = 47,           // enctype
    face = 48,              // face
    font = 49,              // font
    font_family = 50,       // font-family
    font_size = 51,         // font-size
    font_style = 52,        // font-style
    font_variant = 53,      // font-variant
    font_weight = 54,       // font-weight
    format = 55,            // format
    frame = 56,             // frame
    frameborder = 57,       // frameborder
    headers = 58,           // headers
    height = 59,            // height
    href = 60,              // href
    hreflang = 61,          // hreflang
    hspace = 62,            // hspace
    http_equiv = 63,        // http-equiv
    id = 64,                // id
    is_whitespace = 65,     // is_whitespace
    ismap = 66,             // ismap
    label = 67,             // label
    lang = 68,              // lang
    language = 69,          // language
    link = 70,              // link
    longdesc = 71,          // longdesc
    marginheight = 72,      // marginheight
    marginwidth = 73,       // marginwidth
    maxlength = 74,         // maxlength
    media = 75,             // media
    method = 76,            // method
    multiple = 77,          // multiple
    name = 78,              // name
    nohref = 79,            // nohref
    noresize = 80,          // noresize
    noshade = 81,           // noshade
    nowrap = 82,            // nowrap
    object = 83,            // object
    qs_toc = 84,            // qs_toc
    profile = 85,           // profile
    prompt = 86,            // prompt
    readonly = 87,          // readonly
    rel = 88,               // rel
    rev = 89,               // rev
    rows = 90,              // rows
    rowspan = 91,           // rowspan
    rules = 92,             // rules
    scheme = 93,            // scheme
    scope = 94,             // scope
    scrolling = 95,         // scrolling
    selected = 96,          // selected
    shape = 97,             // shape
    size = 98,              // size
    span = 99,              // span
    src = 100,              // src
    standby = 101,          // standby
    start = 102,            // start
    style = 103,            // style
    summary = 104,          // summary
    tabindex = 105,         // tabindex
    target = 106,           // target
    text = 107,             // text
    text_align = 108,       // text-align
    text_indent = 109,      // text-indent
    title = 110,            // title
    type = 111,             // type
    untagged_text = 112,    // untagged_text
    usemap = 113,           // usemap
    valign = 114,           // valign
    value = 115,            // value
    valuetype = 116,        // valuetype
    vlink = 117,            // vlink
    vspace = 118,           // vspace
    width = 119,            // width
};
}  // namespace HTMLAttr

// Known attribute values (1-126); 0 is the empty text and is never given to a value.
namespace HTMLValue {
enum : std::int32_t {
    empty = 0,
    A = 1,                // A
    I = 2,                // I
    a = 3,                // a
    above = 4,            // above
    all = 5,              // all
    aqua = 6,             // aqua
    auto_ = 7,            // auto
    baseline = 8,         // baseline
    bcv = 9,              // bcv
    below = 10,           // below
    black = 11,           // black
    blue = 12,            // blue
    border = 13,          // border
    bottom = 14,          // bottom
    box = 15,             // box
    button = 16,          // button
    center = 17,          // center
    char_ = 18,           // char
    checkbox = 19,        // checkbox
    checked = 20,         // checked
    col = 21,             // col
    colgroup = 22,        // colgroup
    cols = 23,            // cols
    compact = 24,         // compact
    cv = 25,              // cv
    data = 26,            // data
    date = 27,            // date
    declare = 28,         // declare
    defer = 29,           // defer
    disabled = 30,        // disabled
    file = 31,            // file
    fuchsia = 32,         // fuchsia
    get = 33,             // get
    gray = 34,            // gray
    green = 35,           // green
    groups = 36,          // groups
    hidden = 37,          // hidden
    hsides = 38,          // hsides
    html = 39,            // html
    i = 40,               // i
    image = 41,           // image
    index = 42,           // index
    ismap = 43,           // ismap
    italic = 44,          // italic
    justify = 45,         // justify
    later = 46,           // later
    left = 47,            // left
    lhs = 48,             // lhs
    lighter = 49,         // lighter
    lime = 50,            // lime
    ltr = 51,             // ltr
    maroon = 52,          // maroon
    middle = 53,          // middle
    multiple = 54,        // multiple
    navy = 55,            // navy
    no = 56,              // no
    nohref = 57,          // nohref
    none = 58,            // none
    noresize = 59,        // noresize
    normal = 60,          // normal
    noshade = 61,         // noshade
    noversenums = 62,     // noversenums
    now = 63,             // now
    nowrap = 64,          // nowrap
    object = 65,          // object
    oblique = 66,         // oblique
    olive = 67,           // olive
    password = 68,        // password
    qs_abbrev = 69,       // qs_abbrev
    qs_author = 70,       // qs_author
    qs_bookid = 71,       // qs_bookid
    qs_city = 72,         // qs_city
    qs_copyright = 73,    // qs_copyright
    qs_date = 74,         // qs_date
    qs_editionid = 75,    // qs_editionid
    qs_grkdictid = 76,    // qs_grkdictid
    qs_hebdictid = 77,    // qs_hebdictid
    qs_isabible = 78,     // qs_isabible
    qs_minpgmmajor = 79,  // qs_minpgmmajor
    qs_minpgmminor = 80,  // qs_minpgmminor
    qs_options = 81,      // qs_options
    qs_pubid = 82,        // qs_pubid
    qs_publisher = 83,    // qs_publisher
    qs_revisionid = 84,   // qs_revisionid
    qs_searchrange = 85,  // qs_searchrange
    qs_startdate = 86,    // qs_startdate
    qs_stroptions = 87,   // qs_stroptions
    qs_synctype = 88,     // qs_synctype
    qs_title = 89,        // qs_title
    plaintext = 90,       // plaintext
    post = 91,            // post
    purple = 92,          // purple
    radio = 93,           // radio
    readonly = 94,        // readonly
    red = 95,             // red
    ref = 96,             // ref
    reset = 97,           // reset
    rhs = 98,             // rhs
    right = 99,           // right
    row = 100,            // row
    rowgroup = 101,       // rowgroup
    rows = 102,           // rows
    rtl = 103,            // rtl
    selected = 104,       // selected
    silver = 105,         // silver
    strongsgreek = 106,   // strongsgreek
    strongshebrew = 107,  // strongshebrew
    submit = 108,         // submit
    teal = 109,           // teal
    text = 110,           // text
    top = 111,            // top
    topic = 112,          // topic
    transparent = 113,    // transparent
    true_ = 114,          // true
    v = 115,              // v
    verse = 116,          // verse
    visible = 117,        // visible
    void_ = 118,          // void
    vsides = 119,         // vsides
    white = 120,          // white
    word = 121,           // word
    yellow = 122,         // yellow
    yes = 123,            // yes
    qs_sorttitle = 124,   // qs_sorttitle
    qs_subtitle = 125,    // qs_subtitle
    qs_biblebooks = 126,  // qs_biblebooks
};
}  // namespace HTMLValue

// Counts of the tables (highest code + 1).
constexpr std::int32_t kHTMLTagCodeLimit = 81;
constexpr std::int32_t kHTMLAttributeCodeLimit = 120;
constexpr std::int32_t kHTMLValueCodeLimit = 127;

// The code whose table name equals `name` after every "-" is read as "_"; 0 when none does.
HTMLTagCode tagCodeForName(std::string_view name);
// The table name of codes 1-80; "UNKNOWN TAG" for any other code.
const char* tagNameForCode(HTMLTagCode code);
// Whether elements of this tag never have content or a closing tag (area, br, col, hr, img, input,
// keygen, meta, qs_attr, qs_sync).
bool isEmptyElementTag(HTMLTagCode code);

// Known attribute name lookup: the code (1-119, or 0 for the empty name), -1 when unknown.
std::int32_t attributeCodeForName(std::string_view name);
// Known value lookup: the code (1-126), -1 when unknown. The empty text is never coded.
std::int32_t valueCodeForText(std::string_view text);
// Table texts; "" for codes outside the tables.
const char* attributeNameForCode(std::int32_t code);
const char* valueTextForCode(std::int32_t code);
