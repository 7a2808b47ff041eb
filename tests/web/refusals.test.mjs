// What the page refuses, and that a refusal changes nothing: a file that is
// no state, a state cut short and a damaged archive leave the state opened
// before as it was; a picture of the wrong size, one far too large and a set
// of pictures with one bad among them (dropped together) leave every face as
// it was. Each
// refusal shows the core's text exactly (the text morvane-cli gives for the
// same file), followed by a hint.

import assert from 'node:assert/strict';
import { copyFileSync, readFileSync, readdirSync } from 'node:fs';
import { basename, join } from 'node:path';
import { after, before, test } from 'node:test';
import { randomBytes } from 'node:crypto';

import {
    changedRecords, cli, cliExport, downloadState, dropFiles, dropState, faceRecords, folder,
    galleryRecords, makeState, openPage, openState, operation, replaceByDrop, replaceByPicker,
    shownMessage, startBrowser, stateLine, temporaryFolder, truecolourPng, writeFile,
} from './harness.mjs';

const work = temporaryFolder();
const state = makeState(join(work, 'GOLDENEYE.pj'));
const records = faceRecords(state);
const record = records[2];

const notAState = writeFile(join(work, 'notes.pj'), randomBytes(5 << 20));
const truncated = makeState(join(work, 'cut.pj'), ['--truncate', '100000']);
const zipped = makeState(join(work, 'GOLDENEYE.pj.zip'), ['--container', 'zip']);
const damagedZip = writeFile(join(work, 'damaged.pj.zip'), readFileSync(zipped).subarray(0, 3000));
const wrongSize = writeFile(join(work, 'wide.png'), truecolourPng(40, 40, (x, y) => [x * 6, y * 6, 90]));
// A PNG's signature, then more bytes than any picture of a face needs.
const tooLarge = writeFile(join(work, 'huge.png'), Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), randomBytes(1 << 20)]));

// The tool's first line for the file, less the name it begins with: the
// core's text.
function toolText(args, file) {
    const run = cli(args, { allowFailure: true });
    assert.equal(run.status, 1, `morvane-cli ${args.join(' ')} refuses`);
    const first = run.stderr.split('\n')[0];
    assert.ok(first.startsWith(`${basename(file)}: `) || first.startsWith(`${file}: `), first);
    return first.slice(first.indexOf(': ') + 2);
}

async function assertRefused(page, text, what) {
    const message = await shownMessage(page);
    assert.notEqual(message, null, `${what}: a refusal is shown`);
    assert.equal(message.text, text, `${what}: the core's text`);
    assert.notEqual(message.hint, '', `${what}: a hint follows`);
    assert.notEqual(message.hint, text, `${what}: the hint says more than the text`);
    assert.equal(message.textFirst, true, `${what}: the text comes before the hint`);
    return message;
}

let session;
let page;
let opened;
before(async () => {
    session = await startBrowser();
    page = session.page;
    await openPage(page);
    await openState(page, state);
    opened = { line: await stateLine(page), faces: await galleryRecords(page) };
    assert.equal(await shownMessage(page), null, 'an accepted state shows no refusal');
});
after(async () => {
    await session?.browser.close();
});

const states = [
    ['a file that is no state', notAState, 'Not a valid Goldeneye PJ64 file'],
    ['a state cut short', truncated, 'The file is too short to be a save state'],
    ['a damaged zip', damagedZip, "The save state's archive is damaged or cannot be read"],
];
states.forEach(([what, file, text], i) => {
    test(`${what} is refused, and the state opened before stays`, async () => {
        assert.equal(toolText(['info', file], file), text, 'morvane-cli gives the same text');
        if (i % 2 === 0) {
            await openState(page, file);
        } else {
            await dropState(page, file);
        }
        await assertRefused(page, text, what);
        assert.equal(await stateLine(page), opened.line, 'the state line still names the state');
        assert.deepEqual(await galleryRecords(page), opened.faces, 'the gallery still shows its faces');
        const kept = await downloadState(page);
        assert.equal(kept.name, 'GOLDENEYE_new.pj');
        assert.ok(kept.bytes.equals(readFileSync(state)), 'the download is still the state opened before');
    });
});

test('a picture of the wrong size is refused, saying its size, and the face stays', async () => {
    const text = 'The file was not a 32x64 bitmap';
    const out = join(work, 'x.pj');
    assert.equal(toolText(['replace', state, String(record), wrongSize, '-o', out], wrongSize), text);
    await replaceByPicker(page, record, wrongSize);
    const message = await assertRefused(page, text, 'a 40x40 picture');
    assert.match(message.hint, /40x40/, 'the hint gives the picture\'s size');
    assert.deepEqual(await changedRecords(page), []);
});

test('a picture file of more than 1 MiB is refused, and the face stays', async () => {
    const text = 'The file is larger than 1 MiB, far more than a 32x64 picture needs';
    const out = join(work, 'x.pj');
    assert.equal(toolText(['replace', state, String(record), tooLarge, '-o', out], tooLarge), text);
    await replaceByDrop(page, record, tooLarge);
    await assertRefused(page, text, 'a picture of 1 MiB and a byte');
    assert.deepEqual(await changedRecords(page), []);
});

test('a set of pictures with one of the wrong size changes no face at all', async () => {
    const dir = folder(join(work, 'faces'));
    cliExport(state, dir);
    const names = readdirSync(dir);
    copyFileSync(wrongSize, join(dir, names[names.length - 1]));
    const edited = truecolourPng(32, 64, (x, y) => [x * 8, y * 4, 30]);
    writeFile(join(dir, names[0]), edited);
    const run = cli(['import', state, dir, '-o', join(work, 'imported.pj')], { allowFailure: true });
    assert.equal(run.status, 1, 'morvane-cli import refuses the set');

    // Dropped on the page all at once, which takes them as the import does.
    await operation(page, () => dropFiles(page, 'body', names.map((name) => join(dir, name))));
    const message = await shownMessage(page);
    assert.notEqual(message, null, 'the refusal is shown');
    assert.match(`${message.text} ${message.hint}`, /The file was not a 32x64 bitmap/,
                 'it gives the refused picture\'s text');
    assert.deepEqual(await changedRecords(page), [], 'not even the good picture went in');
    const kept = await downloadState(page);
    assert.ok(kept.bytes.equals(readFileSync(state)), 'the download is the state as opened');
});

test('the page raised no error', () => {
    assert.deepEqual(session.errors, []);
});
