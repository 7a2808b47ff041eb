// Every kind of state that the tool reads opens in the page, which names it as
// the tool does and shows its faces in the tool's order; one face replaced in
// each gives a download byte for byte the tool's (a zip: the same entries in
// the same order, time stamps aside). The first state opens through the
// visible button and its file chooser, the others alternately through the
// file input and by a drop on the page.

import assert from 'node:assert/strict';
import { after, before, test } from 'node:test';
import { join } from 'node:path';

import {
    assertSameState, cliReplace, downloadState, dropState, faceRecords, folder, galleryRecords, info,
    makeBitmap, makeState, openPage, openState, openStateByButton, replaceByPicker, shownMessage,
    startBrowser, stateLine, temporaryFolder, watchProgress,
} from './harness.mjs';

const work = temporaryFolder();
const picture = makeBitmap(join(work, 'face.bmp'), 23);

// Each kind in a folder of its own, under the name its emulator gives it.
const kinds = [
    ['Project64, classic layout', 'GOLDENEYE.pj', []],
    ['Project64, 64-bit layout', 'GoldenEye 007 (U) [!].pj', ['--layout', 'wide', '--faces', '7']],
    ['Project64, fork layout, PAL', 'GOLDENEYE.pj', ['--layout', 'fork', '--region', 'pal']],
    ['Project64, 8 MiB', 'GOLDENEYE.pj1', ['--rdram', '8', '--faces', '12'], true],
    ['Project64, zipped', 'GOLDENEYE.pj.zip', ['--container', 'zip']],
    ['mupen64plus, gzip', 'GoldenEye 007 (U) [!].st0', ['--layout', 'mupen64plus', '--container', 'gzip']],
    ['RMG, version 2.0', 'GoldenEye 007 (U) [!].st1',
        ['--layout', 'mupen64plus', '--mupen-version', '0x00020000', '--container', 'gzip']],
    ['parallel-n64 in RetroArch', 'GoldenEye 007 (USA).state',
        ['--layout', 'parallel-n64', '--m64h', '--container', 'rzip1']],
    ['RetroArch, RZIP v1', 'GoldenEye 007 (USA).state1',
        ['--layout', 'mupen64plus', '--container', 'rzip1', '--extra-blocks']],
    ['RetroArch, RZIP v2', 'GoldenEye 007 (USA).state2', ['--layout', 'mupen64plus', '--container', 'rzip2']],
    ['RetroArch, uncompressed', 'GoldenEye 007 (USA).state.auto',
        ['--layout', 'mupen64plus', '--container', 'rastate', '--region', 'pal']],
    ['RetroArch before 2021, the core state bare', 'GoldenEye 007 (USA).state3',
        ['--layout', 'mupen64plus', '--container', 'rzip1', '--no-blocks']],
].map(([what, name, options, large = false], i) => ({
    what, name, large,
    state: makeState(join(folder(join(work, `kind-${i}`)), name), [...options, '--seed', String(i + 1)]),
}));

let session;
before(async () => {
    session = await startBrowser();
    await openPage(session.page);
});
after(async () => {
    await session?.browser.close();
});

kinds.forEach(({ what, name, large, state }, i) => {
    test(`${what} (${name}) opens, and a replacement downloads as the tool writes it`, async () => {
        const { page } = session;
        const progress = await watchProgress(page);
        if (i === 0) {
            await openStateByButton(page, state);
        } else if (i % 2 === 0) {
            await openState(page, state);
        } else {
            await dropState(page, state);
        }
        assert.equal(await shownMessage(page), null, 'no refusal is shown');
        if (large) {
            assert.ok((await progress.shown()).some((text) => text.includes(name)),
                      `a large state shows its progress while it opens: ${await progress.shown()}`);
            assert.equal(await page.isHidden('#progress'), true, 'and the progress is gone once it is open');
        }

        const expected = info(state);
        const line = await stateLine(page);
        for (const part of [name, expected.format, expected.release]) {
            assert.ok(line.includes(part), `the state line "${line}" names ${part}`);
        }
        // The count of faces, once the name and the format (which hold
        // numbers of their own) are taken out.
        const rest = line.replace(name, ' ').replace(expected.format, ' ');
        assert.match(rest, new RegExp(`\\b${expected.face_textures}\\b`),
                     `the state line "${line}" counts the faces`);

        const records = faceRecords(state);
        assert.equal(records.length, expected.face_textures);
        assert.deepEqual(await galleryRecords(page), records,
                         'the gallery holds the faces list gives, in its order');

        const record = records[records.length - 1];
        await replaceByPicker(page, record, picture);
        assertSameState(await downloadState(page), cliReplace(state, [[record, picture]]), what);
    });
});

test('the page raised no error', () => {
    assert.deepEqual(session.errors, []);
});
