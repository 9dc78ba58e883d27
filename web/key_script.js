// Key scripts in vonkel-lab's format, for ?keys=: lines "FRAME KEYS", from
// frame FRAME on exactly those keys are held (KEYS is "-" or a comma-separated
// list of up, down, left, right, z, enter, escape). Frames strictly increase;
// blank lines and lines starting with '#' are ignored.

// The bits of the key mask the wasm module reads (web/page_keys.h).
export const KeyBit = Object.freeze({
  up: 1 << 0,
  down: 1 << 1,
  left: 1 << 2,
  right: 1 << 3,
  z: 1 << 4,
  enter: 1 << 5,
  escape: 1 << 6,
});

const kMaxFrame = 9999999;

function keysMask(text, lineNumber) {
  if (text === '-') return 0;
  let mask = 0;
  for (const item of text.split(',').map((s) => s.trim())) {
    const bit = KeyBit[item];
    if (!Object.hasOwn(KeyBit, item)) throw new Error(`line ${lineNumber}: unknown key '${item}'`);
    if (mask & bit) throw new Error(`line ${lineNumber}: key '${item}' listed twice`);
    mask |= bit;
  }
  return mask;
}

// Returns the changes [{frame, mask}] in order; throws an Error whose message
// names the line of the first fault.
export function parseKeyScript(text) {
  const changes = [];
  text.split('\n').forEach((raw, index) => {
    const lineNumber = index + 1;
    const line = raw.trim();
    if (line === '' || line.startsWith('#')) return;
    const match = /^(\d+)(?:[ \t]+(.*))?$/.exec(line);
    if (!match) throw new Error(`line ${lineNumber}: expected 'FRAME KEYS', got '${line.slice(0, 40)}'`);
    const frame = Number(match[1]);
    if (frame > kMaxFrame) throw new Error(`line ${lineNumber}: frame number too large`);
    if (match[2] === undefined) throw new Error(`line ${lineNumber}: missing keys (use '-' for none)`);
    if (changes.length && frame <= changes[changes.length - 1].frame) {
      throw new Error(`line ${lineNumber}: frames must increase`);
    }
    changes.push({ frame, mask: keysMask(match[2].trim(), lineNumber) });
  });
  return changes;
}

// The mask held in `frame`: the last change at or before it, none before the first.
export function maskAt(changes, frame) {
  let mask = 0;
  for (const change of changes) {
    if (change.frame > frame) break;
    mask = change.mask;
  }
  return mask;
}
