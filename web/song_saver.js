// The page's side of the song worker: one worker, made on the first save
// and kept, rendering one song at a time while the game goes on.
export class SongSaver {
  constructor(url = 'song_worker.js') {
    this.url = url;
    this.worker = null;
    this.pending = null;  // { resolve, reject } of the song being rendered
  }

  get busy() {
    return this.pending !== null;
  }

  // The WAV file of `seconds` (text) of song `seed`, as a Blob.
  render(seed, seconds = '60') {
    if (this.busy) return Promise.reject(new Error('a song is being saved'));
    if (!this.worker) {
      this.worker = new Worker(this.url);
      this.worker.onmessage = ({ data }) => this.settle(data.wav ? null : new Error(data.error), data.wav);
      this.worker.onerror = (event) => {
        this.worker = null;  // made afresh for the next save
        this.settle(new Error(event.message || 'the song worker failed'));
      };
    }
    return new Promise((resolve, reject) => {
      this.pending = { resolve, reject };
      this.worker.postMessage({ seed, seconds });
    });
  }

  settle(error, wav) {
    const pending = this.pending;
    this.pending = null;
    if (!pending) return;
    if (error) pending.reject(error);
    else pending.resolve(wav);
  }
}
