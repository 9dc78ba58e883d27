// The page: reads the URL's settings, shows the start screen over a still
// of the game's first frame, waits for a gesture (browsers start audio only
// then), and starts the module's games and the runs it replays (a run link,
// a file opened or dropped), whose frames frame_loop.js drives from
// animation frames and whose course run_replay.js follows. See README.md,
// "Web".
import { AudioOutput } from './audio_output.js';
import { clipType } from './clip_recorder.js';
import { FrameLoop } from './frame_loop.js';
import { Input } from './input.js';
import { KeepsakeActions } from './keepsake_actions.js';
import { keepOffline } from './offline.js';
import { Panel } from './panel.js';
import { Presenter } from './presenter.js';
import { RunOpener } from './run_opener.js';
import { RunReplay } from './run_replay.js';
import { linkData, ownLinkText } from './runs.js';
import { deviceAtHand, fitScreen, showScreen } from './screens.js';
import { keyBitsOf, readSettings } from './settings.js';
import { TouchPad } from './touch_pad.js';

// What a test can read: the state, the seed and clock of the run, the keys
// played as a key script, per-frame digests, frame timings, the song's
// number and the worklet's counters; the run replayed (with what its check
// found), the line of a run refused and the last link Share run made.
const report = {
  state: 'loading',
  error: null,
  seed: null,
  clock: null,
  song: null,
  keyScript: '',
  frames: [],
  framesPlayed: 0,
  framesWhileSaving: null,
  workMs: [],
  moduleReadyMs: null,
  firstFrameMs: null,
  rebases: 0,
  audio: null,
  audioState: null,
  offline: null,
  replay: null,
  runError: null,
  runLink: null,
};
window.vonkel = report;

const byId = (id) => document.getElementById(id);
const calendarSeconds = () => Math.floor(Date.now() / 1000) >>> 0;

const isTouchScreen = () => matchMedia('(pointer: coarse)').matches;

class Page {
  constructor(module, settings, presenter) {
    this.module = module;
    this.settings = settings;
    this.canvas = byId('screen');
    this.overlay = byId('overlay');
    this.presenter = presenter;
    this.keyBits = keyBitsOf(module);
    this.input = new Input(this.keyBits);
    this.touch = new TouchPad({ dpadZone: byId('dpad'), dpadFace: byId('dpad-face'),
                                buttons: [...document.querySelectorAll('#pad-buttons [data-key]')],
                                keyBits: this.keyBits });
    this.input.touchPad = this.touch;
    this.audio = settings.mute || settings.script ? null : new AudioOutput();
    this.panel = new Panel({
      share: () => this.keepsakes.share(),
      save: () => this.keepsakes.saveSong(),
      shot: () => this.keepsakes.screenshot(),
      clip: () => this.keepsakes.toggleClip(),
      sound: () => this.toggleSound(),
      fullscreen: () => Presenter.toggleFullscreen(document.documentElement),
      shareRun: () => this.keepsakes.shareRun(ownLinkText(this.module)),
      open: () => this.runs.choose(),
    });
    this.keepsakes = new KeepsakeActions(this.panel, this.canvas, report, () => this.audio);
    this.panel.button('clip').hidden = clipType() === null;
    this.panel.button('sound').hidden = this.audio === null;
    this.panel.button('fullscreen').hidden = !document.fullscreenEnabled;
    this.screen = null;
    this.nextSeed = null;
    this.frames = new FrameLoop(module, report, {
      settings, input: this.input, keyBits: this.keyBits, presenter, panel: this.panel,
      on: {
        audio: () => this.audio,
        saving: () => this.keepsakes.saving,
        gameEnded: (screen) => this.end(screen),
        replayEnded: () => this.replay.played(),
      },
    });
    this.runs = new RunOpener(module, {
      opening: () => this.replay.opening(),
      read: (run) => this.replay.read(run),
      refused: (line) => this.replay.refuse(line),
      still: () => { if (report.state === 'loading') this.still(); },  // a picture under the cards
    });
    this.replay = new RunReplay(module, report, {
      frames: this.frames, presenter,
      on: {
        audio: () => this.audio,
        showCard: (screen) => this.showCard(screen),
        end: (screen) => this.end(screen),
        stopClip: () => this.keepsakes.stopClip(),
        started: () => { this.nextSeed = null; },
      },
    });
    // A new arrangement may leave room for the buttons' names, or less
    // room for the card.
    this.presenter.onFit = () => {
      this.panel.fitLabels([byId('pad-buttons')]);
      if (this.screen) fitScreen(byId('card'), this.overlay);
    };

    this.input.onAnyKey = (event) => {
      if (event.code === 'KeyM') this.toggleSound();
      if (report.state === 'replaying') {
        if (event.code === 'Escape') this.replay.stop();
        return;
      }
      this.gesture();
    };
    this.overlay.addEventListener('click', (event) => {
      if (!event.target.closest('[data-action]')) this.gesture();
    });
    // A finger on the pad starts a game as it lifts only if it went down
    // while the start or end screen showed: the thumb that quits with Start
    // lifts over the end screen, which stays until a fresh tap.
    this.touch.tapStarts = () => this.waiting;
    this.touch.onTap = () => this.gesture();
    // A touch screen shows the pad from the start, any other after its
    // first touch. Any press gives the page the keyboard (in an iframe too).
    this.setTouch(isTouchScreen());
    window.addEventListener('pointerdown', (event) => {
      window.focus();
      if (event.pointerType === 'touch' && !this.presenter.touch) this.setTouch(true);
    }, true);
    window.addEventListener('gamepadconnected', () => this.showCard(this.screen));
    // No menu opens and nothing zooms under a finger (page.css stops
    // scrolling, panning and selecting).
    for (const type of ['contextmenu', 'gesturestart']) {
      document.addEventListener(type, (event) => event.preventDefault());
    }
  }

  setTouch(touch) {
    byId('dpad').hidden = !touch;
    byId('pad-buttons').hidden = !touch;
    this.presenter.setTouch(touch);
    this.showCard(this.screen);
  }

  // The card over the picture ({ kind, message }), or none.
  showCard(screen) {
    this.screen = screen;
    this.overlay.hidden = screen === null;
    if (!screen) return;
    showScreen(byId('card'), { ...screen, device: deviceAtHand(this.presenter.touch), song: report.song });
    fitScreen(byId('card'), this.overlay);
  }

  // The first frame of the game that a gesture starts (the same seed; the
  // clock is read again at the start).
  still() {
    const m = this.module;
    this.nextSeed = this.settings.seed ?? calendarSeconds();
    m._vonkel_start(this.nextSeed, this.settings.clock ?? Date.now() >>> 0, performance.now());
    m._vonkel_play_frame(0);
    m._vonkel_take_samples();
    this.frames.present();
    this.frames.updateSong();
  }

  // The start screen, over the still.
  preview() {
    this.still();
    report.state = 'ready';
    this.showCard({ kind: 'start' });
  }

  // Whether a card waits for a key, a click or a tap: the start screen, the
  // end screen, a run refused or a run read.
  get waiting() {
    return ['ready', 'ended', 'refused', 'run-ready'].includes(report.state);
  }

  // A gesture starts the sound, then a new game, or the run read.
  async gesture() {
    if (!this.waiting) return;
    const replay = report.state === 'run-ready';
    report.state = 'starting';
    if (this.audio && !this.audio.context) {
      try {
        await this.audio.start();
      } catch (error) {
        console.warn(`vonkel: no sound (${error.message})`);
        this.audio = null;
        this.panel.button('sound').hidden = true;
        this.presenter.fit();  // the other buttons may now have room for their names
      }
    }
    if (replay) this.replay.start();
    else this.start();
  }

  // A new start-up: the seed from ?seed= or the calendar seconds, the clock
  // from ?clock= or the millisecond clock, both read now.
  start() {
    const now = Date.now();
    const seed = this.nextSeed ?? this.settings.seed ?? Math.floor(now / 1000) >>> 0;
    const clock = this.settings.clock ?? now >>> 0;
    this.nextSeed = null;
    this.module._vonkel_start(seed, clock, performance.now());
    if (this.audio) this.audio.reset();
    Object.assign(report, { seed, clock, keyScript: '', frames: [], framesPlayed: 0, state: 'playing', replay: null });
    this.frames.updateSong();
    this.replay.hideNote();
    this.showCard(null);
    this.frames.begin(this.settings.script);
  }

  end(screen) {
    report.state = 'ended';
    this.keepsakes.stopClip();
    this.showCard(screen);
  }

  toggleSound() {
    if (!this.audio) return;
    this.audio.setMuted(!this.audio.muted);
    this.panel.setState('sound', { on: this.audio.muted });
    this.panel.say(this.audio.muted ? 'Sound off (M turns it on)' : 'Sound on');
  }
}

function showError(message) {
  report.state = 'error';
  report.error = message;
  byId('panel').hidden = true;  // its buttons have no game to act on
  byId('overlay').hidden = false;
  showScreen(byId('card'), { kind: 'message', message });
}

async function main() {
  // The layout exists from the start, so that the loading line and an error
  // lie inside it, as the cards of the game do.
  const presenter = new Presenter(byId('app'), byId('screen'));
  presenter.setTouch(isTouchScreen());
  const module = await window.vonkelModuleReady;
  report.moduleReadyMs = performance.now();
  let settings;
  try {
    settings = readSettings(location.search, module);
  } catch (error) {
    showError(error.message);
    return;
  }
  window.vonkelModule = module;  // for measurements and debugging from the console
  const page = new Page(module, settings, presenter);
  report.status = () => {
    if (report.state === 'loading' || report.state === 'ready') return null;
    const [x, y, scope, gameOver, energy, score, song] =
      module.UTF8ToString(module._vonkel_status()).split(' ').map(Number);
    return { x, y, scope, gameOver, energy, score, song };
  };
  if (linkData(location.hash) !== null) page.runs.openLink();
  else if (settings.script || settings.mute) page.start();
  else page.preview();
}

keepOffline(() => report.state === 'loading' || report.state === 'ready', report);

main().catch((error) => {
  showError(`vonkel could not start: ${error}`);
  throw error;
});
