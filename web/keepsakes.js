// What a visitor takes away from the page: a link to the song, the song as
// a WAV file, a screenshot and a clip (a run's link: runs.js). Files are named as the desktop game
// names its captures, with the local date and time and the song's number.

const two = (n) => String(n).padStart(2, '0');

// vonkel-YYYYMMDD-HHMMSS-song-N.EXTENSION, at the local time `date`.
export function captureName(date, song, extension) {
  const day = `${date.getFullYear()}${two(date.getMonth() + 1)}${two(date.getDate())}`;
  const time = `${two(date.getHours())}${two(date.getMinutes())}${two(date.getSeconds())}`;
  return `vonkel-${day}-${time}-song-${song}.${extension}`;
}

export const songFileName = (song) => `vonkel-song-${song}.wav`;

// The page's own address with ?seed=N alone: it opens with song N.
export function songLink(href, song) {
  const url = new URL(href);
  url.search = `?seed=${song}`;
  url.hash = '';
  return url.href;
}

// Hands `blob` to the browser as a download named `name`.
export function download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// Shares the link (with a title and a line) through the system's share
// sheet where the browser has one, else copies it. Returns what happened:
// 'shared', 'copied', 'cancelled' or 'failed'.
export async function shareLink(url, title, text) {
  if (navigator.share) {
    try {
      await navigator.share({ title, text, url });
      return 'shared';
    } catch (error) {
      if (error.name === 'AbortError') return 'cancelled';
    }
  }
  try {
    await navigator.clipboard.writeText(url);
    return 'copied';
  } catch {
    return 'failed';
  }
}

// The picture on the canvas as a PNG file.
export function pngOf(canvas) {
  return new Promise((resolve, reject) => canvas.toBlob((blob) => (blob ? resolve(blob) : reject(
    new Error('no picture'))), 'image/png'));
}
