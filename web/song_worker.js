// Renders a song into a WAV file away from the page's thread, with a wasm
// module of its own: the file `vonkel-lab audio --seed N --seconds S` writes
// (clock 0), byte for byte. Message in: { seed, seconds } (seconds as text,
// read by the lab's reader); message out: { seed, wav: Blob } or { seed, error }.
importScripts('vonkel.js');

const ready = createVonkelModule();  // eslint-disable-line no-undef

self.onmessage = async (event) => {
  const { seed, seconds } = event.data;
  try {
    const m = await ready;
    const parts = [];
    m.onSongBytes = (bytes) => parts.push(bytes.slice());
    const size = m.lengthBytesUTF8(seconds) + 1;
    const text = m._malloc(size);
    m.stringToUTF8(seconds, text, size);
    const ok = m._vonkel_export_song_wav(seed, 0, text);
    m._free(text);
    if (!ok) throw new Error(`not a length in seconds: '${seconds}'`);
    self.postMessage({ seed, wav: new Blob(parts, { type: 'audio/wav' }) });
  } catch (error) {
    self.postMessage({ seed, error: String(error.message || error) });
  }
};
