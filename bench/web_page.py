#!/usr/bin/python3
"""Times murvik.html in headless Chromium against the same browser only reading the same file, and prints a
table beside the goals; asserts nothing. Run by bench/web, which builds the page and the native programs.

For each replay (written by murvik-genreplay into --tmp, one at a time, deleted after its rows), each of --runs
runs starts a fresh browser twice:
- the baseline page (made here): a worker from a Blob reads the chosen file in 16 MiB File.slice pieces, the next
  piece asked for as the last one arrives, as the page's worker does, and nothing else; then file.stream() for
  reference. Time from the input's change event to the worker's answer, inside the page.
- murvik.html: time from the change event until #Text1 loses aria-busy and has rows (or shows the hint), seen by
  a MutationObserver inside the page; the main thread's longest task (PerformanceObserver 'longtask') and largest
  gap between requestAnimationFrame callbacks meanwhile; then Ctrl+End, find of "e", Lowercase, Ctrl+A, Ctrl+C
  (until navigator.clipboard.write resolves) and a resize, each timed the same way with its longest task.
Memory: the sum of Pss (/proc/PID/smaps_rollup) over the browser's processes, sampled every 50 ms; the peak
from choosing the file until a second after it is shown, minus the mean at the idle page before choosing.
Every figure is the least of the runs.

Usage: web_page.py --page HTML --chat MURVIK_CHAT --gen MURVIK_GENREPLAY --tmp DIR
                   [--shapes LIST] [--size MIB] [--runs N] [--replay NAME=PATH]..."""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.common.exceptions import TimeoutException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

WIDTH, HEIGHT = 1024, 768
WAIT = 300  # seconds for anything one step may take before it counts as stopped
SETTLE = 0.3  # seconds left between steps, so that nothing of one is pending at the next

BASELINE_PAGE = r"""<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8"><title>read only</title></head>
<body><input type="file" id="f">
<script>
const source = `
const kPiece = 16 << 20;
onmessage = async (event) => {
  const {file, mode} = event.data;
  let bytes = 0;
  if (mode === 'slice') {
    const size = file.size;
    let done = 0;
    let next = size > 0 ? file.slice(0, Math.min(kPiece, size)).arrayBuffer() : null;
    while (done < size) {
      const piece = await next;
      const end = Math.min(size, done + piece.byteLength);
      next = end < size ? file.slice(end, Math.min(end + kPiece, size)).arrayBuffer() : null;
      bytes += piece.byteLength;
      done = end;
    }
  } else {
    const reader = file.stream().getReader();
    for (;;) {
      const {done, value} = await reader.read();
      if (done) break;
      bytes += value.byteLength;
    }
  }
  postMessage(bytes);
};`;
const worker = new Worker(URL.createObjectURL(new Blob([source], {type: 'text/javascript'})));
const input = document.getElementById('f');
window.mode = 'slice';
window.result = null;
input.addEventListener('change', () => {
  window.t0 = performance.now();
  worker.postMessage({file: input.files[0], mode: window.mode});
  input.value = '';
});
worker.onmessage = (event) => {
  window.result = {ms: performance.now() - window.t0, bytes: event.data};
  if (window.resolve) window.resolve(window.result);
};
</script></body></html>
"""

# Installed in murvik.html before anything is chosen: the clock of the main thread's long tasks and frames, and
# a probe that times one step: from its start event (the file input's change, a key, a click, a resize) until
# its condition holds at a change of the page (or, for a copy, until the clipboard has been written).
INSTRUMENT = r"""
if (window.bench) return;
const bench = window.bench = {tasks: [], gaps: [], probe: null};
new PerformanceObserver((list) => {
  for (const e of list.getEntries()) bench.tasks.push([e.startTime, e.duration]);
}).observe({type: 'longtask'});
let last = performance.now();
const frame = (now) => {
  if (now - last > 20) bench.gaps.push([last, now - last]);
  last = now;
  requestAnimationFrame(frame);
};
requestAnimationFrame(frame);
const box = document.getElementById('Text1');
const hint = document.getElementById('lblHint');
const count = document.getElementById('lblFindCount');
bench.conditions = {
  // The hint is looked for only where the chat is known to be empty: the page says "holds no chat" as the read
  // ends, a moment before the rows of a chat that has some arrive.
  shown: (p) => !box.hasAttribute('aria-busy') && (p.key === 'empty'
      ? !hint.hidden && hint.textContent === 'This replay holds no chat.' : box.querySelector('.row') !== null),
  end: (p) => p.rendered && (() => {
    const row = box.querySelector('.row[aria-selected=true]');
    return row !== null && row.getAttribute('aria-posinset') === row.getAttribute('aria-setsize');
  })(),
  find: () => / of |No matches/.test(count.textContent),
  lower: (p) => p.rendered && !/[A-Z]/.test(box.textContent),
  selectAll: (p) => p.rendered && box.querySelector('.sel') !== null,
  rendered: (p) => p.rendered,
  never: () => false,
};
const finish = (p) => {
  p.t1 = performance.now();
  const tasks = bench.tasks.filter(([s, d]) => s + d > p.t0 && s < p.t1);
  const gaps = bench.gaps.filter(([s, d]) => s + d > p.t0 && s < p.t1);
  p.result = {ms: p.t1 - p.t0, task: Math.max(0, ...tasks.map(([, d]) => d)),
              gap: Math.max(0, ...gaps.map(([, d]) => d))};
  if (p.resolve) p.resolve(p.result);
};
bench.check = () => {
  const p = bench.probe;
  if (!p || p.t0 === null || p.t1 !== null) return;
  if (bench.conditions[p.condition](p)) finish(p);
};
new MutationObserver((records) => {
  const p = bench.probe;
  if (p && p.t0 !== null && records.some((r) => r.target === box && r.type === 'childList')) p.rendered = true;
  bench.check();
}).observe(document.body, {subtree: true, childList: true, attributes: true, characterData: true});
const start = (kind) => (event) => {
  const p = bench.probe;
  if (!p || p.t0 !== null || p.event !== kind) return;
  if (kind === 'keydown' && event.key.toLowerCase() !== p.key) return;
  if (kind === 'click' && event.target.id !== p.key) return;
  p.t0 = performance.now();
};
for (const kind of ['change', 'keydown', 'click']) document.addEventListener(kind, start(kind), true);
window.addEventListener('resize', start('resize'), true);
const write = navigator.clipboard.write.bind(navigator.clipboard);
navigator.clipboard.write = (items) => {
  const p = bench.probe;
  const written = write(items);
  written.then(() => { if (p && p.condition === 'copied' && p.t0 !== null && p.t1 === null) finish(p); }, () => {});
  return written;
};
"""
ARM = """
window.bench.probe = {event: arguments[0], key: arguments[1], condition: arguments[2], t0: null, t1: null,
                      rendered: false, result: null, resolve: null};
"""
AWAIT = """
const done = arguments[arguments.length - 1];
const p = window.bench.probe;
if (p.result) done(p.result); else p.resolve = done;
"""


class Memory:
    """Samples the sum of Pss over the browser's processes (the children of chromedriver, and theirs)."""

    def __init__(self, root_pid):
        self.root = root_pid
        self.samples = []  # (monotonic seconds, KiB)
        self.stopping = False
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def tree(self):
        children = {}
        for entry in os.listdir('/proc'):
            if not entry.isdigit():
                continue
            try:
                with open(f'/proc/{entry}/stat') as f:
                    ppid = int(f.read().rsplit(')', 1)[1].split()[1])
            except (OSError, ValueError, IndexError):
                continue
            children.setdefault(ppid, []).append(int(entry))
        found, todo = [], list(children.get(self.root, []))
        while todo:
            pid = todo.pop()
            found.append(pid)
            todo.extend(children.get(pid, []))
        return found

    def total_kib(self):
        total = 0
        for pid in self.tree():
            try:
                with open(f'/proc/{pid}/smaps_rollup') as f:
                    for line in f:
                        if line.startswith('Pss:'):
                            total += int(line.split()[1])
                            break
            except OSError:
                pass
        return total

    def run(self):
        while not self.stopping:
            self.samples.append((time.monotonic(), self.total_kib()))
            time.sleep(0.05)

    def between(self, t0, t1):
        return [k for t, k in self.samples if t0 <= t < t1]

    def stop(self):
        self.stopping = True
        self.thread.join()


class Browser:
    def __init__(self, tmp):
        self.profile = tempfile.mkdtemp(dir=tmp, prefix='profile-')
        options = webdriver.ChromeOptions()
        for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync', '--no-first-run',
                     f'--window-size={WIDTH},{HEIGHT}', f'--user-data-dir={self.profile}'):
            options.add_argument(flag)
        self.service = Service('/usr/bin/chromedriver')
        self.driver = webdriver.Chrome(service=self.service, options=options)
        self.driver.set_script_timeout(WAIT)
        self.driver.execute_cdp_cmd('Browser.grantPermissions',
                                    {'permissions': ['clipboardReadWrite', 'clipboardSanitizedWrite']})
        self.memory = Memory(self.service.process.pid)

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait(self, script, *args):
        return self.driver.execute_async_script(script, *args)

    def idle_kib(self, seconds=1.0):
        t0 = time.monotonic()
        time.sleep(seconds)
        samples = self.memory.between(t0, time.monotonic())
        return sum(samples) / len(samples)

    def choose(self, path):
        self.driver.find_element(By.CSS_SELECTOR, 'input[type=file]').send_keys(str(path))

    def close(self):
        self.memory.stop()
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)


def baseline_run(tmp, page, path):
    """The browser only reading the file: (slice ms, stream ms, memory added in KiB)."""
    b = Browser(tmp)
    try:
        b.driver.get(page.as_uri())
        time.sleep(1.5)  # the browser settles after starting
        idle = b.idle_kib()
        t0 = time.monotonic()
        b.js('window.result = null; window.resolve = null; window.mode = "slice"')
        b.choose(path)
        got = b.wait('const done = arguments[0]; if (window.result) done(window.result); else window.resolve = done;')
        time.sleep(1.0)
        peak = max(b.memory.between(t0, time.monotonic()))
        time.sleep(SETTLE)
        b.js('window.result = null; window.resolve = null; window.mode = "stream"')
        b.choose(path)
        streamed = b.wait('const done = arguments[0]; if (window.result) done(window.result); '
                          'else window.resolve = done;')
        if got['bytes'] != path.stat().st_size or streamed['bytes'] != path.stat().st_size:
            print(f'  baseline read {got["bytes"]} and {streamed["bytes"]} bytes of {path.stat().st_size}',
                  file=sys.stderr)
        return got['ms'], streamed['ms'], peak - idle
    finally:
        b.close()


def step(b, event, key, condition, act):
    """Arms the probe, acts, and waits for the probe's result: {ms, task, gap}, or None if it took over WAIT."""
    time.sleep(SETTLE)
    b.js(ARM, event, key, condition)
    act()
    try:
        return b.wait(AWAIT)
    except TimeoutException:
        return None


def murvik_run(tmp, page, path, empty):
    """murvik.html: {name: {ms, task, gap}} for shown and each step, and 'memory': KiB added."""
    b = Browser(tmp)
    out = {}
    try:
        b.driver.get(page.as_uri())
        time.sleep(1.5)  # the browser settles after starting; the worker compiles the WebAssembly
        b.js(INSTRUMENT)
        idle = b.idle_kib()
        t0 = time.monotonic()
        out['shown'] = step(b, 'change', 'empty' if empty else 'rows', 'shown', lambda: b.choose(path))
        time.sleep(1.0)
        out['memory'] = max(b.memory.between(t0, time.monotonic())) - idle
        if out['shown'] is None:
            return out
        box = b.driver.find_element(By.ID, 'Text1')
        keys = lambda *k: lambda: ActionChains(b.driver).key_down(Keys.CONTROL).send_keys(*k).key_up(
            Keys.CONTROL).perform()
        b.js('arguments[0].focus()', box)
        out['Ctrl+End'] = step(b, 'keydown', 'end', 'end', keys(Keys.END))
        keys('f')()
        out['find e'] = step(b, 'keydown', 'e', 'find', lambda: ActionChains(b.driver).send_keys('e').perform())
        ActionChains(b.driver).send_keys(Keys.ESCAPE).perform()
        out['Lowercase'] = step(b, 'click', 'chkLowercase', 'lower',
                                lambda: b.driver.find_element(By.ID, 'chkLowercase').click())
        b.js('arguments[0].focus()', box)
        out['Ctrl+A'] = step(b, 'keydown', 'a', 'selectAll', keys('a'))
        out['Ctrl+C'] = step(b, 'keydown', 'c', 'copied', keys('c'))
        if out['Ctrl+C'] is not None:
            out['clipboard'] = b.wait('const done = arguments[0]; '
                                      'navigator.clipboard.readText().then((t) => done(t.length), () => done(-1));')
        out['resize'] = step(b, 'resize', None, 'rendered', lambda: b.driver.set_window_size(WIDTH + 160, HEIGHT))
        return out
    finally:
        b.close()


def chat_chars(chat, path):
    """The chat's characters as the page keeps them (a line break is one, as murvik-chat prints it), and its
    lines."""
    process = subprocess.Popen([chat, str(path)], stdout=subprocess.PIPE)
    size = lines = 0
    while block := process.stdout.read(1 << 20):
        size += len(block)
        lines += block.count(b'\n')
    process.wait()
    return size, lines


def machine_ticks():
    """(busy, total) clock ticks of the whole machine, counted as bench/compare counts them."""
    with open('/proc/stat') as f:
        v = [int(x) for x in f.readline().split()[1:8]]
    return v[0] + v[1] + v[2] + v[5] + v[6], sum(v)


def own_ticks():
    """Ticks of this process and its waited-for children (chromedriver, and through it the browsers)."""
    t = os.times()
    return (t.user + t.system + t.children_user + t.children_system) * os.sysconf('SC_CLK_TCK')


def least(results, key, field):
    values = [r[key][field] for r in results if r.get(key)]
    return min(values) if values else None


def ms(x):
    return 'stopped' if x is None else f'{x:.0f}'


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--page', required=True, type=pathlib.Path)
    parser.add_argument('--chat', required=True)
    parser.add_argument('--gen', required=True)
    parser.add_argument('--tmp', required=True, type=pathlib.Path)
    parser.add_argument('--shapes', default='game,open,erased,empty,long,erasures,mix,worst')
    parser.add_argument('--size', type=int, default=1024)
    parser.add_argument('--runs', type=int, default=3)
    parser.add_argument('--replay', action='append', default=[], help='NAME=PATH: use this file for NAME')
    args = parser.parse_args()
    given = dict(r.split('=', 1) for r in args.replay)
    baseline_page = args.tmp / 'read-only.html'
    baseline_page.write_text(BASELINE_PAGE)
    page = args.page.resolve()

    print(f'murvik.html against the browser only reading the file; least of {args.runs} runs; times in ms')
    print(f'{"replay":9} {"slice read":>10} {"stream":>7} {"shown":>7} {"goal":>7} {"met":>4} '
          f'{"longtask":>8} {"rAF gap":>8} {"met":>4} {"memory":>9} {"read mem":>9} {"excess":>9} '
          f'{"bound":>9} {"met":>4} {"chat chars":>11} {"load":>5}')
    step_rows = []
    for shape in args.shapes.split(','):
        if shape in given:
            path = pathlib.Path(given[shape])
        else:
            path = args.tmp / f'{shape}.rep'
            seed = '3' if shape == 'worst' else '7'
            subprocess.run([args.gen, shape, '--size', str(args.size << 20), '--seed', seed, '-o', str(path)],
                           check=True)
        subprocess.run(['cat', str(path)], stdout=subprocess.DEVNULL, check=True)
        chars, lines = chat_chars(args.chat, path)
        base, runs = [], []
        busy0, total0 = machine_ticks()
        own0 = own_ticks()
        for _ in range(args.runs):
            base.append(baseline_run(args.tmp, baseline_page, path))
            runs.append(murvik_run(args.tmp, page, path, chars == 0 and lines == 0))
        busy1, total1 = machine_ticks()
        load = max(0, 100 * (busy1 - busy0 - (own_ticks() - own0)) / max(1, total1 - total0))
        path.unlink()
        read_ms = min(b[0] for b in base)
        stream_ms = min(b[1] for b in base)
        read_kib = min(b[2] for b in base)
        shown = least(runs, 'shown', 'ms')
        goal = 1.25 * min(read_ms, stream_ms) + 300  # beside the browser's faster read
        task = least(runs, 'shown', 'task')
        gap = least(runs, 'shown', 'gap')
        memory = min(r['memory'] for r in runs)
        excess = memory - read_kib
        bound = 64 * 1024 + 1.25 * chars / 1024
        print(f'{shape:9} {read_ms:10.0f} {stream_ms:7.0f} {ms(shown):>7} {goal:7.0f} '
              f'{"yes" if shown is not None and shown <= goal else "NO":>4} {ms(task):>8} {ms(gap):>8} '
              f'{"yes" if task is not None and max(task, gap) <= 100 else "NO":>4} '
              f'{memory / 1024:7.1f}Mi {read_kib / 1024:7.1f}Mi {excess / 1024:7.1f}Mi {bound / 1024:7.1f}Mi '
              f'{"yes" if excess <= bound else "NO":>4} {chars:11,} {load:4.0f}%', flush=True)
        clip = [r.get('clipboard') for r in runs if r.get('clipboard') is not None]
        step_rows.append((shape, runs, clip, chars))

    names = ['Ctrl+End', 'find e', 'Lowercase', 'Ctrl+A', 'Ctrl+C', 'resize']
    print()
    print('after the chat is shown: time until done / the main thread\'s longest task / largest rAF gap, in ms; '
          'met: done within 100 ms, or no task or gap over 100 ms')
    print(f'{"replay":9} ' + ' '.join(f'{n:>18}' for n in names) + f' {"met":>4} {"clipboard chars":>15}')
    for shape, runs, clip, chars in step_rows:
        cells, met = [], True
        for n in names:
            t, task, gap = least(runs, n, 'ms'), least(runs, n, 'task'), least(runs, n, 'gap')
            if t is None:
                cells.append(f'{"stopped":>18}')
                met = False
                continue
            cells.append(f'{t:8.0f}/{task:4.0f}/{gap:4.0f}')
            met = met and (t <= 100 or max(task, gap) <= 100)
        print(f'{shape:9} ' + ' '.join(cells) + f' {"yes" if met else "NO":>4} '
              f'{(str(max(clip)) if clip else "-"):>15}', flush=True)
    print('shown goal: at most 1.25x the faster read (slices or stream) + 300 ms; main thread during the read: no '
          'task or gap over '
          '100 ms;')
    print('memory: Pss summed over the browser\'s processes, peak while reading and 1 s after less the idle page; '
          'excess = murvik.html\'s less the read-only page\'s,')
    print('bound: 64 MiB + 1.25 bytes per chat character, a line break counting one (murvik-chat\'s output);')
    print('longtask: the longest (0: none of 50 ms or more); rAF gap: the largest (0: none over 20 ms);')
    print('load: the share of the cores\' time that other programs took while the row\'s runs ran')


if __name__ == '__main__':
    main()
