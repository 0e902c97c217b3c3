// bench.js -- the web build's benchmark page: frame rates of the three wind paths in headless
// SwiftShader beside the native build's on llvmpipe, taken in one run on one machine, the paths'
// cost over Off, start to first frame and the size of the download. It measures and prints;
// it asserts nothing.
//   node tests/web/bench.js DIST_DIR NATIVE_BUILD_DIR [JSON_OUT]
// BENCH_FRAMES (default 150) frames are timed after BENCH_WARMUP (default 40), in BENCH_ROUNDS
// (default 3) rounds that each take the web paths and then the native ones, so that both sides
// meet the same moods of a shared machine; the medians are compared. BENCH_PROFILE=1 adds a CPU
// profile of the timed frames of each path in the first round and prints the functions that cost
// most; BENCH_TRACE=1 records Chromium's trace of them and prints where the frame's time goes,
// thread by thread. The WebGL draws a frame are counted by wrapping the page's WebGL context.
"use strict";

const childProcess = require("child_process");
const fs = require("fs");
const path = require("path");
const zlib = require("zlib");
const { serve, launchBrowser, openPage, answerQuestion, installHooks, installDrawCounter, framesReached } = require("./browser");
const { parseKeyScript } = require("./key_script");

const [distDir, nativeBuild, jsonOut] = process.argv.slice(2);
if (!distDir || !nativeBuild) {
  console.error("usage: node bench.js DIST_DIR NATIVE_BUILD_DIR [JSON_OUT]");
  process.exit(2);
}
const root = path.resolve(__dirname, "..", "..");

function countFromEnv(name, fallback) {
  const text = process.env[name];
  if (text === undefined) return fallback;
  if (!/^[1-9][0-9]*$/.test(text)) {
    console.error(`bench: ${name}=${text} is not a positive whole number`);
    process.exit(2);
  }
  return Number(text);
}
const timedFrames = countFromEnv("BENCH_FRAMES", 150);
const warmupFrames = countFromEnv("BENCH_WARMUP", 40);
const rounds = countFromEnv("BENCH_ROUNDS", 3);
const profiling = process.env.BENCH_PROFILE === "1";
const tracing = process.env.BENCH_TRACE === "1";
// The goals the web build is held to, printed beside the figures.
const goals = { ratio: 0.7, busyMs: 15, draws: 80 };

// The paths, named as the native frame benchmarks name them: steady wind, the first camera. W steps the
// path Off -> processor -> vertex program; a held key counts once.
const paths = [
  { name: "Off", keys: "" },
  { name: "Cpu", keys: "W@1" },
  { name: "VertexShader", keys: "W@1 W@3" },
];

// Notes, before the page's own scripts run, when the start-up question is shown and when it is
// answered, in milliseconds since navigation start.
function noteStartUp() {
  window.halmwindStartUp = {};
  document.addEventListener("DOMContentLoaded", () => {
    const question = document.getElementById("question");
    new MutationObserver(() => {
      if (!question.hidden && window.halmwindStartUp.asked === undefined) {
        window.halmwindStartUp.asked = performance.now();
      }
    }).observe(question, { attributes: true, attributeFilter: ["hidden"] });
    document.getElementById("no").addEventListener("click", () => {
      window.halmwindStartUp.answered = performance.now();
    }, { capture: true });
  });
}

const timeout = (frames) => 60000 + frames * 1000;

// Self time per function of a CPU profile, the largest first.
function topFunctions(profile, count) {
  const self = new Map();
  const byId = new Map(profile.nodes.map((n) => [n.id, n]));
  const deltas = profile.timeDeltas;
  for (let i = 0; i < profile.samples.length; i++) {
    const node = byId.get(profile.samples[i]);
    const name = node.callFrame.functionName || "(anonymous " + path.basename(node.callFrame.url || "") + ")";
    self.set(name, (self.get(name) || 0) + (deltas[i] || 0) / 1000);
  }
  const total = [...self.values()].reduce((a, b) => a + b, 0);
  return [...self.entries()].sort((a, b) => b[1] - a[1]).slice(0, count)
    .map(([name, ms]) => ({ name, ms, share: ms / total }));
}

const traceCategories = ["toplevel", "devtools.timeline", "v8.execute", "blink", "cc", "viz", "gpu", "gpu.angle",
  "disabled-by-default-devtools.timeline"];

// Where a traced stretch of frames went: per thread, the time in its outermost trace events
// (nested ones are inside them) per frame, and the event names with the most time of their own.
function threadTimes(trace, spanMs, frames) {
  const names = new Map();
  for (const e of trace.traceEvents) {
    if (e.ph === "M" && e.name === "thread_name") names.set(`${e.pid}/${e.tid}`, e.args.name);
    if (e.ph === "M" && e.name === "process_name") names.set(`${e.pid}`, e.args.name);
  }
  const threads = new Map();
  for (const e of trace.traceEvents) {
    if (e.ph !== "X" || !e.dur) continue;
    const key = `${e.pid}/${e.tid}`;
    if (!threads.has(key)) threads.set(key, []);
    threads.get(key).push(e);
  }
  const result = [];
  for (const [key, events] of threads) {
    events.sort((a, b) => a.ts - b.ts || b.dur - a.dur);
    // The outermost events give the thread's busy time; each event's own time (less the events
    // inside it) goes to its name.
    let total = 0;
    const stack = [], byName = new Map();
    const own = (e, ms) => byName.set(e.name, (byName.get(e.name) || 0) + ms);
    for (const e of events) {
      while (stack.length && e.ts >= stack[stack.length - 1].ts + stack[stack.length - 1].dur) stack.pop();
      if (!stack.length) total += e.dur / 1000;
      else own(stack[stack.length - 1], -e.dur / 1000);
      own(e, e.dur / 1000);
      stack.push(e);
    }
    const top = [...byName.entries()].sort((a, b) => b[1] - a[1]).slice(0, 4)
      .map(([name, ms]) => ({ name, msPerFrame: ms / frames }));
    result.push({ thread: `${names.get(key.split("/")[0]) || "?"}: ${names.get(key) || key}`, msPerFrame: total / frames, share: total / spanMs, top });
  }
  return result.sort((a, b) => b.msPerFrame - a.msPerFrame).slice(0, 8);
}

async function measurePath(browser, server, webPath, withProfile, withTrace) {
  const { page, problems } = await openPage(browser);
  const fetched = [];
  page.on("response", (r) => fetched.push(decodeURIComponent(new URL(r.url()).pathname).replace(/^\/+/, "") || "index.html"));
  try {
    await page.evaluateOnNewDocument(installDrawCounter);
    await page.evaluateOnNewDocument(installHooks, parseKeyScript(webPath.keys), []);
    await page.evaluateOnNewDocument(noteStartUp);
    await answerQuestion(page, server, "#no", timeout(0));
    await framesReached(warmupFrames, timeout(warmupFrames))(page);
    let cdp = null;
    if (withProfile) {
      cdp = await page.createCDPSession();
      await cdp.send("Profiler.enable");
      await cdp.send("Profiler.setSamplingInterval", { interval: 200 });
      await cdp.send("Profiler.start");
    }
    if (withTrace) await page.tracing.start({ categories: traceCategories });
    await framesReached(warmupFrames + timedFrames, timeout(timedFrames))(page);
    const profile = cdp ? (await cdp.send("Profiler.stop")).profile : null;
    const trace = withTrace ? JSON.parse(Buffer.from(await page.tracing.stop()).toString("utf8")) : null;
    const result = await page.evaluate((first, count) => {
      const { begun, ended } = window.halmwindFrameTimes;
      let busy = 0;
      for (let i = first; i < first + count; i++) busy += ended[i] - begun[i];
      const draws = window.halmwindFrameDraws;
      return {
        ended: !document.getElementById("ended").hidden,
        dialogs: document.querySelectorAll(".dialog").length,
        // Frame `first` ends the warm-up; the timed frames are the `count` after it.
        seconds: (ended[first + count - 1] - ended[first - 1]) / 1000,
        busyMs: busy / count,
        drawsPerFrame: (draws[first + count - 1].draws - draws[first - 1].draws) / count,
        arrayBytesPerFrame: (draws[first + count - 1].arrayBytes - draws[first - 1].arrayBytes) / count,
        startUp: { ...window.halmwindStartUp, firstFrame: ended[0] },
      };
    }, warmupFrames, timedFrames);
    if (result.ended || result.dialogs) problems.push("the program ended or showed a dialog");
    if (problems.length) throw new Error(`${webPath.name}: ${problems.join("; ")}`);
    return {
      fps: timedFrames / result.seconds,
      msPerFrame: result.seconds * 1000 / timedFrames,
      busyMs: result.busyMs,
      drawsPerFrame: result.drawsPerFrame,
      arrayBytesPerFrame: result.arrayBytesPerFrame,
      trace: trace ? threadTimes(trace, result.seconds * 1000, timedFrames) : null,
      startUp: result.startUp,
      fetched: [...new Set(fetched)],
      profile: profile ? topFunctions(profile, 12) : null,
    };
  } finally {
    await page.close();
  }
}

// The files the page fetched, raw and gzip-compressed (level 9, as a server would send them).
function downloadSizes(names) {
  return names.filter((name) => fs.existsSync(path.join(distDir, name))).map((name) => {
    const bytes = fs.readFileSync(path.join(distDir, name));
    return { name, raw: bytes.length, gzip: zlib.gzipSync(bytes, { level: 9 }).length };
  });
}

// The native build's frame benchmarks of the same paths under a virtual display where there is no
// display, as make bench runs them.
function nativeFrames() {
  const bench = path.join(nativeBuild, "halmwind_bench");
  if (!fs.existsSync(bench)) throw new Error(`no ${bench}: build the native program first (make build)`);
  // Google Benchmark names them with a /real_time suffix (they time wall clock, not CPU).
  const filter = "^Frame/(Off|Cpu|VertexShader)/Steady/initialCamera/|^FrameCostOverOff/Steady/initialCamera/withOverlay/";
  const command = [bench, `--benchmark_filter=${filter}`, "--benchmark_format=json"];
  const run = process.env.DISPLAY
    ? childProcess.spawnSync(command[0], command.slice(1), { encoding: "utf8", maxBuffer: 1 << 24 })
    : childProcess.spawnSync("bash", [path.join(root, "tools", "headless.sh"), ...command], { encoding: "utf8", maxBuffer: 1 << 24 });
  if (run.status !== 0) throw new Error(`halmwind_bench failed (${run.status}): ${run.stderr.trim()}`);
  const report = JSON.parse(run.stdout || '{"benchmarks": []}');
  const named = (name) => {
    const b = report.benchmarks.find((x) => x.name === name + "/real_time");
    if (!b || b.error_occurred) throw new Error(`halmwind_bench gave no ${name}${b ? ": " + b.error_message : ""}`);
    return b;
  };
  const cost = named("FrameCostOverOff/Steady/initialCamera/withOverlay");
  return {
    fps: Object.fromEntries(paths.map((p) => [p.name, named(`Frame/${p.name}/Steady/initialCamera`).fps])),
    interleavedMs: { Off: cost.offMs, Cpu: cost.cpuMs, VertexShader: cost.shaderMs },
  };
}

const fixed = (x, digits = 1) => x.toFixed(digits);
const kib = (bytes) => (bytes / 1024).toFixed(0) + " KiB";

const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b), middle = sorted.length >> 1;
  return sorted.length & 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};

async function main() {
  const server = await serve(distDir);
  const runs = [];
  try {
    for (let round = 0; round < rounds; round++) {
      const { browser, close } = await launchBrowser();
      const web = {};
      try {
        for (const webPath of paths) {
          web[webPath.name] = await measurePath(browser, server, webPath, profiling && round === 0, tracing && round === 0);
          console.log(`bench: round ${round + 1}/${rounds}: web ${webPath.name}: ${fixed(web[webPath.name].fps)} frames a second`);
        }
      } finally {
        await close();
      }
      runs.push({ web, native: nativeFrames() });
    }
  } finally {
    server.close();
  }
  // The first round's page load is the cold one, and only it is profiled or traced.
  const first = runs[0].web;
  const web = Object.fromEntries(paths.map((p) => {
    const all = runs.map((r) => r.web[p.name]);
    return [p.name, { ...first[p.name], fps: median(all.map((w) => w.fps)), msPerFrame: median(all.map((w) => w.msPerFrame)),
      busyMs: median(all.map((w) => w.busyMs)), drawsPerFrame: median(all.map((w) => w.drawsPerFrame)),
      arrayBytesPerFrame: median(all.map((w) => w.arrayBytesPerFrame)),
      ratios: runs.map((r) => r.web[p.name].fps / r.native.fps[p.name]) }];
  }));
  const native = {
    fps: Object.fromEntries(paths.map((p) => [p.name, median(runs.map((r) => r.native.fps[p.name]))])),
    interleavedMs: Object.fromEntries(paths.map((p) => [p.name, median(runs.map((r) => r.native.interleavedMs[p.name]))])),
  };
  const sizes = downloadSizes(web.Off.fetched);

  console.log(`\nFrames a second, steady wind, first camera; web: ${timedFrames} frames after ${warmupFrames}; ` +
    `medians of ${rounds} round${rounds > 1 ? "s" : ""}, each round's own ratio beside them`);
  console.log("  path           web (SwiftShader)  native (llvmpipe)  web/native  in the rounds  web busy ms/frame  WebGL draws/frame  vertex MB/frame");
  const missed = [];
  for (const p of paths) {
    const w = web[p.name], n = native.fps[p.name];
    const spread = `${fixed(Math.min(...w.ratios), 2)}-${fixed(Math.max(...w.ratios), 2)}`;
    console.log(`  ${p.name.padEnd(14)} ${fixed(w.fps).padStart(17)}  ${fixed(n).padStart(17)}  ${fixed(w.fps / n, 2).padStart(10)}  ${spread.padStart(13)}  ${fixed(w.busyMs).padStart(17)}  ${fixed(w.drawsPerFrame).padStart(17)}  ${fixed(w.arrayBytesPerFrame / 1e6, 2).padStart(15)}`);
    if (w.fps / n < goals.ratio) missed.push(`${p.name}: web/native ${fixed(w.fps / n, 2)} < ${goals.ratio}`);
    if (w.busyMs > goals.busyMs) missed.push(`${p.name}: page's work ${fixed(w.busyMs)} ms > ${goals.busyMs} ms`);
    if (w.drawsPerFrame > goals.draws) missed.push(`${p.name}: ${fixed(w.drawsPerFrame)} draws > ${goals.draws}`);
  }
  console.log(`  goals: web/native >= ${goals.ratio}, busy <= ${goals.busyMs} ms, draws <= ${goals.draws}: ` +
    (missed.length ? "missed (" + missed.join("; ") + ")" : "met"));
  console.log("\nCost over Off, ms per frame, medians (web: separate runs; native: interleaved, FrameCostOverOff)");
  console.log("  path           web     native");
  for (const p of paths.slice(1)) {
    const w = web[p.name].msPerFrame - web.Off.msPerFrame;
    const n = native.interleavedMs[p.name] - native.interleavedMs.Off;
    console.log(`  ${p.name.padEnd(14)} ${fixed(w, 2).padStart(6)}  ${fixed(n, 2).padStart(6)}`);
  }
  console.log(`  (Off itself: web ${fixed(web.Off.msPerFrame, 2)} ms, native ${fixed(native.interleavedMs.Off, 2)} ms)`);

  console.log("\nStart to first frame, ms since navigation start (question answered Nein as soon as shown)");
  console.log("  page load      question shown  answered  first frame ended  answer to first frame");
  for (const p of paths) {
    const s = web[p.name].startUp;
    console.log(`  ${(p.name + (p === paths[0] ? " (cold)" : "")).padEnd(14)} ${fixed(s.asked, 0).padStart(14)}  ${fixed(s.answered, 0).padStart(8)}  ${fixed(s.firstFrame, 0).padStart(17)}  ${fixed(s.firstFrame - s.answered, 0).padStart(21)}`);
  }

  console.log("\nDownload (the files the page fetched)");
  for (const s of sizes) console.log(`  ${s.name.padEnd(18)} ${kib(s.raw).padStart(10)} ${kib(s.gzip).padStart(10)} gzip`);
  const total = sizes.reduce((t, s) => ({ raw: t.raw + s.raw, gzip: t.gzip + s.gzip }), { raw: 0, gzip: 0 });
  console.log(`  ${"total".padEnd(18)} ${kib(total.raw).padStart(10)} ${kib(total.gzip).padStart(10)} gzip`);

  if (profiling) {
    for (const p of paths) {
      console.log(`\nCPU profile, ${p.name}: self time over the timed frames`);
      for (const f of web[p.name].profile) console.log(`  ${fixed(100 * f.share).padStart(5)}%  ${f.name}`);
    }
  }
  if (tracing) {
    for (const p of paths) {
      console.log(`\nChromium trace, ${p.name}: ms a frame in each thread's outermost events (${fixed(web[p.name].msPerFrame, 1)} ms a frame in all)`);
      for (const t of web[p.name].trace) {
        console.log(`  ${fixed(t.msPerFrame).padStart(6)}  ${t.thread}: ${t.top.map((x) => `${x.name} ${fixed(x.msPerFrame)}`).join(", ")}`);
      }
    }
  }
  if (jsonOut) {
    fs.writeFileSync(jsonOut, JSON.stringify({ timedFrames, warmupFrames, rounds, web, native, runs, sizes, total }, null, 2) + "\n");
    console.log(`\nbench: figures in ${jsonOut}`);
  }
}

main().catch((error) => {
  console.error("bench: " + (error.message || error));
  process.exit(1);
});
