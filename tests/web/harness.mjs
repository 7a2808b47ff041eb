// What the page's tests share: the programs CTest names, fixtures made by the
// project's own generator and command-line tool in a temporary folder, one
// Chromium with every request watched, and the page's contract driven as a
// player drives it (the file picker, drops, clicks, downloads).
//
// CTest passes, in the environment:
//   MORVANE_WEB_PAGE    the page that `make web` built (build-web/morvane.html)
//   MORVANE_CLI         morvane-cli, whose outputs are the references
//   MORVANE_MAKE_STATE  morvane-make-state, the generator of synthetic states
//   MORVANE_CHROMIUM    the browser (Debian's chromium)
//   MORVANE_SOURCE_DIR  the project, for docs/web.png

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import {
    copyFileSync, existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync,
} from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { deflateSync, inflateRawSync } from 'node:zlib';

const require = createRequire(import.meta.url);
const { chromium } = require('playwright-core');

function required(name) {
    const value = process.env[name];
    if (!value) {
        throw new Error(`${name} is not set: run the web tests through CTest (make test)`);
    }
    return value;
}

export const paths = {
    page: required('MORVANE_WEB_PAGE'),
    cli: required('MORVANE_CLI'),
    makeState: required('MORVANE_MAKE_STATE'),
    chromium: process.env.MORVANE_CHROMIUM || '/usr/bin/chromium',
    source: process.env.MORVANE_SOURCE_DIR || '',
};
if (!existsSync(paths.page)) {
    throw new Error(`${paths.page} is missing: build it with make web`);
}
export const pageUrl = pathToFileURL(paths.page).href;

// How long one operation of the page (open, replace, pack) may take before the
// test gives up: far above what any takes, so that a machine busy with other
// builds does not fail a test. Not a speed target.
const OPERATION_TIMEOUT_MS = 60_000;

// ---------------------------------------------------------------- processes

export function run(program, args, { cwd, allowFailure = false } = {}) {
    const result = spawnSync(program, args, { cwd, encoding: 'buffer', maxBuffer: 64 << 20 });
    if (result.error) {
        throw result.error;
    }
    const out = { status: result.status, stdout: result.stdout.toString(), stderr: result.stderr.toString() };
    if (!allowFailure && out.status !== 0) {
        throw new Error(`${basename(program)} ${args.join(' ')} exited ${out.status}:\n${out.stderr}`);
    }
    return out;
}

// A folder removed when the process ends.
export function temporaryFolder() {
    const dir = mkdtempSync(join(tmpdir(), 'morvane-web-'));
    process.on('exit', () => rmSync(dir, { recursive: true, force: true }));
    return dir;
}

export function makeState(path, options = []) {
    run(paths.makeState, [...options, path]);
    return path;
}

// Drawn face n as a 32x64, 8-bit Windows bitmap.
export function makeBitmap(path, n) {
    run(paths.makeState, ['--bitmap', String(n), path]);
    return path;
}

export function cli(args, options) {
    return run(paths.cli, args, options);
}

// `morvane-cli info --json` and `list --json` of a state.
export function info(state) {
    return JSON.parse(cli(['info', state, '--json']).stdout);
}

export function faceList(state) {
    return JSON.parse(cli(['list', state, '--json']).stdout).face_textures;
}

export function faceRecords(state) {
    return faceList(state).map((face) => face.record);
}

// Runs a command of the tool that writes a new state by its default name, in
// a folder of its own holding a copy of the state: what it wrote, its name and
// bytes. `args(state)` gives the arguments.
export function cliOutput(state, args) {
    const dir = mkdtempSync(join(tmpdir(), 'morvane-web-cli-'));
    try {
        const copy = join(dir, basename(state));
        copyFileSync(state, copy);
        cli(args(copy));
        const written = readdirSync(dir).filter((name) => name !== basename(state));
        assert.equal(written.length, 1, `the tool wrote ${written.join(', ')}`);
        return { name: written[0], bytes: readFileSync(join(dir, written[0])) };
    } finally {
        rmSync(dir, { recursive: true, force: true });
    }
}

// `morvane-cli replace STATE RECORD PICTURE ...` by its default output name.
export function cliReplace(state, pairs) {
    const args = pairs.flatMap(([record, picture]) => [String(record), picture]);
    return cliOutput(state, (copy) => ['replace', copy, ...args]);
}

// `morvane-cli import STATE DIR` by its default output name.
export function cliImport(state, dir) {
    return cliOutput(state, (copy) => ['import', copy, dir]);
}

// `morvane-cli export STATE DIR`: the PNGs it wrote, by name.
export function cliExport(state, dir) {
    cli(['export', state, dir]);
    return new Map(readdirSync(dir).sort().map((name) => [name, readFileSync(join(dir, name))]));
}

// ------------------------------------------------------------------ pictures

function crc32(bytes) {
    let crc = ~0;
    for (const byte of bytes) {
        crc ^= byte;
        for (let k = 0; k < 8; ++k) {
            crc = (crc >>> 1) ^ (0xedb88320 & -(crc & 1));
        }
    }
    return ~crc >>> 0;
}

function pngChunk(type, data) {
    const chunk = Buffer.alloc(12 + data.length);
    chunk.writeUInt32BE(data.length, 0);
    chunk.write(type, 4, 'latin1');
    data.copy(chunk, 8);
    chunk.writeUInt32BE(crc32(chunk.subarray(4, 8 + data.length)), 8 + data.length);
    return chunk;
}

// A true-colour PNG, `rgb(x, y)` giving each pixel's [r, g, b].
export function truecolourPng(width, height, rgb) {
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header[8] = 8;  // bits per channel
    header[9] = 2;  // RGB
    const rows = Buffer.alloc(height * (1 + width * 3));
    for (let y = 0; y < height; ++y) {
        for (let x = 0; x < width; ++x) {
            const [r, g, b] = rgb(x, y);
            const at = y * (1 + width * 3) + 1 + x * 3;
            rows[at] = r;
            rows[at + 1] = g;
            rows[at + 2] = b;
        }
    }
    return Buffer.concat([
        Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
        pngChunk('IHDR', header),
        pngChunk('IDAT', deflateSync(rows)),
        pngChunk('IEND', Buffer.alloc(0)),
    ]);
}

// A 32x64 picture of far more colours than a palette holds, so that it is
// reduced as the tool reduces it.
export function gradientPng(path, seed = 0) {
    const colour = (x, y) => [(x * 8 + seed) & 255, (y * 4) & 255, (x * y + seed * 7) & 255];
    writeFileSync(path, truecolourPng(32, 64, colour));
    return path;
}

// ------------------------------------------------------------------ archives

// A zip's central directory: where each entry's record and local header are.
function zipDirectory(bytes) {
    let end = bytes.length - 22;
    while (end >= 0 && bytes.readUInt32LE(end) !== 0x06054b50) {
        --end;
    }
    assert.ok(end >= 0, 'no end of central directory');
    const count = bytes.readUInt16LE(end + 10);
    let at = bytes.readUInt32LE(end + 16);
    const records = [];
    for (let i = 0; i < count; ++i) {
        assert.equal(bytes.readUInt32LE(at), 0x02014b50, 'central directory entry');
        const nameLength = bytes.readUInt16LE(at + 28);
        const local = bytes.readUInt32LE(at + 42);
        assert.equal(bytes.readUInt32LE(local), 0x04034b50, 'local header');
        records.push({ central: at, local, nameLength });
        at += 46 + nameLength + bytes.readUInt16LE(at + 30) + bytes.readUInt16LE(at + 32);
    }
    return records;
}

// A zip of `files`, [name, bytes] each, stored, as an archiver packs a folder.
export function storedZip(files) {
    const parts = [];
    const directory = [];
    let offset = 0;
    for (const [name, bytes] of files) {
        const path = Buffer.from(name, 'utf8');
        const crc = crc32(bytes);
        const local = Buffer.alloc(30);
        local.writeUInt32LE(0x04034b50, 0);
        local.writeUInt16LE(20, 4);
        local.writeUInt16LE(0x21, 12);  // 1 January 1980
        local.writeUInt32LE(crc, 14);
        local.writeUInt32LE(bytes.length, 18);
        local.writeUInt32LE(bytes.length, 22);
        local.writeUInt16LE(path.length, 26);
        const central = Buffer.alloc(46);
        central.writeUInt32LE(0x02014b50, 0);
        central.writeUInt16LE(20, 4);
        central.writeUInt16LE(20, 6);
        central.writeUInt16LE(0x21, 14);
        central.writeUInt32LE(crc, 16);
        central.writeUInt32LE(bytes.length, 20);
        central.writeUInt32LE(bytes.length, 24);
        central.writeUInt16LE(path.length, 28);
        central.writeUInt32LE(offset, 42);
        parts.push(local, path, bytes);
        directory.push(central, path);
        offset += local.length + path.length + bytes.length;
    }
    const listing = Buffer.concat(directory);
    const end = Buffer.alloc(22);
    end.writeUInt32LE(0x06054b50, 0);
    end.writeUInt16LE(files.length, 8);
    end.writeUInt16LE(files.length, 10);
    end.writeUInt32LE(listing.length, 12);
    end.writeUInt32LE(offset, 16);
    return Buffer.concat([...parts, listing, end]);
}

// A zip's entries, in the central directory's order: name, method and the
// uncompressed bytes.
export function zipEntries(bytes) {
    return zipDirectory(bytes).map(({ central, local, nameLength }) => {
        const method = bytes.readUInt16LE(central + 10);
        const compressedSize = bytes.readUInt32LE(central + 20);
        const name = bytes.subarray(central + 46, central + 46 + nameLength).toString('utf8');
        const dataStart = local + 30 + bytes.readUInt16LE(local + 26) + bytes.readUInt16LE(local + 28);
        const raw = bytes.subarray(dataStart, dataStart + compressedSize);
        return { name, method, data: method === 8 ? inflateRawSync(raw) : Buffer.from(raw) };
    });
}

// The archive's bytes with every entry's DOS time and date stamp zeroed, in
// its local header and in the central directory: libzip stamps the time of
// writing, nothing else.
export function withoutZipTimes(bytes) {
    const copy = Buffer.from(bytes);
    for (const { central, local } of zipDirectory(bytes)) {
        copy.fill(0, local + 10, local + 14);
        copy.fill(0, central + 12, central + 16);
    }
    return copy;
}

export function isZip(bytes) {
    return bytes.length >= 4 && bytes.readUInt32LE(0) === 0x04034b50;
}

// Asserts that the page's download is the tool's file: byte for byte, or for
// a zip the same entries in the same order with the same contents, and the
// same bytes once the time stamps are set aside.
export function assertSameState(actual, expected, what) {
    assert.equal(actual.name, expected.name, `${what}: the download's name`);
    if (isZip(expected.bytes)) {
        const got = zipEntries(actual.bytes);
        const want = zipEntries(expected.bytes);
        assert.deepEqual(got.map((e) => e.name), want.map((e) => e.name), `${what}: the zip's entries`);
        got.forEach((entry, i) => {
            assert.ok(entry.data.equals(want[i].data), `${what}: the zip entry ${entry.name} differs`);
        });
        assert.ok(withoutZipTimes(actual.bytes).equals(withoutZipTimes(expected.bytes)),
                  `${what}: the zip differs beyond its time stamps`);
        return;
    }
    assert.equal(actual.bytes.length, expected.bytes.length, `${what}: the download's size`);
    assert.ok(actual.bytes.equals(expected.bytes), `${what}: the download differs from the tool's`);
}

// ------------------------------------------------------------------- browser

export const CHROMIUM_ARGS = ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
    '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic'];

export async function launchBrowser() {
    return chromium.launch({ executablePath: paths.chromium, args: CHROMIUM_ARGS });
}

// A browser and a page in which every request is recorded, by the context's
// and the page's routes and by request events, and refused unless `allowed`
// takes it: by default the page's own file and what the page made itself
// (blob: and data: URLs).
export async function startBrowser(options) {
    return newSession(await launchBrowser(), options);
}

// Another session (a browser context of its own) in the same browser.
export async function newSession(browser, { viewport = { width: 1280, height: 800 },
                                            allowed = isOwnLoad } = {}) {
    const context = await browser.newContext({ acceptDownloads: true, viewport });
    const requests = [];
    const refused = [];
    const guard = (where) => (route) => {
        const url = route.request().url();
        requests.push({ where, url });
        if (allowed(url)) {
            return route.fallback();
        }
        refused.push(url);
        return route.abort('blockedbyclient');
    };
    await context.route('**/*', guard('context'));
    const page = await context.newPage();
    await page.route('**/*', guard('page'));
    page.on('request', (request) => requests.push({ where: 'event', url: request.url() }));
    context.on('request', (request) => requests.push({ where: 'context event', url: request.url() }));
    const failed = [];
    context.on('requestfailed', (request) => {
        failed.push({ url: request.url(), error: request.failure()?.errorText });
    });
    const errors = [];
    page.on('pageerror', (error) => errors.push(String(error)));
    return { browser, context, page, requests, refused, failed, errors };
}

export function isOwnLoad(url) {
    return url === pageUrl || url.startsWith('blob:') || url.startsWith('data:');
}

// Opens the page and waits until it says it is usable.
export async function openPage(page, url = pageUrl) {
    await page.goto(url);
    await page.waitForFunction(() => document.body.dataset.ready === 'true', null,
                               { timeout: OPERATION_TIMEOUT_MS });
}

// Waits until the page has finished what it was doing (data-busy "false").
export async function idle(page) {
    await page.waitForFunction(() => document.body.dataset.busy === 'false', null,
                               { timeout: OPERATION_TIMEOUT_MS });
}

// Runs `action` and waits for the operation it starts to finish: the page
// sets data-busy to "true" while it works and back to "false" once it shows
// the result. The page is let finish what it was doing first, and an observer
// is armed before the action, so that the end of an earlier operation is not
// taken for this one's, and an operation that ends before the test looks is
// still seen.
export async function operation(page, action) {
    await idle(page);
    await page.evaluate(() => {
        window.morvaneTestDone = new Promise((resolve) => {
            const observer = new MutationObserver((records) => {
                const ended = records.some((r) => r.oldValue === 'true');
                if (ended && document.body.dataset.busy === 'false') {
                    observer.disconnect();
                    resolve();
                }
            });
            observer.observe(document.body, { attributes: true, attributeFilter: ['data-busy'],
                                              attributeOldValue: true });
        });
    });
    await action();
    await withTimeout(page.evaluate(() => window.morvaneTestDone), 'the operation to finish');
}

async function withTimeout(promise, what) {
    let timer;
    const timeout = new Promise((_, reject) => {
        timer = setTimeout(() => reject(new Error(`waited ${OPERATION_TIMEOUT_MS} ms for ${what}`)),
                           OPERATION_TIMEOUT_MS);
    });
    try {
        return await Promise.race([promise, timeout]);
    } finally {
        clearTimeout(timer);
    }
}

// Opens a state through the page's file input, as the visible button does.
export async function openState(page, path) {
    await operation(page, () => page.setInputFiles('#open-state', path));
}

// Opens a state as a player does before any is open: the visible button
// named for opening, then the file chooser it opens.
export async function openStateByButton(page, path) {
    const button = page.getByRole('button', { name: /open/i }).first();
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), button.click()]);
    assert.equal(await chooser.element().evaluate((e) => e.id), 'open-state');
    await operation(page, () => chooser.setFiles(path));
}

// Drops files on the element that `selector` finds, as a file manager does:
// dragenter, dragover and drop, each carrying the files. The files are read
// by the browser itself, through a file input of the test's own outside the
// page's body, removed again before the drop.
export async function dropFiles(page, selector, files) {
    const input = await page.evaluateHandle(() => {
        const element = document.createElement('input');
        element.type = 'file';
        element.multiple = true;
        element.hidden = true;
        document.documentElement.append(element);
        return element;
    });
    await input.setInputFiles(files);
    const dataTransfer = await input.evaluateHandle((element) => {
        const transfer = new DataTransfer();
        for (const file of element.files) {
            transfer.items.add(file);
        }
        element.remove();
        return transfer;
    });
    await input.dispose();
    for (const type of ['dragenter', 'dragover', 'drop']) {
        await page.dispatchEvent(selector, type, { dataTransfer });
    }
    await dataTransfer.dispose();
}

export async function dropState(page, path, selector = 'body') {
    await operation(page, () => dropFiles(page, selector, [path]));
}

export function face(record) {
    return `#gallery .face[data-record="${record}"]`;
}

// Selects a face by a click, and lets the page show it.
export async function selectFace(page, record) {
    await page.click(face(record));
    await idle(page);
}

// Replaces a face as a player does: select it, press Replace, choose the
// picture in the file chooser that opens.
export async function replaceByPicker(page, record, picture) {
    await selectFace(page, record);
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#replace')]);
    assert.equal(await chooser.element().evaluate((e) => e.id), 'pick-picture');
    await operation(page, () => chooser.setFiles(picture));
}

export async function replaceByDoubleClick(page, record, picture) {
    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.dblclick(face(record))]);
    assert.equal(await chooser.element().evaluate((e) => e.id), 'pick-picture');
    await operation(page, () => chooser.setFiles(picture));
}

export async function replaceByDrop(page, record, picture) {
    await operation(page, () => dropFiles(page, face(record), [picture]));
}

// Runs `action` and takes the download it starts: its suggested name and
// bytes.
export async function download(page, action) {
    const [event] = await Promise.all([
        page.waitForEvent('download', { timeout: OPERATION_TIMEOUT_MS }), action()]);
    const path = await event.path();
    return { name: event.suggestedFilename(), bytes: readFileSync(path) };
}

export async function downloadState(page) {
    return download(page, () => page.click('#download'));
}

export async function galleryRecords(page) {
    return page.$$eval('#gallery .face', (faces) => faces.map((f) => Number(f.dataset.record)));
}

export async function changedRecords(page) {
    return page.$$eval('#gallery .face.changed', (faces) => faces.map((f) => Number(f.dataset.record)));
}

// The refusal the page shows: null when #message is hidden.
export async function shownMessage(page) {
    return page.evaluate(() => {
        const message = document.getElementById('message');
        if (message.hidden) {
            return null;
        }
        return {
            text: message.querySelector('.message-text').textContent.trim(),
            hint: message.querySelector('.message-hint').textContent.trim(),
            // The text must come before the hint.
            textFirst: !!(message.querySelector('.message-text').compareDocumentPosition(
                message.querySelector('.message-hint')) & Node.DOCUMENT_POSITION_FOLLOWING),
        };
    });
}

// Records every text that #progress shows from now on; `shown()` gives them.
export async function watchProgress(page) {
    await page.evaluate(() => {
        const progress = document.getElementById('progress');
        window.morvaneProgress = [];
        new MutationObserver(() => {
            const text = progress.textContent.trim();
            if (!progress.hidden && text) {
                window.morvaneProgress.push(text);
            }
        }).observe(progress, { attributes: true, childList: true, characterData: true, subtree: true });
    });
    return { shown: () => page.evaluate(() => window.morvaneProgress) };
}

export async function stateLine(page) {
    return (await page.textContent('#state-line')).replace(/\s+/g, ' ').trim();
}

export function writeFile(path, bytes) {
    writeFileSync(path, bytes);
    return path;
}

export function folder(path) {
    mkdirSync(path, { recursive: true });
    return path;
}
