// The 640 x 480 output picture on a canvas, scaled by CSS without smoothing,
// in the arrangement of layout.js that suits the page's size and the
// presence of the touch pad; and a Fullscreen API toggle.
import { kHeight, kRoom, kWidth, layoutFor } from './layout.js';

export class Presenter {
  constructor(app, canvas) {
    this.app = app;
    this.canvas = canvas;
    this.touch = false;
    canvas.width = kWidth;
    canvas.height = kHeight;
    this.context = canvas.getContext('2d', { alpha: false });
    this.image = null;
    this.onFit = null;  // called after each change of the arrangement
    for (const [name, pixels] of Object.entries(kRoom)) app.style.setProperty(`--${name}`, `${pixels}px`);
    const fit = () => this.fit();
    window.addEventListener('resize', fit);
    document.addEventListener('fullscreenchange', fit);
    fit();
  }

  // Shows or hides the touch pad: the arrangement changes with it.
  setTouch(touch) {
    this.touch = touch;
    this.fit();
  }

  fit() {
    const style = getComputedStyle(this.app);
    const width = this.app.clientWidth - parseFloat(style.paddingLeft) - parseFloat(style.paddingRight);
    const height = this.app.clientHeight - parseFloat(style.paddingTop) - parseFloat(style.paddingBottom);
    const { mode, scale } = layoutFor(width, height, this.touch);
    this.scale = scale;
    this.app.className = mode;
    this.app.style.setProperty('--scale', scale);
    this.canvas.style.width = `${kWidth * scale}px`;
    this.canvas.style.height = `${kHeight * scale}px`;
    if (this.onFit) this.onFit();
  }

  static toggleFullscreen(element) {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (element.requestFullscreen) element.requestFullscreen().catch(() => {});
  }

  // `heap` is the module's memory, `pointer` the RGBA picture in it. One
  // view serves every frame until the memory grows (a run file read), which
  // gives it a new buffer.
  show(heap, pointer) {
    if (!this.image || this.image.data.buffer !== heap.buffer || this.pointer !== pointer) {
      this.image = new ImageData(new Uint8ClampedArray(heap.buffer, pointer, kWidth * kHeight * 4), kWidth, kHeight);
      this.pointer = pointer;
    }
    this.context.putImageData(this.image, 0, 0);
  }
}
