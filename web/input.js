// The keyboard, the gamepad and the touch pad as the game reads them: one snapshot of the
// seven keys per frame, built from what is held when the frame starts (a key
// pressed and released between two frames is not seen, as on the desktop).
// While the page has no focus or is hidden, every key reads as up.
//
// Keys are named as in a key script (up, down, left, right, z, enter,
// escape); the wasm module turns the names into the game's key mask.

// The game's keys by name, and by KeyboardEvent.code: the key's position,
// whatever the layout.
export const kKeyNames = ['up', 'down', 'left', 'right', 'z', 'enter', 'escape'];
const kKeyCodes = new Map([
  ['ArrowUp', 'up'],
  ['ArrowDown', 'down'],
  ['ArrowLeft', 'left'],
  ['ArrowRight', 'right'],
  ['KeyZ', 'z'],
  ['Enter', 'enter'],
  ['Escape', 'escape'],
]);
// Keys that would scroll the page or press a focused button.
const kNoDefault = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Space', 'Enter']);

// The desktop's gamepad mapping (standard layout): d-pad and left stick steer,
// A and B boost, Start is Escape.
// The same dead zone as the desktop: past 8000 of 32767 either way.
const kStickDeadZone = 8000 / 32767;
const kButtons = [[12, 'up'], [13, 'down'], [14, 'left'], [15, 'right'], [0, 'z'], [1, 'z'], [9, 'escape']];

// The names of the keys a pad holds.
export function gamepadKeys(pad) {
  const keys = new Set();
  for (const [index, name] of kButtons) {
    if (pad.buttons[index] && pad.buttons[index].pressed) keys.add(name);
  }
  const [x = 0, y = 0] = pad.axes;
  if (x < -kStickDeadZone) keys.add('left');
  if (x > kStickDeadZone) keys.add('right');
  if (y < -kStickDeadZone) keys.add('up');
  if (y > kStickDeadZone) keys.add('down');
  return [...keys].sort();
}

export class Input {
  // keyBits: each key name's bit of the game's key mask.
  constructor(keyBits, target = window) {
    this.keyBits = keyBits;
    this.held = 0;
    this.touchPad = null;  // a TouchPad, once the page has one
    // Every key event, also those the game does not read (the end screen
    // and the start overlay listen for "any key").
    this.onAnyKey = null;
    target.addEventListener('keydown', (event) => {
      if (kNoDefault.has(event.code)) event.preventDefault();
      this.held |= this.bitOf(event.code);
      if (this.onAnyKey && !event.repeat) this.onAnyKey(event);
    });
    target.addEventListener('keyup', (event) => {
      if (kNoDefault.has(event.code)) event.preventDefault();
      this.held &= ~this.bitOf(event.code);
    });
    const releaseAll = () => {
      this.held = 0;
      if (this.touchPad) this.touchPad.releaseAll();
    };
    window.addEventListener('blur', releaseAll);
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState !== 'visible') releaseAll();
    });
  }

  bitOf(code) {
    return kKeyCodes.has(code) ? this.keyBits[kKeyCodes.get(code)] : 0;
  }

  hasFocus() {
    return document.hasFocus() && document.visibilityState === 'visible';
  }

  // The mask for the coming frame.
  snapshot() {
    if (!this.hasFocus()) {
      this.held = 0;
      return 0;
    }
    let mask = this.held | (this.touchPad ? this.touchPad.mask : 0);
    const pads = navigator.getGamepads ? navigator.getGamepads() : [];
    for (const pad of pads) {
      if (!pad || !pad.connected) continue;
      for (const name of gamepadKeys(pad)) mask |= this.keyBits[name];
    }
    return mask;
  }
}
