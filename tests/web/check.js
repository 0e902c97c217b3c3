// check.js -- drives the web build in Debian's headless Chromium: answers the start-up question,
// presses scripted keys by frame number, keeps chosen frames as PNG and checks what the page shows.
//   node tests/web/check.js DIST_DIR OUT_DIR
"use strict";

const fs = require("fs");
const path = require("path");
const { serve, launchBrowser, openPage, answerQuestion, installHooks, installDrawCounter, framesReached: reached } = require("./browser");
const { parseKeyScript } = require("./key_script");

const [distDir, outDir] = process.argv.slice(2);
if (!distDir || !outDir) {
  console.error("usage: node check.js DIST_DIR OUT_DIR");
  process.exit(2);
}
const root = path.resolve(__dirname, "..", "..");
// At about 8 frames a second a case of a hundred frames takes some 15 s.
const caseTimeout = 120000;

// Pixels of two same-sized images that differ by more than 10% in some channel, outside the rate
// corner (the top right 160 x 40, which shows the frame rate of the machine).
async function countDifferences(page, a, b) {
  return page.evaluate(async (a, b) => {
    const load = (url) => new Promise((resolve, reject) => {
      const image = new Image();
      image.onload = () => resolve(image);
      image.onerror = reject;
      image.src = url;
    });
    const pixels = (image) => {
      const c = document.createElement("canvas");
      c.width = image.width;
      c.height = image.height;
      const g = c.getContext("2d");
      g.drawImage(image, 0, 0);
      return g.getImageData(0, 0, c.width, c.height);
    };
    const [ia, ib] = [pixels(await load(a)), pixels(await load(b))];
    if (ia.width !== ib.width || ia.height !== ib.height) return { differing: -1, total: 0 };
    let differing = 0, total = 0;
    for (let y = 0; y < ia.height; y++) {
      for (let x = 0; x < ia.width; x++) {
        if (y < 40 && x >= ia.width - 160) continue;
        total++;
        const i = (y * ia.width + x) * 4;
        for (let k = 0; k < 3; k++) {
          if (Math.abs(ia.data[i + k] - ib.data[i + k]) > 25) { differing++; break; }
        }
      }
    }
    return { differing, total };
  }, a, b);
}

async function runCase(browser, webCase) {
  const files = webCase.files || {};
  const server = await serve(distDir, files);
  // The page's fetch of a file the case withholds shows as a failed load, and only that.
  const withheld = (text) => Object.values(files).includes(null) && /Failed to load resource: .* 404/.test(text);
  // A case may expect the program's own lines on the console (its messages go to stderr).
  const expected = (text) => withheld(text) || Boolean(webCase.console && webCase.console.test(text));
  const { page, problems } = await openPage(browser, expected);
  try {
    const spans = parseKeyScript(webCase.keys || "");
    await page.evaluateOnNewDocument(installHooks, spans, webCase.shots || []);
    if (webCase.framesPerSecond) {
      // The clock moves by whole frames, so the rate corner shows the same count on any machine:
      // with lighting on, the blades take the normal its last glyph left.
      await page.evaluateOnNewDocument((rate) => {
        const start = Math.floor(Date.now() / 1000) * 1000 + 1;
        Date.now = () => start + Math.floor(window.halmwindFrames() * 1000 / rate);
      }, webCase.framesPerSecond);
    }
    if (webCase.clockStill) {
      await page.evaluateOnNewDocument(() => {
        const now = Date.now();
        Date.now = () => now;
      });
    }
    if (webCase.refuseFullScreen) {
      await page.evaluateOnNewDocument(() => {
        Element.prototype.requestFullscreen = () => Promise.reject(new TypeError("refused"));
      });
    }
    if (webCase.noWebGl) {
      await page.evaluateOnNewDocument(() => {
        const getContext = HTMLCanvasElement.prototype.getContext;
        HTMLCanvasElement.prototype.getContext = function (type, ...rest) {
          return /webgl/.test(type) ? null : getContext.call(this, type, ...rest);
        };
      });
    }
    await answerQuestion(page, server, webCase.answer === "yes" ? "#yes" : "#no", caseTimeout);
    await webCase.until(page);
    await page.screenshot({ path: path.join(outDir, webCase.name + "-page.png") });
    const shots = await page.evaluate(() => window.halmwindShots);
    for (const [frame, url] of Object.entries(shots)) {
      fs.writeFileSync(path.join(outDir, `${webCase.name}-frame${frame}.png`), Buffer.from(url.split(",")[1], "base64"));
    }
    const failures = await webCase.check(page, shots);
    return failures.concat(problems);
  } catch (error) {
    return [String(error.message || error)].concat(problems);
  } finally {
    await page.close();
    server.close();
  }
}

const dialogs = (page) => page.$$eval(".dialog", (boxes) =>
  boxes.map((b) => ({ caption: b.querySelector("h1").textContent, text: b.querySelector("p").textContent })));
const framesReached = (n) => reached(n, caseTimeout);
const ended = (page) => page.waitForSelector("#ended:not([hidden])", { timeout: caseTimeout });
const reference = (name) => "data:image/png;base64," + fs.readFileSync(path.join(root, "docs", name)).toString("base64");
const pause = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The desktop's pictures in docs/ come from halmwind_capture with these key scripts
// (tools/shots.sh); the web frame of the same script must differ in at most 1% of the pixels.
const tilt = "Up@2-45", across = "R@2-51", strong = "X@2-200";
const pictures = [
  ["meadow", 2, ""],
  ["wind-steady", 200, `W@1 ${strong} ${tilt} ${across}`],
  ["wind-gusting", 276, `W@1 A@3 X@2-276 ${tilt} ${across}`],
  ["wind-vortex", 230, `W@1 A@3 A@5 X@2-230 ${tilt}`],
  ["wind-steady-vp", 200, `W@1 W@3 ${strong} ${tilt} ${across}`],
  ["wind-vortex-vp", 230, `W@1 W@3 A@5 A@7 X@2-230 ${tilt}`],
  ["wind-dummy", 200, `W@1 A@3 A@5 A@7 ${strong} ${tilt} ${across}`],
  ["wind-dummyblast", 200, `W@1 A@3 A@5 A@7 A@9 ${strong} ${tilt}`],
  ["lit", 120, `F4@1 W@1 X@2-100 ${tilt} ${across}`],
  ["wireframe", 120, `F3@1 W@1 X@2-100 ${tilt} ${across}`],
];

function pictureCase([name, frame, keys]) {
  return {
    name,
    keys,
    // The desktop's pictures show "FPS: 14".
    framesPerSecond: 15,
    shots: [frame],
    until: framesReached(frame),
    check: async (page, shots) => {
      const failures = [];
      const shown = await dialogs(page);
      if (shown.length) failures.push("dialogs shown: " + JSON.stringify(shown));
      if (!shots[frame]) return failures.concat(`frame ${frame} was not kept`);
      const { differing, total } = await countDifferences(page, shots[frame], reference(name + ".png"));
      const share = (100 * differing / total).toFixed(2);
      console.log(`  ${name}: frame ${frame} differs from docs/${name}.png in ${differing} of ${total} pixels (${share}%)`);
      if (differing < 0 || differing > total / 100) failures.push(`${name} differs in ${share}% of the pixels`);
      return failures;
    },
  };
}

// A bad-input case: the page is served with `files` in place of the data, the program must show
// exactly the dialogs `expected` (caption "Error", text matching) and go on or end as told.
function badInputCase(name, files, expected, endsProgram) {
  return {
    name,
    files,
    until: endsProgram ? ended : framesReached(5),
    check: async (page) => {
      const shown = await dialogs(page);
      const ok = shown.length === expected.length &&
        expected.every((pattern, i) => shown[i].caption === "Error" && pattern.test(shown[i].text));
      const failures = ok ? [] : [`expected dialogs ${expected}, got ${JSON.stringify(shown)}`];
      const hasEnded = await page.$eval("#ended", (e) => !e.hidden);
      if (hasEnded !== endsProgram) failures.push(endsProgram ? "the program went on" : "the program ended");
      return failures;
    },
  };
}

const brokenCg = "struct appin { float4 position : POSITION; };\nvfconn main(appin IN) { return 1 +; }\n";

// Drops a file on the page as a user would, through a DataTransfer.
async function dropFile(page, name, text) {
  await page.evaluate((name, text) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([text], name));
    document.dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, name, text);
}

const frameCount = (page) => page.evaluate(() => window.halmwindFrames());
// The message under the editor, once it matches.
const editorMessage = (page, pattern) => page.waitForFunction((source) =>
  new RegExp(source).test(document.getElementById("editor-message").textContent),
{ timeout: 30000, polling: 100 }, pattern.source).catch(async () => {
  const shown = await page.$eval("#editor-message", (m) => m.textContent);
  throw new Error(`no message matching ${pattern} under the editor within 30 s, it says "${shown}"`);
});
const editorState = (page) => page.evaluate(() => ({
  text: document.getElementById("editor-text").value,
  message: document.getElementById("editor-message").textContent,
  marked: Array.from(document.querySelectorAll("#editor-gutter .error"), (n) => Number(n.textContent)),
  band: !document.getElementById("editor-band").hidden,
}));

const fullScreenState = (page) => page.evaluate(() => ({
  fullScreen: document.fullscreenElement === document.getElementById("canvas"),
  frames: window.halmwindFrames(),
}));

// F1 held for two frames, then four frames for the new window to draw.
async function pressF1(page) {
  const from = await frameCount(page);
  await page.keyboard.down("F1");
  await framesReached(from + 2)(page);
  await page.keyboard.up("F1");
  await framesReached(from + 6)(page);
}

// Six presses of F3, each released at once, all between two frames: the page's key events as
// a quick finger gives them. Every press must flip the wire frame, so the kept frames after them
// go filled, wire, ... six times over and end filled.
const tapFrames = Array.from({ length: 36 }, (_, i) => i + 3);

async function tapSixTimes(page) {
  await framesReached(3)(page);
  await page.evaluate(() => {
    const canvas = document.getElementById("canvas");
    for (let tap = 0; tap < 6; tap++) {
      for (const type of ["keydown", "keyup"]) {
        canvas.dispatchEvent(new KeyboardEvent(type, { key: "F3", code: "F3", keyCode: 114, which: 114, bubbles: true, cancelable: true }));
      }
    }
  });
  await framesReached(tapFrames[tapFrames.length - 1])(page);
}

async function countWireFlips(page, shots) {
  let flips = 0, wire = false;
  const filled = shots[tapFrames[0]];
  for (const frame of tapFrames.slice(1)) {
    if (!shots[frame]) return -1;
    const { differing } = await countDifferences(page, filled, shots[frame]);
    const now = differing > 20000;
    if (now !== wire) flips++;
    wire = now;
  }
  return wire ? -flips : flips;
}

const cases = pictures.map(pictureCase).concat([
  {
    name: "six-taps",
    shots: tapFrames,
    until: tapSixTimes,
    check: async (page, shots) => {
      const flips = await countWireFlips(page, shots);
      return flips === 6 ? [] : [`six taps of F3 gave ${flips < 0 ? -flips + " flips, ending in wire frame" : flips + " flips"}`];
    },
  },
  {
    // Escape ends the loop; the page offers to start again and no frame follows.
    name: "escape",
    keys: "Escape@5",
    until: ended,
    check: async (page) => {
      const failures = [];
      const before = await frameCount(page);
      await pause(1000);
      const after = await frameCount(page);
      if (after !== before) failures.push(`frames went on after the end: ${before} then ${after}`);
      if (before !== 6) failures.push(`the loop ran ${before} frames; Escape was down in frame 5, so the 6th ends it`);
      return failures;
    },
  },
  {
    // Real key presses through the browser: Alt+Escape and F10 never reach the key table (the
    // program goes on), a plain Escape does (it ends).
    name: "system-keys",
    until: framesReached(3),
    check: async (page) => {
      const failures = [];
      const frames = () => frameCount(page);
      const holdFor = async (key, n) => {
        const from = await frames();
        await page.keyboard.down(key);
        await framesReached(from + n)(page);
        await page.keyboard.up(key);
      };
      await page.keyboard.down("Alt");
      await holdFor("Escape", 3);
      await page.keyboard.up("Alt");
      await holdFor("F10", 3);
      await framesReached((await frames()) + 3)(page);
      if (await page.$eval("#ended", (e) => !e.hidden)) failures.push("Alt+Escape or F10 reached the key table");
      await holdFor("Escape", 3);
      await ended(page);
      return failures;
    },
  },
  {
    // Ja: the canvas goes full screen with the click; F1 leaves it and makes the scene anew (the
    // frame count starts again with the new meadow's first frames), F1 again goes back.
    name: "full-screen",
    answer: "yes",
    until: framesReached(3),
    check: async (page) => {
      const failures = [];
      const seen = [await fullScreenState(page)];
      await pressF1(page);
      seen.push(await fullScreenState(page));
      await pressF1(page);
      seen.push(await fullScreenState(page));
      console.log("  full-screen: " + JSON.stringify(seen));
      const shown = await dialogs(page);
      if (shown.length) failures.push("dialogs shown: " + JSON.stringify(shown));
      if (seen.map((s) => s.fullScreen).join() !== "true,false,true") {
        failures.push("full screen went " + seen.map((s) => s.fullScreen).join(" then "));
      }
      return failures;
    },
  },
  {
    // A browser that refuses full screen: the desktop's message, the window stays windowed, and
    // the request keeps its value, so the first F1 asks for windowed (no message) and the
    // second for full screen again (refused again).
    name: "full-screen-refused",
    answer: "yes",
    refuseFullScreen: true,
    until: framesReached(3),
    check: async (page) => {
      const failures = [];
      const refusal = "Mode Switch Failed.\nRunning In Windowed Mode.";
      // Each dialog is answered with OK, which hands the keyboard back to the canvas.
      const answer = async () => {
        const shown = await dialogs(page);
        for (const button of await page.$$(".dialog button")) await button.click();
        return shown.filter((d) => d.caption === "Error" && d.text === refusal).length + "/" + shown.length;
      };
      const counts = [await answer()];
      await pressF1(page);
      counts.push(await answer());
      await pressF1(page);
      counts.push(await answer());
      if (counts.join() !== "1/1,0/0,1/1") failures.push("refusal dialogs after start, F1, F1: " + counts.join(", "));
      if ((await fullScreenState(page)).fullScreen) failures.push("the canvas is full screen");
      return failures;
    },
  },
  badInputCase("no-wind-cg", { "wind.cg": null }, [/^Cannot read the file 'wind\.cg'/], true),
  badInputCase("empty-wind-cg", { "wind.cg": "" }, [/wind\.cg/], true),
  badInputCase("broken-wind-cg", { "wind.cg": brokenCg }, [/wind\.cg\(2\)/], true),
  badInputCase("no-terrain", { "terrain.raw": null }, [/^Konnte die Height Map nicht finden!$/], false),
  // As on the desktop a short map is reported, and the meadow grows on what was read.
  badInputCase("short-terrain", { "terrain.raw": Buffer.alloc(1000, 7) }, [/^Die Height Map ist zu kurz \(weniger als 1048576 Bytes\)!$/], false),
  {
    // A broken wind.cg dropped on the running page goes into the editor and is applied: the
    // program goes on with the shipped program, and the compiler's message shows under the editor.
    name: "drop-broken-wind-cg",
    console: /^wind\.cg\(2\)/,
    until: async (page) => {
      await framesReached(3)(page);
      await dropFile(page, "wind.cg", brokenCg);
      await editorMessage(page, /wind\.cg\(2\)/);
      await framesReached((await frameCount(page)) + 5)(page);
    },
    check: async (page) => {
      const failures = [];
      const shown = await dialogs(page);
      if (shown.length) failures.push("dialogs shown: " + JSON.stringify(shown));
      if (await page.$eval("#ended", (e) => !e.hidden)) failures.push("the program ended");
      const editor = await editorState(page);
      if (editor.text !== brokenCg) failures.push("the editor does not hold the dropped file");
      if (editor.marked.join() !== "2") failures.push(`marked lines ${editor.marked.join() || "none"}, not line 2`);
      return failures;
    },
  },
  {
    // Without WebGL the window cannot be made: the dialog says so and the program ends.
    name: "no-webgl",
    noWebGl: true,
    until: ended,
    check: async (page) => {
      const shown = await dialogs(page);
      return shown.length === 1 && shown[0].caption === "Error" && shown[0].text === "Error Creating OpenGL Window"
        ? [] : ["expected the Error dialog of a failed window, got " + JSON.stringify(shown)];
    },
  },
]);

// --- Draws a frame, and the blades' vertices in them ---------------------------------------------
// gl4es gathers the meadow into a few WebGL draws. A draw a vertex short still passes the picture
// comparison, so each wind path's frames are counted twice: as the page draws them, and through
// gl4es's plain path (LIBGL_BEGINEND=0: every glBegin/glEnd block a draw of its own), where every
// blade must arrive as a fan of 5 vertices and two strips of 8. Both must hand the same number
// of triangles to WebGL. The clock stands still, so that the rate corner shows the same text.
// The attributes go up packed; the last counted frame must be the one they give uploaded whole
// (HALMWIND_WHOLE_UPLOAD=1), pixel for pixel.
const maxDrawsPerFrame = 80;
const countedFrames = { first: 10, last: 14 };
const drawPaths = [["draws-off", ""], ["draws-cpu", "W@1"], ["draws-vertex-program", "W@1 W@3"]];

// Per frame of countedFrames: draws, triangles, and draws by "mode/vertices"; and the last one as
// a PNG data URL.
async function countDraws(browser, url, keys, env) {
  const { page, problems } = await openPage(browser);
  try {
    await page.evaluateOnNewDocument(installDrawCounter);
    await page.evaluateOnNewDocument(installHooks, parseKeyScript(keys), [countedFrames.last]);
    await page.evaluateOnNewDocument((env) => {
      const now = Date.now();
      Date.now = () => now;
      if (env) window.halmwindHooks.env = env;
    }, env || null);
    await page.goto(url);
    await page.waitForSelector("#question:not([hidden])", { timeout: caseTimeout });
    await page.click("#no");
    await reached(countedFrames.last, caseTimeout)(page);
    if (problems.length) throw new Error(problems.join("; "));
    return await page.evaluate(({ first, last }) => {
      const d = window.halmwindFrameDraws, frames = [];
      for (let i = first; i <= last; i++) {
        const shapes = {};
        for (const [k, n] of Object.entries(d[i - 1].shapes)) shapes[k] = n - (d[i - 2].shapes[k] || 0);
        frames.push({ draws: d[i - 1].draws - d[i - 2].draws, triangles: d[i - 1].triangles - d[i - 2].triangles, shapes,
          arrayBytes: d[i - 1].arrayBytes - d[i - 2].arrayBytes });
      }
      return { frames, shot: window.halmwindShots[last] };
    }, countedFrames);
  } finally {
    await page.close();
  }
}

function drawCountCase([name, keys]) {
  return {
    name,
    keys,
    until: framesReached(3),
    check: async (page) => {
      const failures = [];
      const { frames: gathered, shot } = await countDraws(page.browser(), page.url(), keys);
      const { frames: plain } = await countDraws(page.browser(), page.url(), keys, { LIBGL_BEGINEND: "0" });
      const whole = await countDraws(page.browser(), page.url(), keys, { HALMWIND_WHOLE_UPLOAD: "1" });
      const fans = plain.map((f) => f.shapes["6/5"] || 0), strips = plain.map((f) => f.shapes["5/8"] || 0);
      console.log(`  ${name}: draws a frame ${gathered.map((f) => f.draws).join(" ")} (plain path ${plain.map((f) => f.draws).join(" ")}), ` +
        `triangles ${gathered.map((f) => f.triangles).join(" ")} (plain ${plain.map((f) => f.triangles).join(" ")})`);
      const packedBytes = gathered[gathered.length - 1].arrayBytes, wholeBytes = whole.frames[whole.frames.length - 1].arrayBytes;
      console.log(`  ${name}: vertex data a frame ${(packedBytes / 1e6).toFixed(2)} MB packed, ${(wholeBytes / 1e6).toFixed(2)} MB whole`);
      if (!(packedBytes < wholeBytes)) failures.push(`frame ${countedFrames.last}: packing left ${packedBytes} bytes of ${wholeBytes}`);
      if (!shot || shot !== whole.shot) {
        failures.push(`frame ${countedFrames.last}: the attributes uploaded packed give another picture than uploaded whole`);
      }
      gathered.forEach((f, i) => {
        const frame = countedFrames.first + i;
        if (f.draws > maxDrawsPerFrame) failures.push(`frame ${frame}: ${f.draws} draws, more than ${maxDrawsPerFrame}`);
        if (f.triangles !== plain[i].triangles) {
          failures.push(`frame ${frame}: ${f.triangles} triangles drawn, the plain path draws ${plain[i].triangles}`);
        }
        if (fans[i] < 2000 || strips[i] < 4000) {
          failures.push(`frame ${frame}: the plain path drew ${fans[i]} fans of 5 and ${strips[i]} strips of 8, not every blade`);
        }
      });
      return failures;
    },
  };
}

// --- The key buttons and the licences under the canvas -----------------------------------------
// Per frame: the meadow's green pixels (unlit blades are pure green, the ground yellow) and red
// ones, and sums over the yellow pixels of the overlay's light line ("Beleuchtung (F4): ...") and
// of its wind lines at the bottom, each of which changes with the lines' text.
function installFrameColours() {
  window.halmwindColours = [];
  window.halmwindOnFrame = (frame, canvas) => {
    const c = document.createElement("canvas");
    c.width = canvas.width;
    c.height = canvas.height;
    const g = c.getContext("2d");
    g.drawImage(canvas, 0, 0);
    const data = g.getImageData(0, 0, c.width, c.height).data;
    const counts = { green: 0, red: 0, lightLine: 0, windLines: 0 };
    for (let i = 0; i < data.length; i += 4) {
      const [r, gr, b] = [data[i], data[i + 1], data[i + 2]];
      if (gr > 60 && gr > r + 40) counts.green++;
      if (r > 120 && gr < 60 && b < 60) counts.red++;
      const x = (i / 4) % c.width, y = Math.floor(i / 4 / c.width);
      if (x < 400 && r > 180 && gr > 180 && b < 100) {
        if (y >= 22 && y < 48) counts.lightLine += x * 1000 + y;
        if (y >= 500) counts.windLines += x * 1000 + y;
      }
    }
    window.halmwindColours[frame] = counts;
  };
}

// The cases below count colours from frame 5 on, once the page runs.
async function coloursFromFrame5(page) {
  await framesReached(5)(page);
  await page.evaluate(installFrameColours);
}

const keyButtonsCase = {
  // A held key through its button (Page Down, held across frames, brings the meadow nearer frame by
  // frame) and a switch through a short tap (F4: the point light, which stays on after the tap).
  name: "key-buttons",
  until: coloursFromFrame5,
  check: async (page) => {
    const failures = [];
    const frames = () => frameCount(page);
    const green = (n) => page.evaluate((n) => window.halmwindColours[n].green, n);
    const centre = async (key) => {
      const button = await page.$(`button.key[data-key="${key}"]`);
      await button.evaluate((b) => b.scrollIntoView({ block: "center" }));
      const box = await button.boundingBox();
      return [box.x + box.width / 2, box.y + box.height / 2];
    };
    await framesReached((await frames()) + 2)(page);
    const before = await green(await frames());
    await page.mouse.move(...(await centre(34)));
    await page.mouse.down();
    const pressed = await frames();
    await framesReached(pressed + 10)(page);
    const midway = await green(await frames());
    await framesReached(pressed + 20)(page);
    const held = await green(await frames());
    await page.mouse.up();
    console.log(`  key-buttons: green pixels ${before}, held Page Down ${midway} then ${held}`);
    if (!(before < midway && midway < held && held > before * 1.05)) {
      failures.push(`holding the Page Down button did not bring the meadow nearer frame by frame: ${before}, ${midway}, ${held}`);
    }
    await framesReached((await frames()) + 3)(page);
    // A tap quicker than a frame (pointer down and up in one task) must count once: the overlay's
    // light line then says "Punktlicht" instead of "Standard". A tap lost, or counted twice,
    // leaves the line as it was. (The lit blades' look follows the normal the last glyph of the
    // rate corner left, so the meadow's pixels would not tell.)
    const lightLine = (n) => page.evaluate((n) => window.halmwindColours[n].lightLine, n);
    const standard = await lightLine(await frames());
    await page.$eval('button.key[data-key="115"]', (button) => {
      const options = { pointerId: 7, pointerType: "touch", isPrimary: true, bubbles: true, cancelable: true };
      button.dispatchEvent(new PointerEvent("pointerdown", options));
      button.dispatchEvent(new PointerEvent("pointerup", options));
    });
    await framesReached((await frames()) + 6)(page);
    const afterTap = await lightLine(await frames());
    await framesReached((await frames()) + 6)(page);
    const later = await lightLine(await frames());
    console.log(`  key-buttons: the light's overlay line ${standard}, after a tap on F4 ${afterTap}, 6 frames on ${later}`);
    if (afterTap === standard || later !== afterTap) failures.push("a tap on the F4 button did not switch the point light once");
    if (await page.$eval("#ended", (e) => !e.hidden)) failures.push("the program ended");
    return failures;
  },
};

const noticesCase = {
  // The page links Halmwind's licence and the third-party notices, and the folder holds both.
  name: "licences",
  until: framesReached(2),
  check: async (page) => {
    const failures = [];
    const links = await page.$$eval("#licences a", (as) => as.map((a) => a.href));
    const expected = {
      "LICENSE.txt": [/MIT License|Permission is hereby granted/, /The Halmwind authors/],
      "THIRD-PARTY-NOTICES.txt": [/gl4es/, /Portions of this software are copyright © \d{4} The FreeType/, /SGI FREE SOFTWARE LICENSE B/,
        /SIL OPEN FONT LICENSE Version 1\.1/, /emscripten/i],
    };
    for (const [name, patterns] of Object.entries(expected)) {
      const link = links.find((href) => href.endsWith("/" + name));
      if (!link) {
        failures.push(`the page does not link ${name}`);
        continue;
      }
      const { status, text } = await page.evaluate(async (url) => {
        const response = await fetch(url);
        return { status: response.status, text: await response.text() };
      }, link);
      if (status !== 200) failures.push(`${name}: HTTP ${status}`);
      for (const pattern of patterns) if (!pattern.test(text)) failures.push(`${name} lacks ${pattern}`);
    }
    return failures;
  },
};

// --- The editor of wind.cg ------------------------------------------------------------------------
// The colours of the frame `n` frames from now.
async function coloursAfter(page, n) {
  const frame = (await frameCount(page)) + n;
  await framesReached(frame)(page);
  return page.evaluate((frame) => window.halmwindColours[frame], frame);
}

async function setEditorText(page, text) {
  await page.$eval("#editor-text", (area, text) => {
    area.value = text;
    area.dispatchEvent(new Event("input"));
  }, text);
}

const shippedCg = fs.readFileSync(path.join(root, "data", "wind.cg"), "utf8");
const redCg = shippedCg.replace("OUT.Col0 = IN.color;", "OUT.Col0 = float4(1.0, 0.0, 0.0, 1.0);");
// The red program with an error on one line, of the same size as the red program.
const brokenRedCg = redCg.replace("float k = 1.0;", "float k = 1.+;");
const brokenRedLine = redCg.split("\n").findIndex((line) => line.includes("float k = 1.0;")) + 1;
const isRed = (c) => c.red > 30000 && c.green < 2000;
const isGreen = (c) => c.green > 30000 && c.red < 2000;

const editorApplyCase = {
  // On the vertex program's path: the red program applied with Ctrl+Enter paints the blades red,
  // a broken one applied with the button leaves the red one drawing with the message under the
  // editor and its line marked, and Zurücksetzen brings the shipped program back. The clock
  // stands still, so that the broken program, of the red one's size, is saved within the same
  // second of the file system's clock as the red one: it must still be taken up.
  name: "editor-apply",
  keys: "W@1 W@3",
  clockStill: true,
  console: /^wind\.cg\(\d+\)/,
  until: coloursFromFrame5,
  check: async (page) => {
    if (redCg === shippedCg || brokenRedCg.length !== redCg.length || brokenRedLine < 1) {
      return ["data/wind.cg no longer has the lines the case changes"];
    }
    const failures = [];
    let editor = await editorState(page);
    if (editor.text !== shippedCg) failures.push("the editor does not show the page's wind.cg");
    const shipped = await coloursAfter(page, 2);

    await setEditorText(page, redCg);
    await page.focus("#editor-text");
    await page.keyboard.down("Control");
    await page.keyboard.press("Enter");
    await page.keyboard.up("Control");
    const red = await coloursAfter(page, 4);

    await setEditorText(page, brokenRedCg);
    await page.click("#editor-apply");
    await editorMessage(page, /\S/);
    const broken = await coloursAfter(page, 5);
    editor = await editorState(page);
    const ended = await page.$eval("#ended", (e) => !e.hidden);

    // Between two frames: the very next frame draws with the shipped program.
    const resetAt = await page.evaluate(() => {
      document.getElementById("editor-reset").click();
      return window.halmwindFrames();
    });
    await framesReached(resetAt + 1)(page);
    const reset = await page.evaluate((frame) => window.halmwindColours[frame], resetAt + 1);
    const afterReset = await editorState(page);
    console.log(`  editor-apply: red/green pixels shipped ${shipped.red}/${shipped.green}, red ${red.red}/${red.green}, ` +
      `broken ${broken.red}/${broken.green}, reset ${reset.red}/${reset.green}; message "${editor.message}"`);

    if (!isGreen(shipped)) failures.push("the shipped program does not draw green blades");
    if (!isRed(red)) failures.push("the red program applied with Ctrl+Enter does not draw");
    if (ended) failures.push("the broken program ended the program");
    if (!isRed(broken)) failures.push("the broken program did not leave the red one drawing");
    if (!new RegExp(`^wind\\.cg\\(${brokenRedLine}\\): error`).test(editor.message)) {
      failures.push(`the message under the editor does not name line ${brokenRedLine}: "${editor.message}"`);
    }
    if (editor.marked.join() !== String(brokenRedLine) || !editor.band) {
      failures.push(`marked lines ${editor.marked.join() || "none"} (band ${editor.band}), not line ${brokenRedLine}`);
    }
    if (!isGreen(reset)) failures.push("the frame after Zurücksetzen does not draw green blades");
    if (afterReset.text !== shippedCg) failures.push("Zurücksetzen did not restore the shipped text");
    if (afterReset.message || afterReset.marked.length || afterReset.band) failures.push("the message or the mark stayed after a good program");
    const shown = await dialogs(page);
    if (shown.length) failures.push("dialogs shown: " + JSON.stringify(shown));
    return failures;
  },
};

const editorKeysCase = {
  // Keys typed in the editor stay there: "x" typed and held leaves the wind's strength as it was.
  // A click on the canvas gives the keys back (X then strengthens the wind), and an X held on the
  // canvas while the editor takes the focus is let go.
  name: "editor-keys",
  keys: "W@1",
  until: coloursFromFrame5,
  check: async (page) => {
    const failures = [];
    const holdX = async (n) => {
      await page.keyboard.down("x");
      await framesReached((await frameCount(page)) + n)(page);
      await page.keyboard.up("x");
    };
    const before = (await coloursAfter(page, 1)).windLines;
    await page.click("#editor-text");
    await page.keyboard.type("x".repeat(20));
    await holdX(6);
    const typed = (await coloursAfter(page, 2)).windLines;
    if (!(await editorState(page)).text.includes("x".repeat(20))) failures.push("the typed x did not reach the editor");
    if (typed !== before) failures.push("x typed in the editor changed the overlay's wind lines");

    await page.click("#canvas");
    await holdX(6);
    const onCanvas = (await coloursAfter(page, 2)).windLines;
    if (onCanvas === typed) failures.push("after a click on the canvas, X did not change the wind's strength");

    await page.keyboard.down("x");
    await framesReached((await frameCount(page)) + 2)(page);
    await page.click("#editor-text");
    await page.keyboard.up("x");
    const released = (await coloursAfter(page, 2)).windLines;
    const later = (await coloursAfter(page, 6)).windLines;
    if (later !== released) failures.push("X held on the canvas stayed down after the editor took the focus");
    console.log(`  editor-keys: wind lines ${before}, after x in the editor ${typed}, after X on the canvas ${onCanvas}, ` +
      `X let go in the editor ${released} then ${later}`);
    return failures;
  },
};

cases.push(...drawPaths.map(drawCountCase), keyButtonsCase, noticesCase, editorApplyCase, editorKeysCase);

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  const { browser, close } = await launchBrowser();
  let passed = 0, failed = 0;
  try {
    const only = process.env.WEB_CASES ? process.env.WEB_CASES.split(",") : null;
    for (const webCase of cases.filter((c) => !only || only.includes(c.name))) {
      const started = Date.now();
      const failures = await runCase(browser, webCase);
      const seconds = ((Date.now() - started) / 1000).toFixed(1);
      if (failures.length) {
        failed++;
        console.log(`FAIL ${webCase.name} (${seconds} s)`);
        for (const f of failures) console.log("  " + f);
      } else {
        passed++;
        console.log(`ok   ${webCase.name} (${seconds} s)`);
      }
    }
  } finally {
    await close();
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
