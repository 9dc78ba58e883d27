// Where the picture, the panel (song number and buttons) and the touch pad
// go in a page of a given size: the arrangement in which the picture gets
// the largest scale. The picture never lies under anything.
//
//   side            picture | panel          (a keyboard or a pad)
//   below           picture over the panel
//   touch-landscape d-pad | picture | panel over A and Start
//   touch-portrait  picture, panel, then d-pad and A and Start
export const kWidth = 640;
export const kHeight = 480;

// Room the other parts take, in CSS pixels (page.css reads them).
export const kRoom = {
  panelSide: 112,  // the panel's width beside the picture (ten digits of a song)
  panelBelow: 52,  // its height under the picture
  panelTouch: 80,  // its height between the picture and the touch pad (two lines)
  padSide: 150,    // each column of the touch pad beside the picture
  padBelow: 220,   // the touch pad's height under the picture
};

// The largest whole scale that fits, or where none does, whatever fits.
export function scaleToFit(width, height) {
  const fits = Math.max(0.05, Math.min(width / kWidth, height / kHeight));
  return fits >= 1 ? Math.floor(fits) : fits;
}

export function layoutFor(width, height, touch) {
  if (touch && height > width) {
    return { mode: 'touch-portrait', scale: scaleToFit(width, height - kRoom.panelTouch - kRoom.padBelow) };
  }
  if (touch) return { mode: 'touch-landscape', scale: scaleToFit(width - 2 * kRoom.padSide, height) };
  const side = scaleToFit(width - kRoom.panelSide, height);
  const below = scaleToFit(width, height - kRoom.panelBelow);
  return side >= below ? { mode: 'side', scale: side } : { mode: 'below', scale: below };
}
