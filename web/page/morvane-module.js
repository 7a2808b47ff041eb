// Where the page finds the core's module, and how it starts it in a Web
// Worker made from a Blob URL, which works from file:// as well as from a
// server. web/assemble.mjs writes the page twice:
//  - morvane.html, one file: #morvane-module holds the module's JavaScript
//    and #morvane-wasm its wasm, gzipped, in base64;
//  - site/index.html: both are empty, and their data-src attributes name
//    morvane.js and morvane.wasm beside the page.

// The wasm of the one-file page: base64, then gunzip, all in the page.
async function unpackWasm(base64) {
    const packed = Uint8Array.from(atob(base64.trim()), (c) => c.charCodeAt(0));
    const stream = new Blob([packed]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Response(stream).arrayBuffer();
}

// A worker running `workerCode` after the module's JavaScript. There
// startMorvane() gives a promise of the module: createMorvane() given the
// wasm's bytes, or told where the wasm lies beside a served page. Scripts of
// a worker made from a Blob URL resolve no name beside the page by
// themselves, so they get whole URLs.
async function startMorvaneWorker(workerCode) {
    const moduleElement = document.getElementById('morvane-module');
    const wasmElement = document.getElementById('morvane-wasm');
    let prologue;
    const transfer = [];
    let wasm = null;
    if (moduleElement.dataset.src) {
        const moduleUrl = new URL(moduleElement.dataset.src, document.baseURI).href;
        const wasmUrl = new URL(wasmElement.dataset.src, document.baseURI).href;
        prologue =
            `importScripts(${JSON.stringify(moduleUrl)});\n` +
            'let morvaneWasm = null;\n' +
            'function startMorvane() {\n' +
            `    return createMorvane({ locateFile: () => ${JSON.stringify(wasmUrl)} });\n` +
            '}\n';
    } else {
        wasm = await unpackWasm(wasmElement.textContent);
        transfer.push(wasm);
        prologue =
            moduleElement.textContent +
            '\nlet morvaneWasm = null;\n' +
            'function startMorvane() {\n' +
            '    const wasmBinary = morvaneWasm;\n' +
            '    morvaneWasm = null;\n' +
            '    return createMorvane({ wasmBinary });\n' +
            '}\n';
    }
    const blob = new Blob([prologue, '\n', workerCode], { type: 'text/javascript' });
    // The URL lives as long as the page: the worker may fetch it after this
    // returns.
    const worker = new Worker(URL.createObjectURL(blob));
    // The first message the worker gets: the wasm, or null when it finds it.
    worker.postMessage({ wasm }, transfer);
    return worker;
}
