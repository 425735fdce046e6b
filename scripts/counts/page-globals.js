// The page script's top-level variables, and those assigned after their declaration (mutable
// globals): cat resources/page/Utilities.js resources/page/Render.js | node scripts/counts/page-globals.js
const s = require('fs').readFileSync(0, 'utf8');
const names = [...s.matchAll(/^(?:var|let) ([\w$]+)/gm)].map(m => m[1]);
const mutable = names.filter(n =>
    (s.match(new RegExp('(^|[^\\w$.])' + n + '\\s*(=(?!=)|\\+\\+|--)|(\\+\\+|--)' + n + '\\b', 'gm')) || []).length > 1 ||
    new RegExp('=\\s*' + n + '\\s*=[^=]').test(s));
console.log('top-level var/let:', names.length, 'mutable:', mutable.length, mutable.join(' '));
