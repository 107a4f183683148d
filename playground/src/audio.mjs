// Sound for the bass class. The worker tells of every call on a stream of a
// device that sounds (bass:init with device 0 stays silent), and the page
// plays the stream's file through Web Audio. A run's sounds end with the run,
// as they end with the process on the command line. Streams from a URL are
// not played: the page loads nothing from other hosts.
const kKinds = ['file', 'play', 'pause', 'stop', 'volume', 'free'];

export class AudioPlayer {
  // `onChange(count)` hears how many streams sound after each change.
  constructor(onChange) {
    this.context = null;
    this.streams = new Map();
    this.onChange = onChange;
  }

  // Browsers let a page make sound only after a click or a key: the click
  // that runs the script makes (or wakes) the audio context.
  wake() {
    if (!this.context && typeof AudioContext !== 'undefined') this.context = new AudioContext();
    if (this.context && this.context.state === 'suspended') this.context.resume();
  }

  handle(event) {
    if (!this.context) return;
    const kind = kKinds[event.kind];
    if (kind === 'file') {
      this.streams.set(event.stream, this.newStream(event.bytes));
      return;
    }
    const stream = this.streams.get(event.stream);
    if (!stream) return;
    // Decoding takes a moment: each call waits for the ones before it.
    stream.queue = stream.queue.then(() => this.apply(stream, kind, event));
    if (kind === 'free') this.streams.delete(event.stream);
  }

  // Ends every sound of the run.
  stopAll() {
    for (const stream of this.streams.values()) {
      stream.queue = stream.queue.then(() => this.halt(stream, 0));
    }
    this.streams.clear();
  }

  newStream(bytes) {
    const gain = this.context.createGain();
    gain.connect(this.context.destination);
    const stream = { buffer: null, gain, source: null, offset: 0, startedAt: 0 };
    // A file that starts like a WAVE file yet does not decode stays silent.
    stream.queue = this.context.decodeAudioData(bytes.buffer)
      .then((buffer) => { stream.buffer = buffer; }, () => {});
    return stream;
  }

  apply(stream, kind, event) {
    if (kind === 'play') this.play(stream, event.restart);
    else if (kind === 'pause') this.halt(stream, this.position(stream));
    else if (kind === 'stop' || kind === 'free') this.halt(stream, 0);
    else if (kind === 'volume') stream.gain.gain.value = event.volume;
  }

  // Where a stream stands, in seconds from its beginning.
  position(stream) {
    if (!stream.source) return stream.offset;
    return stream.offset + (this.context.currentTime - stream.startedAt);
  }

  play(stream, restart) {
    if (!stream.buffer) return;
    if (stream.source && !restart) return; // already sounding
    const from = restart ? 0 : stream.offset;
    this.halt(stream, from);
    const source = this.context.createBufferSource();
    source.buffer = stream.buffer;
    source.connect(stream.gain);
    source.onended = () => {
      if (stream.source !== source) return;
      stream.source = null;
      stream.offset = 0;
      this.changed();
    };
    stream.source = source;
    stream.startedAt = this.context.currentTime;
    source.start(0, from < stream.buffer.duration ? from : 0);
    this.changed();
  }

  halt(stream, offset) {
    const { source } = stream;
    stream.source = null;
    stream.offset = offset;
    if (source) {
      source.stop();
      this.changed();
    }
  }

  changed() {
    let count = 0;
    for (const stream of this.streams.values()) if (stream.source) count += 1;
    this.onChange(count);
  }
}
