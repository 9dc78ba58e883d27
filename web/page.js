// The page: reads the URL's settings, waits for a gesture (browsers start
// audio only then), and drives the wasm module's frame schedule from
// animation frames. See README.md, "Web".
import { AudioOutput } from './audio_output.js';
import { Input, kKeyNames } from './input.js';
import { Presenter } from './presenter.js';

// A key script runs flat out: frames as fast as the machine allows, about
// this much work per animation frame, the last frame shown, no sound.
const kScriptBudgetMs = 12;
const kDefaultScriptFrames = 3000;

function readUint32(params, name) {
  const text = params.get(name);
  if (text === null) return null;
  if (!/^\d{1,10}$/.test(text) || Number(text) > 0xffffffff) {
    throw new Error(`?${name}= takes a whole number from 0 to 4294967295, not '${text}'`);
  }
  return Number(text);
}

// Calls fn with a copy of `text` in the module's memory (a C string).
function withText(m, text, fn) {
  const size = m.lengthBytesUTF8(text) + 1;
  const pointer = m._malloc(size);
  try {
    m.stringToUTF8(text, pointer, size);
    return fn(pointer);
  } finally {
    m._free(pointer);
  }
}

// ?keys= is read by the module, with the lab's own reader.
export function readSettings(search, m) {
  const params = new URLSearchParams(search);
  const settings = {
    seed: readUint32(params, 'seed'),
    clock: readUint32(params, 'clock'),
    mute: params.get('mute') === '1',
    script: params.has('keys'),
    frames: readUint32(params, 'frames') ?? kDefaultScriptFrames,
  };
  if (settings.script) {
    const error = m.UTF8ToString(withText(m, params.get('keys'), (text) => m._vonkel_read_keys(text)));
    if (error !== '') throw new Error(`?keys=: ${error}`);
  }
  return settings;
}

// Each key name's bit of the game's key mask, as the module reads the names.
function keyBitsOf(m) {
  return Object.fromEntries(kKeyNames.map((name) => [name, withText(m, name, (text) => m._vonkel_key_mask(text))]));
}

// What a test can read: the state, per-frame digests of a key script run,
// frame timings and the worklet's counters.
const report = {
  state: 'loading',
  error: null,
  frames: [],
  framesPlayed: 0,
  workMs: [],
  moduleReadyMs: null,
  firstFrameMs: null,
  rebases: 0,
  audio: null,
  audioState: null,
};
window.vonkel = report;

const overlay = document.getElementById('overlay');
function showMessage(text) {
  overlay.textContent = text;
  overlay.hidden = text === '';
}

class Page {
  constructor(module, settings) {
    this.module = module;
    this.settings = settings;
    this.presenter = new Presenter(document.getElementById('screen'), document.getElementById('frame'),
                                   document.getElementById('fullscreen'));
    this.input = new Input(keyBitsOf(module));
    this.audio = settings.mute || settings.script ? null : new AudioOutput();
    this.input.onAnyKey = () => this.gesture();
    document.getElementById('frame').addEventListener('click', () => this.gesture());
  }

  // The start overlay and the end screen wait for a key or a click.
  async gesture() {
    if (report.state !== 'ready' && report.state !== 'ended') return;
    report.state = 'starting';
    if (this.audio && !this.audio.context) {
      try {
        await this.audio.start();
      } catch (error) {
        console.warn(`vonkel: no sound (${error.message})`);
        this.audio = null;
      }
    }
    this.start();
  }

  // A new start-up: the seed from ?seed= or the calendar seconds, the clock
  // from ?clock= or the millisecond clock, both read now.
  start() {
    const now = Date.now();
    const seed = this.settings.seed ?? Math.floor(now / 1000) >>> 0;
    const clock = this.settings.clock ?? now >>> 0;
    this.module._vonkel_start(seed, clock, performance.now());
    if (this.audio) this.audio.reset();
    report.frames = [];
    report.framesPlayed = 0;
    report.state = 'playing';
    showMessage('');
    requestAnimationFrame(() => (this.settings.script ? this.scriptTick() : this.tick()));
  }

  // One frame with the given keys; returns whether the game goes on.
  playFrame(mask) {
    const m = this.module;
    const started = performance.now();
    const goOn = m._vonkel_play_frame(mask) !== 0;
    const count = m._vonkel_pending_sample_count();
    if (this.audio && count > 0) {
      this.audio.play(new Float32Array(m.HEAPU8.buffer, m._vonkel_pending_samples(), count));
    }
    m._vonkel_take_samples();
    report.workMs.push(performance.now() - started);
    if (report.workMs.length > 2000) report.workMs.splice(0, 1000);
    report.framesPlayed++;
    if (this.settings.script) {
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

  // Real time: every frame whose start the clock has reached, a few at most.
  tick() {
    if (report.state !== 'playing') return;
    const m = this.module;
    m._vonkel_begin_refresh(performance.now());
    let played = false;
    let goOn = true;
    while (goOn && m._vonkel_frame_due()) {
      goOn = this.playFrame(this.input.snapshot());
      played = true;
    }
    report.rebases = m._vonkel_rebase_count();
    if (this.audio) {
      report.audio = this.audio.counters;
      report.audioState = this.audio.context.state;
    }
    if (played) this.present();
    if (goOn) requestAnimationFrame(() => this.tick());
    else this.end('The game has ended. Click or press a key to start a new one.');
  }

  // A key script: flat out, within a budget per animation frame.
  scriptTick() {
    if (report.state !== 'playing') return;
    const until = performance.now() + kScriptBudgetMs;
    let goOn = true;
    do {
      const frame = this.module._vonkel_frame_index();
      if (frame >= this.settings.frames) break;
      goOn = this.playFrame(this.module._vonkel_script_keys(frame));
    } while (goOn && performance.now() < until);
    this.present();
    if (goOn && this.module._vonkel_frame_index() < this.settings.frames) {
      requestAnimationFrame(() => this.scriptTick());
    } else {
      this.end(goOn ? 'The key script has played. Click or press a key to play it again.'
        : 'The game has ended. Click or press a key to play the key script again.');
    }
  }

  end(message) {
    report.state = 'ended';
    showMessage(message);
  }
}

async function main() {
  const module = await createVonkelModule();  // eslint-disable-line no-undef
  report.moduleReadyMs = performance.now();
  let settings;
  try {
    settings = readSettings(location.search, module);
  } catch (error) {
    report.state = 'error';
    report.error = error.message;
    showMessage(error.message);
    return;
  }
  window.vonkelModule = module;  // for measurements and debugging from the console
  const page = new Page(module, settings);
  report.status = () => {
    if (report.state === 'loading' || report.state === 'ready') return null;
    const [x, y, scope, gameOver, energy, score, song] =
      module.UTF8ToString(module._vonkel_status()).split(' ').map(Number);
    return { x, y, scope, gameOver, energy, score, song };
  };
  if (settings.script || settings.mute) {
    page.start();
  } else {
    report.state = 'ready';
    showMessage('Click or press a key to start');
  }
}

main().catch((error) => {
  report.state = 'error';
  report.error = String(error);
  showMessage(`vonkel could not start: ${error}`);
  throw error;
});
