// Runs on the page: the link of the page's own game (Share run), and the
// runs it opens from such a link or from a .vonkelrun file, read by the
// module's run reader.
//
// A link is the page's address with #run=DATA: DATA is the run's text in
// its link form (web/page_runs.h: key frames as differences, no digests),
// deflated (deflate-raw) and written in base64url without padding. It sits
// in the fragment, which browsers never send to a server.
const kLinkPrefix = '#run=';
// The reader's words for a text over its limit, for a file or a link
// refused before it is read whole.
const kTooLarge = 'larger than 16 MiB: not a run this vonkel reads';

function base64url(bytes) {
  let binary = '';
  for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

function bytesOfBase64url(text) {
  if (!/^[A-Za-z0-9_-]*$/.test(text) || text.length % 4 === 1) {
    throw new Error('not a run link (its data is not base64url)');
  }
  const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

// The bytes a stream gives, no more than `limit` + 1 of them: a stream that
// gives more is cancelled there (a link that inflates without end).
async function bytesOfStream(stream, limit) {
  const reader = stream.getReader();
  const parts = [];
  let size = 0;
  for (;;) {
    const { done, value } = await reader.read();
    if (done) break;
    parts.push(value);
    size += value.length;
    if (size > limit) {
      reader.cancel().catch(() => {});
      break;
    }
  }
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const part of parts) {
    bytes.set(part, at);
    at += part.length;
  }
  return bytes;
}

// The page's address with the run's link text in its fragment.
export async function runLink(href, linkText) {
  const deflated = new Blob([linkText]).stream().pipeThrough(new CompressionStream('deflate-raw'));
  const url = new URL(href);
  url.search = '';
  url.hash = '';
  return `${url.href}${kLinkPrefix}${base64url(await bytesOfStream(deflated, Infinity))}`;
}

// The data of a run link's fragment, or null if `hash` holds none.
export function linkData(hash) {
  return hash.startsWith(kLinkPrefix) ? hash.slice(kLinkPrefix.length) : null;
}

// The bytes of the text that a link's data holds. Throws an Error with one line.
export async function linkBytes(data, maxBytes) {
  const inflated = new Blob([bytesOfBase64url(data)]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
  let bytes;
  try {
    bytes = await bytesOfStream(inflated, maxBytes);
  } catch {
    throw new Error('its run does not inflate (the link is damaged or cut short)');
  }
  if (bytes.length > maxBytes) throw new Error(kTooLarge);
  return bytes;
}

// The bytes of a run file, refused unread if it is too large. Throws an
// Error with one line.
export async function fileBytes(file, maxBytes) {
  if (file.size > maxBytes) throw new Error(kTooLarge);
  try {
    return new Uint8Array(await file.arrayBuffer());
  } catch (error) {
    throw new Error(`it could not be read (${error.message})`);
  }
}

// Reads a run's text (a file's or, with `link`, a link's) into the module,
// which keeps it to play. Returns { seed, frames, clock, digests, from },
// clock null for a desktop run; throws an Error with the reader's line.
export function readRun(m, bytes, link) {
  const pointer = m._malloc(Math.max(bytes.length, 1));
  if (!pointer) throw new Error('there is not memory enough to read it');
  let error;
  try {
    m.HEAPU8.set(bytes, pointer);  // HEAPU8 read after _malloc, which may grow the memory
    error = m.UTF8ToString(m._vonkel_read_run(pointer, bytes.length, link ? 1 : 0));
  } finally {
    m._free(pointer);
  }
  if (error !== '') throw new Error(error);
  const [seed, frames, clock, digests, ...from] = m.UTF8ToString(m._vonkel_run_info()).split(' ');
  return { seed: Number(seed), frames: Number(frames), clock: clock === '-' ? null : Number(clock),
           digests: digests === '1', from: from.join(' ') };
}

// "run of song 1234 from desktop vonkel 1.2.0": a run's seed is the song
// of its first game.
export function runOrigin(run) {
  return `run of song ${run.seed} from ${run.from}`;
}

// The page's own game as a link's text ('' before its first frame).
export function ownLinkText(m) {
  return m.UTF8ToString(m._vonkel_run_link_text());
}
