// Nothing leaves the computer. The single file, opened from disk (file://),
// opens a state, replaces a face and downloads the new state while every
// request of the browser is intercepted (the context's and the page's routes)
// and recorded (request events): the only load is the page itself, besides
// the blob: and data: URLs it makes of its own bytes. Its Content-Security-
// Policy stops a request that script tries to make, before it is sent. The
// same page served by a web server (build-web/site/) loads only its own
// three files.

import assert from 'node:assert/strict';
import { createReadStream, existsSync } from 'node:fs';
import { createServer } from 'node:http';
import { dirname, extname, join, normalize } from 'node:path';
import { after, before, test } from 'node:test';

import {
    downloadState, faceRecords, isOwnLoad, launchBrowser, makeBitmap, makeState, newSession, openPage,
    openState, pageUrl, paths, replaceByPicker, stateLine, temporaryFolder,
} from './harness.mjs';

const work = temporaryFolder();
const state = makeState(join(work, 'GoldenEye 007 (USA).state1'),
                        ['--layout', 'mupen64plus', '--container', 'rzip1']);
const picture = makeBitmap(join(work, 'face.bmp'), 9);
const record = faceRecords(state)[0];

// One browser; each case has a context of its own, with its own interception.
let browser;
before(async () => {
    browser = await launchBrowser();
});
after(async () => {
    await browser?.close();
});

test('from file://, a whole session makes no request beyond the page itself', async () => {
    const session = await newSession(browser);
    const { page, requests, refused } = session;
    assert.match(pageUrl, /^file:\/\//);
    await openPage(page);
    await openState(page, state);
    await replaceByPicker(page, record, picture);
    const saved = await downloadState(page);
    assert.ok(saved.bytes.length > 0, 'the download came');

    assert.deepEqual(refused, [], 'no request had to be refused');
    const seen = new Set(requests.map((r) => r.url));
    assert.ok(seen.has(pageUrl), 'the interception saw the page load itself');
    assert.deepEqual([...seen].filter((url) => !isOwnLoad(url)), [], 'nothing else was requested');
    assert.deepEqual([...seen].filter((url) => /^file:/.test(url)), [pageUrl],
                     'the only file loaded is the page');
    const resources = await page.evaluate(() => performance.getEntriesByType('resource').map((e) => e.name));
    assert.deepEqual(resources.filter((url) => !/^(blob|data):/.test(url)), [],
                     'the page loaded no resource');
    assert.deepEqual(session.errors, []);
});

test('the page\'s policy stops a request before it is sent, and the page says nothing is uploaded', async () => {
    const session = await newSession(browser);
    const { page, requests, failed } = session;
    await openPage(page);
    const policy = await page.getAttribute('meta[http-equiv="Content-Security-Policy"]', 'content');
    assert.ok(policy, 'the page carries a Content-Security-Policy');

    const before = requests.length;
    const blocked = await page.evaluate(async () => {
        const violations = [];
        document.addEventListener('securitypolicyviolation', (e) => violations.push(e.blockedURI));
        const fetched = await fetch('http://127.0.0.1:9/upload', { method: 'POST', body: 'state' }).then(
            () => 'sent', () => 'refused');
        const image = new Image();
        image.src = 'http://127.0.0.1:9/pixel.png';
        await new Promise((resolve) => { image.onerror = resolve; image.onload = resolve; });
        await new Promise((resolve) => setTimeout(resolve, 100));
        return { fetched, violations };
    });
    assert.equal(blocked.fetched, 'refused');
    assert.equal(blocked.violations.length, 2, `the policy reported both: ${blocked.violations}`);
    // Chromium may announce a request that its policy then stops: none may
    // reach the interception, which sees everything sent, and each announced
    // one must have been stopped by the policy.
    const tried = requests.slice(before);
    assert.deepEqual(tried.filter((r) => r.where === 'context' || r.where === 'page'), [],
                     'neither request reached the network');
    for (const { url } of tried) {
        assert.deepEqual(failed.filter((f) => f.url === url).map((f) => f.error), ['csp'],
                         `${url} was stopped by the policy`);
    }

    const privacy = (await page.textContent('#privacy')).trim();
    assert.notEqual(privacy, '', '#privacy says so');
    assert.equal(await page.isVisible('#privacy'), true);
});

// The split build for a web server, served from loopback.
function serve(root) {
    const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
    const server = createServer((request, response) => {
        const path = normalize(join(root, decodeURIComponent(new URL(request.url, 'http://x').pathname)));
        if (!path.startsWith(root) || !existsSync(path) || !types[extname(path)]) {
            response.writeHead(404).end();
            return;
        }
        response.writeHead(200, { 'content-type': types[extname(path)] });
        createReadStream(path).pipe(response);
    });
    return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

test('served by a web server, the split page loads only its own three files', async () => {
    const root = join(dirname(paths.page), 'site');
    const server = await serve(root);
    try {
        const origin = `http://127.0.0.1:${server.address().port}`;
        const own = [`${origin}/index.html`, `${origin}/morvane.js`, `${origin}/morvane.wasm`];
        const allowed = (url) => own.includes(url) || /^(blob|data):/.test(url);
        const session = await newSession(browser, { allowed });
        const { page, requests, refused } = session;
        await openPage(page, own[0]);
        await openState(page, state);
        assert.ok((await stateLine(page)).includes('GoldenEye 007 (USA).state1'));
        assert.deepEqual(refused, []);
        const loaded = new Set(requests.map((r) => r.url).filter((url) => !/^(blob|data):/.test(url)));
        assert.deepEqual([...loaded].sort(), own.sort());
        assert.deepEqual(session.errors, []);
    } finally {
        server.close();
    }
});
