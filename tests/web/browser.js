// browser.js -- what the browser check and the benchmark page share: the dist folder on a loopback
// port, Debian's headless Chromium on SwiftShader, and the per-frame hooks that press scripted
// keys, keep chosen frames and time every frame.
"use strict";

const fs = require("fs");
const http = require("http");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");

const browserPath = process.env.CHROMIUM || "/usr/bin/chromium-headless-shell";

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".txt": "text/plain; charset=utf-8" };

// DIST_DIR on a loopback port. `files` replaces some of its files: a name mapped to null is
// answered with 404, one mapped to a string or Buffer with that content.
function serve(distDir, files = {}) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/^\/+/, "") || "index.html";
    const file = path.join(distDir, path.basename(name));
    const type = types[path.extname(file)] || "application/octet-stream";
    if (name in files && files[name] !== null) {
      response.writeHead(200, { "Content-Type": type });
      response.end(files[name]);
    } else if (name in files || !fs.existsSync(file)) {
      response.writeHead(404);
      response.end();
    } else {
      response.writeHead(200, { "Content-Type": type });
      fs.createReadStream(file).pipe(response);
    }
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// The headless shell with WebGL on its own SwiftShader, in a profile of its own that close()
// removes again.
async function launchBrowser() {
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
  return {
    browser,
    close: async () => {
      await browser.close();
      fs.rmSync(profile, { recursive: true, force: true });
    },
  };
}

// A new page of the demo's size, with the problems it shows collected as they come: uncaught
// exceptions, and console errors other than those `ignored` accepts.
async function openPage(browser, ignored = () => false) {
  const page = await browser.newPage();
  const problems = [];
  page.on("console", (m) => { if (m.type() === "error" && !ignored(m.text())) problems.push("console: " + m.text()); });
  page.on("pageerror", (e) => problems.push("uncaught: " + e.message));
  await page.setViewport({ width: 900, height: 720 });
  return { page, problems };
}

// Loads the demo from `server` and answers its start-up question with the button `answer`
// ("#yes" or "#no") as soon as it shows.
async function answerQuestion(page, server, answer, timeout) {
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForSelector("#question:not([hidden])", { timeout });
  await page.click(answer);
}

// Installed before the page's own scripts (page.evaluateOnNewDocument): presses the script's keys
// on the canvas before each frame, keeps the canvas of each shot frame while it still holds that
// frame, and notes when each frame's work began and ended (performance.now(), so milliseconds
// since navigation start).
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
  window.halmwindFrameTimes = { begun: [], ended: [] };
  window.halmwindFrameDraws = [];
  window.halmwindHooks = {
    before: () => {
      window.halmwindFrameTimes.begun.push(performance.now());
      const next = frame + 1;
      const want = new Set(spans.filter((s) => next >= s.first && next <= s.last).map((s) => s.key));
      for (const key of [...down]) if (!want.has(key)) { press("keyup", key); down.delete(key); }
      for (const key of want) if (!down.has(key)) { press("keydown", key); down.add(key); }
    },
    after: () => {
      frame++;
      window.halmwindFrameTimes.ended.push(performance.now());
      if (window.halmwindDrawTotals) {
        const t = window.halmwindDrawTotals;
        window.halmwindFrameDraws.push({ draws: t.draws, vertices: t.vertices, triangles: t.triangles, shapes: { ...t.shapes }, arrayBytes: t.arrayBytes });
      }
      if (window.halmwindOnFrame) window.halmwindOnFrame(frame, document.getElementById("canvas"));
      if (shotFrames.includes(frame)) {
        window.halmwindShots[frame] = document.getElementById("canvas").toDataURL("image/png");
      }
    },
  };
}

// Installed before the page's own scripts: wraps the WebGL context's draw calls and keeps running
// totals in window.halmwindDrawTotals (draws, vertices and triangles handed to the draws, the draws
// of each mode and size, and the bytes of vertex data uploaded), which installHooks notes after
// every frame. The count is the
// page's, not the product's.
function installDrawCounter() {
  const totals = { draws: 0, vertices: 0, triangles: 0, shapes: {}, arrayBytes: 0 };
  const shape = (mode, count) => { const k = mode + "/" + count; totals.shapes[k] = (totals.shapes[k] || 0) + 1; };
  const triangles = (mode, count) => mode === 4 ? Math.floor(count / 3) : mode === 5 || mode === 6 ? Math.max(0, count - 2) : 0;
  for (const proto of [WebGLRenderingContext.prototype, window.WebGL2RenderingContext && WebGL2RenderingContext.prototype]) {
    if (!proto) continue;
    const drawArrays = proto.drawArrays, drawElements = proto.drawElements, bufferData = proto.bufferData;
    proto.bufferData = function (target, data, usage) {
      if (target === 0x8892 /* ARRAY_BUFFER */ && data && data.byteLength) totals.arrayBytes += data.byteLength;
      return bufferData.call(this, target, data, usage);
    };
    proto.drawArrays = function (mode, first, count) {
      totals.draws++;
      totals.vertices += count;
      totals.triangles += triangles(mode, count);
      shape(mode, count);
      return drawArrays.call(this, mode, first, count);
    };
    proto.drawElements = function (mode, count, type, offset) {
      totals.draws++;
      totals.vertices += count;
      totals.triangles += triangles(mode, count);
      shape(mode, count);
      return drawElements.call(this, mode, count, type, offset);
    };
  }
  window.halmwindDrawTotals = totals;
}

// Waits for frame n, or for the end of the program, which shows no more frames.
const framesReached = (n, timeout) => (page) =>
  page.waitForFunction((n) => window.halmwindFrames() >= n || !document.getElementById("ended").hidden,
    { timeout, polling: 100 }, n);

module.exports = { serve, launchBrowser, openPage, answerQuestion, installHooks, installDrawCounter, framesReached };
