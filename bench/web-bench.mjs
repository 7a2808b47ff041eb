// The browser page's figures, printed against their targets; never a test.
//   - the page's size, raw and gzipped as a server would send it;
//   - from opening the file to a usable page (the page sets
//     body[data-ready="true"] once the core has started in its worker),
//     measured in the page from the start of its navigation;
//   - an 8 MiB RetroArch state (mupen64plus-next, RZIP v1, 60 faces, its
//     free memory half busy) opened, one face replaced and the new state
//     downloaded in the page, against `morvane-cli replace` of the same state
//     and picture as a whole process. The two take turns.
// The page runs from file:// in Debian's chromium, driven by playwright-core
// from tests/web/node_modules (scripts/install-web-deps.sh installs it).
//
// usage: node bench/web-bench.mjs [BUILD_DIR] [PAGE]
//        (default build-bench and build-web/morvane.html; RUNS=7)

import { spawnSync } from 'node:child_process';
import { existsSync, mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
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
                           [join(source, 'tests/web/node_modules/playwright-core'), 'scripts/install-web-deps.sh']]) {
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
    await tab.addInitScript(() => {
        new MutationObserver((_, observer) => {
            if (document.body && document.body.dataset.ready === 'true') {
                window.morvaneReadyAt = performance.now();
                observer.disconnect();
            }
        }).observe(document, { attributes: true, subtree: true, attributeFilter: ['data-ready'] });
    });
    await tab.goto(pageUrl);
    await tab.waitForFunction(() => window.morvaneReadyAt !== undefined, null, { timeout: 60_000 });
    return { context, tab, readyAt: await tab.evaluate(() => window.morvaneReadyAt) };
}

// Runs `action` and waits until the operation it starts has finished
// (data-busy back to "false"); its wall time in milliseconds.
async function timedOperation(tab, action) {
    await tab.evaluate(() => {
        window.morvaneDone = new Promise((done) => {
            const observer = new MutationObserver((records) => {
                if (records.some((r) => r.oldValue === 'true') && document.body.dataset.busy === 'false') {
                    observer.disconnect();
                    done();
                }
            });
            observer.observe(document.body, { attributes: true, attributeFilter: ['data-busy'],
                                              attributeOldValue: true });
        });
    });
    const start = performance.now();
    await action();
    await tab.evaluate(() => window.morvaneDone);
    return performance.now() - start;
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

const starts = [];
const phases = { open: [], replace: [], download: [], total: [] };
const native = [];
let downloaded = 0;
for (let i = 0; i < runs; ++i) {
    const { context, tab, readyAt } = await openFresh();
    starts.push(readyAt);

    const open = await timedOperation(tab, () => tab.setInputFiles('#open-state', state));
    const replace = await timedOperation(tab, async () => {
        await tab.click(`#gallery .face[data-record="${record}"]`);
        const [chooser] = await Promise.all([tab.waitForEvent('filechooser'), tab.click('#replace')]);
        await chooser.setFiles(picture);
    });
    const start = performance.now();
    const [download] = await Promise.all([tab.waitForEvent('download', { timeout: 60_000 }),
                                          tab.click('#download')]);
    downloaded = statSync(await download.path()).size;
    const save = performance.now() - start;
    phases.open.push(open);
    phases.replace.push(replace);
    phases.download.push(save);
    phases.total.push(open + replace + save);
    await context.close();

    const out = join(work, `native-${i}.state1`);
    const nativeStart = performance.now();
    run(cli, ['replace', state, String(record), picture, '-o', out]);
    native.push(performance.now() - nativeStart);
    rmSync(out, { force: true });
}
await browser.close();

const start = median(starts);
console.log(`start      ${ms(start)}   median of ${runs}, from opening the file to a usable page ` +
            `(first ${starts[0].toFixed(0)} ms)   target <= 1 s: ${verdict(start <= 1000)}`);
console.log();
console.log(`${format}, ${statSync(state).size} bytes, 60 faces (medians of ${runs} interleaved runs):`);
console.log(`page: open ${median(phases.open).toFixed(0)} ms, replace ${median(phases.replace).toFixed(0)} ms, ` +
            `download ${median(phases.download).toFixed(0)} ms (${downloaded} bytes)`);
const total = median(phases.total);
const cliTime = median(native);
const ratio = total / cliTime;
console.log(`page_open_replace_download ${ms(total)}   morvane-cli replace ${ms(cliTime)}   ` +
            `${ratio.toFixed(2)}x   target <= 3x: ${verdict(ratio <= 3)}`);
