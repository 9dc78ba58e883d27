// Web Audio at 44100 Hz fed by the worklet: the page posts each frame's
// rendered samples to it (a message with a copied buffer: no
// SharedArrayBuffer, so any static host will do without special headers).
// A gain after the worklet mutes the sound (the music goes on silently), and
// a clip records what comes out of it.
export class AudioOutput {
  constructor() {
    this.context = null;
    this.node = null;
    this.counters = null;  // the worklet's last report
    this.gain = null;
    this.muted = false;
    this.recorded = null;  // the stream a clip records
  }

  // Must run in a user gesture's handler: browsers start audio only then.
  async start() {
    this.context = new AudioContext({ sampleRate: 44100 });
    const resumed = this.context.resume();
    await this.context.audioWorklet.addModule('audio_worklet.js');
    this.node = new AudioWorkletNode(this.context, 'vonkel-player', {
      numberOfInputs: 0,
      numberOfOutputs: 1,
      outputChannelCount: [1],
    });
    this.node.port.onmessage = (event) => { this.counters = event.data; };
    this.gain = new GainNode(this.context, { gain: this.muted ? 0 : 1 });
    this.node.connect(this.gain).connect(this.context.destination);
    await resumed;
  }

  get running() {
    return this.context !== null && this.context.state === 'running';
  }

  setMuted(muted) {
    this.muted = muted;
    if (this.gain) this.gain.gain.value = muted ? 0 : 1;
  }

  // The sound as a MediaStream, for a clip.
  stream() {
    if (!this.gain) return null;
    if (!this.recorded) {
      this.recorded = this.context.createMediaStreamDestination();
      this.gain.connect(this.recorded);
    }
    return this.recorded.stream;
  }

  // A new game: what is queued from the last one is not played.
  reset() {
    if (this.node) this.node.port.postMessage('reset');
  }

  // `samples` is a view into the module's memory: copied before posting.
  play(samples) {
    if (!this.node || samples.length === 0) return;
    const copy = samples.slice();
    this.node.port.postMessage(copy, [copy.buffer]);
  }
}
