// The keyboard and the gamepad as the game reads them: one snapshot of the
// seven keys per frame, built from what is held when the frame starts (a key
// pressed and released between two frames is not seen, as on the desktop).
// While the page has no focus or is hidden, every key reads as up.
import { KeyBit } from './key_script.js';

// By KeyboardEvent.code: the key's position, whatever the layout.
const kKeyCodes = new Map([
  ['ArrowUp', KeyBit.up],
  ['ArrowDown', KeyBit.down],
  ['ArrowLeft', KeyBit.left],
  ['ArrowRight', KeyBit.right],
  ['KeyZ', KeyBit.z],
  ['Enter', KeyBit.enter],
  ['Escape', KeyBit.escape],
]);
// Keys that would scroll the page or press a focused button.
const kNoDefault = new Set(['ArrowUp', 'ArrowDown', 'ArrowLeft', 'ArrowRight', 'Space', 'Enter']);

// The desktop's gamepad mapping (standard layout): d-pad and left stick steer,
// A and B boost, Start is Escape.
// The same dead zone as the desktop: past 8000 of 32767 either way.
const kStickDeadZone = 8000 / 32767;
const kButtonBits = [
  [12, KeyBit.up],
  [13, KeyBit.down],
  [14, KeyBit.left],
  [15, KeyBit.right],
  [0, KeyBit.z],
  [1, KeyBit.z],
  [9, KeyBit.escape],
];

export function gamepadMask(pad) {
  let mask = 0;
  for (const [index, bit] of kButtonBits) {
    if (pad.buttons[index] && pad.buttons[index].pressed) mask |= bit;
  }
  const [x = 0, y = 0] = pad.axes;
  if (x < -kStickDeadZone) mask |= KeyBit.left;
  if (x > kStickDeadZone) mask |= KeyBit.right;
  if (y < -kStickDeadZone) mask |= KeyBit.up;
  if (y > kStickDeadZone) mask |= KeyBit.down;
  return mask;
}

export class Input {
  constructor(target = window) {
    this.held = 0;
    // Every key event, also those the game does not read (the end screen
    // and the start overlay listen for "any key").
    this.onAnyKey = null;
    target.addEventListener('keydown', (event) => {
      if (kNoDefault.has(event.code)) event.preventDefault();
      this.held |= kKeyCodes.get(event.code) || 0;
      if (this.onAnyKey && !event.repeat) this.onAnyKey(event);
    });
    target.addEventListener('keyup', (event) => {
      if (kNoDefault.has(event.code)) event.preventDefault();
      this.held &= ~(kKeyCodes.get(event.code) || 0);
    });
    const releaseAll = () => { this.held = 0; };
    window.addEventListener('blur', releaseAll);
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState !== 'visible') releaseAll();
    });
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
    let mask = this.held;
    const pads = navigator.getGamepads ? navigator.getGamepads() : [];
    for (const pad of pads) {
      if (pad && pad.connected) mask |= gamepadMask(pad);
    }
    return mask;
  }
}
