// The web remote as a person uses it: Debian's Chromium opens qvxweb.cgi through lighttpd,
// chooses a device, loads its commands, sends one to the simulated transmitter and reads the
// result line and the page colour; then a command that cannot be sent turns the page red.
//   node web_remote_test.mjs BINDIR SOURCEDIR
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const chromiumPath = process.env.QVX_CHROMIUM || '/usr/bin/chromium';
const [binDir, sourceDir] = process.argv.slice(2);

const green = 'rgb(0, 255, 0)';
const red = 'rgb(255, 0, 0)';
const white = 'rgb(255, 255, 255)';

// The delivered configuration plus a device whose block lacks its slot length, so every one of
// its commands fails.
const brokenDevice =
  '[Fan]\r\n# Ceiling fan without its slot length\r\nGPROTO= 0\r\nREPEAT= 50\r\n' +
  'BITG= 111111111111111100000000\r\nBIT0= 10\r\nBIT1= 1000\r\nGREPEAT= 1\r\n' +
  'G00100000110111110001000011101111,Speed\r\n\r\n';

async function loadPlaywright() {
  try {
    return await import('playwright-core');
  } catch (error) {
    throw new Error('playwright-core is not installed next to this test: run `npm ci` in ' +
                    `tests/browser (scripts/install-deps.sh does it): ${error.message}`);
  }
}

function freeLoopbackPort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

async function waitForListener(port, timeoutMs) {
  const deadline = Date.now() + timeoutMs;
  while (Date.now() < deadline) {
    const connected = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1');
      socket.once('connect', () => { socket.destroy(); resolve(true); });
      socket.once('error', () => resolve(false));
    });
    if (connected) return true;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return false;
}

// lighttpd over the built gateways, with the infrared port on the simulated transmitter.
async function startWebRemote(workDir, captureFile) {
  const config = fs.readFileSync(path.join(binDir, 'pelgrin.cfg'), 'latin1');
  fs.mkdirSync(path.join(workDir, 'www'));
  fs.writeFileSync(path.join(workDir, 'www', 'pelgrin.cfg'),
                   config.replace('[X10]', brokenDevice + '[X10]'), 'latin1');
  const port = await freeLoopbackPort();
  const server = spawn('bash', [path.join(sourceDir, 'scripts', 'serve-gateways.sh'), binDir,
                                workDir, String(port), 'QVX_COM1=sim:ir',
                                'QVX_SIM_CLOCK=virtual', 'QVX_AUDIO_DEVICE=none',
                                `QVX_SIM_CAPTURE=${captureFile}`],
                       { stdio: ['ignore', 'inherit', 'inherit'] });
  const exited = new Promise((resolve) => server.once('exit', resolve));
  if (!(await waitForListener(port, 10000))) {
    server.kill('SIGTERM');
    await exited;
    const log = path.join(workDir, 'error.log');
    throw new Error(`lighttpd did not listen on ${port}: ` +
                    (fs.existsSync(log) ? fs.readFileSync(log, 'utf8') : 'no error log'));
  }
  return {
    url: `http://127.0.0.1:${port}/qvxweb.cgi`,
    async stop() {
      if (server.exitCode === null && server.signalCode === null) server.kill('SIGTERM');
      await exited;
    },
  };
}

// Marks of light the simulated transmitter gave (DTR on for at least 100 us): the instant of
// DTR that opening the port gives is no mark.
function lightMarks(captureFile) {
  if (!fs.existsSync(captureFile)) return 0;
  let marks = 0;
  let onSinceNs = null;
  for (const line of fs.readFileSync(captureFile, 'utf8').split('\n')) {
    const [kind, on, , startNs] = line.split(' ');
    if (kind !== 'dtr') continue;
    if (on === '1') {
      onSinceNs = BigInt(startNs);
    } else if (onSinceNs !== null) {
      if (BigInt(startNs) - onSinceNs >= 100000n) marks += 1;
      onSinceNs = null;
    }
  }
  return marks;
}

async function submit(page, buttonId) {
  await Promise.all([page.waitForNavigation(), page.click(`#${buttonId}`)]);
}

async function optionTexts(page, listName) {
  return page.$$eval(`select[name=${listName}] option`, (options) => options.map((o) => o.value));
}

async function resultLine(page) {
  return page.$eval('body > b', (b) => b.textContent);
}

async function background(page) {
  return page.evaluate(() => getComputedStyle(document.body).backgroundColor);
}

async function useTheRemote(browser, url, captureFile) {
  const page = browser.pages()[0] ?? await browser.newPage();

  // First visit: every device offered, nothing sent, a white page.
  const response = await page.goto(url);
  assert.equal(response.status(), 200);
  assert.match(await page.title(), /^Web based Zarvel Sender v\d+\.\d+\.\d+$/);
  assert.deepEqual(await optionTexts(page, 'DevList'),
                   ['TV', 'VCR', 'Amp', 'Fan', 'X10&Lamp', 'X10&Heater', 'Winamp', 'Application']);
  assert.equal(await resultLine(page), '');
  assert.equal(await background(page), white);

  // Load brings the chosen device's commands and keeps the device chosen.
  await page.selectOption('select[name=DevList]', 'TV');
  await submit(page, 'btn_load');
  assert.equal(await page.inputValue('select[name=DevList]'), 'TV');
  assert.deepEqual(await optionTexts(page, 'CmdList'), ['Power', 'Vol+', 'Vol-', 'Ch+', 'Ch-']);
  assert.equal(await resultLine(page), '');
  assert.equal(await background(page), white);
  assert.equal(lightMarks(captureFile), 0, 'Load must not send');

  // Send: the result line, a green page, and light on the transmitter.
  await page.selectOption('select[name=CmdList]', 'Power');
  await submit(page, 'btn_send');
  assert.equal(await resultLine(page), 'TV Power executed.');
  assert.equal(await background(page), green);
  assert.equal(await page.inputValue('select[name=CmdList]'), 'Power');
  const marksAfterSend = lightMarks(captureFile);
  assert.ok(marksAfterSend > 32, `a 32-bit code needs more marks than ${marksAfterSend}`);

  // A device whose block lacks a parameter: the failure text and a red page, no light.
  await page.selectOption('select[name=DevList]', 'Fan');
  await submit(page, 'btn_load');
  assert.deepEqual(await optionTexts(page, 'CmdList'), ['Speed']);
  assert.equal(await background(page), white);
  await submit(page, 'btn_send');
  assert.equal(await resultLine(page), 'Error sending infrared command!');
  assert.equal(await background(page), red);
  assert.equal(lightMarks(captureFile), marksAfterSend, 'a failed command must not send');
}

test('the web remote sends from a real browser and colours the result', async () => {
  assert.ok(fs.existsSync(chromiumPath),
            `Chromium is not installed at ${chromiumPath}: scripts/install-deps.sh installs it`);
  assert.ok(binDir && sourceDir, 'usage: node web_remote_test.mjs BINDIR SOURCEDIR');
  const { chromium } = await loadPlaywright();

  const workDir = fs.mkdtempSync(path.join(os.tmpdir(), 'qvx-browser-'));
  const captureFile = path.join(workDir, 'capture.txt');
  let remote = null;
  let browser = null;
  try {
    remote = await startWebRemote(workDir, captureFile);
    browser = await chromium.launchPersistentContext(path.join(workDir, 'profile'), {
      executablePath: chromiumPath,
      headless: true,
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
             '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });
    await useTheRemote(browser, remote.url, captureFile);
  } finally {
    if (browser) await browser.close();
    if (remote) await remote.stop();
    fs.rmSync(workDir, { recursive: true, force: true });
  }
});
