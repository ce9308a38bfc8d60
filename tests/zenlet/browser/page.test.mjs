// The zenlet page in a real browser, as a newcomer uses it: log in through the emulator's
// page in the new tab, confirm the message boxes, post a status through the permission page,
// open the notifications drop-down and pick a line. And the page's server refuses every
// request that lacks the token.
//
//   ZENLET_PROGRAM=build/dev/tools/zenlet/zenlet node --test page.test.mjs
//
// Exits with 77 (skipped) when playwright-core or the browser is missing.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync, existsSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { createInterface } from "node:readline";
import { test, after } from "node:test";
import assert from "node:assert/strict";

const browserPath = process.env.ZENLET_BROWSER || "/usr/bin/chromium";
const program = process.env.ZENLET_PROGRAM;
let chromium;
try {
  ({ chromium } = await import("playwright-core"));
} catch {
  console.log("playwright-core is not installed (tools/install-deps.sh installs it): skipped");
  process.exit(77);
}
if (!existsSync(browserPath) || !program) {
  console.log(`no browser at ${browserPath} or no ZENLET_PROGRAM: skipped`);
  process.exit(77);
}

const folders = [];
const scratch = (name) => {
  const folder = mkdtempSync(join(tmpdir(), name));
  folders.push(folder);
  return folder;
};
after(() => folders.forEach((folder) => rmSync(folder, { recursive: true, force: true })));

// zenlet serving its page on a free port; resolves with the address it prints.
function startZenlet() {
  const child = spawn(program, ["--data-dir", scratch("zenlet-page-data-")], {
    stdio: ["ignore", "pipe", "pipe"],
  });
  let errors = "";
  child.stderr.on("data", (chunk) => { errors += chunk; });
  const exited = new Promise((resolve) => child.on("exit", (code) => resolve(code)));
  const address = new Promise((resolve, reject) => {
    createInterface({ input: child.stdout }).once("line", resolve);
    child.once("exit", () => reject(new Error("zenlet ended before serving: " + errors)));
  });
  return { child, address, exited, errors: () => errors };
}

async function launchBrowser() {
  return chromium.launchPersistentContext(scratch("zenlet-page-profile-"), {
    executablePath: browserPath,
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync"],
  });
}

// Clicks OK in the open message box that says `text`.
async function confirm(page, text) {
  const box = page.locator("dialog.msgbox[open]", { hasText: text });
  await box.waitFor({ timeout: 20000 });
  await box.locator("button.ok").click();
  await box.waitFor({ state: "detached", timeout: 20000 });
}

test("a first session in the page: login, status, drop-down", { timeout: 120000 }, async () => {
  const zenlet = startZenlet();
  const address = await zenlet.address;
  assert.match(address, /^http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]{32}$/);
  const origin = new URL(address).origin;

  // Without the token nothing is served and no command is taken.
  for (const path of ["/", "/events", "/?token=0123"]) {
    assert.equal((await fetch(origin + path)).status, 403, path);
  }
  const refused = await fetch(origin + "/command", { method: "POST", body: '{"cmd":"quit"}' });
  assert.equal(refused.status, 403);

  const context = await launchBrowser();
  try {
    const page = await context.newPage();
    await page.goto(address);
    const window = page.locator('section.explorer[data-explorer="1"]');
    const facebook = window.locator(".facebook");
    await facebook.filter({ hasText: "Login to Facebook..." }).waitFor();
    await assert.doesNotReject(window.locator('.titlebar .title', { hasText: "explorer 1" }).waitFor());

    // The button's face is drawn from the add-in's pixels: opaque somewhere, clear at a corner.
    const face = await facebook.locator("canvas").evaluate((canvas) => {
      const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
      let opaque = 0;
      for (let i = 3; i < data.length; i += 4) opaque += data[i] === 255 ? 1 : 0;
      return { width: canvas.width, opaque, corner: data[3] };
    });
    assert.equal(face.width, 16);
    assert.ok(face.opaque > 20 && face.opaque < 256, `opaque pixels: ${face.opaque}`);
    assert.equal(face.corner, 0);

    // Login: the intro box, the emulator's login page in a new tab, the box that waits for it.
    await facebook.click();
    const loginTab = context.waitForEvent("page");
    await confirm(page, "In order to use Zenlet, you need to login to Facebook.");
    const login = await loginTab;
    await login.waitForLoadState();
    assert.match(login.url(), /\/login\.php\?api_key=[0-9a-f]{32}&auth_token=[0-9a-f]+&v=1\.0$/);
    await login.locator('input[type="submit"][value="Log in"]').click();
    await login.waitForLoadState();
    await confirm(page, "Please click OK after you have logged into Facebook.");
    await page.locator('section.explorer[data-logged-in="yes"]').waitFor();
    await window.locator(".popup").click();
    await page.locator('.drop.menu .item[data-id="3"]', { hasText: "Logout from Zenlet (Dana Whitfield)" }).waitFor();
    await page.keyboard.press("Escape");

    // A status: the permission intro, the emulator's permission page, the box that waits.
    const status = window.locator(".status input");
    await status.fill("is trying Zenlet in a browser");
    const authorizeTab = context.waitForEvent("page");
    await status.press("Enter");
    await confirm(page, "Facebook security policy requires");
    const authorize = await authorizeTab;
    await authorize.waitForLoadState();
    assert.match(authorize.url(), /\/authorize\.php\?.*ext_perm=status_update/);
    await authorize.locator('button[value="allow"]').click();
    await authorize.waitForLoadState();
    await confirm(page, "Please click OK after you have allowed Zenlet");
    const service = (await page.locator("#connection").textContent()).replace("connected: ", "");
    let posted;
    for (let i = 0; i < 50 && posted !== "is trying Zenlet in a browser"; i++) {
      posted = (await (await fetch(service + "_emu/state")).json()).state.user.status.message;
      if (posted !== "is trying Zenlet in a browser") await page.waitForTimeout(100);
    }
    assert.equal(posted, "is trying Zenlet in a browser");

    // The login asked for a check: the drop-down fills within a worker pass and a refresh.
    const dropDown = window.locator(".notifications");
    await dropDown.locator(".value", { hasText: /^New Requests - \d+$/ }).waitFor({ timeout: 60000 });
    await dropDown.click();
    const line = page.locator(".notifications-list .item", { hasText: /^New Messages - \d+$/ });
    const inboxTab = context.waitForEvent("page");
    await line.click();
    const inbox = await inboxTab;
    await inbox.waitForLoadState();
    assert.equal(new URL(inbox.url()).pathname, "/inbox/");
    // The control snaps back to its summary line.
    await dropDown.locator(".value", { hasText: /^New Requests - \d+$/ }).waitFor();

    await page.locator("#quit").click();
    await page.locator("#ended.shown").waitFor();
    assert.equal(await zenlet.exited, 0, zenlet.errors());
  } finally {
    await context.close();
    zenlet.child.kill();
  }
});
