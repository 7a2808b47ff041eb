// The gallery: one button a face, its 32x64 pixels drawn pixel-sharp (the
// stylesheet scales the canvas), its record beneath, its record, identifier
// and address in its tooltip, as the window gives them. One face at a time
// takes the keyboard's focus (a roving tabindex); the arrows move it.

'use strict';

const kFaceBytes = 32 * 64 * 4;

function hex(value, digits) {
    return value.toString(16).toUpperCase().padStart(digits, '0');
}

// Draws the face whose RGBA starts at `offset` of `pixels`; blank without.
function drawFace(canvas, pixels, offset) {
    const context = canvas.getContext('2d');
    context.clearRect(0, 0, 32, 64);
    if (pixels && pixels.byteLength >= offset + kFaceBytes) {
        const rgba = new Uint8ClampedArray(pixels, offset, kFaceBytes);
        context.putImageData(new ImageData(rgba, 32, 64), 0, 0);
    }
}

function faceTip(face) {
    let tip = `record ${face.record} (exported as ${face.name})\n` +
              `identifier 0x${hex(face.identifier, 4)}\naddress 0x${hex(face.address, 8)}`;
    if (!face.readable) {
        tip += '\nThis texture cannot be read: it lies past the end of memory or over another ' +
               'face, so it is shown blank and cannot be replaced.';
    }
    return tip;
}

// Builds the gallery anew from the core's list of faces and their pixels.
// The face that had the focus keeps it; `selected` is marked; the scroll
// position stays, as the gallery's size does.
function renderGallery(gallery, faces, pixels, selected) {
    const active = document.activeElement;
    const focused = active && active.classList.contains('face') ? Number(active.dataset.record)
                                                                : null;
    const items = faces.map((face, index) => {
        const item = document.createElement('button');
        item.type = 'button';
        item.className = 'face';
        item.classList.toggle('changed', face.changed);
        item.classList.toggle('unreadable', !face.readable);
        item.dataset.record = String(face.record);
        item.setAttribute('role', 'option');
        item.setAttribute('aria-selected', String(face.record === selected));
        item.tabIndex = -1;
        item.title = faceTip(face);
        const canvas = document.createElement('canvas');
        canvas.width = 32;
        canvas.height = 64;
        drawFace(canvas, pixels, index * kFaceBytes);
        const label = document.createElement('span');
        label.className = 'record';
        label.textContent = String(face.record);
        item.append(canvas, label);
        return item;
    });
    gallery.replaceChildren(...items);
    const current = gallery.querySelector(`.face[data-record="${selected ?? focused}"]`) ||
                    gallery.querySelector('.face');
    if (current) {
        current.tabIndex = 0;
        if (focused !== null) {
            current.focus({ preventScroll: true });
        }
    }
}

// Marks `record` as the selected face, and the one the keyboard reaches.
function markSelected(gallery, record, focus) {
    for (const item of gallery.querySelectorAll('.face')) {
        const mine = Number(item.dataset.record) === record;
        item.setAttribute('aria-selected', String(mine));
        item.tabIndex = mine ? 0 : -1;
        if (mine && focus) {
            item.focus();
        }
    }
}

// The record of the face at or around an event's target, or null.
function faceUnder(target) {
    const item = target instanceof Element ? target.closest('.face') : null;
    return item ? Number(item.dataset.record) : null;
}

// Where a key moves the focus from face `index` of `items`: up and down by a
// row of the grid, as many faces as its first row holds. Null for other keys.
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
