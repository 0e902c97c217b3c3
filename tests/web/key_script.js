// key_script.js -- the capture tool's key scripts ("W@1 A@3 X@5-120") read for the browser driver.
"use strict";

const namedKeys = {
  escape: 27, pageup: 33, pagedown: 34, left: 37, up: 38, right: 39, down: 40,
};

// The Windows virtual-key code of a key name (A..Z, F1..F12, Escape, PageUp, PageDown, arrows;
// any case), or 0.
function virtualKeyFromName(name) {
  if (/^[a-z]$/i.test(name)) return name.toUpperCase().charCodeAt(0);
  const named = namedKeys[name.toLowerCase()];
  if (named) return named;
  const f = /^f([1-9][0-9]?)$/i.exec(name);
  if (f && Number(f[1]) <= 12) return 111 + Number(f[1]);
  return 0;
}

// The spans of a script: [{key, first, last}], frames from 1. Throws at the first item that does
// not read, naming it.
function parseKeyScript(script) {
  const spans = [];
  for (const item of script.split(/\s+/).filter(Boolean)) {
    const m = /^([^@]+)@([0-9]+)(?:-([0-9]+))?$/.exec(item);
    const key = m ? virtualKeyFromName(m[1]) : 0;
    const first = m ? Number(m[2]) : 0;
    const last = m && m[3] !== undefined ? Number(m[3]) : first;
    if (!m || !key || first < 1 || last < first) {
      throw new Error(`key script: "${item}" does not read as KEY@FRAME or KEY@FIRST-LAST`);
    }
    spans.push({ key, first, last });
  }
  return spans;
}

module.exports = { virtualKeyFromName, parseKeyScript };
