// web_editor_shot.js -- docs/web-editor.png: the page in headless Chromium with the canvas and the
// editor of wind.cg side by side, after an edit that paints the blades red and then a broken one
// (the red program still draws; the message and its line are marked).
//   node tools/web_editor_shot.js DIST_DIR PNG      (make web first)
"use strict";

const path = require("path");
const web = path.join(__dirname, "..", "tests", "web");
const { serve, launchBrowser, openPage, answerQuestion, installHooks, framesReached } = require(path.join(web, "browser"));
const { parseKeyScript } = require(path.join(web, "key_script"));

const [distDir, png] = process.argv.slice(2);
if (!distDir || !png) {
  console.error("usage: node web_editor_shot.js DIST_DIR PNG");
  process.exit(2);
}
const timeout = 120000;

async function main() {
  const server = await serve(distDir);
  const { browser, close } = await launchBrowser();
  try {
    // The program's message goes to the console as well; that is expected here.
    const { page } = await openPage(browser);
    await page.setViewport({ width: 1420, height: 700 });
    await page.evaluateOnNewDocument(installHooks, parseKeyScript("W@1 W@3 X@2-60 Up@2-45 R@2-51"), []);
    await answerQuestion(page, server, "#no", timeout);
    await framesReached(40, timeout)(page);
    const apply = (edit) => page.$eval("#editor-text", (area, edit) => {
      area.value = area.value.replace(edit[0], edit[1]);
      area.dispatchEvent(new Event("input"));
      document.getElementById("editor-apply").click();
    }, edit);
    await apply(["OUT.Col0 = IN.color;", "OUT.Col0 = float4(1.0, 0.1, 0.1, 1.0);"]);
    await framesReached(50, timeout)(page);
    await apply(["float k = 1.0;", "float k = 1.0 +;"]);
    await page.waitForFunction(() => document.getElementById("editor-message").textContent !== "", { timeout });
    await framesReached(70, timeout)(page);
    await page.click("#editor-message");
    const box = await (await page.$("#stage")).boundingBox();
    const margin = 12;
    await page.screenshot({ path: png, clip: { x: box.x - margin, y: box.y - margin, width: box.width + 2 * margin, height: box.height + 2 * margin } });
    console.log("web_editor_shot: " + png);
  } finally {
    await close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
