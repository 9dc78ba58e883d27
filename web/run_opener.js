// Where the page's runs come from: the panel's Open run (a file input), a
// file dropped anywhere on the page, and a run link (opened, or pasted into
// a page already open). Each is read by the module's run reader; a later
// one wins over one still being read.
import { fileBytes, linkBytes, linkData, readRun } from './runs.js';

export class RunOpener {
  // on: { opening(), read(run), refused(line), still() }: a run is being
  // read; it was read (runs.js, readRun); it was refused, with one line;
  // a link is opened at start-up (the page shows a picture first).
  constructor(module, on) {
    this.module = module;
    this.on = on;
    this.maxBytes = module._vonkel_max_run_bytes();
    this.count = 0;
    this.input = document.getElementById('run-file');
    this.input.addEventListener('change', () => {
      const [file] = this.input.files;
      this.input.value = '';  // the same file chosen again is a change too
      if (file) this.openFile(file);
    });
    const app = document.getElementById('app');
    const carriesFiles = (event) => event.dataTransfer && [...event.dataTransfer.types].includes('Files');
    document.addEventListener('dragover', (event) => {
      if (!carriesFiles(event)) return;
      event.preventDefault();
      event.dataTransfer.dropEffect = 'copy';
      app.classList.add('dropping');
    });
    document.addEventListener('dragleave', (event) => {
      if (event.relatedTarget === null) app.classList.remove('dropping');
    });
    document.addEventListener('drop', (event) => {
      app.classList.remove('dropping');
      if (!carriesFiles(event)) return;
      event.preventDefault();
      if (event.dataTransfer.files.length > 0) this.openFile(event.dataTransfer.files[0]);
    });
    window.addEventListener('hashchange', () => this.openLink());
  }

  // The file picker.
  choose() {
    this.input.click();
  }

  openFile(file) {
    this.open(file.name, () => fileBytes(file, this.maxBytes), false);
  }

  // The run of the page's address, if it holds one.
  openLink() {
    const data = linkData(location.hash);
    if (data === null) return;
    this.on.still();
    this.open('the link', () => linkBytes(data, this.maxBytes), true);
  }

  // `source` names the run in a refusal; bytesOf() gives its bytes.
  async open(source, bytesOf, link) {
    const count = ++this.count;
    this.on.opening();
    let run;
    try {
      const bytes = await bytesOf();
      if (count !== this.count) return;
      run = readRun(this.module, bytes, link);
    } catch (error) {
      if (count === this.count) this.on.refused(`Cannot play ${source}: ${error.message}`);
      return;
    }
    this.on.read(run);
  }
}
