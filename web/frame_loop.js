// The module's frames, driven from animation frames: in real time for a
// game and a replay (every frame whose start the clock has reached, a few at
// most), flat out for a key script. Each frame's blocks go to the worklet,
// the last frame played to the presenter, and the frames' records and
// timings to the report that tests read.
import { keyListOf } from './settings.js';

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

export class FrameLoop {
  // report: the page's report (its state says whether a game or a replay
  // plays). on: { audio() (the page's audio output, or null), saving()
  // (whether a song is being saved), gameEnded(screen) (the game or the key
  // script is over: the card to show), replayEnded() (the run has played) }.
  constructor(module, report, { settings, input, keyBits, presenter, panel, on }) {
    this.module = module;
    this.report = report;
    this.settings = settings;
    this.input = input;
    this.keyBits = keyBits;
    this.presenter = presenter;
    this.panel = panel;
    this.on = on;
    this.loop = 0;  // the animation-frame loop running; a new game or replay starts another
    this.lastMask = -1;
  }

  // Starts a loop for the game or replay just started (`script`: the key
  // script's, flat out); the loop running before stops at its next turn.
  begin(script) {
    this.lastMask = -1;
    const loop = ++this.loop;
    requestAnimationFrame(() => (script ? this.scriptTick(loop) : this.tick(loop)));
  }

  // One frame with the given keys; returns whether the game goes on.
  playFrame(mask) {
    const m = this.module;
    const report = this.report;
    const started = performance.now();
    const replaying = report.state === 'replaying';
    if (!replaying && mask !== this.lastMask) {
      report.keyScript += `${m._vonkel_frame_index()} ${keyListOf(mask, this.keyBits)}\n`;
      this.lastMask = mask;
    }
    const goOn = m._vonkel_play_frame(mask) !== 0;
    const count = m._vonkel_pending_sample_count();
    const audio = this.on.audio();
    if (audio && count > 0) {
      audio.play(new Float32Array(m.HEAPU8.buffer, m._vonkel_pending_samples(), count));
    }
    m._vonkel_take_samples();
    report.workMs.push(performance.now() - started);
    if (report.workMs.length > 2000) report.workMs.splice(0, 1000);
    report.framesPlayed++;
    if (this.on.saving()) report.framesWhileSaving++;
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
    if (this.report.firstFrameMs === null) this.report.firstFrameMs = performance.now();
  }

  // A new game has a new song: its number beside the picture.
  updateSong() {
    const song = this.module._vonkel_song_number();
    if (song === this.report.song) return;
    this.report.song = song;
    this.panel.setSong(song);
  }

  // Real time: every frame whose start the clock has reached, a few at most.
  // A replay plays its own keys.
  tick(loop) {
    const report = this.report;
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
    const audio = this.on.audio();
    if (audio) {
      report.audio = audio.counters;
      report.audioState = audio.context.state;
    }
    if (played) {
      this.present();
      this.updateSong();
    }
    if (goOn) requestAnimationFrame(() => this.tick(loop));
    else if (replaying) this.on.replayEnded();
    else this.on.gameEnded({ kind: 'end', shareRun: true });
  }

  // A key script: flat out, within a budget per animation frame.
  scriptTick(loop) {
    if (loop !== this.loop || this.report.state !== 'playing') return;
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
      this.on.gameEnded({ kind: 'message', message: goOn
        ? 'The key script has played. Click or press a key to play it again.'
        : 'The game has ended. Click or press a key to play the key script again.' });
    }
  }
}
