// The page's controls: what each button, picker, key and drop does, and the
// start of the core's worker. The actions themselves are in page.js.

'use strict';

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
    // While a file is dragged over a face, that face is marked.
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
        const files = event.dataTransfer ? [...event.dataTransfer.files] : [];
        if (files.length === 0 || document.body.dataset.ready !== 'true') {
            return;
        }
        // Several files at once are a set of pictures to take back, each
        // onto the face its name gives.
        if (files.length > 1 && page.open) {
            act(() => takePicturesBack(files));
            return;
        }
        const record = faceUnder(event.target);
        act(() => takeFile(files[0], record));
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
