// The browser page's figures, printed against their targets; never a test.
//   - the page's size, raw and gzipped as a server would send it;
//   - from opening the file to a usable page: the page's performance mark
//     morvane-ready, which it sets with body[data-ready="true"] once the core
//     has started in its worker, from the start of its navigation;
//   - an 8 MiB RetroArch state (mupen64plus-next, RZIP v1, 60 faces, its
//     free memory half busy) opened, one face replaced and the new state
//     downloaded in the page, against `morvane-cli replace` of the same state
//     and picture as a whole process. The two take turns. The page opens the
//     state once its worker has warmed up (morvane-warm, a few hundred ms
//     after the page is usable, long before a player has picked a file), then
//     does the same again, its code warm (V8 runs a page's wasm in a quick
//     first tier until it has compiled the busy functions again); and, in a
//     page of its own, the moment the page is usable, the warm-up still
//     running. Beside them, the
//     core alone: the same calls the page's worker makes, open, replace and
//     pack, on the module that `make web` built, run in node; what the page
//     takes beyond that is its own (reading the file, drawing the gallery,
//     the download).
// The page runs from file:// in Debian's chromium, driven by playwright-core
// from tests/web/node_modules (scripts/install-web-deps.sh installs it).
//
// usage: node bench/web-bench.mjs [BUILD_DIR] [PAGE]
//        (default build-bench and build-web/morvane.html; RUNS=7)

import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { basename, dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { gzipSync } from 'node:zlib';

const source = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const build = resolve(process.argv[2] || 'build-bench');
const pagePath = resolve(process.argv[3] || 'build-web/morvane.html');
const runs = Math.max(5, Number(process.env.RUNS || 7));
const cli = join(build, 'cli/morvane-cli');
const makeState = join(build, 'tools/morvane-make-state');
const chromiumPath = process.env.MORVANE_CHROMIUM || '/usr/bin/chromium';

function fail(message) {
    console.error(`web-bench: ${message}`);
    process.exit(1);
}

for (const [path, how] of [[cli, 'make bench'], [makeState, 'make bench'], [pagePath, 'make web'],
                           [chromiumPath, 'scripts/install-web-deps.sh'],
                           [join(source, 'tests/web/node_modules/playwright-core'),
                            'scripts/install-web-deps.sh']]) {
    if (!existsSync(path)) {
        fail(`${path} is missing (${how})`);
    }
}
const { chromium } = createRequire(join(source, 'tests/web/package.json'))('playwright-core');

function run(program, args) {
    const result = spawnSync(program, args, { encoding: 'utf8' });
    if (result.status !== 0) {
        fail(`${program} ${args.join(' ')} exited ${result.status}: ${result.stderr}`);
    }
    return result.stdout;
}

const median = (values) => {
    const sorted = [...values].sort((a, b) => a - b);
    const middle = sorted.length >> 1;
    return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const verdict = (met) => (met ? 'met' : 'missed');
const kb = (bytes) => `${(bytes / 1024).toFixed(0)} KB`;
const ms = (value) => `${value.toFixed(0).padStart(5)} ms`;

// --------------------------------------------------------------------- size

const page = readFileSync(pagePath);
const gzipped = gzipSync(page, { level: 9 }).length;
console.log(`The browser page, ${pagePath}, in ${run(chromiumPath, ['--version']).trim()}:`);
console.log(`size          ${kb(page.length).padStart(8)}   ${kb(gzipped)} gzipped` +
            `        target <= 700 KB and 300 KB gzipped: ` +
            verdict(page.length <= 700 * 1024 && gzipped <= 300 * 1024));

// ------------------------------------------------------------------- browser

const browser = await chromium.launch({
    executablePath: chromiumPath,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
           '--disable-sync', '--no-first-run', '--disable-quic'],
});
const pageUrl = pathToFileURL(pagePath).href;

// A fresh context, so that each run opens the file as a new tab would; the
// time at which the page said it was usable, from the start of navigation.
async function openFresh() {
    const context = await browser.newContext({ acceptDownloads: true });
    const tab = await context.newPage();
    await tab.goto(pageUrl);
    await tab.waitForFunction(() => document.body.dataset.ready === 'true', null, { timeout: 60_000 });
    const readyAt = await tab.evaluate(() => performance.getEntriesByName('morvane-ready')[0]?.startTime);
    if (readyAt === undefined) {
        fail('the page set no performance mark morvane-ready');
    }
    return { context, tab, readyAt };
}

// Waits until the worker has warmed up (morvane-warm): the time of that, from
// the start of navigation.
async function warmedUp(tab) {
    await tab.waitForFunction(() => document.body.dataset.warm === 'true', null, { timeout: 60_000 });
    return tab.evaluate(() => performance.getEntriesByName('morvane-warm')[0]?.startTime);
}

// Runs `action` and waits until the operation it starts has finished
// (data-busy back to "false"): its wall time in milliseconds as the test
// sees it, and as the page itself was busy (from data-busy "true" to
// "false", stamped in the page), which leaves out the driver's round trips.
async function timedOperation(tab, action, after = async () => {}) {
    await tab.waitForFunction(() => document.body.dataset.busy === 'false');
    await tab.evaluate(() => {
        window.morvaneDone = new Promise((done) => {
            let began = null;
            const observer = new MutationObserver((records) => {
                if (began === null && document.body.dataset.busy === 'true') {
                    began = performance.now();
                }
                if (records.some((r) => r.oldValue === 'true') && document.body.dataset.busy === 'false') {
                    observer.disconnect();
                    done(performance.now() - (began ?? performance.now()));
                }
            });
            observer.observe(document.body, { attributes: true, attributeFilter: ['data-busy'],
                                              attributeOldValue: true });
        });
    });
    const start = performance.now();
    await action();
    const busy = await tab.evaluate(() => window.morvaneDone);
    await after();
    return { wall: performance.now() - start, busy };
}

// -------------------------------------------------------------- 8 MiB state

const work = mkdtempSync(join(build, 'web-bench.'));
process.on('exit', () => rmSync(work, { recursive: true, force: true }));
const state = join(work, 'GoldenEye 007 (USA).state1');
const picture = join(work, 'face.bmp');
run(makeState, ['--layout', 'mupen64plus', '--container', 'rzip1', '--faces', '60', '--others', '20',
                '--busy-memory', state]);
run(makeState, ['--bitmap', '7', picture]);
const record = JSON.parse(run(cli, ['list', state, '--json'])).face_textures[1].record;
const format = JSON.parse(run(cli, ['info', state, '--json'])).format;

// Opens the state in `tab`, replaces the face and downloads the new state.
async function cycle(tab) {
    const open = await timedOperation(tab, () => tab.setInputFiles('#open-state', state));
    // Selecting the face is an operation of its own, not timed.
    await timedOperation(tab, () => tab.click(`#gallery .face[data-record="${record}"]`));
    const [chooser] = await Promise.all([tab.waitForEvent('filechooser'), tab.click('#replace')]);
    const replace = await timedOperation(tab, () => chooser.setFiles(picture));
    let download;
    const save = await timedOperation(tab, async () => {
        [download] = await Promise.all([tab.waitForEvent('download', { timeout: 60_000 }),
                                        tab.click('#download')]);
    }, async () => {
        downloaded = statSync(await download.path()).size;
    });
    return { open, replace, download: save };
}

// The whole of one cycle, in milliseconds as the player waits.
async function cycleIn(tab) {
    const { open, replace, download } = await cycle(tab);
    return open.wall + replace.wall + download.wall;
}

const starts = [];
const warmStarts = [];
const phases = { open: [], replace: [], download: [], total: [] };
const busy = { open: [], replace: [], download: [] };
const warm = [];
const atOnce = [];
const native = [];
let downloaded = 0;
for (let i = 0; i < runs; ++i) {
    // The state opened the moment the page is usable, before its worker has
    // warmed up: no player is that quick, as picking a file takes seconds.
    {
        const { context, tab } = await openFresh();
        atOnce.push(await cycleIn(tab));
        await context.close();
    }
    const { context, tab, readyAt } = await openFresh();
    starts.push(readyAt);
    warmStarts.push(await warmedUp(tab));

    const first = await cycle(tab);
    for (const phase of ['open', 'replace', 'download']) {
        phases[phase].push(first[phase].wall);
        busy[phase].push(first[phase].busy);
    }
    phases.total.push(first.open.wall + first.replace.wall + first.download.wall);
    // The same again in the same page, its code warm.
    warm.push(await cycleIn(tab));
    await context.close();

    const out = join(work, `native-${i}.state1`);
    const nativeStart = performance.now();
    run(cli, ['replace', state, String(record), picture, '-o', out]);
    native.push(performance.now() - nativeStart);
    rmSync(out, { force: true });
}
await browser.close();

// The core alone, in node: build-web/morvane.js and its wasm, as the split
// page serves them. The wasm's bytes are given to it, so that it does not
// fetch them.
async function coreAlone() {
    const site = join(dirname(pagePath), 'site');
    const createMorvane = createRequire(import.meta.url)(join(site, 'morvane.js'));
    const wasmBinary = readFileSync(join(site, 'morvane.wasm'));
    const stateBytes = readFileSync(state);
    const pictureBytes = readFileSync(picture);
    const name = Buffer.from(`${basename(state)}\0`);
    const times = { open: [], replace: [], pack: [] };
    // Each module adds its handlers to the process.
    process.setMaxListeners(10 + 2 * runs);
    for (let i = 0; i < runs; ++i) {
        // A module of its own each run, as each page has: its heap grows
        // from its first size, and its code starts in V8's first tier.
        const core = await createMorvane({ wasmBinary });
        const session = core._morvane_new();
        const call = (name, ...args) => JSON.parse(core.UTF8ToString(core[`_${name}`](session, ...args)));
        const heap = (bytes) => {
            const pointer = core._malloc(bytes.length);
            core.HEAPU8.set(bytes, pointer);
            return pointer;
        };
        let start = performance.now();
        const file = heap(stateBytes);
        const namePointer = heap(name);
        const opened = call('morvane_open', file, stateBytes.length, namePointer);
        core._free(file);
        core._free(namePointer);
        times.open.push(performance.now() - start);
        start = performance.now();
        const pictureFile = heap(pictureBytes);
        const replaced = call('morvane_replace', record, pictureFile, pictureBytes.length, 0);
        core._free(pictureFile);
        times.replace.push(performance.now() - start);
        start = performance.now();
        const packed = call('morvane_pack');
        times.pack.push(performance.now() - start);
        if (!opened.accepted || replaced.refusal || packed.refusal) {
            fail(`the core refused: ${JSON.stringify([opened.refusal, replaced.refusal, packed.refusal])}`);
        }
        core._morvane_delete(session);
    }
    return times;
}
const alone = await coreAlone();

const start = median(starts);
console.log(`start      ${ms(start)}   median of ${runs}, from opening the file to a usable page ` +
            `(${Math.min(...starts).toFixed(0)} to ${Math.max(...starts).toFixed(0)} ms)   ` +
            `target <= 1 s: ${verdict(start <= 1000)}`);
console.log(`warm       ${ms(median(warmStarts))}   median, from opening the file to the worker's ` +
            'warm-up done (the page is usable meanwhile)');
console.log();
console.log(`${format}, ${statSync(state).size} bytes, 60 faces (medians of ${runs} interleaved runs):`);
const each = (times) => ['open', 'replace', 'download']
    .map((phase) => `${phase} ${median(times[phase]).toFixed(0)} ms`).join(', ');
console.log(`the page, as the player waits: ${each(phases)} (${downloaded} bytes on disk)`);
console.log(`the page, busy by its own clock: ${each(busy)}`);
const aloneTotal = median(alone.open) + median(alone.replace) + median(alone.pack);
console.log('the core alone (wasm in node, one thread, a fresh module each run): ' +
            `open ${median(alone.open).toFixed(0)} ms, ` +
            `replace ${median(alone.replace).toFixed(0)} ms, pack ${median(alone.pack).toFixed(0)} ms`);
const total = median(phases.total);
const cliTime = median(native);
const ratio = total / cliTime;
console.log(`page_open_replace_download ${ms(total)}   morvane-cli replace ${ms(cliTime)}   ` +
            `${ratio.toFixed(2)}x   target <= 3x: ${verdict(ratio <= 3)}`);
console.log(`page_again_same_page       ${ms(median(warm))}   morvane-cli replace ${ms(cliTime)}   ` +
            `${(median(warm) / cliTime).toFixed(2)}x`);
console.log(`page_at_once_after_ready   ${ms(median(atOnce))}   morvane-cli replace ${ms(cliTime)}   ` +
            `${(median(atOnce) / cliTime).toFixed(2)}x`);
const busyTotal = median(busy.open) + median(busy.replace) + median(busy.download);
console.log(`page_busy                  ${ms(busyTotal)}   morvane-cli replace ${ms(cliTime)}   ` +
            `${(busyTotal / cliTime).toFixed(2)}x`);
console.log(`core_open_replace_pack     ${ms(aloneTotal)}   morvane-cli replace ${ms(cliTime)}   ` +
            `${(aloneTotal / cliTime).toFixed(2)}x`);
