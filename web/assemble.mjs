// Assembles the browser page from web/page/ and the module that the browser
// build made, node alone (no packages):
//
//   node web/assemble.mjs BUILD     # BUILD holds morvane.js and morvane.wasm
//
// writes two pages from the template web/page/index.html:
//  - BUILD/morvane.html: one self-contained file, which works opened from disk;
//  - BUILD/site/: index.html, morvane.js and morvane.wasm, for a web server.
//
// In the template, each <link rel="stylesheet" href="FILE"> and each
// <script src="FILE"></script> naming a file beside it is replaced by the
// file's text in a <style> or <script> element; a script keeps its other
// attributes, so <script type="text/plain" id="worker" src="worker.js"> brings
// a worker's code in as text. The two empty elements
// <script type="text/plain" id="morvane-module"></script> and
// <script type="application/octet-stream" id="morvane-wasm"></script> get the
// module: in morvane.html the JavaScript of morvane.js and the wasm, gzipped,
// in base64; in site/ only data-src attributes naming the two files.
// web/page/morvane-module.js reads them either way and starts the module in a
// worker made from a Blob URL.
//
// A page that loads anything else from outside itself is refused, as is text
// that would end its element early.

import { copyFileSync, mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { gzipSync } from 'node:zlib';

const pageDir = join(dirname(fileURLToPath(import.meta.url)), 'page');

function fail(message) {
    console.error(`assemble.mjs: ${message}`);
    process.exit(1);
}

// The text of a file beside the template, checked to fit in its element.
function inlineText(name, closing) {
    if (/^([a-z][a-z0-9+.-]*:|\/)/i.test(name)) {
        fail(`${name}: the page may name only files beside it in web/page/`);
    }
    const text = readFileSync(join(pageDir, name), 'utf8');
    checkFits(name, text, closing);
    return text;
}

// An element's text must not hold its closing tag, nor "<!--", after which a
// browser may read "<script" as the start of another script.
function checkFits(name, text, closing) {
    const lower = text.toLowerCase();
    if (lower.includes(`</${closing}`) || lower.includes('<!--')) {
        fail(`${name} holds "</${closing}" or "<!--", which would end its element early`);
    }
}

function assemble(template, module) {
    let page = template.replace(/<link\b[^>]*>/gi, (tag) => {
        const href = /\bhref="([^"]*)"/i.exec(tag);
        if (!/\brel="stylesheet"/i.test(tag) || !href) {
            return tag;
        }
        return `<style>\n${inlineText(href[1], 'style')}</style>`;
    });
    page = page.replace(/<script\b([^>]*)>\s*<\/script>/gi, (tag, attributes) => {
        if (/\bid="morvane-(module|wasm)"/i.test(attributes)) {
            return module(attributes);
        }
        const src = /\s*\bsrc="([^"]*)"/i.exec(attributes);
        if (!src) {
            return tag;
        }
        const rest = attributes.replace(src[0], '');
        return `<script${rest}>\n${inlineText(src[1], 'script')}</script>`;
    });
    // What is left to load: a src, or a stylesheet's href, outside the inlined text.
    const markup = page.replace(/(<(script|style)\b[^>]*>)[\s\S]*?(<\/\2>)/gi, '$1$3');
    if (/\ssrc\s*=\s*"(?!data:)|<link\b[^>]*\shref\s*=\s*"(?!data:)/i.test(markup)) {
        fail('the page loads a file that is not inlined (a src or a link\'s href is left)');
    }
    return page;
}

const build = process.argv[2];
if (!build) {
    fail('usage: node web/assemble.mjs BUILD');
}
const template = readFileSync(join(pageDir, 'index.html'), 'utf8');
for (const id of ['morvane-module', 'morvane-wasm']) {
    if (!new RegExp(`<script\\b[^>]*\\bid="${id}"[^>]*>\\s*<\\/script>`, 'i').test(template)) {
        fail(`web/page/index.html has no empty <script id="${id}">`);
    }
}
// The policy the template gives forbids every load from outside the page;
// served, the page loads its two other files from its own server.
const policy = /<meta http-equiv="Content-Security-Policy" content="([^"]*)">/i.exec(template);
if (!policy || !/default-src 'none'/.test(policy[1])) {
    fail('web/page/index.html has no Content-Security-Policy of default-src \'none\'');
}

// One file: the module's JavaScript as text, and its wasm gzipped and in
// base64, which the page unpacks itself (DecompressionStream): a third of the
// size of the wasm in base64 alone.
const moduleText = readFileSync(join(build, 'morvane.js'), 'utf8');
checkFits('morvane.js', moduleText, 'script');
const wasm = readFileSync(join(build, 'morvane.wasm'));
const packedWasm = gzipSync(wasm, { level: 9 }).toString('base64');
writeFileSync(join(build, 'morvane.html'),
              assemble(template, (attributes) => /\bid="morvane-wasm"/i.test(attributes)
                  ? `<script${attributes}>${packedWasm}</script>`
                  : `<script${attributes}>\n${moduleText}</script>`));

const site = join(build, 'site');
mkdirSync(site, { recursive: true });
const served = template.replace(policy[0], policy[0]
    .replace("script-src ", "script-src 'self' ")
    .replace("connect-src 'none'", "connect-src 'self'"));
writeFileSync(join(site, 'index.html'),
              assemble(served, (attributes) => /\bid="morvane-wasm"/i.test(attributes)
                  ? `<script${attributes} data-src="morvane.wasm"></script>`
                  : `<script${attributes} data-src="morvane.js"></script>`));
copyFileSync(join(build, 'morvane.js'), join(site, 'morvane.js'));
copyFileSync(join(build, 'morvane.wasm'), join(site, 'morvane.wasm'));

// What a browser downloads, raw and gzipped as a server would send it.
for (const name of ['morvane.html', 'site/index.html', 'site/morvane.js', 'site/morvane.wasm']) {
    const bytes = readFileSync(join(build, name));
    const kb = (size) => `${(size / 1024).toFixed(0)} KB`;
    console.log(`${join(build, name)}: ${kb(bytes.length)} (${kb(gzipSync(bytes, { level: 9 }).length)} gzipped)`);
}
