// Assembles the browser page from web/page/ and the module that the browser
// build made, node alone (no packages):
//
//   node web/assemble.mjs BUILD     # BUILD holds morvane-single.js, morvane.js, morvane.wasm
//
// writes two pages from the template web/page/index.html:
//  - BUILD/morvane.html: one self-contained file, which works opened from disk;
//  - BUILD/site/: index.html, morvane.js and morvane.wasm, for a web server.
//
// In the template, each <link rel="stylesheet" href="FILE"> and each
// <script src="FILE"></script> naming a file beside it is replaced by the
// file's text in a <style> or <script> element; a script keeps its other
// attributes, so <script type="text/plain" id="worker" src="worker.js"> brings
// a worker's code in as text. The empty
// <script type="text/plain" id="morvane-module"></script> gets the module:
// in morvane.html the JavaScript of morvane-single.js (the wasm inside it), in
// site/ only data-src="morvane.js". web/page/morvane-module.js reads it either
// way and starts the module in a worker made from a Blob URL.
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
        if (/\bid="morvane-module"/i.test(attributes)) {
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
if (!/<script\b[^>]*\bid="morvane-module"[^>]*>\s*<\/script>/i.test(template)) {
    fail('web/page/index.html has no empty <script type="text/plain" id="morvane-module">');
}

const single = readFileSync(join(build, 'morvane-single.js'), 'utf8');
checkFits('morvane-single.js', single, 'script');
writeFileSync(join(build, 'morvane.html'),
              assemble(template, (attributes) => `<script${attributes}>\n${single}</script>`));

const site = join(build, 'site');
mkdirSync(site, { recursive: true });
writeFileSync(join(site, 'index.html'),
              assemble(template, (attributes) =>
                  `<script${attributes} data-src="morvane.js"></script>`));
copyFileSync(join(build, 'morvane.js'), join(site, 'morvane.js'));
copyFileSync(join(build, 'morvane.wasm'), join(site, 'morvane.wasm'));

// What a browser downloads, raw and gzipped as a server would send it.
for (const name of ['morvane.html', 'site/index.html', 'site/morvane.js', 'site/morvane.wasm']) {
    const bytes = readFileSync(join(build, name));
    const kb = (size) => `${(size / 1024).toFixed(0)} KB`;
    console.log(`${join(build, name)}: ${kb(bytes.length)} (${kb(gzipSync(bytes, { level: 9 }).length)} gzipped)`);
}
