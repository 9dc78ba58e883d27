// A clip of the game: the canvas's pictures and the page's sound through
// MediaRecorder, in the first container the browser records (WebM, else
// MP4, as Safari has it). A WebM clip gets its duration written when it
// stops (webm_duration.js).
import { withDuration } from './webm_duration.js';

const kTypes = ['video/webm;codecs=vp9,opus', 'video/webm;codecs=vp8,opus', 'video/webm',
  'video/mp4;codecs=avc1,mp4a.40.2', 'video/mp4'];

export function clipType() {
  if (typeof MediaRecorder === 'undefined' || !HTMLCanvasElement.prototype.captureStream) return null;
  return kTypes.find((type) => MediaRecorder.isTypeSupported(type)) ?? null;
}

export class ClipRecorder {
  constructor(canvas) {
    this.canvas = canvas;
    this.recorder = null;
  }

  get recording() {
    return this.recorder !== null;
  }

  // Starts a clip of the canvas and, if given, the tracks of `sound` (a
  // MediaStream). Returns false where the browser records no clips.
  start(sound) {
    const type = clipType();
    if (!type || this.recorder) return false;
    const stream = this.canvas.captureStream(60);
    if (sound) for (const track of sound.getAudioTracks()) stream.addTrack(track);
    this.video = stream.getVideoTracks();
    this.chunks = [];
    this.startedAt = new Date();
    this.extension = type.startsWith('video/mp4') ? 'mp4' : 'webm';
    this.recorder = new MediaRecorder(stream, { mimeType: type });
    this.recorder.ondataavailable = (event) => {
      if (event.data.size > 0) this.chunks.push(event.data);
    };
    this.recorder.start(1000);
    return true;
  }

  // Ends the clip: { blob, extension, startedAt }.
  async stop() {
    const recorder = this.recorder;
    if (!recorder) throw new Error('not recording');
    this.recorder = null;
    await new Promise((resolve) => {
      recorder.onstop = resolve;
      recorder.stop();
    });
    for (const track of this.video) track.stop();
    let blob = new Blob(this.chunks, { type: recorder.mimeType });
    if (this.extension === 'webm') {
      try {
        blob = await withDuration(blob);
      } catch (error) {
        console.warn(`vonkel: the clip keeps no duration (${error.message})`);
      }
    }
    return { blob, extension: this.extension, startedAt: this.startedAt };
  }
}
