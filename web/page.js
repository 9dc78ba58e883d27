// The page: reads the URL's settings, shows the start screen over a still
// of the game's first frame, waits for a gesture (browsers start audio only
// then), and drives the wasm module's frame schedule from animation frames,
// for its own games and for the runs it replays (a run link, a file opened
// or dropped). See README.md, "Web".
import { AudioOutput } from './audio_output.js';
import { clipType } from './clip_recorder.js';
import { Input } from './input.js';
import { KeepsakeActions } from './keepsake_actions.js';
import { keepOffline } from './offline.js';
import { Panel } from './panel.js';
import { Presenter } from './presenter.js';
import { RunOpener } from './run_opener.js';
import { linkData, ownLinkText, runOrigin } from './runs.js';
import { deviceAtHand, fitScreen, showScreen } from './screens.js';
import { keyBitsOf, keyListOf, readSettings } from './settings.js';
import { TouchPad } from './touch_pad.js';

// A key script runs flat out: frames as fast as the machine allows, about
// this much work per animation frame, the last frame shown, no sound.
const kScriptBudgetMs = 12;
// Live play keeps the records of the first frames of each start-up (a key
// script run keeps all), so that a test can hold them against the lab's.
const kLiveRecords = 120;
// A replay keeps the records of this many frames, for the same reason.
const kReplayRecords = 20000;
// A replay's frames may each render many blocks (a desktop run whose frames
// stalled): no more frames than fit this much work per animation frame.
const kReplayBudgetMs = 12;

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
    this.lastMask = -1;
    this.loop = 0;  // the animation-frame loop running; a new game or replay starts another
    this.pendingRun = null;  // a run read, waiting for a gesture to play with sound
    this.replayNote = byId('replay-note');
    this.runs = new RunOpener(module, {
      opening: () => this.opening(),
      read: (run) => this.runRead(run),
      refused: (line) => this.refuse(line),
      still: () => { if (report.state === 'loading') this.still(); },  // a picture under the cards
    });
    // A click or a tap on the picture stops a replay.
    byId('picture').addEventListener('click', (event) => {
      if (report.state === 'replaying' && !event.target.closest('#overlay')) this.stopReplay();
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
        if (event.code === 'Escape') this.stopReplay();
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
    this.present();
    this.updateSong();
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
    if (replay) this.startReplay();
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
    this.lastMask = -1;
    this.updateSong();
    this.replayNote.hidden = true;
    this.showCard(null);
    const loop = ++this.loop;
    requestAnimationFrame(() => (this.settings.script ? this.scriptTick(loop) : this.tick(loop)));
  }

  // One frame with the given keys; returns whether the game goes on.
  playFrame(mask) {
    const m = this.module;
    const started = performance.now();
    const replaying = report.state === 'replaying';
    if (!replaying && mask !== this.lastMask) {
      report.keyScript += `${m._vonkel_frame_index()} ${keyListOf(mask, this.keyBits)}\n`;
      this.lastMask = mask;
    }
    const goOn = m._vonkel_play_frame(mask) !== 0;
    const count = m._vonkel_pending_sample_count();
    if (this.audio && count > 0) {
      this.audio.play(new Float32Array(m.HEAPU8.buffer, m._vonkel_pending_samples(), count));
    }
    m._vonkel_take_samples();
    report.workMs.push(performance.now() - started);
    if (report.workMs.length > 2000) report.workMs.splice(0, 1000);
    report.framesPlayed++;
    if (this.keepsakes.saving) report.framesWhileSaving++;
    const kept = this.settings.script ? Infinity : replaying ? kReplayRecords : kLiveRecords;
    if (report.frames.length < kept) {
      const [frame, time, quit, grid, framebuffer, samples, sampleHash] =
        m.UTF8ToString(m._vonkel_frame_record()).split(' ');
      report.frames.push({ frame: Number(frame), time: Number(time), quit: quit === '1', grid, framebuffer,
                           samples: Number(samples), sampleHash });
    }
    return goOn;
  }

  present() {
    this.presenter.show(this.module.HEAPU8, this.module._vonkel_canvas_pixels());
    if (report.firstFrameMs === null) report.firstFrameMs = performance.now();
  }

  // A new game has a new song: its number beside the picture.
  updateSong() {
    const song = this.module._vonkel_song_number();
    if (song === report.song) return;
    report.song = song;
    this.panel.setSong(song);
  }

  // Real time: every frame whose start the clock has reached, a few at most.
  // A replay plays its own keys.
  tick(loop) {
    const replaying = report.state === 'replaying';
    if (loop !== this.loop || (report.state !== 'playing' && !replaying)) return;
    const m = this.module;
    const until = performance.now() + kReplayBudgetMs;
    m._vonkel_begin_refresh(performance.now());
    let played = false;
    let goOn = true;
    while (goOn && (!replaying || performance.now() < until) && m._vonkel_frame_due()) {
      goOn = this.playFrame(replaying ? 0 : this.input.snapshot());
      played = true;
    }
    report.rebases = m._vonkel_rebase_count();
    if (this.audio) {
      report.audio = this.audio.counters;
      report.audioState = this.audio.context.state;
    }
    if (played) {
      this.present();
      this.updateSong();
    }
    if (goOn) requestAnimationFrame(() => this.tick(loop));
    else if (replaying) this.endReplay('The run has played.');
    else this.end({ kind: 'end', shareRun: true });
  }

  // A key script: flat out, within a budget per animation frame.
  scriptTick(loop) {
    if (loop !== this.loop || report.state !== 'playing') return;
    const until = performance.now() + kScriptBudgetMs;
    let goOn = true;
    do {
      const frame = this.module._vonkel_frame_index();
      if (frame >= this.settings.frames) break;
      goOn = this.playFrame(this.module._vonkel_script_keys(frame));
    } while (goOn && performance.now() < until);
    this.present();
    this.updateSong();
    if (goOn && this.module._vonkel_frame_index() < this.settings.frames) {
      requestAnimationFrame(() => this.scriptTick(loop));
    } else {
      this.end({ kind: 'message', message: goOn ? 'The key script has played. Click or press a key to play it again.'
        : 'The game has ended. Click or press a key to play the key script again.' });
    }
  }

  end(screen) {
    report.state = 'ended';
    this.keepsakes.stopClip();
    this.showCard(screen);
  }

  // Opening a run: whatever plays stops, and a card says so.
  opening() {
    report.state = 'opening';
    this.keepsakes.stopClip();
    this.replayNote.hidden = true;
    this.showCard({ kind: 'message', message: 'Opening the run…' });
  }

  // A run that cannot be played shows why, in one line, until a gesture
  // starts a new game.
  refuse(line) {
    Object.assign(report, { state: 'refused', runError: line });
    this.showCard({ kind: 'refused', message: line });
  }

  // A run read plays at once if the sound needs no gesture, else on the
  // next one.
  runRead(run) {
    report.runError = null;
    this.pendingRun = { ...run, origin: runOrigin(run) };
    if (!this.audio || this.audio.running) {
      this.startReplay();
    } else {
      report.state = 'run-ready';
      this.showCard({ kind: 'run', replay: this.pendingRun });
    }
  }

  startReplay() {
    const run = this.pendingRun;
    this.pendingRun = null;
    this.nextSeed = null;
    this.module._vonkel_play_run(performance.now());
    if (this.audio) this.audio.reset();
    Object.assign(report, { seed: run.seed, clock: run.clock, keyScript: '', frames: [], framesPlayed: 0,
                            state: 'replaying', replay: { ...run, outcome: null, summary: null } });
    this.updateSong();
    const touch = deviceAtHand(this.presenter.touch) === 'touch';
    const stop = touch ? 'a tap on the picture stops it' : 'Esc or a click stops it';
    this.replayNote.textContent = `Replay: ${run.origin} (${stop})`;
    this.replayNote.hidden = false;
    this.showCard(null);
    const loop = ++this.loop;
    requestAnimationFrame(() => this.tick(loop));
  }

  stopReplay() {
    const m = this.module;
    this.endReplay(`The replay was stopped at frame ${m._vonkel_frame_index()} of ${report.replay.frames}.`);
  }

  // The end screen of a replay, with what its check found if the run had
  // digests.
  endReplay(outcome) {
    const replay = report.replay;
    replay.outcome = outcome;
    if (replay.digests) replay.summary = this.module.UTF8ToString(this.module._vonkel_run_summary());
    this.replayNote.hidden = true;
    this.end({ kind: 'end', replay });
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
