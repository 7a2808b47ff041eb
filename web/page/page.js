// The page: opens a save state, shows its faces, replaces and reverts them,
// and gives the new state back as a download. Every file is read here and
// handed to the core in the worker (worker.js); nothing leaves the computer.
// The page keeps only what it shows: the open state's faces and their pixels.

'use strict';

const $ = (id) => document.getElementById(id);

const kFaceBytes = 32 * 64 * 4;
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
        document.body.dataset.ready = 'true';
        $('open-button').disabled = false;
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

function hex(value, digits) {
    return value.toString(16).toUpperCase().padStart(digits, '0');
}

function faceOf(record) {
    return page.faces.find((face) => face.record === record) || null;
}

function draw(canvas, pixels, offset) {
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, 32, 64);
    if (pixels && pixels.byteLength >= offset + kFaceBytes) {
        context.putImageData(new ImageData(new Uint8ClampedArray(pixels, offset, kFaceBytes), 32, 64), 0, 0);
    }
}

function faceTip(face) {
    let tip = `record ${face.record} (exported as ${face.name})\n` +
              `identifier 0x${hex(face.identifier, 4)}\naddress 0x${hex(face.address, 8)}`;
    if (!face.readable) {
        tip += '\nThis texture cannot be read: it lies past the end of memory or over another face.';
    }
    return tip;
}

// The gallery anew, from the core's list and pixels; the selection and the
// scroll position stay.
function showFaces(faces, pixels) {
    page.faces = faces;
    page.pixels = pixels;
    const gallery = $('gallery');
    const focused = document.activeElement && document.activeElement.classList.contains('face')
        ? Number(document.activeElement.dataset.record) : null;
    gallery.replaceChildren();
    faces.forEach((face, index) => {
        const item = document.createElement('button');
        item.type = 'button';
        item.className = 'face';
        item.classList.toggle('changed', face.changed);
        item.classList.toggle('unreadable', !face.readable);
        item.dataset.record = String(face.record);
        item.setAttribute('role', 'option');
        item.setAttribute('aria-selected', String(face.record === page.selected));
        item.tabIndex = -1;
        item.title = faceTip(face);
        const canvas = document.createElement('canvas');
        canvas.width = 32;
        canvas.height = 64;
        draw(canvas, pixels, index * kFaceBytes);
        const label = document.createElement('span');
        label.className = 'record';
        label.textContent = face.changed ? `${face.record} •` : String(face.record);
        item.append(canvas, label);
        gallery.append(item);
    });
    if (page.selected !== null && !faceOf(page.selected)) {
        page.selected = null;
    }
    const current = gallery.querySelector(`.face[data-record="${page.selected ?? focused}"]`) ||
                    gallery.querySelector('.face');
    if (current) {
        current.tabIndex = 0;
        if (focused !== null) {
            current.focus({ preventScroll: true });
        }
    }
}

async function showCompare() {
    const face = page.selected === null ? null : faceOf(page.selected);
    if (!face) {
        draw($('before'), null, 0);
        draw($('after'), null, 0);
        $('face-line').textContent = page.open ? 'Pick a face.' : '';
        return;
    }
    const index = page.faces.indexOf(face);
    draw($('after'), page.pixels, index * kFaceBytes);
    const { answer, bytes } = await core('openedFace', { record: face.record });
    draw($('before'), answer.refusal ? null : bytes, 0);
    $('face-line').textContent = `Record ${face.record}, exported as ${face.name}` +
        (face.changed ? ': changed' : '');
}

function select(record, focus = false) {
    page.selected = record;
    for (const item of $('gallery').querySelectorAll('.face')) {
        const mine = Number(item.dataset.record) === record;
        item.setAttribute('aria-selected', String(mine));
        item.tabIndex = mine ? 0 : -1;
        if (mine && focus) {
            item.focus();
        }
    }
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

// What the file holds, from its first bytes: a picture (PNG or bitmap) or,
// failing that, a save state.
async function isPicture(file) {
    const start = new Uint8Array(await file.slice(0, 8).arrayBuffer());
    const png = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
    return png.every((byte, i) => start[i] === byte) || (start[0] === 0x42 && start[1] === 0x4d);
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
    $('start').hidden = true;
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
async function pictureBytes(file) {
    return file.size > kMaxPictureFile ? null : file.arrayBuffer();
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
        pictures.push({ name: file.name, file: await pictureBytes(file), size: file.size });
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
                      hint: 'Pick the pictures that "All faces as PNGs" saved, edited and named as they were.' });
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
    if (!(await isPicture(file))) {
        await openState(file);
        return;
    }
    const target = record ?? page.selected;
    if (!page.open || target === null) {
        showRefusal({ text: page.open ? 'Drop the picture onto a face' : 'Open a save state first',
                      hint: page.open ? 'Or pick a face, then drop the picture anywhere.'
                                      : 'Then drop the picture onto the face it replaces.' },
                    file.name);
        return;
    }
    await replaceFace(target, file);
}

// --- Wiring -----------------------------------------------------------------------

function faceUnder(target) {
    const item = target instanceof Element ? target.closest('.face') : null;
    return item ? Number(item.dataset.record) : null;
}

// The faces one row down or up: the nearest in the next row of the grid.
function neighbour(items, index, key) {
    const tops = items.map((item) => item.offsetTop);
    const columns = tops.filter((top) => top === tops[0]).length || 1;
    switch (key) {
        case 'ArrowLeft': return index - 1;
        case 'ArrowRight': return index + 1;
        case 'ArrowUp': return index - columns;
        case 'ArrowDown': return index + columns;
        case 'Home': return 0;
        case 'End': return items.length - 1;
        default: return null;
    }
}

function wire() {
    $('open-button').addEventListener('click', () => $('open-state').click());
    // Judged by what it holds, as a drop is: a picture picked here goes onto
    // the selected face, or says where it belongs.
    $('open-state').addEventListener('change', (event) => {
        const [file] = event.target.files;
        event.target.value = '';
        if (file) {
            act(() => takeFile(file, null));
        }
    });
    $('gallery').addEventListener('click', (event) => {
        const record = faceUnder(event.target);
        if (record !== null) {
            select(record);
        }
    });
    $('gallery').addEventListener('dblclick', (event) => {
        if (faceUnder(event.target) !== null) {
            $('pick-picture').click();
        }
    });
    $('gallery').addEventListener('keydown', (event) => {
        const items = [...$('gallery').querySelectorAll('.face')];
        const index = items.indexOf(document.activeElement);
        if ((event.key === 'Enter' || event.key === 'F2') && page.selected !== null) {
            event.preventDefault();
            $('pick-picture').click();
            return;
        }
        const next = neighbour(items, index < 0 ? -1 : index, event.key);
        if (next === null) {
            return;
        }
        event.preventDefault();
        // The first press, before any face has the focus, takes the first.
        const to = index < 0 ? 0 : Math.max(0, Math.min(items.length - 1, next));
        if (items[to]) {
            select(Number(items[to].dataset.record), true);
        }
    });
    $('replace').addEventListener('click', () => $('pick-picture').click());
    $('pick-picture').addEventListener('change', (event) => {
        const [file] = event.target.files;
        event.target.value = '';
        if (file && page.selected !== null) {
            const record = page.selected;
            act(() => replaceFace(record, file));
        }
    });
    $('revert').addEventListener('click', () => {
        const record = page.selected;
        act(() => revertFace(record));
    });
    $('save-png').addEventListener('click', () => {
        const record = page.selected;
        act(() => saveFace(record));
    });
    $('download').addEventListener('click', () => act(downloadState));
    $('export-all').addEventListener('click', () => act(saveAllFaces));
    $('import').addEventListener('click', () => $('import-pictures').click());
    $('import-pictures').addEventListener('change', (event) => {
        const files = [...event.target.files];
        event.target.value = '';
        if (files.length) {
            act(() => takePicturesBack(files));
        }
    });

    // Drops: a state anywhere opens; a picture goes onto the face under it.
    let marked = null;
    const mark = (item) => {
        if (marked !== item) {
            marked?.classList.remove('drop-target');
            item?.classList.add('drop-target');
            marked = item;
        }
    };
    document.addEventListener('dragover', (event) => {
        if (!event.dataTransfer || ![...event.dataTransfer.types].includes('Files')) {
            return;
        }
        event.preventDefault();
        event.dataTransfer.dropEffect = 'copy';
        document.body.classList.add('dragging');
        mark(event.target instanceof Element ? event.target.closest('.face') : null);
    });
    document.addEventListener('dragleave', (event) => {
        if (event.relatedTarget === null) {
            document.body.classList.remove('dragging');
            mark(null);
        }
    });
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        document.body.classList.remove('dragging');
        mark(null);
        const [file] = event.dataTransfer ? event.dataTransfer.files : [];
        if (file && document.body.dataset.ready === 'true') {
            const record = faceUnder(event.target);
            act(() => takeFile(file, record));
        }
    });

    window.addEventListener('beforeunload', (event) => {
        if (page.unsaved > 0) {
            event.preventDefault();
            event.returnValue = '';
        }
    });
}

wire();
updateControls();
startMorvaneWorker($('worker').textContent).then(
    (started) => {
        worker = started;
        worker.onmessage = onWorkerMessage;
        worker.onerror = (event) => {
            showRefusal({ text: 'Morvane could not start in this browser.', hint: event.message || '' });
        };
    },
    (error) => showRefusal({ text: 'Morvane could not start in this browser.', hint: String(error) }));
