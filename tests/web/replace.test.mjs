// One session on one state, as a player has it: faces selected by click and
// keyboard, replaced through the file picker, by a drop and by a double click,
// reverted, saved as PNGs and taken back as a set, and as a zip. After each step the
// download is compared byte for byte with what morvane-cli writes from the
// same inputs, and the faces marked as changed are the ones that are. Leaving
// with changes never downloaded asks first; leaving after the download does
// not. A screenshot after the replacements goes to docs/web.png.

import assert from 'node:assert/strict';
import { copyFileSync, readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';

import {
    assertSameState, changedRecords, cliExport, cliImport, cliReplace, download, downloadState,
    dropFiles, face, faceList, folder, gradientPng, makeBitmap, makeState, openPage, openState,
    operation, paths, replaceByDoubleClick, replaceByDrop, replaceByPicker, selectFace, startBrowser,
    storedZip, temporaryFolder, writeFile, zipEntries,
} from './harness.mjs';

const work = temporaryFolder();
const state = makeState(join(work, 'GOLDENEYE.pj'), ['--faces', '12', '--others', '6']);
const faces = faceList(state);
const records = faces.map((face) => face.record);
const [A, B, C, D] = [records[1], records[4], records[7], records[9]];
const pictureName = (record) => `tex_${String(record).padStart(3, '0')}.png`;

const bitmap = makeBitmap(join(work, 'face20.bmp'), 20);
const gradient = gradientPng(join(work, 'gradient.png'));
const exported = cliExport(state, folder(join(work, 'exported')));
const faceD = join(work, 'exported', pictureName(D));
assert.ok(exported.has(pictureName(D)), `export wrote ${pictureName(D)}`);

// What the tool writes, and exports, for the same replacements; with none,
// what import writes from the faces as exported, which is the state itself.
function toolState(pairs) {
    return pairs.length ? cliReplace(state, pairs) : cliImport(state, join(work, 'exported'));
}
function toolExport(pairs, name) {
    const path = writeFile(join(work, `${name}.pj`), toolState(pairs).bytes);
    return cliExport(path, folder(join(work, `${name}-faces`)));
}

// The two canvases of the large view, as images.
async function compareView(page) {
    return page.evaluate(() => ({
        before: document.querySelector('#compare canvas#before').toDataURL(),
        after: document.querySelector('#compare canvas#after').toDataURL(),
    }));
}

// Leaves the page as closing its tab does: whether the page asked first (the
// question is answered "stay"), closed, or did neither within 20 seconds.
async function leave(page) {
    let timer;
    const outcome = new Promise((resolve) => {
        page.once('dialog', async (dialog) => {
            const type = dialog.type();
            await dialog.dismiss();
            resolve(type);
        });
        page.once('close', () => resolve('closed'));
        timer = setTimeout(() => resolve('neither asked nor closed'), 20_000);
    });
    await page.close({ runBeforeUnload: true });
    const result = await outcome;
    clearTimeout(timer);
    return result;
}

let session;
let page;
before(async () => {
    session = await startBrowser();
    page = session.page;
    await openPage(page);
});
after(async () => {
    await session?.browser.close();
});

test('before a state is open there is nothing to download', async () => {
    assert.equal(await page.isDisabled('#download'), true);
});

test('a click selects a face and the arrow keys move the focus along the gallery', async () => {
    await openState(page, state);
    assert.equal(await page.isEnabled('#download'), true, 'the download is offered once a state is open');
    await selectFace(page, A);
    const selected = await page.$$eval('#gallery .face[aria-selected="true"]',
                                       (items) => items.map((f) => Number(f.dataset.record)));
    assert.deepEqual(selected, [A]);
    const focused = () => page.evaluate(() => Number(document.activeElement.dataset.record));
    assert.equal(await focused(), A, 'the clicked face has the focus');
    await page.keyboard.press('ArrowRight');
    assert.equal(await focused(), records[2], 'ArrowRight moves to the next face');
    await page.keyboard.press('ArrowLeft');
    assert.equal(await focused(), A, 'ArrowLeft moves back');
    assert.deepEqual(await changedRecords(page), [], 'nothing is marked changed yet');
    // The tooltip gives the record, identifier and address as list prints them.
    const listed = faces.find((f) => f.record === A);
    const hex = (value, digits) => value.toString(16).toUpperCase().padStart(digits, '0');
    const tip = await page.getAttribute(face(A), 'title');
    for (const part of [`record ${A}`, `0x${hex(listed.identifier, 4)}`, `0x${hex(listed.address, 8)}`]) {
        assert.ok(tip.includes(part), `the tooltip "${tip}" gives ${part}`);
    }
});

test('a face replaced through the file picker downloads as morvane-cli replace writes it', async () => {
    await replaceByPicker(page, A, bitmap);
    assert.deepEqual(await changedRecords(page), [A]);
    const view = await compareView(page);
    assert.notEqual(view.before, view.after, 'the large view shows the face before and after');
    assertSameState(await downloadState(page), toolState([[A, bitmap]]), 'one replacement');
});

test('a picture dropped on a face replaces it; the download holds every replacement', async () => {
    await replaceByDrop(page, B, gradient);
    assert.deepEqual(await changedRecords(page), [A, B]);
    assert.notEqual((await page.textContent('#notice')).trim(), '',
                    'the notice says how the colours were reduced');
    assertSameState(await downloadState(page), toolState([[A, bitmap], [B, gradient]]), 'two replacements');
});

test('a double click opens the picker; leaving with changes not downloaded asks first', async () => {
    await replaceByDoubleClick(page, C, faceD);
    assert.deepEqual(await changedRecords(page), [A, B, C]);
    if (paths.source) {
        await selectFace(page, C);
        await page.screenshot({ path: join(paths.source, 'docs', 'web.png') });
    }
    assert.equal(await leave(page), 'beforeunload', 'the page asks before it is left');
    assert.equal(page.isClosed(), false, 'answering "stay" keeps the page');
    assertSameState(await downloadState(page), toolState([[A, bitmap], [B, gradient], [C, faceD]]),
                    'three replacements');
});

test('a face saved as PNG, and every face in one zip, are what export writes', async () => {
    const pairs = [[A, bitmap], [B, gradient], [C, faceD]];
    const expected = toolExport(pairs, 'three');
    await selectFace(page, C);
    const png = await download(page, () => page.click('#save-png'));
    assert.equal(png.name, pictureName(C));
    assert.ok(png.bytes.equals(expected.get(pictureName(C))), 'the PNG is the one export writes');

    const all = await download(page, () => page.click('#export-all'));
    assert.equal(all.name, 'GOLDENEYE_faces.zip');
    const entries = zipEntries(all.bytes);
    assert.deepEqual(entries.map((e) => e.name).sort(), [...expected.keys()].sort());
    for (const entry of entries) {
        assert.ok(entry.data.equals(expected.get(entry.name)), `${entry.name} is the one export writes`);
    }
});

test('revert puts the selected face back as it was opened', async () => {
    await selectFace(page, B);
    await operation(page, () => page.click('#revert'));
    assert.deepEqual(await changedRecords(page), [A, C]);
    const view = await compareView(page);
    assert.equal(view.before, view.after, 'the reverted face looks as it did');
    assertSameState(await downloadState(page), toolState([[A, bitmap], [C, faceD]]), 'after a revert');
});

test('reverting every change gives back the state as it was opened', async () => {
    for (const record of [A, C]) {
        await selectFace(page, record);
        await operation(page, () => page.click('#revert'));
    }
    assert.deepEqual(await changedRecords(page), []);
    const reverted = await downloadState(page);
    assertSameState(reverted, toolState([]), 'everything reverted');
    assert.ok(reverted.bytes.equals(readFileSync(state)), 'the download is the state as it was opened');
});

test('a set of PNGs is taken back as morvane-cli import takes it', async () => {
    const dir = folder(join(work, 'edited'));
    for (const name of exported.keys()) {
        copyFileSync(join(work, 'exported', name), join(dir, name));
    }
    copyFileSync(gradient, join(dir, pictureName(A)));
    copyFileSync(faceD, join(dir, pictureName(B)));
    const files = readdirSync(dir).map((name) => join(dir, name));

    const [chooser] = await Promise.all([page.waitForEvent('filechooser'), page.click('#import')]);
    assert.equal(await chooser.element().evaluate((e) => e.id), 'import-pictures');
    assert.equal(chooser.isMultiple(), true);
    await operation(page, () => chooser.setFiles(files));
    assert.deepEqual(await changedRecords(page), [A, B]);
    assert.notEqual((await page.textContent('#notice')).trim(), '', 'the notice says what the import did');
    assertSameState(await downloadState(page), cliImport(state, dir), 'the import');
});

test('the zip of all faces, edited, is taken back by a drop as import takes it', async () => {
    const edited = new Map(exported);
    edited.set(pictureName(C), readFileSync(gradient));
    const zip = writeFile(join(work, 'GOLDENEYE_faces.zip'),
                          storedZip([...edited].map(([name, bytes]) => [`GOLDENEYE_faces/${name}`, bytes])));
    await operation(page, () => dropFiles(page, 'body', [zip]));
    assert.deepEqual(await changedRecords(page), [C], 'the zip puts back A and B as exported');
    assertSameState(await downloadState(page), cliImport(state, zip), 'the zip taken back');
});

test('leaving after the download does not ask', async () => {
    assert.equal(await leave(page), 'closed');
});

test('the page raised no error', () => {
    assert.deepEqual(session.errors, []);
});
