// halmwind_page.js -- the page around the demo: its data, the start-up question, message dialogs,
// the editor of wind.cg, dropped files, the keys as buttons and the end. The program is
// halmwind.js; this file only talks to its exports.
"use strict";

const canvas = document.getElementById("canvas");
const dataFiles = ["terrain.raw", "wind.cg"];

// A message box of the program: a dialog over the page, closed with its OK button. The program
// does not wait for it, so several may stand one above the other.
function showDialog(caption, text) {
  const box = document.createElement("div");
  box.className = "box dialog";
  box.setAttribute("role", "alertdialog");
  const title = document.createElement("h1");
  title.textContent = caption;
  const body = document.createElement("p");
  body.textContent = text;
  const buttons = document.createElement("div");
  buttons.className = "buttons";
  const ok = document.createElement("button");
  ok.textContent = "OK";
  ok.addEventListener("click", () => { box.remove(); canvas.focus(); });
  buttons.append(ok);
  box.append(title, body, buttons);
  document.getElementById("dialogs").append(box);
  ok.focus();
}

// The data comes beside the page; a file the server does not have is left out, and the program
// says what is missing as it does on the desktop.
function fetchData() {
  Module.addRunDependency("data");
  Promise.all(dataFiles.map((name) =>
    fetch(name, { cache: "no-cache" })
      .then((response) => (response.ok ? response.arrayBuffer() : null))
      .catch(() => null)
      .then((bytes) => { if (bytes) Module.FS.writeFile("/" + name, new Uint8Array(bytes)); })))
    .finally(() => Module.removeRunDependency("data"));
}

function askStartQuestion() {
  const question = document.getElementById("question");
  const answer = (fullScreen) => {
    question.hidden = true;
    canvas.focus();
    setEditorRunning(true);
    // The click is the user gesture that lets the canvas go full screen.
    Module._HalmwindStart(fullScreen ? 1 : 0);
  };
  document.getElementById("yes").addEventListener("click", () => answer(true), { once: true });
  document.getElementById("no").addEventListener("click", () => answer(false), { once: true });
  question.hidden = false;
  document.getElementById("yes").focus();
}

// --- The editor of wind.cg -----------------------------------------------------------------------
// The text area shows the page's wind.cg. Applying writes it whole over the file the program reads
// and tells the program, which takes it up before its next frame: a program that compiles draws
// from then on; one that does not leaves the last good one drawing, and the program's message
// (Module.onStatus) shows under the editor with its line marked. Keys typed here stay here: the
// program reads only the canvas's key events.
const windProgramPath = "/wind.cg";
const editor = {
  text: document.getElementById("editor-text"),
  gutter: document.getElementById("editor-gutter"),
  band: document.getElementById("editor-band"),
  message: document.getElementById("editor-message"),
  apply: document.getElementById("editor-apply"),
  reset: document.getElementById("editor-reset"),
  shipped: "",      // the text the page brought, for Zurücksetzen
  markedLine: 0,    // the line the program's message names, 0 for none
  running: false,   // a program runs that takes an apply up
};
// px, as the style sheet gives the text area and the gutter
const editorLineHeight = 18;
const editorPadding = 6;

function showLineNumbers() {
  const lines = editor.text.value.split("\n").length;
  if (editor.gutter.childElementCount !== lines) {
    const numbers = document.createDocumentFragment();
    for (let n = 1; n <= lines; n++) {
      const number = document.createElement("span");
      number.textContent = n;
      numbers.append(number);
    }
    editor.gutter.replaceChildren(numbers);
  }
  const marked = editor.gutter.children[editor.markedLine - 1];
  for (const number of editor.gutter.querySelectorAll(".error")) if (number !== marked) number.classList.remove("error");
  if (marked) marked.classList.add("error");
  followScroll();
}

// The numbers and the band move with the text.
function followScroll() {
  editor.gutter.scrollTop = editor.text.scrollTop;
  const top = editor.text.offsetTop + editorPadding + (editor.markedLine - 1) * editorLineHeight - editor.text.scrollTop;
  editor.band.hidden = !editor.markedLine || top < editor.text.offsetTop || top >= editor.text.offsetTop + editor.text.clientHeight;
  editor.band.style.top = top + "px";
  editor.band.style.left = editor.text.offsetLeft + "px";
}

// The program's message about wind.cg: "" when the last apply compiled, otherwise the compiler's
// words, "wind.cg(12): error: ...", or why the file could not be read.
function showWindProgramStatus(text) {
  editor.message.textContent = text;
  const line = /wind\.cg\((\d+)\)/.exec(text);
  editor.markedLine = line ? Number(line[1]) : 0;
  showLineNumbers();
  if (editor.markedLine && editor.band.hidden) scrollToLine(editor.markedLine);
}

// Brings a line into view, with two lines above it.
function scrollToLine(line) {
  editor.text.scrollTop = Math.max(0, editorPadding + (line - 3) * editorLineHeight);
  followScroll();
}

// The browser's file system keeps a file's time in whole seconds, and the program tells a new
// version by its size and time: each write gets a time at least a second after the last one,
// so that two saves of the same size within a second are both taken up.
function writeWindProgram(data) {
  let before = 0;
  try {
    before = Module.FS.stat(windProgramPath).mtime.getTime();
  } catch (error) {
    // No file yet: any time will do.
  }
  Module.FS.writeFile(windProgramPath, data);
  const time = Math.max(Date.now(), before + 1000);
  Module.FS.utime(windProgramPath, time, time);
}

// Before the start the file is only written: the program starts with it.
function applyWindProgram(data = editor.text.value) {
  if (!Module.calledRun) return;
  writeWindProgram(data);
  if (editor.running) Module._HalmwindWindProgramSaved();
}

function fillEditor(text) {
  editor.text.value = text;
  showLineNumbers();
}

// A file from outside may be UTF-8 or, from an older Windows editor, Windows-1252.
function decodeText(bytes) {
  try {
    return new TextDecoder("utf-8", { fatal: true }).decode(bytes);
  } catch (error) {
    return new TextDecoder("windows-1252").decode(bytes);
  }
}

// Once the data is in the file system: the shipped text, kept for Zurücksetzen.
function loadEditor() {
  try {
    editor.shipped = decodeText(Module.FS.readFile(windProgramPath));
  } catch (error) {
    editor.shipped = "";
  }
  fillEditor(editor.shipped);
  editor.text.disabled = false;
}

function setEditorRunning(running) {
  editor.running = running;
  editor.apply.disabled = editor.reset.disabled = !running;
}

editor.text.addEventListener("input", showLineNumbers);
editor.text.addEventListener("scroll", followScroll);
editor.text.addEventListener("keydown", (event) => {
  if (event.key === "Enter" && (event.ctrlKey || event.metaKey)) {
    event.preventDefault();
    applyWindProgram();
  }
});
editor.apply.addEventListener("click", () => applyWindProgram());
editor.reset.addEventListener("click", () => {
  fillEditor(editor.shipped);
  applyWindProgram();
});
// A click on the message puts the caret on its line.
editor.message.addEventListener("click", () => {
  if (!editor.markedLine) return;
  const lines = editor.text.value.split("\n");
  const start = lines.slice(0, editor.markedLine - 1).reduce((sum, line) => sum + line.length + 1, 0);
  editor.text.focus();
  editor.text.setSelectionRange(start, start + (lines[editor.markedLine - 1] || "").length);
  scrollToLine(editor.markedLine);
});

// A dropped wind.cg goes into the editor and is applied as an edit is; a dropped terrain.raw
// replaces the page's and the scene is made anew (with both, the new scene takes both up).
function dropTarget(name) {
  if (/\.cg$/i.test(name)) return "wind.cg";
  if (/\.raw$/i.test(name)) return "terrain.raw";
  return null;
}

// Text dragged within the editor is the editor's own.
const carriesFiles = (event) => Boolean(event.dataTransfer && event.dataTransfer.types.includes("Files"));
document.addEventListener("dragover", (event) => { if (carriesFiles(event)) event.preventDefault(); });
document.addEventListener("drop", (event) => {
  if (!carriesFiles(event)) return;
  event.preventDefault();
  const files = Array.from(event.dataTransfer ? event.dataTransfer.files : []);
  Promise.all(files.map((file) => {
    const target = dropTarget(file.name);
    if (!target) {
      showDialog("Halmwind", file.name + ": nur wind.cg und terrain.raw lassen sich hier ablegen.");
      return null;
    }
    return file.arrayBuffer().then((bytes) => ({ target, bytes: new Uint8Array(bytes) }));
  })).then((dropped) => {
    dropped = dropped.filter(Boolean);
    const windProgram = dropped.find((d) => d.target === "wind.cg");
    const terrain = dropped.find((d) => d.target === "terrain.raw");
    if (windProgram) fillEditor(decodeText(windProgram.bytes));
    if (terrain) {
      Module.FS.writeFile("/terrain.raw", terrain.bytes);
      if (windProgram) writeWindProgram(windProgram.bytes);
      if (Module._HalmwindReload) Module._HalmwindReload();
    } else if (windProgram) {
      applyWindProgram(windProgram.bytes);
    }
  });
});

// Keys held on the canvas when it loses the keyboard (a click into the editor) would never see
// their release: the canvas gets it as the focus goes.
const keysDown = new Set();
canvas.addEventListener("keydown", (event) => keysDown.add(event.keyCode));
canvas.addEventListener("keyup", (event) => keysDown.delete(event.keyCode));
canvas.addEventListener("blur", () => {
  for (const keyCode of [...keysDown]) pressKey("keyup", keyCode);
});

// The key list under the canvas: each key is a button that holds its key down while a pointer
// (mouse, pen or finger) presses it. It sends the canvas the key events the keyboard would, so
// the program reads them as keys. A key stays down for at least one frame, so that a short tap
// counts once, as a key does.
function pressKey(type, keyCode) {
  const event = new KeyboardEvent(type, { bubbles: true, cancelable: true });
  // The constructor leaves keyCode at 0; the program reads keyCode, as the keyboard path gives it.
  Object.defineProperty(event, "keyCode", { get: () => keyCode });
  Object.defineProperty(event, "which", { get: () => keyCode });
  canvas.dispatchEvent(event);
}

const afterNextFrame = (action) => requestAnimationFrame(() => requestAnimationFrame(action));

for (const button of document.querySelectorAll("button.key[data-key]")) {
  const keyCode = Number(button.dataset.key);
  let pointer = null;
  const release = () => {
    if (pointer === null) return;
    pointer = null;
    afterNextFrame(() => {
      if (pointer !== null) return;
      button.classList.remove("down");
      pressKey("keyup", keyCode);
    });
  };
  button.addEventListener("pointerdown", (event) => {
    // No focus for the button: the keyboard stays with the canvas.
    event.preventDefault();
    if (pointer !== null) return;
    pointer = event.pointerId;
    // The finger may slide off the button and still hold the key.
    try {
      button.setPointerCapture(event.pointerId);
    } catch (error) {
      // A pointer the browser no longer tracks: the key is released on pointerup as well.
    }
    button.classList.add("down");
    pressKey("keydown", keyCode);
  });
  button.addEventListener("pointerup", release);
  button.addEventListener("pointercancel", release);
  button.addEventListener("lostpointercapture", release);
  button.addEventListener("contextmenu", (event) => event.preventDefault());
}

window.addEventListener("pagehide", () => {
  if (Module.calledRun) Module._HalmwindPageClosed();
});

document.getElementById("restart").addEventListener("click", () => location.reload());

var Module = {
  canvas: canvas,
  preRun: [fetchData],
  onRuntimeInitialized: () => {
    loadEditor();
    askStartQuestion();
  },
  showDialog: showDialog,
  onStatus: showWindProgramStatus,
  onEnded: () => {
    setEditorRunning(false);
    document.getElementById("ended").hidden = false;
  },
  printErr: (text) => console.error(text),
};

// A driver (the browser tests) may hook every frame: before() may press keys, after() may read
// the canvas while it still holds the frame.
if (window.halmwindHooks) {
  Module.preMainLoop = window.halmwindHooks.before;
  Module.postMainLoop = window.halmwindHooks.after;
  // ... and set environment variables for the run (gl4es reads its options, LIBGL_*, there).
  const env = window.halmwindHooks.env;
  if (env) Module.preRun.push(() => Object.assign(Module.ENV, env));
}
