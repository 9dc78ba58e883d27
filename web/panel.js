// The panel beside the picture: the song's number and the buttons (Share,
// Save song, Screenshot, Clip, Sound, Fullscreen), and the notice that says
// what a button did. A button of the end screen's card with the same
// data-action does the same.
const kNoticeMs = 4000;

// Whether every shown child of `element` lies inside its box and the window.
function holdsItsChildren(element) {
  if (element.hidden) return true;
  const outer = element.getBoundingClientRect();
  const left = Math.max(outer.left, 0) - 0.5;
  const top = Math.max(outer.top, 0) - 0.5;
  const right = Math.min(outer.right, innerWidth) + 0.5;
  const bottom = Math.min(outer.bottom, innerHeight) + 0.5;
  return [...element.children].every((child) => {
    if (child.getClientRects().length === 0) return true;
    const box = child.getBoundingClientRect();
    return box.left >= left && box.right <= right && box.top >= top && box.bottom <= bottom;
  });
}

export class Panel {
  // actions: the function for each data-action name.
  constructor(actions) {
    this.element = document.getElementById('panel');
    this.song = document.getElementById('song');
    this.notice = document.getElementById('notice');
    this.timer = 0;
    document.addEventListener('click', (event) => {
      const button = event.target.closest('[data-action]');
      if (!button || button.disabled) return;
      button.blur();  // the game's keys (Enter, Space) must not press it again
      actions[button.dataset.action]();
    });
  }

  setSong(song) {
    this.song.textContent = song === null ? '' : String(song);
  }

  // The buttons' names show under their icons where the panel has room
  // for them and the parts its size moves (`neighbours`, the touch pad's
  // buttons under it) still hold theirs; else the icons alone, the names
  // kept for screen readers, with the tooltips.
  fitLabels(neighbours) {
    this.element.classList.add('labelled');
    if (![this.element, ...neighbours].every(holdsItsChildren)) this.element.classList.remove('labelled');
  }

  button(action) {
    return document.querySelector(`#panel [data-action="${action}"]`);
  }

  // Marks a button as on (sound off, a clip recording) or busy.
  setState(action, { on, busy }) {
    const button = this.button(action);
    if (on !== undefined) button.classList.toggle('on', on);
    if (busy !== undefined) button.disabled = busy;
  }

  // A line for a few seconds; `lasting` keeps it until the next one.
  say(text, lasting = false) {
    clearTimeout(this.timer);
    this.notice.textContent = text;
    this.notice.hidden = text === '';
    this.notice.classList.toggle('lasting', lasting);
    if (!lasting && text !== '') this.timer = setTimeout(() => this.say(''), kNoticeMs);
  }
}
