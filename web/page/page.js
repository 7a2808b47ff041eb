// The page: opens a save state, shows its faces (gallery.js), replaces and
// reverts them, and gives the new state back as a download. Every file is read here and
// handed to the core in the worker (worker.js); nothing leaves the computer.
// The page keeps only what it shows: the open state's faces and their pixels.

'use strict';

const $ = (id) => document.getElementById(id);

// Files past these sizes are refused by the core unread: the page sends only
// their size, not a copy of a file that may not fit in memory.
const kMaxStateFile = 256 * 1024 * 1024;
const kMaxPictureFile = 1024 * 1024;

// --- The worker ---------------------------------------------------------------

let worker = null;
let nextCall = 1;
const waiting = new Map();

function onWorkerMessage(event) {
    const message = event.data;
    if (message.ready) {
        // How long the page took to become usable, for the benchmarks.
        performance.mark('morvane-ready');
        document.body.dataset.ready = 'true';
        $('open-button').disabled = false;
        return;
    }
    if (message.warm) {
        // From here on the core runs at full speed, for the benchmarks.
        performance.mark('morvane-warm');
        document.body.dataset.warm = 'true';
        return;
    }
    if (message.progress) {
        showProgress(message.progress);
        return;
    }
    const call = waiting.get(message.id);
    if (!call) {
        showRefusal({ text: 'Morvane could not start in this browser.', hint: String(message.failure) });
        return;
    }
    waiting.delete(message.id);
    if (message.failure) {
        call.reject(new Error(message.failure));
    } else {
        call.resolve({ answer: message.answer, bytes: message.bytes });
    }
}

// Runs one call in the worker: its JSON answer and the bytes it made.
function core(name, args = {}, transfer = []) {
    return new Promise((resolve, reject) => {
        const id = nextCall++;
        waiting.set(id, { resolve, reject });
        worker.postMessage({ id, call: name, args }, transfer);
    });
}

// --- What the page shows -----------------------------------------------------

const page = {
    open: false,
    name: '',
    output: '',
    faces: [],          // as the core lists them
    pixels: null,       // every face's RGBA, in the same order
    selected: null,     // record index
    unsaved: 0,         // changes since the last download
};

let tasks = Promise.resolve();
let running = 0;

// Runs the user's actions one after the other; the page is busy meanwhile.
function act(task) {
    running += 1;
    document.body.dataset.busy = 'true';
    updateControls();
    tasks = tasks.then(task).catch((error) => {
        showRefusal({ text: 'Something went wrong inside Morvane.', hint: String(error) });
    }).finally(() => {
        running -= 1;
        if (running === 0) {
            showProgress('');
            document.body.dataset.busy = 'false';
        }
        updateControls();
    });
    return tasks;
}

function showProgress(text) {
    $('progress').textContent = text;
    $('progress').hidden = !text;
}

// A refusal: the core's words first, then what to do.
function showRefusal({ text, hint }, about = '') {
    $('message').querySelector('.message-text').textContent = text;
    $('message').querySelector('.message-hint').textContent =
        [about, hint].filter((line) => line).join('\n');
    $('message').hidden = false;
}

function clearMessages() {
    $('message').hidden = true;
    $('notice').hidden = true;
}

function showNotice(lines) {
    const text = lines.filter((line) => line).join('\n');
    $('notice').textContent = text;
    $('notice').hidden = !text;
}

function faceOf(record) {
    return page.faces.find((face) => face.record === record) || null;
}

// The faces as the core lists them now.
function showFaces(faces, pixels) {
    page.faces = faces;
    page.pixels = pixels;
    if (page.selected !== null && !faceOf(page.selected)) {
        page.selected = null;
    }
    renderGallery($('gallery'), faces, pixels, page.selected);
}

async function showCompare() {
    const face = page.selected === null ? null : faceOf(page.selected);
    if (!face) {
        drawFace($('before'), null, 0);
        drawFace($('after'), null, 0);
        $('face-line').textContent = page.open ? 'Pick a face.' : '';
        return;
    }
    const index = page.faces.indexOf(face);
    drawFace($('after'), page.pixels, index * kFaceBytes);
    const { answer, bytes } = await core('openedFace', { record: face.record });
    drawFace($('before'), answer.refusal ? null : bytes, 0);
    $('face-line').textContent = `Record ${face.record}, exported as ${face.name}` +
        (face.changed ? ': changed' : '');
}

function select(record, focus = false) {
    page.selected = record;
    markSelected($('gallery'), record, focus);
    updateControls();
    act(showCompare);
}

function updateControls() {
    const busy = running > 0;
    const face = page.selected === null ? null : faceOf(page.selected);
    $('open-button').disabled = busy || document.body.dataset.ready !== 'true';
    $('replace').disabled = busy || !face;
    $('revert').disabled = busy || !face || !face.changed;
    $('save-png').disabled = busy || !face || !face.drawn;
    $('download').disabled = busy || !page.open;
    $('export-all').disabled = busy || !page.open;
    $('import').disabled = busy || !page.open;
    $('download').textContent = page.open ? `Download ${page.output}` : 'Download the new state';
}

// --- Files in and out -----------------------------------------------------------

// What the file holds, as the core judges it: 'picture', 'pictures' (a zip
// of them to take back), or failing those 'state'. A zip is judged whole, as
// it may be a zipped state or a set of pictures.
async function judge(file) {
    const start = await file.slice(0, 16).arrayBuffer();
    const { answer } = await core('judge', { start }, [start]);
    if (answer.picture) {
        return 'picture';
    }
    if (answer.archive && file.size <= kMaxStateFile) {
        const archive = await file.arrayBuffer();
        const { answer: whole } = await core('judgeArchive', { archive }, [archive]);
        return whole.pictures ? 'pictures' : 'state';
    }
    return 'state';
}

function download(bytes, name, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 60000);
}

async function openState(file) {
    if (page.open && page.unsaved > 0 &&
        !window.confirm(`The changes to ${page.name} were never downloaded. Open ${file.name} ` +
                        'and leave them behind?')) {
        return;
    }
    clearMessages();
    const bytes = file.size > kMaxStateFile ? null : await file.arrayBuffer();
    const { answer, bytes: pixels } = await core(
        'open', { name: file.name, file: bytes, size: file.size }, bytes ? [bytes] : []);
    if (answer.refusal) {
        showRefusal(answer.refusal, file.name);
        return;
    }
    if (!answer.accepted) {
        // The game was refused; the state opened before stays.
        const [first] = answer.messages;
        if (first) {
            showRefusal({ text: first.text, hint: first.details }, file.name);
        }
        return;
    }
    page.open = true;
    page.name = answer.name;
    page.output = answer.output;
    page.selected = null;
    page.unsaved = 0;
    // Another state can be opened at any time: the button stays, its hint goes.
    $('start').classList.add('opened');
    $('drop-hint').hidden = true;
    $('open-button').textContent = 'Open another state…';
    $('workspace').hidden = false;
    $('state-line').hidden = false;
    $('state-line').textContent =
        `${answer.name}: ${answer.format}. ${answer.status}. ${answer.extracted}.`;
    for (const message of answer.messages) {
        showRefusal({ text: message.text, hint: message.details }, file.name);
    }
    showFaces(answer.faces, pixels);
    await showCompare();
}

// Reads a picture for the core: its bytes, or none past the size no picture
// needs (the core refuses it by its size).
// A picture's bytes; a zip of pictures may be larger than one picture.
async function pictureBytes(file, archive = false) {
    return file.size > (archive ? kMaxStateFile : kMaxPictureFile) ? null : file.arrayBuffer();
}

async function replaceFace(record, file) {
    clearMessages();
    const picture = await pictureBytes(file);
    const { answer, bytes } = await core(
        'replace', { record, picture, size: file.size, dither: $('dither').checked },
        picture ? [picture] : []);
    if (answer.refusal) {
        showRefusal(answer.refusal, file.name);
        return;
    }
    page.unsaved += 1;
    page.selected = record;
    showFaces(answer.faces, bytes);
    showNotice([answer.reduction ? `${file.name}: ${answer.reduction}` : '']);
    await showCompare();
}

async function revertFace(record) {
    clearMessages();
    const { answer, bytes } = await core('revert', { record });
    if (answer.refusal) {
        showRefusal(answer.refusal);
        return;
    }
    page.unsaved += 1;
    showFaces(answer.faces, bytes);
    await showCompare();
}

async function takePicturesBack(files) {
    clearMessages();
    const pictures = [];
    for (const file of files) {
        const archive = (await judge(file)) === 'pictures';
        pictures.push({ name: file.name, file: await pictureBytes(file, archive), size: file.size });
    }
    const { answer, bytes } = await core(
        'importPictures', { pictures, dither: $('dither').checked },
        pictures.map((picture) => picture.file).filter((file) => file));
    if (answer.refusal) {
        showRefusal(answer.refusal);
        return;
    }
    const lines = answer.skipped.map((skipped) => `${skipped.name}: skipped: ${skipped.reason}`);
    const refused = answer.pictures.filter((picture) =>
        picture.outcome === 'refused' || picture.outcome === 'duplicate');
    for (const picture of answer.pictures) {
        if (picture.outcome === 'replaced' || picture.outcome === 'unchanged') {
            lines.push(`${picture.name}: ` +
                (refused.length ? 'accepted, but not taken' : picture.outcome) +
                (picture.reduction ? ` (${picture.reduction})` : ''));
        }
    }
    if (refused.length) {
        const [first] = refused;
        showRefusal({ text: first.text, hint: first.hint },
                    `${first.outcome === 'duplicate' ? '' : first.name + ': '}` +
                    `none of the pictures was taken, as ${refused.length === 1
                        ? 'this one was' : refused.length + ' were'} refused` +
                    refused.slice(1).map((picture) => `\n${picture.name}: ${picture.text}`).join(''));
    } else if (answer.pictures.length === 0) {
        showRefusal({ text: 'No tex_NNN.png or tex_NNN.bmp among the files picked.',
                      hint: 'Pick the pictures that "All faces as PNGs" saved, or that zip itself, edited and named as they were.' });
    } else {
        page.unsaved += answer.pictures.some((picture) => picture.outcome === 'replaced') ? 1 : 0;
    }
    showNotice(lines);
    showFaces(answer.faces, bytes);
    await showCompare();
}

async function downloadState() {
    const { answer, bytes } = await core('pack');
    if (answer.refusal) {
        showRefusal(answer.refusal);
        return;
    }
    download(bytes, answer.name, 'application/octet-stream');
    page.unsaved = 0;
}

async function saveFace(record) {
    const { answer, bytes } = await core('exportPng', { record });
    if (answer.refusal) {
        showRefusal(answer.refusal);
        return;
    }
    download(bytes, answer.name, 'image/png');
}

async function saveAllFaces() {
    const { answer, bytes } = await core('exportAll');
    if (answer.refusal) {
        showRefusal(answer.refusal);
        return;
    }
    download(bytes, answer.name, 'application/zip');
    if (answer.left) {
        showNotice([`Left out, as they have no picture: ${answer.left}`]);
    }
}

// A file given to the page, wherever it came from: a state opens; a picture
// goes onto `record`, or onto the selected face when none is given.
async function takeFile(file, record) {
    const kind = await judge(file);
    if (kind === 'state') {
        await openState(file);
        return;
    }
    if (kind === 'pictures' && page.open) {
        await takePicturesBack([file]);
        return;
    }
    const target = record ?? page.selected;
    if (!page.open || target === null) {
        showRefusal({ text: page.open ? 'Drop the picture onto a face' : 'Open a save state first',
                      hint: page.open ? 'Or pick a face, then drop the picture anywhere.'
                          : kind === 'pictures' ? 'Then drop the zip of pictures on the page.'
                                                : 'Then drop the picture onto the face it replaces.' },
                    file.name);
        return;
    }
    await replaceFace(target, file);
}
