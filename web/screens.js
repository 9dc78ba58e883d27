// The cards over the picture: the start screen (the game's name, what it
// is, the controls of the device at hand) over a still of the game's first
// frame, the end screen (the same, with the song's number and Share, Save
// song and Share run; after a replay, the run's origin and what its check
// found), a run waiting to be played, a run refused, and plain messages
// (loading, errors, a key script's end).

// The controls, as a player of each device reads them.
const kControls = {
  keys: [['Arrow keys', 'steer'], ['Z or Enter', 'boost'], ['Esc', 'scope view'], ['M', 'sound on/off']],
  pad: [['D-pad or stick', 'steer'], ['A or B', 'boost'], ['Start', 'scope view']],
  touch: [['Left pad', 'steer, slide between arrows'], ['A', 'boost'], ['Start', 'scope view']],
};
const kAbout = 'An arcade toy that composes its soundtrack while you play: every game, a new song.';
const kHowTo = 'Calm green tiles restore your energy, magenta ones drain it. Pickups give boost.';

// What a card leaves out, first to last, on a picture too small for all of
// it: never the end screen's buttons or the line that says how to go on.
const kOptional = {
  start: ['.howto', '.song', '.controls', '.about'],
  end: ['.controls', '.origin', '.about', '.song'],
};

// The device a player is holding: the touch pad if it shows, a gamepad if
// one is plugged in, else the keyboard.
export function deviceAtHand(touch) {
  if (touch) return 'touch';
  const pads = navigator.getGamepads ? [...navigator.getGamepads()] : [];
  return pads.some((pad) => pad && pad.connected) ? 'pad' : 'keys';
}

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function call(device, what) {
  return element('p', 'call', device === 'touch' ? `Tap to ${what}` : `Click or press a key to ${what}`);
}

// Fills `card` with the screen of `kind` for `device`: 'start', 'end' (with
// `replay` { origin, outcome, summary } after a replay, and Share run if
// `shareRun`), 'run' (the `replay` waiting for a gesture), 'refused' (the
// `message` of a run not played), or a plain `message`.
export function showScreen(card, { kind, device, song, message, replay, shareRun }) {
  card.replaceChildren();
  card.className = kind;
  if (kind === 'message') {
    card.append(element('p', 'call', message));
    return;
  }
  if (kind === 'refused') {
    card.append(element('p', 'refusal', message), call(device, 'start a new game'));
    return;
  }
  card.append(element('h1', null, 'vonkel'));
  if (kind === 'run') {
    card.append(element('p', 'origin', `Replay: ${replay.origin}`), call(device, 'play it'));
    return;
  }
  const ended = replay ? replay.outcome : 'The game has ended.';
  card.append(element('p', 'about', kind === 'end' ? ended : kAbout));
  if (kind === 'start') card.append(element('p', 'howto', kHowTo));
  if (kind === 'end' && replay) {
    card.append(element('p', 'origin', `Replay: ${replay.origin}`));
    if (replay.summary) card.append(element('p', 'check', replay.summary));
  }
  const controls = element('dl', 'controls');
  for (const [control, action] of kControls[device]) {
    controls.append(element('dt', null, control), element('dd', null, action));
  }
  card.append(controls);
  if (song !== null) card.append(element('p', 'song', `song ${song}`));
  if (kind === 'end') {
    const actions = element('p', 'actions');
    const buttons = [['share', 'Share'], ['save', 'Save song'], ...(shareRun ? [['shareRun', 'Share run']] : [])];
    for (const [action, name] of buttons) {
      const button = element('button', null, name);
      button.type = 'button';
      button.dataset.action = action;
      actions.append(button);
    }
    card.append(actions);
  }
  card.append(call(device, kind === 'end' ? 'start a new game' : 'start'));
}

// Shows the parts of `card` that fit in the height of `room` (the picture).
export function fitScreen(card, room) {
  for (const child of card.children) child.hidden = false;
  for (const selector of kOptional[card.className] ?? []) {
    if (card.offsetHeight <= room.clientHeight) return;
    const part = card.querySelector(selector);
    if (part) part.hidden = true;
  }
}
