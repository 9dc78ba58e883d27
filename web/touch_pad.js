// The on-screen pad of a touch screen: a d-pad and two buttons, A (acts as
// Z) and Start (Escape). Every finger is followed on its own, so one thumb
// steers while the other boosts. On the d-pad a finger picks one of eight
// directions from where it lies around the pad's middle (a diagonal holds
// two arrows) and may slide from one to the next; a finger that went down
// on a button holds it until it lifts. The game reads the held keys as one
// snapshot per frame, like the keyboard's.

// The names of the keys a finger at (dx, dy) from the d-pad's middle holds,
// on a pad of that radius: none near the middle, else the nearest of eight
// directions, 45 degrees each.
export function dpadKeys(dx, dy, radius) {
  if (Math.hypot(dx, dy) < 0.2 * radius) return [];
  const sector = (Math.round(Math.atan2(dy, dx) / (Math.PI / 4)) + 8) % 8;
  return [['right'], ['down', 'right'], ['down'], ['down', 'left'], ['left'], ['left', 'up'], ['up'],
    ['right', 'up']][sector];
}

export class TouchPad {
  // dpadZone: where a finger steers; dpadFace: the drawn pad, whose middle
  // and size count; buttons: elements with data-key (a key's name).
  constructor({ dpadZone, dpadFace, buttons, keyBits }) {
    this.keyBits = keyBits;
    this.heldMask = 0;         // the held keys' bits, kept by changed()
    this.face = dpadFace;
    this.fingers = new Map();  // pointerId -> { keys: names, element, tap }
    // A finger that went down while tapStarts() held is a tap: onTap is
    // called when it lifts (not when it is cancelled or the page loses focus).
    this.tapStarts = () => false;
    this.onTap = null;
    const follow = (element, keysAt) => {
      element.addEventListener('pointerdown', (event) => {
        event.preventDefault();
        element.setPointerCapture(event.pointerId);
        this.fingers.set(event.pointerId, { keys: keysAt(event), element, tap: this.tapStarts() });
        this.changed();
      });
      element.addEventListener('pointermove', (event) => {
        const finger = this.fingers.get(event.pointerId);
        if (!finger || finger.element !== element) return;
        finger.keys = keysAt(event);
        this.changed();
      });
      const lift = (event) => {
        const finger = this.fingers.get(event.pointerId);
        if (!finger) return;
        this.fingers.delete(event.pointerId);
        this.changed();
        if (event.type === 'pointerup' && finger.tap && this.onTap) this.onTap();
      };
      for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) element.addEventListener(type, lift);
    };
    follow(dpadZone, (event) => {
      const box = this.face.getBoundingClientRect();
      return dpadKeys(event.clientX - (box.left + box.width / 2), event.clientY - (box.top + box.height / 2),
                      box.width / 2);
    });
    for (const button of buttons) follow(button, () => [button.dataset.key]);
    this.arrows = Object.fromEntries([...dpadFace.querySelectorAll('[data-key]')].map((a) => [a.dataset.key, a]));
    this.buttons = buttons;
  }

  // The names of the keys held now.
  heldKeys() {
    const held = new Set();
    for (const finger of this.fingers.values()) for (const name of finger.keys) held.add(name);
    return held;
  }

  // Read once a frame; it changes only with a finger, in changed().
  get mask() {
    return this.heldMask;
  }

  releaseAll() {
    this.fingers.clear();
    this.changed();
  }

  // Keeps the mask and lights what is held.
  changed() {
    const held = this.heldKeys();
    this.heldMask = 0;
    for (const name of held) this.heldMask |= this.keyBits[name];
    for (const [name, arrow] of Object.entries(this.arrows)) arrow.classList.toggle('held', held.has(name));
    for (const button of this.buttons) button.classList.toggle('held', held.has(button.dataset.key));
  }
}
