// Writes the page's icons from the game's own 16 x 16 picture (icon_tool.cpp,
// compiled for node): each size is a whole multiple of the picture, pixel
// for pixel, so no size is drawn by hand or smoothed.
//
//   node make_icons.js ICON-TOOL.js OUTPUT-DIR
//
// icon-N.png shows the picture edge to edge; icon-maskable-N.png puts it in
// the middle half of a black square, inside the circle of 80 % that every
// mask keeps.
'use strict';
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');

const kPicture = 16;
const kIcons = [
  { name: 'icon-32.png', size: 32, border: 0 },
  { name: 'icon-192.png', size: 192, border: 0 },
  { name: 'icon-512.png', size: 512, border: 0 },
  { name: 'icon-maskable-192.png', size: 192, border: 8 },
  { name: 'icon-maskable-512.png', size: 512, border: 8 },
];

const crcTable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function chunk(type, data) {
  const head = Buffer.alloc(8);
  head.writeUInt32BE(data.length, 0);
  head.write(type, 4, 'ascii');
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(Buffer.concat([head.subarray(4), data])), 0);
  return Buffer.concat([head, data, crc]);
}

// An 8-bit RGB PNG of `size` x `size` from pixelAt(x, y) = 0xRRGGBB. Rows
// repeating the one above are filtered "up" (all zeros), which deflates to
// almost nothing.
function png(size, pixelAt) {
  const rows = [];
  let previous = null;
  for (let y = 0; y < size; ++y) {
    const row = Buffer.alloc(3 * size);
    for (let x = 0; x < size; ++x) {
      const p = pixelAt(x, y);
      row[3 * x] = p >> 16;
      row[3 * x + 1] = (p >> 8) & 0xff;
      row[3 * x + 2] = p & 0xff;
    }
    const up = previous !== null && row.equals(previous);
    rows.push(Buffer.from([up ? 2 : 0]), up ? Buffer.alloc(row.length) : row);
    previous = row;
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(size, 0);
  header.writeUInt32BE(size, 4);
  header[8] = 8;  // bits per channel
  header[9] = 2;  // RGB
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    chunk('IHDR', header),
    chunk('IDAT', zlib.deflateSync(Buffer.concat(rows), { level: 9 })),
    chunk('IEND', Buffer.alloc(0)),
  ]);
}

async function main() {
  const [tool, outputDir] = process.argv.slice(2);
  const module = await require(path.resolve(tool))();
  const pointer = module._vonkel_icon_pixels();
  const picture = Array.from(module.HEAPU32.subarray(pointer / 4, pointer / 4 + kPicture * kPicture));
  for (const { name, size, border } of kIcons) {
    const cells = kPicture + 2 * border;  // the square in game pixels
    const pixelAt = (x, y) => {
      const px = Math.floor((x * cells) / size) - border;
      const py = Math.floor((y * cells) / size) - border;
      const inside = px >= 0 && py >= 0 && px < kPicture && py < kPicture;
      return inside ? picture[py * kPicture + px] : 0;
    };
    fs.writeFileSync(path.join(outputDir, name), png(size, pixelAt));
  }
}

main().catch((error) => {
  console.error(`make_icons: ${error.message}`);
  process.exit(1);
});
