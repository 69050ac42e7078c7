// The page's core, compiled to WebAssembly, against the native murvik-chat:
// every kind of generated replay is fed to the module in pieces of awkward
// sizes (cutting key-code pairs and records everywhere) and the whole chat as
// shown must equal the native chat, CR LF after each sent message.
// Run: node --test tests/web/core_test.js, with MURVIK_WEB_MODULE (the built
// murvik-web.js), MURVIK_CHAT and MURVIK_GENREPLAY (the native programs).
'use strict';
const assert = require('node:assert/strict');
const {execFileSync} = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const test = require('node:test');

const modulePath = path.resolve(process.env.MURVIK_WEB_MODULE || 'build-web/src/web/murvik-web.js');
const chatProgram = process.env.MURVIK_CHAT || 'build/src/cli/murvik-chat';
const genProgram = process.env.MURVIK_GENREPLAY || 'build/tools/replaygen/murvik-genreplay';

// The module looks for fetch to load its WebAssembly; under node it must
// take it from the script itself.
globalThis.fetch = undefined;
const MurvikCore = require(modulePath);

// Replays: every kind, a few seeds, a few hundred KiB each.
const kKinds = ['noise', 'game', 'chat', 'worst', 'open', 'erased', 'empty', 'long', 'erasures', 'mix', 'typos', 'jumble'];
const kSeeds = [1, 2, 3];
// Piece sizes: one byte, one pair, around a record (12), two pages plus one,
// and a seeded mix of small and large ones, 0 included.
const kPieces = [1, 2, 11, 12, 13, 4097, 65537, 'random'];

function random(seed) {
  let s = seed >>> 0;
  return () => {
    s = (s * 1664525 + 1013904223) >>> 0;
    return s / 4294967296;
  };
}

function* pieceSizes(scheme, seed) {
  if (typeof scheme === 'number') {
    for (;;) yield scheme;
  }
  const next = random(seed);
  for (;;) {
    const r = next();
    yield r < 0.1 ? 0 : r < 0.6 ? Math.floor(next() * 40) : Math.floor(next() * 200000);
  }
}

function nativeChat(file) {
  const [result] = JSON.parse(execFileSync(chatProgram, ['--json', file], {maxBuffer: 1 << 30}));
  assert.ok(result.ok, `murvik-chat could not read ${file}`);
  return result.messages.map((m) => m.text + (m.sent ? '\r\n' : '')).join('');
}

function screen(core) {
  return JSON.parse(core.UTF8ToString(core._murvik_screen()));
}

// The whole chat as shown, taken as the page takes it for Save.
function shown(core) {
  const size = screen(core).size;
  const at = core._murvik_shown(0, size);
  return Buffer.from(core.HEAPU8.subarray(at, at + core._murvik_length())).toString('latin1');
}

function read(core, bytes, scheme, seed) {
  core._murvik_begin(bytes.length);
  const sizes = pieceSizes(scheme, seed);
  for (let done = 0; done < bytes.length;) {
    const n = Math.min(sizes.next().value, bytes.length - done);
    const at = core._murvik_buffer(n);
    core.HEAPU8.set(bytes.subarray(done, done + n), at);  // HEAPU8 anew: the buffer may grow the memory
    core._murvik_feed(n);
    done += n;
  }
  return core._murvik_finish();
}

// Where two texts first differ, for a message that says where, not what.
function difference(got, want) {
  let i = 0;
  while (i < got.length && i < want.length && got[i] === want[i]) i += 1;
  return `lengths ${got.length} and ${want.length}, first difference at ${i}: ` +
      `${JSON.stringify(got.slice(i, i + 40))} instead of ${JSON.stringify(want.slice(i, i + 40))}`;
}

test('the core in WebAssembly shows the native chat of every kind of replay, whatever the pieces fed', async (t) => {
  const core = await MurvikCore();
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'murvik-core-test-'));
  t.after(() => fs.rmSync(folder, {recursive: true, force: true}));
  const cases = [['sample', 0, []]];
  for (const kind of kKinds) {
    for (const seed of kSeeds) cases.push([kind, seed, ['--size', String(200000 + seed * 37001), '--seed', String(seed)]]);
  }
  for (const [kind, seed, options] of cases) {
    const file = path.join(folder, `${kind}-${seed}.rep`);
    execFileSync(genProgram, [kind, ...options, '-o', file]);
    const want = nativeChat(file);
    const bytes = new Uint8Array(fs.readFileSync(file));
    for (const scheme of kPieces) {
      const what = `${kind} seed ${seed}, pieces of ${scheme}`;
      assert.equal(read(core, bytes, scheme, seed), 1, `${what}: ${core.UTF8ToString(core._murvik_reason())}`);
      const got = shown(core);
      if (got !== want) assert.fail(`${what}: ${difference(got, want)}`);
    }
  }
});

test('nothing fed fails as empty input', async () => {
  const core = await MurvikCore();
  core._murvik_begin(0);
  assert.equal(core._murvik_finish(), 0);
  assert.equal(core.UTF8ToString(core._murvik_reason()), 'empty input');
});
