// check.js -- drives the web build in Debian's headless Chromium: answers the start-up question,
// presses scripted keys by frame number, keeps chosen frames as PNG and checks what the page shows.
//   node tests/web/check.js DIST_DIR OUT_DIR
"use strict";

const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");
const { parseKeyScript } = require("./key_script");

const [distDir, outDir] = process.argv.slice(2);
if (!distDir || !outDir) {
  console.error("usage: node check.js DIST_DIR OUT_DIR");
  process.exit(2);
}
const root = path.resolve(__dirname, "..", "..");
const browserPath = process.env.CHROMIUM || "/usr/bin/chromium-headless-shell";
// At about 8 frames a second a case of a hundred frames takes some 15 s.
const caseTimeout = 120000;

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm" };

// The dist folder on a loopback port; `missing` names files answered with 404.
function serve(missing) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/+/, "") || "index.html";
    const file = path.join(distDir, path.basename(name));
    if (missing.has(name) || !fs.existsSync(file)) {
      response.writeHead(404);
      response.end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
    fs.createReadStream(file).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// Installed before the page's own scripts: presses the script's keys on the canvas before each
// frame and keeps the canvas of each shot frame while it still holds that frame.
function installHooks(spans, shotFrames) {
  let frame = 0;
  const down = new Set();
  const press = (type, key) => {
    const event = new KeyboardEvent(type, { keyCode: key, which: key, bubbles: true, cancelable: true });
    if (event.keyCode !== key) Object.defineProperty(event, "keyCode", { get: () => key });
    document.getElementById("canvas").dispatchEvent(event);
  };
  window.halmwindShots = {};
  window.halmwindFrames = () => frame;
  window.halmwindHooks = {
    before: () => {
      const next = frame + 1;
      const want = new Set(spans.filter((s) => next >= s.first && next <= s.last).map((s) => s.key));
      for (const key of [...down]) if (!want.has(key)) { press("keyup", key); down.delete(key); }
      for (const key of want) if (!down.has(key)) { press("keydown", key); down.add(key); }
    },
    after: () => {
      frame++;
      if (shotFrames.includes(frame)) {
        window.halmwindShots[frame] = document.getElementById("canvas").toDataURL("image/png");
      }
    },
  };
}

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

async function runCase(browser, spec) {
  const server = await serve(new Set(spec.missing || []));
  const page = await browser.newPage();
  const problems = [];
  page.on("console", (m) => { if (m.type() === "error") problems.push("console: " + m.text()); });
  page.on("pageerror", (e) => problems.push("uncaught: " + e.message));
  try {
    await page.setViewport({ width: 900, height: 720 });
    const spans = parseKeyScript(spec.keys || "");
    await page.evaluateOnNewDocument(installHooks, spans, spec.shots || []);
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.waitForSelector("#question:not([hidden])", { timeout: caseTimeout });
    await page.click("#no");
    await spec.until(page);
    await page.screenshot({ path: path.join(outDir, spec.name + "-page.png") });
    const shots = await page.evaluate(() => window.halmwindShots);
    for (const [frame, url] of Object.entries(shots)) {
      fs.writeFileSync(path.join(outDir, `${spec.name}-frame${frame}.png`), Buffer.from(url.split(",")[1], "base64"));
    }
    const failures = await spec.check(page, shots, problems);
    return failures.concat(spec.consoleErrorsExpected ? [] : problems);
  } catch (error) {
    return [String(error.message || error)].concat(problems);
  } finally {
    await page.close();
    server.close();
  }
}

const dialogs = (page) => page.$$eval(".dialog", (boxes) =>
  boxes.map((b) => ({ caption: b.querySelector("h1").textContent, text: b.querySelector("p").textContent })));
const framesReached = (n) => (page) =>
  page.waitForFunction((n) => window.halmwindFrames() >= n, { timeout: caseTimeout, polling: 100 }, n);
const reference = (name) => "data:image/png;base64," + fs.readFileSync(path.join(root, "docs", name)).toString("base64");

const cases = [
  {
    // The first meadow without wind, against the desktop's picture of it.
    name: "meadow",
    shots: [30],
    until: framesReached(30),
    check: async (page, shots) => {
      const failures = [];
      const shown = await dialogs(page);
      if (shown.length) failures.push("dialogs shown: " + JSON.stringify(shown));
      if (!shots[30]) return failures.concat("frame 30 was not kept");
      const { differing, total } = await countDifferences(page, shots[30], reference("meadow.png"));
      console.log(`  meadow: ${differing} of ${total} pixels differ from docs/meadow.png`);
      if (differing < 0 || differing > total / 100) failures.push(`meadow differs in ${differing} of ${total} pixels`);
      return failures;
    },
  },
  {
    // Escape ends the loop; the page offers to start again.
    name: "escape",
    keys: "Escape@5",
    until: (page) => page.waitForSelector("#ended:not([hidden])", { timeout: caseTimeout }),
    check: async (page) => {
      const failures = [];
      const before = await page.evaluate(() => window.halmwindFrames());
      await new Promise((r) => setTimeout(r, 1000));
      const after = await page.evaluate(() => window.halmwindFrames());
      if (after !== before) failures.push(`frames went on after the end: ${before} then ${after}`);
      if (before > 6) failures.push(`the loop ran ${before} frames; Escape was down in frame 5`);
      return failures;
    },
  },
  {
    // Without wind.cg the program says so in a dialog captioned "Error", and ends.
    name: "no-wind-cg",
    missing: ["wind.cg"],
    consoleErrorsExpected: false,
    until: (page) => page.waitForSelector("#ended:not([hidden])", { timeout: caseTimeout }),
    check: async (page) => {
      const shown = await dialogs(page);
      const ok = shown.length === 1 && shown[0].caption === "Error" && /wind\.cg/.test(shown[0].text);
      return ok ? [] : ["expected one Error dialog naming wind.cg, got " + JSON.stringify(shown)];
    },
  },
];

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "halmwind-chromium-"));
  const browser = await puppeteer.launch({
    executablePath: browserPath,
    headless: "shell",
    args: [
      "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--no-sandbox",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      "--no-first-run", `--user-data-dir=${profile}`,
    ],
  });
  let passed = 0, failed = 0;
  try {
    const only = process.env.WEB_CASES ? process.env.WEB_CASES.split(",") : null;
    for (const spec of cases.filter((c) => !only || only.includes(c.name))) {
      const started = Date.now();
      const failures = await runCase(browser, spec);
      const seconds = ((Date.now() - started) / 1000).toFixed(1);
      if (failures.length) {
        failed++;
        console.log(`FAIL ${spec.name} (${seconds} s)`);
        for (const f of failures) console.log("  " + f);
      } else {
        passed++;
        console.log(`ok   ${spec.name} (${seconds} s)`);
      }
    }
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed ? 1 : 0);
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
