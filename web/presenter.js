// The 640 x 480 output picture on a canvas, scaled by CSS without smoothing:
// the largest whole multiple that fits the page (or, on a page smaller than
// the picture, whatever fits), and a button for the Fullscreen API.
const kWidth = 640;
const kHeight = 480;

export class Presenter {
  constructor(canvas, frame, fullscreenButton) {
    this.canvas = canvas;
    this.frame = frame;
    canvas.width = kWidth;
    canvas.height = kHeight;
    this.context = canvas.getContext('2d', { alpha: false });
    this.image = null;
    const fit = () => this.fit();
    window.addEventListener('resize', fit);
    document.addEventListener('fullscreenchange', fit);
    fullscreenButton.addEventListener('click', () => this.toggleFullscreen());
    fit();
  }

  static scaleFor(width, height) {
    const fits = Math.min(width / kWidth, height / kHeight);
    return fits >= 1 ? Math.floor(fits) : fits;
  }

  fit() {
    const scale = Presenter.scaleFor(this.frame.clientWidth, this.frame.clientHeight);
    this.scale = scale;
    this.canvas.style.width = `${kWidth * scale}px`;
    this.canvas.style.height = `${kHeight * scale}px`;
  }

  toggleFullscreen() {
    if (document.fullscreenElement) document.exitFullscreen();
    else if (this.frame.requestFullscreen) this.frame.requestFullscreen().catch(() => {});
  }

  // `heap` is the module's memory, `pointer` the RGBA picture in it. The
  // memory never grows, so one view serves every frame.
  show(heap, pointer) {
    if (!this.image || this.image.data.buffer !== heap.buffer || this.pointer !== pointer) {
      this.image = new ImageData(new Uint8ClampedArray(heap.buffer, pointer, kWidth * kHeight * 4), kWidth, kHeight);
      this.pointer = pointer;
    }
    this.context.putImageData(this.image, 0, 0);
  }
}
