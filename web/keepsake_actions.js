// What the panel's buttons keep of a game: a link to its song (Share), a
// link that replays it (Share run, on the end card), the song as a WAV file
// (Save song, rendered in the song worker while the game plays on), a
// screenshot and a clip, named as the desktop names them.
import { ClipRecorder } from './clip_recorder.js';
import { captureName, download, pngOf, shareLink, songFileName, songLink } from './keepsakes.js';
import { runLink } from './runs.js';
import { SongSaver } from './song_saver.js';

export class KeepsakeActions {
  // report: the page's report (its song number, and what tests read);
  // audio(): the page's audio output, or null.
  constructor(panel, canvas, report, audio) {
    this.panel = panel;
    this.canvas = canvas;
    this.report = report;
    this.audio = audio;
    this.saver = new SongSaver();
    this.clip = new ClipRecorder(canvas);
  }

  get saving() { return this.saver.busy; }

  async share() {
    const song = this.report.song;
    const url = songLink(location.href, song);
    this.report.sharedLink = url;
    const how = await shareLink(url, `vonkel, song ${song}`, `Song ${song} of vonkel`);
    const said = { shared: 'Link shared', copied: 'Link to this song copied', cancelled: '',
                   failed: `Link to this song: ${url}` };
    this.panel.say(said[how], how === 'failed');
  }

  // Share run: a link that replays the game just played, frame for frame.
  async shareRun(linkText) {
    if (linkText === '') return;
    const song = this.report.seed;
    const url = await runLink(location.href, linkText);
    this.report.runLink = url;
    const how = await shareLink(url, `vonkel, a run of song ${song}`, `A run of song ${song} of vonkel`);
    const said = { shared: 'Link shared', copied: 'Link to this run copied', cancelled: '',
                   failed: `Link to this run: ${url}` };
    this.panel.say(said[how], how === 'failed');
  }

  // Save song: 60 s of the song playing, rendered in the song worker.
  async saveSong() {
    if (this.saver.busy) return;
    const song = this.report.song;
    this.panel.setState('save', { busy: true });
    this.panel.say(`Saving song ${song}…`, true);
    this.report.framesWhileSaving = 0;
    try {
      download(await this.saver.render(song), songFileName(song));
      this.panel.say(`Saved ${songFileName(song)}`);
    } catch (error) {
      this.panel.say(`The song could not be saved (${error.message})`);
    } finally {
      this.panel.setState('save', { busy: false });
    }
  }

  async screenshot() {
    const name = captureName(new Date(), this.report.song, 'png');
    download(await pngOf(this.canvas), name);
    this.panel.say(`Saved ${name}`);
  }

  async toggleClip() {
    if (this.clip.recording) {
      this.panel.setState('clip', { on: false });
      const { blob, extension, startedAt } = await this.clip.stop();
      const name = captureName(startedAt, this.clipSong, extension);
      download(blob, name);
      this.panel.say(`Saved ${name}`);
    } else {
      const audio = this.audio();
      if (this.clip.start(audio ? audio.stream() : null)) {
        this.clipSong = this.report.song;
        this.panel.setState('clip', { on: true });
        this.panel.say('Recording a clip: Clip again stops it');
      }
    }
  }

  // A clip that records when the game ends is saved.
  stopClip() {
    if (this.clip.recording) this.toggleClip();
  }
}
