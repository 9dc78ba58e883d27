// MediaRecorder writes WebM as a live stream: the Segment and its Clusters
// have no size and the Segment's Info no Duration, so players show no
// length and cannot seek. withDuration() finds the last block's timestamp
// and writes it into the Info as its Duration.
//
// WebM is EBML: every element is an ID (1 to 4 bytes, its length marker
// kept as part of the ID), a size (a variable-length integer of 1 to 8
// bytes; all value bits set means "unknown") and a body of that size.
const kEbml = 0x1a45dfa3;
const kSegment = 0x18538067;
const kSeekHead = 0x114d9b74;
const kInfo = 0x1549a966;
const kDuration = 0x4489;
const kCluster = 0x1f43b675;
const kTimecode = 0xe7;
const kBlockGroup = 0xa0;
const kBlock = 0xa1;
const kSimpleBlock = 0xa3;
const kCues = 0x1c53bb6b;

// The variable-length integer at `at`: { value, length, unknown }, or null
// past the end. An ID keeps its length marker (`keepMarker`), a size not.
function readVint(bytes, at, keepMarker = false) {
  if (at >= bytes.length || bytes[at] === 0) return null;
  const length = Math.clz32(bytes[at]) - 23;  // leading zeros of the byte, plus one
  if (at + length > bytes.length) return null;
  let value = keepMarker ? bytes[at] : bytes[at] & (0xff >> length);
  let allOnes = value === 0xff >> length;
  for (let i = 1; i < length; i++) {
    value = value * 256 + bytes[at + i];
    allOnes &&= bytes[at + i] === 0xff;
  }
  return { value, length, unknown: !keepMarker && allOnes };
}

// The element at `at`: { id, size (null if unknown), body, end }.
function readElement(bytes, at) {
  const id = readVint(bytes, at, true);
  const size = id && readVint(bytes, at + id.length);
  if (!size) return null;
  const body = at + id.length + size.length;
  return { id: id.value, size: size.unknown ? null : size.value, sizeAt: at + id.length, body,
           end: size.unknown ? null : body + size.value };
}

// A size of `value` in `length` bytes.
function sizeBytes(value, length) {
  const bytes = new Uint8Array(length);
  for (let i = length - 1; i >= 0; i--, value = Math.floor(value / 256)) bytes[i] = value % 256;
  bytes[0] |= 0x80 >> (length - 1);
  return bytes;
}

// The fewest bytes that hold `value` as a known size, at least `length`.
function sizeLength(value, length) {
  while (value >= 2 ** (7 * length) - 1) length++;
  return length;
}

// The largest block timestamp from `at` on, walking into Clusters and
// BlockGroups (whose sizes may be unknown) and over everything else; null
// where there is none or the file has Cues (whose positions would move).
function lastTimestamp(bytes, at) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length);
  let cluster = 0;
  let last = null;
  for (let element; at < bytes.length && (element = readElement(bytes, at));) {
    if (element.id === kCues) return null;
    if (element.id === kCluster || element.id === kBlockGroup) {
      at = element.body;
      continue;
    }
    if (element.end === null || element.end > bytes.length) break;
    if (element.id === kTimecode) {
      cluster = 0;
      for (let i = element.body; i < element.end; i++) cluster = cluster * 256 + bytes[i];
    } else if (element.id === kSimpleBlock || element.id === kBlock) {
      const track = readVint(bytes, element.body);  // the track number, then a signed 16-bit offset
      if (track) last = Math.max(last ?? 0, cluster + view.getInt16(element.body + track.length));
    }
    at = element.end;
  }
  return last;
}

// The clip with its Duration, in the units of its timestamps (the Info's
// TimecodeScale); or the clip as it is where it has one already, or is not
// a WebM file this reader follows.
export async function withDuration(blob) {
  const bytes = new Uint8Array(await blob.arrayBuffer());
  const header = readElement(bytes, 0);
  if (!header || header.id !== kEbml || header.end === null) return blob;
  const segment = readElement(bytes, header.end);
  if (!segment || segment.id !== kSegment) return blob;
  // The Info comes before the first Cluster; a SeekHead would point past it.
  let info = null;
  for (let at = segment.body, element; (element = readElement(bytes, at)) && element.end !== null;
    at = element.end) {
    if (element.id === kSeekHead || element.id === kCluster) return blob;
    if (element.id === kInfo) {
      info = element;
      break;
    }
  }
  if (!info || info.end > bytes.length) return blob;
  for (let at = info.body, element; at < info.end && (element = readElement(bytes, at)); at = element.end) {
    if (element.id === kDuration || element.end === null) return blob;
  }
  const last = lastTimestamp(bytes, info.end);
  if (last === null) return blob;

  const duration = new Uint8Array(11);  // ID 0x4489, size 8, a 64-bit float
  duration.set([0x44, 0x89, 0x88]);
  new DataView(duration.buffer).setFloat64(3, last);
  const infoLength = info.body - info.sizeAt;
  const infoSize = sizeBytes(info.size + duration.length, sizeLength(info.size + duration.length, infoLength));
  const grown = duration.length + infoSize.length - infoLength;
  let segmentSize = bytes.subarray(segment.sizeAt, segment.body);  // an unknown size stays so
  if (segment.size !== null) {
    const length = segment.body - segment.sizeAt;
    if (sizeLength(segment.size + grown, length) > length) return blob;
    segmentSize = sizeBytes(segment.size + grown, length);
  }
  return new Blob([bytes.subarray(0, segment.sizeAt), segmentSize, bytes.subarray(segment.body, info.sizeAt), infoSize,
    bytes.subarray(info.body, info.end), duration, bytes.subarray(info.end)], { type: blob.type });
}
