// The page's main thread: it only draws the rows the worker sends and passes
// the user's input on. The chat, its layout and find live in the worker, so
// that no step here takes longer than drawing one screen of rows.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);
  const text1 = $('Text1');
  const scroll = $('scroll');
  const scrollSpace = $('scrollSpace');
  const hint = $('lblHint');
  const notice = $('lblNotice');
  const fileReplay = $('fileReplay');
  const chkLowercase = $('chkLowercase');
  const cmdSave = $('cmdSave');
  const cmdFind = $('cmdFind');
  const fraReading = $('fraReading');
  const fraFind = $('fraFind');
  const txtFind = $('txtFind');
  const findCount = $('lblFindCount');

  // How the caret moves (web_chat.h's Motion, in its order).
  const Motion = {
    prevChar: 0, nextChar: 1, prevWord: 2, nextWord: 3, prevRow: 4, nextRow: 5,
    rowStart: 6, rowEnd: 7, prevPage: 8, nextPage: 9, start: 10, end: 11,
  };
  // A browser makes no element taller than about 16 million pixels (some,
  // less); the scroll bar's room is kept below, and stands for the chat's
  // characters as a share, not for its rows.
  const kMostScrollHeight = 4000000;
  const kHints = {
    start: 'To open a replay, press Ctrl+O or Open replay, or drop the file here. F1 lists the keys.',
    empty: 'This replay holds no chat.',
    cancelled: 'Reading the replay was cancelled; its chat is not shown. Open it again to read it again.',
  };
  const isMac = /Mac|iPhone|iPad/.test(navigator.platform);

  let screen = null;       // the last screen the worker sent
  let serial = 0;          // of the latest read asked for
  let reading = false;
  let fileName = '';       // the replay shown or being read
  let loaded = false;      // a chat was read and is shown
  let rowHeight = 20;
  let advances = null;     // each byte's width in 1/64 pixel, in the case shown
  let scrollExpected = -1; // the scroll bar's position the page set last
  const texts = new Map(); // texts asked of the worker, by id
  let textId = 0;

  const workerUrl = URL.createObjectURL(new Blob([$('worker-source').textContent], {type: 'text/javascript'}));
  let worker = null;
  // A worker whose WebAssembly stopped (out of memory, say) cannot go on:
  // the read fails, and a new worker takes its place, showing the failure.
  function startWorker() {
    worker = new Worker(workerUrl);
    worker.onmessage = (event) => received(event.data);
    worker.onerror = (event) => {
      event.preventDefault();
      workerBroke(event.message || 'the reader stopped');
    };
  }
  function workerBroke(reason) {
    worker.terminate();
    startWorker();
    sendMetrics();
    send({op: 'show', text: 'Failed to open replay'});
    endReading();
    showFailure(reason);
  }
  const send = (message) => worker.postMessage(message);

  function received(m) {
    switch (m.op) {
      case 'screen':
        render(m.screen);
        break;
      case 'progress':
        if (m.serial === serial) showProgress(m.done, m.size);
        break;
      case 'loaded':
        if (m.serial !== serial) break;
        endReading();
        loaded = true;
        hint.textContent = kHints.empty;
        notice.textContent = '';
        if (!fraFind.hidden && txtFind.value) send({op: 'find', term: txtFind.value});
        break;
      case 'failed':
        if (m.serial !== serial) break;
        endReading();
        showFailure(m.reason);
        break;
      case 'broken':
        workerBroke(m.reason);
        break;
      case 'cancelled':
        endReading();
        hint.textContent = kHints.cancelled;
        notice.textContent = '';
        break;
      case 'text': {
        const done = texts.get(m.id);
        texts.delete(m.id);
        if (done) done(new Blob(m.parts, {type: 'text/plain'}));
        break;
      }
    }
    updateControls();
  }

  function showFailure(reason) {
    loaded = false;
    notice.textContent = `${fileName}: ${reason}`;
  }

  // ---- Reading --------------------------------------------------------

  function open(file) {
    if (!file) return;
    serial += 1;
    reading = true;
    loaded = false;
    fileName = file.name;
    notice.textContent = '';
    $('lblReading').textContent = `Reading ${file.name}`;
    showProgress(0, file.size);
    fraReading.hidden = false;
    text1.setAttribute('aria-busy', 'true');
    send({op: 'open', file, serial});
    updateControls();
  }

  function cancel() {
    if (!reading) return;
    send({op: 'cancel'});
    endReading();
  }

  function endReading() {
    reading = false;
    fraReading.hidden = true;
    text1.removeAttribute('aria-busy');
    if (document.activeElement === $('cmdCancel') || document.activeElement === document.body) text1.focus();
  }

  const mib = (bytes) => (bytes / 1048576).toLocaleString('en', {maximumFractionDigits: 1});
  function showProgress(done, size) {
    const share = size > 0 ? Math.floor((done / size) * 100) : 0;
    const bar = $('barReading');
    bar.setAttribute('aria-valuenow', String(share));
    bar.setAttribute('aria-valuetext', `${mib(done)} of ${mib(size)} MiB read, ${share}%`);
    $('barDone').style.width = `${share}%`;
    $('lblReading').textContent = `Reading ${fileName}: ${mib(done)} of ${mib(size)} MiB, ${share}%`;
  }

  fileReplay.addEventListener('change', () => {
    const file = fileReplay.files[0];
    // Reset, so that choosing the same file again reads it again.
    fileReplay.value = '';
    open(file);
  });
  $('cmdOpen').addEventListener('click', () => fileReplay.click());
  $('cmdCancel').addEventListener('click', cancel);

  // A replay dropped anywhere on the page.
  let dragDepth = 0;
  const carriesFiles = (event) => event.dataTransfer && Array.from(event.dataTransfer.types).includes('Files');
  document.addEventListener('dragenter', (event) => {
    if (!carriesFiles(event)) return;
    dragDepth += 1;
    $('fraDrop').hidden = false;
  });
  document.addEventListener('dragleave', () => {
    dragDepth = Math.max(0, dragDepth - 1);
    if (dragDepth === 0) $('fraDrop').hidden = true;
  });
  document.addEventListener('dragover', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    event.dataTransfer.dropEffect = 'copy';
  });
  document.addEventListener('drop', (event) => {
    dragDepth = 0;
    $('fraDrop').hidden = true;
    if (!carriesFiles(event)) return;
    event.preventDefault();
    open(event.dataTransfer.files[0]);
    text1.focus();
  });

  // ---- Drawing --------------------------------------------------------

  function render(s) {
    screen = s;
    const s0 = Math.min(s.anchor, s.caret);
    const s1 = Math.max(s.anchor, s.caret);
    const rows = document.createDocumentFragment();
    let caretId = '';
    let firstMark = 0;  // the marks are in order, as are the rows
    s.rows.forEach((row, i) => {
      const element = document.createElement('div');
      element.className = 'row';
      element.id = `row-${row.b}`;
      element.setAttribute('role', 'option');
      element.setAttribute('aria-posinset', String(row.line + 1));
      element.setAttribute('aria-setsize', String(s.lines));
      const end = row.b + row.t.length;
      const next = s.rows[i + 1];
      // The caret's row: the last that holds it (a row's end is the next's start).
      const hasCaret = s.caret >= row.b && (s.caret < end || (s.caret === end && !(next && next.b === end)));
      element.setAttribute('aria-selected', hasCaret ? 'true' : 'false');
      if (hasCaret) caretId = element.id;
      while (firstMark < s.marks.length && s.marks[firstMark] + s.markLength <= row.b) firstMark += 1;
      let lastMark = firstMark;
      while (lastMark < s.marks.length && s.marks[lastMark] < end) lastMark += 1;
      fillRow(element, row, end, s0, s1, hasCaret ? s.caret : -1, s.marks.slice(firstMark, lastMark), s.markLength);
      rows.appendChild(element);
    });
    text1.replaceChildren(rows);
    if (caretId) text1.setAttribute('aria-activedescendant', caretId);
    else text1.removeAttribute('aria-activedescendant');
    hint.hidden = s.size > 0;
    $('lblPosition').textContent = s.size > 0
        ? `Line ${(s.caretLine + 1).toLocaleString('en')} of ${s.lines.toLocaleString('en')}` : '';
    // The scroll bar: its handle's size is the page's share of the chat.
    const view = scroll.clientHeight;
    const height = Math.max(view, Math.min(kMostScrollHeight, view / Math.max(s.page, 1e-9)));
    scrollSpace.style.height = `${Math.round(height)}px`;
    const top = Math.round(s.at * Math.max(0, scroll.scrollHeight - view));
    scrollExpected = top;
    scroll.scrollTop = top;
    findCount.textContent = !fraFind.hidden && txtFind.value
        ? (s.found > 0 ? `${s.current.toLocaleString('en')} of ${s.found.toLocaleString('en')}` : 'No matches')
        : '';
    updateControls();
  }

  // The row's text in pieces: selected, a find match, or neither, the caret
  // between two pieces, a selected line break as a space after the text.
  function fillRow(element, row, end, s0, s1, caret, marks, markLength) {
    const cuts = new Set([row.b, end]);
    for (const at of [s0, s1, caret]) if (at > row.b && at < end) cuts.add(at);
    for (const m of marks) {
      if (m > row.b && m < end) cuts.add(m);
      if (m + markLength > row.b && m + markLength < end) cuts.add(m + markLength);
    }
    const points = Array.from(cuts).sort((a, b) => a - b);
    const marked = (at) => marks.some((m) => at >= m && at < m + markLength);
    for (let k = 0; k + 1 < points.length || (k === 0 && points.length === 1); k += 1) {
      const from = points[k];
      const to = points.length === 1 ? from : points[k + 1];
      if (caret === from) element.appendChild(caretElement());
      if (to <= from) continue;
      const piece = document.createElement('span');
      piece.textContent = row.t.slice(from - row.b, to - row.b);
      if (from >= s0 && from < s1) piece.className = 'sel';
      else if (marked(from)) piece.className = 'mark';
      element.appendChild(piece);
    }
    if (caret === end && end !== row.b) element.appendChild(caretElement());
    if (row.br && s0 <= end && s1 > end) {
      const space = document.createElement('span');
      space.className = 'sel';
      space.textContent = ' ';
      element.appendChild(space);
    }
  }

  function caretElement() {
    const caret = document.createElement('span');
    caret.className = 'caret';
    caret.setAttribute('aria-hidden', 'true');
    return caret;
  }

  // ---- Metrics: the font's advances, the box's width and rows ---------

  const measure = document.createElement('canvas').getContext('2d');
  function sendMetrics() {
    const style = getComputedStyle(text1);
    const size = parseFloat(style.fontSize) || 16;
    rowHeight = Math.ceil(size * 1.35);
    document.documentElement.style.setProperty('--row', `${rowHeight}px`);
    measure.font = `${style.fontStyle} ${style.fontWeight} ${style.fontSize} ${style.fontFamily}`;
    const lower = chkLowercase.checked;
    advances = new Int32Array(256);
    for (let c = 0; c < 256; c += 1) {
      let ch = String.fromCharCode(c);
      if (lower) ch = ch.toLowerCase();
      advances[c] = c < 32 ? 0 : Math.round(measure.measureText(ch).width * 64);
    }
    const padding = parseFloat(style.paddingLeft) + parseFloat(style.paddingRight);
    const width = Math.max(1, text1.clientWidth - padding - 2);
    const pageRows = Math.max(1, Math.floor((text1.clientHeight - 8) / rowHeight));
    send({op: 'metrics', advances, width: Math.floor(width * 64), pageRows, lowercase: lower});
  }
  new ResizeObserver(sendMetrics).observe(text1);

  chkLowercase.addEventListener('change', sendMetrics);

  // ---- Input on the chat ------------------------------------------------

  // The row and the character before which a point of the box lies.
  function placeAt(clientX, clientY) {
    const box = text1.getBoundingClientRect();
    const style = getComputedStyle(text1);
    const row = Math.floor((clientY - box.top - parseFloat(style.paddingTop)) / rowHeight);
    const x = (clientX - box.left - parseFloat(style.paddingLeft)) * 64;
    const shown = screen && screen.rows[row];
    let column = 0;
    if (shown && advances) {
      let left = 0;
      for (; column < shown.t.length; column += 1) {
        const width = advances[shown.t.charCodeAt(column) & 255];
        if (left + width / 2 > x) break;
        left += width;
      }
    }
    return {row, column};
  }

  let dragging = null;  // the pointer selecting, and where it last was
  let touch = null;     // a finger scrolling the chat
  let dragTimer = 0;
  text1.addEventListener('pointerdown', (event) => {
    if (event.pointerType === 'touch') {
      touch = {y: event.clientY, rest: 0};
      text1.setPointerCapture(event.pointerId);
      return;
    }
    if (event.button !== 0) return;
    text1.focus();
    event.preventDefault();
    const place = placeAt(event.clientX, event.clientY);
    if (event.detail >= 2) {
      send({op: 'word', ...place});
      return;
    }
    send({op: 'click', ...place, extend: event.shiftKey});
    dragging = {x: event.clientX, y: event.clientY};
    text1.setPointerCapture(event.pointerId);
  });
  text1.addEventListener('pointermove', (event) => {
    if (touch) {
      touch.rest += touch.y - event.clientY;
      touch.y = event.clientY;
      const rows = Math.trunc(touch.rest / rowHeight);
      if (rows !== 0) {
        touch.rest -= rows * rowHeight;
        send({op: 'scrollBy', rows});
      }
      return;
    }
    if (!dragging) return;
    dragging = {x: event.clientX, y: event.clientY};
    send({op: 'click', ...placeAt(event.clientX, event.clientY), extend: true});
    // Past the box's top or bottom, the chat scrolls while the pointer stays.
    const box = text1.getBoundingClientRect();
    const outside = event.clientY < box.top || event.clientY >= box.bottom;
    if (outside && !dragTimer) {
      dragTimer = setInterval(() => {
        const up = dragging.y < text1.getBoundingClientRect().top;
        send({op: 'scrollBy', rows: up ? -1 : 1});
        send({op: 'click', ...placeAt(dragging.x, dragging.y), extend: true});
      }, 50);
    } else if (!outside && dragTimer) {
      clearInterval(dragTimer);
      dragTimer = 0;
    }
  });
  const endPointer = () => {
    dragging = null;
    touch = null;
    clearInterval(dragTimer);
    dragTimer = 0;
  };
  text1.addEventListener('pointerup', endPointer);
  text1.addEventListener('pointercancel', endPointer);

  // The wheel scrolls rows, over the box and its scroll bar alike.
  let wheelRest = 0;
  $('fraChat').addEventListener('wheel', (event) => {
    event.preventDefault();
    const pixels = event.deltaMode === 1 ? event.deltaY * rowHeight
        : event.deltaMode === 2 ? event.deltaY * text1.clientHeight : event.deltaY;
    wheelRest += pixels;
    const rows = Math.trunc(wheelRest / rowHeight);
    if (rows === 0) return;
    wheelRest -= rows * rowHeight;
    send({op: 'scrollBy', rows});
  }, {passive: false});
  // Dragging the scroll bar's handle puts the top row at that share of the chat.
  scroll.addEventListener('scroll', () => {
    if (Math.abs(scroll.scrollTop - scrollExpected) < 1) return;
    const room = scroll.scrollHeight - scroll.clientHeight;
    scrollExpected = scroll.scrollTop;
    send({op: 'scrollTo', share: room > 0 ? scroll.scrollTop / room : 0});
  });

  // The keys that move the caret, with Shift to select.
  function motionOf(event) {
    const word = isMac ? event.altKey : event.ctrlKey;
    const line = isMac && event.metaKey;
    switch (event.key) {
      case 'ArrowLeft': return line ? Motion.rowStart : word ? Motion.prevWord : Motion.prevChar;
      case 'ArrowRight': return line ? Motion.rowEnd : word ? Motion.nextWord : Motion.nextChar;
      case 'ArrowUp': return line ? Motion.start : Motion.prevRow;
      case 'ArrowDown': return line ? Motion.end : Motion.nextRow;
      case 'Home': return event.ctrlKey || event.metaKey ? Motion.start : Motion.rowStart;
      case 'End': return event.ctrlKey || event.metaKey ? Motion.end : Motion.rowEnd;
      case 'PageUp': return Motion.prevPage;
      case 'PageDown': return Motion.nextPage;
      default: return -1;
    }
  }
  text1.addEventListener('keydown', (event) => {
    const motion = motionOf(event);
    if (motion >= 0) {
      event.preventDefault();
      send({op: 'move', motion, select: event.shiftKey});
      return;
    }
    const command = (event.ctrlKey || event.metaKey) && !event.altKey;
    if (command && event.key.toLowerCase() === 'a') {
      event.preventDefault();
      send({op: 'selectAll'});
    } else if (command && event.key.toLowerCase() === 'c') {
      event.preventDefault();
      copySelection();
    } else if (event.key === 'ContextMenu' || (event.key === 'F10' && event.shiftKey)) {
      event.preventDefault();
    }
  });
  document.addEventListener('copy', (event) => {
    if (document.activeElement !== text1) return;
    event.preventDefault();
    copySelection();
  });

  // ---- Texts from the worker: copy and save ----------------------------

  function requestText(begin, end) {
    return new Promise((resolve) => {
      textId += 1;
      texts.set(textId, resolve);
      send({op: 'text', id: textId, begin, end});
    });
  }

  function copySelection() {
    if (!screen || screen.anchor === screen.caret) return;
    const text = requestText(Math.min(screen.anchor, screen.caret), Math.max(screen.anchor, screen.caret));
    // The clipboard is written now, while the key press allows it, with the
    // text to come: a selection of millions of lines takes a moment to make.
    if (navigator.clipboard && window.ClipboardItem) {
      navigator.clipboard.write([new ClipboardItem({'text/plain': text})])
          .catch(() => text.then((blob) => blob.text()).then((t) => navigator.clipboard.writeText(t)))
          .catch(() => { notice.textContent = 'The browser did not let the page copy.'; });
    } else if (navigator.clipboard) {
      text.then((blob) => blob.text()).then((t) => navigator.clipboard.writeText(t))
          .catch(() => { notice.textContent = 'The browser did not let the page copy.'; });
    }
  }

  // The chat as shown, saved as the replay's name with .txt for .rep.
  function save() {
    if (!loaded || !screen) return;
    const name = `${fileName.replace(/\.rep$/i, '')}.txt`;
    requestText(0, screen.size).then((blob) => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = name;
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    });
  }
  cmdSave.addEventListener('click', save);

  // ---- Find -------------------------------------------------------------

  function openFind() {
    fraFind.hidden = false;
    txtFind.focus();
    txtFind.select();
    if (txtFind.value) send({op: 'find', term: txtFind.value});
  }
  function closeFind() {
    if (fraFind.hidden) return;
    fraFind.hidden = true;
    findCount.textContent = '';
    send({op: 'closeFind'});
    text1.focus();
  }
  txtFind.addEventListener('input', () => send({op: 'find', term: txtFind.value}));
  txtFind.addEventListener('keydown', (event) => {
    if (event.key === 'Enter') {
      event.preventDefault();
      send({op: 'step', by: event.shiftKey ? -1 : 1});
    } else if (event.key === 'Escape') {
      event.preventDefault();
      closeFind();
    }
  });
  cmdFind.addEventListener('click', openFind);
  $('cmdNext').addEventListener('click', () => send({op: 'step', by: 1}));
  $('cmdPrevious').addEventListener('click', () => send({op: 'step', by: -1}));
  $('cmdCloseFind').addEventListener('click', closeFind);

  // ---- Keys, dialogs ----------------------------------------------------

  const kKeys = [
    ['Ctrl+O', 'Choose a replay and show its chat (or drop it on the page)'],
    ['Alt+L', 'Show the chat in lower case'],
    ['Ctrl+F', 'Find text in the chat'],
    ['Enter or F3 / Shift+Enter or Shift+F3', 'Go to the next / previous match'],
    ['Ctrl+S', 'Save the chat as shown to a text file'],
    ['Esc', 'Stop reading the replay; close the find box or a dialog'],
    ['Arrows, Page Up/Down, Home/End', 'Move in the chat; with Shift, select'],
    ['Ctrl+Home / Ctrl+End', 'Go to the chat\'s start / end'],
    ['Ctrl+Left / Ctrl+Right', 'Go to the previous / next word'],
    ['Ctrl+A', 'Select the whole chat'],
    ['Ctrl+C', 'Copy the selected chat'],
    ['Double click', 'Select a word'],
    ['F1', 'List every key and what it does'],
  ];
  const body = $('lstKeys').tBodies[0];
  for (const [keys, action] of kKeys) {
    const row = body.insertRow();
    row.insertCell().textContent = isMac ? keys.replace(/Ctrl\+/g, '⌘').replace(/Alt\+/g, '⌃⌥') : keys;
    row.insertCell().textContent = action;
  }
  const showDialog = (id) => {
    const dialog = $(id);
    if (dialog.open) return;
    dialog.showModal();
    // Its title first, where a screen reader starts reading; Tab goes on to Close.
    dialog.querySelector('h2').focus();
  };
  $('cmdKeys').addEventListener('click', () => showDialog('dlgKeys'));
  $('cmdAbout').addEventListener('click', () => showDialog('dlgAbout'));

  document.addEventListener('keydown', (event) => {
    if (document.querySelector('dialog[open]')) return;  // a dialog takes its own keys
    const command = (event.ctrlKey || event.metaKey) && !event.altKey && !event.shiftKey;
    const key = event.key.length === 1 ? event.key.toLowerCase() : event.key;
    if (command && key === 'o') {
      event.preventDefault();
      fileReplay.click();
    } else if (command && key === 's') {
      event.preventDefault();
      save();
    } else if (command && key === 'f') {
      event.preventDefault();
      if (!cmdFind.disabled) openFind();
    } else if (key === 'F3') {
      event.preventDefault();
      if (!fraFind.hidden) send({op: 'step', by: event.shiftKey ? -1 : 1});
    } else if (key === 'F1') {
      event.preventDefault();
      showDialog('dlgKeys');
    } else if (key === 'Escape') {
      if (reading) {
        event.preventDefault();
        cancel();
      } else if (!fraFind.hidden) {
        event.preventDefault();
        closeFind();
      }
    }
  });

  function updateControls() {
    cmdSave.disabled = !loaded || reading;
    cmdFind.disabled = reading;
  }

  hint.textContent = kHints.start;
  startWorker();
  sendMetrics();
  send({op: 'closeFind'});
})();
