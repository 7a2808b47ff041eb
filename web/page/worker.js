// The page's worker: it owns the core's module and one session of it, and
// runs every call the page makes, one at a time, so that the page never
// waits on the core. morvane-module.js puts the module's JavaScript before
// this code; the first message brings the wasm (or null when the module
// finds it beside a served page).
//
// The page sends {id, call, args}; the worker answers {id, answer, bytes},
// where `answer` is the binding's JSON (see web/morvane_web.cpp) and `bytes`
// an ArrayBuffer of what the call made, transferred; or {id, failure} when
// the call itself broke. While a long call runs it may send {progress}.
// Before anything else it sends {ready: true}, or {failure} when the module
// cannot start; then {warm: true} once its warm-up is done.

let core = null;
let session = 0;

// Copies bytes (an ArrayBuffer) into the module's heap: the pointer, to be
// freed by the caller.
function toHeap(buffer) {
    const bytes = new Uint8Array(buffer);
    const pointer = core._malloc(Math.max(1, bytes.length));
    if (pointer === 0) {
        throw new Error('out of memory');
    }
    core.HEAPU8.set(bytes, pointer);
    return pointer;
}

function stringToHeap(text) {
    const size = core.lengthBytesUTF8(text) + 1;
    const pointer = core._malloc(size);
    if (pointer === 0) {
        throw new Error('out of memory');
    }
    core.stringToUTF8(text, pointer, size);
    return pointer;
}

// Runs a binding call whose first argument is the session, with files and
// names copied in and freed after; answers its JSON and the bytes it made.
function run(name, ...args) {
    const pointers = [];
    try {
        const values = args.map((arg) => {
            if (arg === null) {
                return 0;
            }
            if (arg instanceof ArrayBuffer) {
                const pointer = toHeap(arg);
                pointers.push(pointer);
                return pointer;
            }
            if (typeof arg === 'string') {
                const pointer = stringToHeap(arg);
                pointers.push(pointer);
                return pointer;
            }
            return arg;
        });
        const answer = JSON.parse(core.UTF8ToString(core['_' + name](session, ...values)));
        // The heap may have grown during the call: its view is taken afresh.
        const start = core._morvane_bytes(session);
        const size = core._morvane_bytes_size(session);
        const bytes = core.HEAPU8.slice(start, start + size).buffer;
        return { answer, bytes };
    } finally {
        pointers.forEach((pointer) => core._free(pointer));
    }
}

const calls = {
    // A file too large to be what it should is sent as its size alone
    // (`file` null): the core refuses it by that.
    open({ name, file, size }) {
        if (size >= 4 * 1024 * 1024) {
            postMessage({ progress: `Opening ${name} (${(size / 1048576).toFixed(1)} MiB)…` });
        }
        return run('morvane_open', file, size, name);
    },
    judge({ start }) {
        return run('morvane_judge', start, start.byteLength);
    },
    judgeArchive({ archive }) {
        return run('morvane_judge_archive', archive, archive.byteLength);
    },
    replace({ record, picture, size, dither }) {
        return run('morvane_replace', record, picture, size, dither ? 1 : 0);
    },
    revert({ record }) {
        return run('morvane_revert', record);
    },
    openedFace({ record }) {
        return run('morvane_opened_face', record);
    },
    pack() {
        postMessage({ progress: 'Making the new state…' });
        return run('morvane_pack');
    },
    exportPng({ record }) {
        return run('morvane_export_png', record);
    },
    exportAll() {
        return run('morvane_export_all');
    },
    importPictures({ pictures, dither }) {
        for (const { name, file, size } of pictures) {
            const namePointer = stringToHeap(name);
            const filePointer = file ? toHeap(file) : 0;
            try {
                core._morvane_import_add(session, namePointer, filePointer, size);
            } finally {
                core._free(namePointer);
                if (filePointer) {
                    core._free(filePointer);
                }
            }
        }
        return run('morvane_import_finish', dither ? 1 : 0);
    },
};

let started = null;

onmessage = (event) => {
    const message = event.data;
    if (started === null) {
        morvaneWasm = message.wasm;
        started = startMorvane().then(
            (module) => {
                core = module;
                session = core._morvane_new();
                postMessage(session ? { ready: true } : { failure: 'out of memory' });
                // Once the page is usable: the first state then opens at full
                // speed (see morvane_warm_up). A call the page makes meanwhile
                // waits for it, as every call waits for the one before.
                if (session) {
                    core._morvane_warm_up(session);
                    postMessage({ warm: true });
                }
            },
            (error) => postMessage({ failure: String(error) }));
        return;
    }
    const { id, call, args } = message;
    try {
        const { answer, bytes } = calls[call](args);
        postMessage({ id, answer, bytes }, [bytes]);
    } catch (error) {
        postMessage({ id, failure: String(error) });
    }
};
