// The page's worker: reads a chosen replay a piece at a time into the
// WebAssembly core, keeps the chat and the view over it (web_chat.h), and
// answers the page with the rows to draw. Runs after the module's script,
// which defines MurvikCore.
'use strict';

// The most bytes read at a time. The file is read as a stream into two
// buffers, used in turn for the whole read: the browser fills one while the
// core scans the other, so the scan hides behind the read, and no piece is
// left behind for the garbage collector.
const kPiece = 4 << 20;
// The file is streamed a slice at a time: the browser checks, as it opens
// each, that the file has not changed since it was chosen.
const kSlice = 64 << 20;
// Chat characters handed to the page at a time when it asks for a text.
const kTextPart = 8 << 20;
// How often progress is reported, in milliseconds.
const kProgressEvery = 100;

let core = null;
const waiting = [];  // messages that came before the core was ready
let reading = 0;     // the serial of the read in progress, 0 for none
let screenDue = false;
let findTerm = null;  // a find not yet run

MurvikCore().then((module) => {
  core = module;
  for (const message of waiting.splice(0)) handle(message);
  postMessage({op: 'ready'});
});

onmessage = (event) => {
  if (core === null) waiting.push(event.data);
  else handle(event.data);
};

// The rows to draw, sent once after however many changes came together.
function sendScreen() {
  if (screenDue) return;
  screenDue = true;
  setTimeout(() => {
    screenDue = false;
    postScreen();
  });
}

function postScreen() {
  if (findTerm !== null) runFind();
  postMessage({op: 'screen', screen: JSON.parse(core.UTF8ToString(core._murvik_screen()))});
}

function withString(text, use) {
  const size = core.lengthBytesUTF8(text) + 1;
  const at = core._malloc(size);
  core.stringToUTF8(text, at, size);
  try {
    use(at);
  } finally {
    core._free(at);
  }
}

function runFind() {
  const term = findTerm;
  findTerm = null;
  withString(term, (at) => core._murvik_find(at));
}

function handle(m) {
  switch (m.op) {
    case 'open':
      // Whatever stops the read ends this worker: the WebAssembly cannot go
      // on after it. A C++ exception arrives as a number: out of memory.
      read(m.file, m.serial).catch((error) => {
        const memory = typeof error === 'number' || /memory/i.test(String(error));
        postMessage({op: 'broken', reason: memory ? 'not enough memory for this chat in the browser' : String(error)});
        close();
      });
      return;
    case 'show':
      withString(m.text, (at) => core._murvik_drop(at));
      break;
    case 'cancel':
      if (reading === 0) return;
      reading = 0;
      withString('', (at) => core._murvik_drop(at));
      postMessage({op: 'cancelled'});
      break;
    case 'metrics':
      withArray(m.advances, (at) => core._murvik_metrics(at, m.width, m.pageRows));
      core._murvik_lowercase(m.lowercase ? 1 : 0);
      break;
    case 'move':
      core._murvik_move(m.motion, m.select ? 1 : 0);
      break;
    case 'scrollBy':
      core._murvik_scroll_by(m.rows);
      break;
    case 'scrollTo':
      core._murvik_scroll_to(m.share);
      break;
    case 'click':
      core._murvik_click(m.row, m.column, m.extend ? 1 : 0);
      break;
    case 'word':
      core._murvik_select_word(m.row, m.column);
      break;
    case 'selectAll':
      core._murvik_select_all();
      break;
    case 'find':
      // Only the last of several terms typed quickly is looked for.
      findTerm = m.term;
      break;
    case 'step':
      if (findTerm !== null) runFind();
      core._murvik_step(m.by);
      break;
    case 'closeFind':
      findTerm = null;
      core._murvik_close_find();
      break;
    case 'text':
      sendText(m.id, m.begin, m.end);
      return;
    default:
      return;
  }
  sendScreen();
}

function withArray(values, use) {
  const at = core._malloc(values.length * 4);
  core.HEAP32.set(values, at >> 2);
  try {
    use(at);
  } finally {
    core._free(at);
  }
}

// Characters [begin, end) of the chat as shown, CR LF after each line, in
// parts that the page joins into a Blob without one long string.
function sendText(id, begin, end) {
  const parts = [];
  for (let at = begin; at < end; at += kTextPart) {
    const text = core._murvik_shown(at, Math.min(end, at + kTextPart));
    parts.push(core.HEAPU8.slice(text, text + core._murvik_length()));
  }
  postMessage({op: 'text', id, parts}, parts.map((part) => part.buffer));
}

// The reason a piece of a chosen file could not be read, as the browser
// says it, in the words of the rest of the page.
function readError(error) {
  if (error && error.name === 'NotFoundError') return 'the file is gone';
  if (error && error.name === 'NotReadableError') return 'the file could not be read: it changed, moved or may not be read';
  return String(error && error.message ? error.message : error);
}

async function read(file, serial) {
  reading = serial;
  const size = file.size;
  core._murvik_begin(size);
  sendScreen();
  if (size === 0) return fail(serial, 'empty file');  // as the window says
  let reader = null;
  let spare = new ArrayBuffer(kPiece);
  let next = Promise.resolve({done: true, value: new Uint8Array(new ArrayBuffer(kPiece))});
  let done = 0;
  let reported = 0;
  for (;;) {
    let piece;
    try {
      piece = await next;
      if (piece.done && done < size) {
        // The next slice, into the buffer the last read gave back.
        reader = file.slice(done, Math.min(size, done + kSlice)).stream().getReader({mode: 'byob'});
        piece = await reader.read(new Uint8Array(piece.value.buffer));
      }
    } catch (error) {
      if (reading === serial) fail(serial, readError(error));
      return;
    }
    if (reading !== serial) {  // cancelled, or a newer read took over
      if (reader) reader.cancel().catch(() => {});
      return;
    }
    if (piece.done) break;
    const bytes = piece.value;
    next = reader.read(new Uint8Array(spare));
    const at = core._murvik_buffer(bytes.byteLength);
    core.HEAPU8.set(bytes, at);
    core._murvik_feed(bytes.byteLength);
    spare = bytes.buffer;
    done += bytes.byteLength;
    const now = performance.now();
    if (now - reported >= kProgressEvery) {
      reported = now;
      postMessage({op: 'progress', serial, done, size});
    }
  }
  try {
    // Still the file chosen: one changed during the last slice fails here.
    await file.slice(size - 1).arrayBuffer();
  } catch (error) {
    if (reading === serial) fail(serial, readError(error));
    return;
  }
  if (reading !== serial) return;
  if (done !== size) return fail(serial, `the file changed size while being read (${done} of ${size} bytes)`);
  reading = 0;
  if (core._murvik_finish() === 0) return fail(serial, core.UTF8ToString(core._murvik_reason()));
  // The chat first, so that the page never shows the hint of an empty one.
  postScreen();
  postMessage({op: 'loaded', serial});
}

function fail(serial, reason) {
  reading = 0;
  withString('Failed to open replay', (at) => core._murvik_drop(at));
  postMessage({op: 'failed', serial, reason});
  sendScreen();
}
