// Where the page finds the core's module, and how it starts it in a Web
// Worker made from a Blob URL, which works from file:// as well as from a
// server. web/assemble.mjs writes the page twice:
//  - morvane.html, one file: #morvane-module holds the module's JavaScript,
//    the wasm inside it (emscripten's SINGLE_FILE);
//  - site/index.html: #morvane-module is empty, and its data-src names
//    morvane.js, beside the page with morvane.wasm.

// The module's JavaScript as text, and the URL of its wasm: null when the
// wasm is inside the text.
async function morvaneModuleSource() {
    const element = document.getElementById('morvane-module');
    if (!element.dataset.src) {
        return { text: element.textContent, wasmUrl: null };
    }
    const url = new URL(element.dataset.src, document.baseURI);
    const response = await fetch(url);
    if (!response.ok) {
        throw new Error(`${url}: ${response.status}`);
    }
    return { text: await response.text(), wasmUrl: new URL('morvane.wasm', url).href };
}

// A worker running `workerCode` after the module's JavaScript: there
// `createMorvane()` gives a promise of the module. A worker made from a Blob
// URL cannot find a wasm beside the page by itself, so it is told where:
// startMorvane() passes that on to createMorvane.
async function startMorvaneWorker(workerCode) {
    const { text, wasmUrl } = await morvaneModuleSource();
    const prologue =
        `const morvaneWasmUrl = ${JSON.stringify(wasmUrl)};\n` +
        'function startMorvane() {\n' +
        '    return createMorvane(morvaneWasmUrl ? { locateFile: () => morvaneWasmUrl } : {});\n' +
        '}\n';
    const blob = new Blob([text, '\n', prologue, workerCode], { type: 'text/javascript' });
    return new Worker(URL.createObjectURL(blob));
}
