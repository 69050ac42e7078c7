// The page's WebAssembly core alone, under node: a replay fed in 16 MiB
// pieces through murvik_begin / murvik_buffer / murvik_feed / murvik_finish,
// as the page's worker feeds it, each piece read from the file straight into
// the module's memory (one copy, as murvik-chat's read() makes). Prints one
// line per run and then the least, in a form bench/web reads:
//   least TOTAL_MS FEED_MS MIB CHARS
// TOTAL_MS is begin to finish, reads included; FEED_MS the murvik_feed calls
// alone; CHARS the chat's characters (the screen's size). Each run's line
// also gives the size of the module's memory and node's resident memory.
// Usage: node bench/web_core.js MODULE FILE [RUNS]
'use strict';
const fs = require('node:fs');
const path = require('node:path');

const kPiece = 16 << 20;
const [modulePath, file, runsText] = process.argv.slice(2);
if (!modulePath || !file) {
  console.error('usage: node bench/web_core.js MODULE FILE [RUNS]');
  process.exit(2);
}
const runs = Number(runsText || 3);

// The module looks for fetch to load its WebAssembly; under node it must
// take it from the script itself.
globalThis.fetch = undefined;
const MurvikCore = require(path.resolve(modulePath));

function once(core) {
  const size = fs.statSync(file).size;
  const fd = fs.openSync(file, 'r');
  let feedMs = 0;
  const t0 = performance.now();
  core._murvik_begin(size);
  for (let done = 0; done < size;) {
    const n = Math.min(kPiece, size - done);
    const at = core._murvik_buffer(n);
    // HEAPU8 anew after each buffer: the buffer may grow the memory.
    const got = fs.readSync(fd, core.HEAPU8, at, n, done);
    if (got !== n) throw new Error(`${file}: read ${got} of ${n} bytes at ${done}`);
    const f0 = performance.now();
    core._murvik_feed(n);
    feedMs += performance.now() - f0;
    done += n;
  }
  const ok = core._murvik_finish();
  const totalMs = performance.now() - t0;
  fs.closeSync(fd);
  if (ok !== 1) throw new Error(`${file}: ${core.UTF8ToString(core._murvik_reason())}`);
  const chars = JSON.parse(core.UTF8ToString(core._murvik_screen())).size;
  return {totalMs, feedMs, mib: size / 1048576, chars, heapMib: core.HEAPU8.length / 1048576,
          rssMib: process.memoryUsage().rss / 1048576};
}

MurvikCore().then((core) => {
  let least = null;
  for (let i = 0; i < runs; i += 1) {
    const r = once(core);
    console.log(`run ${i + 1}: ${r.totalMs.toFixed(1)} ms (feed ${r.feedMs.toFixed(1)} ms), ` +
                `${(r.totalMs / r.mib).toFixed(3)} ms/MiB; the module's memory ${r.heapMib.toFixed(0)} MiB, ` +
                `node's resident ${r.rssMib.toFixed(0)} MiB`);
    if (least === null || r.totalMs < least.totalMs) least = r;
  }
  console.log(`least ${least.totalMs.toFixed(1)} ${least.feedMs.toFixed(1)} ${least.mib} ${least.chars}`);
});
