// halmwind_page.js -- the page around the demo: its data, the start-up question, message dialogs,
// dropped files, the keys as buttons and the end. The program is halmwind.js; this file only
// talks to its exports.
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
    // The click is the user gesture that lets the canvas go full screen.
    Module._HalmwindStart(fullScreen ? 1 : 0);
  };
  document.getElementById("yes").addEventListener("click", () => answer(true), { once: true });
  document.getElementById("no").addEventListener("click", () => answer(false), { once: true });
  question.hidden = false;
  document.getElementById("yes").focus();
}

// A dropped wind.cg or terrain.raw replaces the one the page brought; the scene is then made anew.
function dropTarget(name) {
  if (/\.cg$/i.test(name)) return "wind.cg";
  if (/\.raw$/i.test(name)) return "terrain.raw";
  return null;
}

document.addEventListener("dragover", (event) => event.preventDefault());
document.addEventListener("drop", (event) => {
  event.preventDefault();
  const files = Array.from(event.dataTransfer ? event.dataTransfer.files : []);
  Promise.all(files.map((file) => {
    const target = dropTarget(file.name);
    if (!target) {
      showDialog("Halmwind", file.name + ": nur wind.cg und terrain.raw lassen sich hier ablegen.");
      return false;
    }
    return file.arrayBuffer().then((bytes) => {
      Module.FS.writeFile("/" + target, new Uint8Array(bytes));
      return true;
    });
  })).then((written) => {
    if (written.some(Boolean) && Module._HalmwindReload) Module._HalmwindReload();
  });
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
  onRuntimeInitialized: askStartQuestion,
  showDialog: showDialog,
  onEnded: () => { document.getElementById("ended").hidden = false; },
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
