// The URL's settings and the few ways the page talks to the module: C
// strings both ways, and each key name's bit as the module reads the names.
import { kKeyNames } from './input.js';

const kDefaultScriptFrames = 3000;
const kMaxUint32 = 4294967295;
const kMaxScriptFrames = 10000000;  // as many as one run of vonkel-lab play

// A whole number of the URL in [min, max], or null where it is not given:
// read by the lab's number reader in the module, refused with its words.
function readInteger(params, name, min, max, m) {
  const text = params.get(name);
  if (text === null) return null;
  const error = m.UTF8ToString(withText(m, text, (pointer) => m._vonkel_read_integer(pointer, min, max)));
  if (error !== '') throw new Error(`?${name}=: ${error}`);
  return m._vonkel_integer_read();
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

// The numbers and ?keys= are read by the module, with the lab's own readers.
export function readSettings(search, m) {
  const params = new URLSearchParams(search);
  const settings = {
    seed: readInteger(params, 'seed', 0, kMaxUint32, m),
    clock: readInteger(params, 'clock', 0, kMaxUint32, m),
    mute: params.get('mute') === '1',
    script: params.has('keys'),
    frames: readInteger(params, 'frames', 1, kMaxScriptFrames, m) ?? kDefaultScriptFrames,
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
