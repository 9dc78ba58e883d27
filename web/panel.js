// The panel beside the picture: the song's number and the buttons (Share,
// Save song, Screenshot, Clip, Sound, Fullscreen), and the notice that says
// what a button did. A button of the end screen's card with the same
// data-action does the same.
const kNoticeMs = 4000;

export class Panel {
  // actions: the function for each data-action name.
  constructor(actions) {
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
