// The URL's settings and the few ways the page talks to the module: C
// strings both ways, and each key name's bit as the module reads the names.
import { kKeyNames } from './input.js';

const kDefaultScriptFrames = 3000;

function readUint32(params, name) {
  const text = params.get(name);
  if (text === null) return null;
  if (!/^\d{1,10}$/.test(text) || Number(text) > 0xffffffff) {
    throw new Error(`?${name}= takes a whole number from 0 to 4294967295, not '${text}'`);
  }
  return Number(text);
}

// Calls fn with a copy of `text` in the module's memory (a C string).
export function withText(m, text, fn) {
  const size = m.lengthBytesUTF8(text) + 1;
  const pointer = m._malloc(size);
  try {
    m.stringToUTF8(text, pointer, size);
    return fn(pointer);
  } finally {
    m._free(pointer);
  }
}

// ?keys= is read by the module, with the lab's own reader.
export function readSettings(search, m) {
  const params = new URLSearchParams(search);
  const settings = {
    seed: readUint32(params, 'seed'),
    clock: readUint32(params, 'clock'),
    mute: params.get('mute') === '1',
    script: params.has('keys'),
    frames: readUint32(params, 'frames') ?? kDefaultScriptFrames,
  };
  if (settings.script) {
    const error = m.UTF8ToString(withText(m, params.get('keys'), (text) => m._vonkel_read_keys(text)));
    if (error !== '') throw new Error(`?keys=: ${error}`);
  }
  return settings;
}

// Each key name's bit of the game's key mask, as the module reads the names.
export function keyBitsOf(m) {
  return Object.fromEntries(kKeyNames.map((name) => [name, withText(m, name, (text) => m._vonkel_key_mask(text))]));
}

// A mask as a key script writes it: "right,z", or "-" for none.
export function keyListOf(mask, keyBits) {
  const names = kKeyNames.filter((name) => mask & keyBits[name]);
  return names.length ? names.join(',') : '-';
}
