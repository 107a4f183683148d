// What the WebAssembly module asks of JavaScript: standard output as bytes,
// as it is written (Module.onOutput), the sound calls of the bass class
// (Module.onAudio), and waiting for a while.
mergeInto(LibraryManager.library, {
  fd_write: function (fd, iov, iovcnt, pnum) {
    var written = 0;
    for (var i = 0; i < iovcnt; i++) {
      var ptr = HEAPU32[(iov >> 2) + 2 * i];
      var len = HEAPU32[(iov >> 2) + 2 * i + 1];
      if (len > 0 && fd === 1 && Module.onOutput) Module.onOutput(HEAPU8.slice(ptr, ptr + len));
      written += len;
    }
    HEAPU32[pnum >> 2] = written;
    return 0;
  },

  // A call of the bass class on a stream of a device that sounds
  // (Module.onAudio: the worker passes it to the page, which plays it).
  zn_js_audio: function (kind, stream, restart, volume, data, size) {
    if (!Module.onAudio) return;
    var bytes = size > 0 ? HEAPU8.slice(data, data + size) : null;
    Module.onAudio({ kind: kind, stream: stream, restart: restart !== 0, volume: volume, bytes: bytes });
  },

  // Blocks the worker, never the page. Atomics.wait sleeps where shared
  // memory is allowed (Node, a cross-origin isolated page); elsewhere the
  // time is waited out by looking at the clock.
  zn_js_sleep: function (ms) {
    if (Module.sleep) return Module.sleep(ms);
    if (typeof SharedArrayBuffer !== 'undefined' && typeof Atomics !== 'undefined') {
      try {
        Atomics.wait(new Int32Array(new SharedArrayBuffer(4)), 0, 0, ms);
        return;
      } catch (e) {
        // not allowed on this thread: fall through to the clock
      }
    }
    var end = performance.now() + ms;
    while (performance.now() < end) {}
  },
});
