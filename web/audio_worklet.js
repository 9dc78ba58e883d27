// Plays the blocks the page renders, about 75 ms behind the rendering: it
// starts (and, after running dry, starts again) once that much is queued,
// and drops what is queued beyond 75 ms + a margin, so that the clocks of the
// page and the sound card drifting apart cannot make the delay grow.
// Counters go back to the page about ten times a second.
const kTargetSamples = Math.round(0.075 * sampleRate);
const kMaxSamples = kTargetSamples + Math.round(0.06 * sampleRate);
const kReportEvery = Math.round(sampleRate / 10 / 128);

class VonkelPlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];  // Float32Arrays, oldest first
    this.offset = 0;  // samples of queue[0] already played
    this.queued = 0;
    this.playing = false;
    this.counters = { received: 0, played: 0, nonSilent: 0, underruns: 0, dropped: 0, quantums: 0 };
    this.port.onmessage = (event) => this.receive(event.data);
  }

  receive(message) {
    if (message === 'reset') {
      this.queue = [];
      this.offset = 0;
      this.queued = 0;
      this.playing = false;
      return;
    }
    this.queue.push(message);
    this.queued += message.length;
    this.counters.received += message.length;
    if (this.queued > kMaxSamples) this.drop(this.queued - kTargetSamples);
  }

  drop(count) {
    this.counters.dropped += count;
    while (count > 0 && this.queue.length) {
      const left = this.queue[0].length - this.offset;
      const taken = Math.min(left, count);
      this.offset += taken;
      this.queued -= taken;
      count -= taken;
      if (this.offset === this.queue[0].length) {
        this.queue.shift();
        this.offset = 0;
      }
    }
  }

  process(inputs, outputs) {
    const out = outputs[0][0];
    if (!this.playing && this.queued >= kTargetSamples) this.playing = true;
    let written = 0;
    if (this.playing) {
      while (written < out.length && this.queue.length) {
        const block = this.queue[0];
        const n = Math.min(out.length - written, block.length - this.offset);
        for (let i = 0; i < n; ++i) {
          const sample = block[this.offset + i];
          out[written + i] = sample;
          if (sample !== 0) this.counters.nonSilent++;
        }
        written += n;
        this.offset += n;
        this.queued -= n;
        if (this.offset === block.length) {
          this.queue.shift();
          this.offset = 0;
        }
      }
      if (written < out.length) {
        this.playing = false;
        this.counters.underruns++;
      }
    }
    out.fill(0, written);
    for (let c = 1; c < outputs[0].length; ++c) outputs[0][c].set(out);
    this.counters.played += written;
    if (++this.counters.quantums % kReportEvery === 0) {
      this.port.postMessage({ ...this.counters, queued: this.queued, time: currentTime });
    }
    return true;
  }
}

registerProcessor('vonkel-player', VonkelPlayer);
