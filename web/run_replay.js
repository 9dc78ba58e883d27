// A run replayed on the page, from its opening to its end card: a run read
// plays at once if the sound needs no gesture, else on the next one; while
// it plays a note says where it came from and how to stop it (Esc, a click
// or a tap on the picture); its end card says how it ended and, for a run
// with digests, what its check found. A run refused shows why in one line.
import { runOrigin } from './runs.js';
import { deviceAtHand } from './screens.js';

export class RunReplay {
  // report: the page's report; frames: its FrameLoop. on: { audio() (the
  // page's audio output, or null), showCard(screen), end(screen) (the end
  // screen), stopClip(), started() (a replay starts instead of the game of
  // the still) }.
  constructor(module, report, { frames, presenter, on }) {
    this.module = module;
    this.report = report;
    this.frames = frames;
    this.presenter = presenter;
    this.on = on;
    this.pending = null;  // a run read, waiting for a gesture to play with sound
    this.note = document.getElementById('replay-note');
    // A click or a tap on the picture stops a replay.
    document.getElementById('picture').addEventListener('click', (event) => {
      if (report.state === 'replaying' && !event.target.closest('#overlay')) this.stop();
    });
  }

  hideNote() {
    this.note.hidden = true;
  }

  // Opening a run: whatever plays stops, and a card says so.
  opening() {
    this.report.state = 'opening';
    this.on.stopClip();
    this.hideNote();
    this.on.showCard({ kind: 'message', message: 'Opening the run…' });
  }

  // A run that cannot be played shows why, in one line, until a gesture
  // starts a new game.
  refuse(line) {
    Object.assign(this.report, { state: 'refused', runError: line });
    this.on.showCard({ kind: 'refused', message: line });
  }

  // A run read plays at once if the sound needs no gesture, else on the
  // next one.
  read(run) {
    this.report.runError = null;
    this.pending = { ...run, origin: runOrigin(run) };
    const audio = this.on.audio();
    if (!audio || audio.running) {
      this.start();
    } else {
      this.report.state = 'run-ready';
      this.on.showCard({ kind: 'run', replay: this.pending });
    }
  }

  start() {
    const run = this.pending;
    this.pending = null;
    this.on.started();
    this.module._vonkel_play_run(performance.now());
    const audio = this.on.audio();
    if (audio) audio.reset();
    Object.assign(this.report, { seed: run.seed, clock: run.clock, keyScript: '', frames: [], framesPlayed: 0,
                                 state: 'replaying', replay: { ...run, outcome: null, summary: null } });
    this.frames.updateSong();
    const touch = deviceAtHand(this.presenter.touch) === 'touch';
    const stop = touch ? 'a tap on the picture stops it' : 'Esc or a click stops it';
    this.note.textContent = `Replay: ${run.origin} (${stop})`;
    this.note.hidden = false;
    this.on.showCard(null);
    this.frames.begin(false);
  }

  stop() {
    const m = this.module;
    this.end(`The replay was stopped at frame ${m._vonkel_frame_index()} of ${this.report.replay.frames}.`);
  }

  // The run has played to its end.
  played() {
    this.end('The run has played.');
  }

  // The end screen of a replay, with what its check found if the run had
  // digests.
  end(outcome) {
    const replay = this.report.replay;
    replay.outcome = outcome;
    if (replay.digests) replay.summary = this.module.UTF8ToString(this.module._vonkel_run_summary());
    this.hideNote();
    this.on.end({ kind: 'end', replay });
  }
}
