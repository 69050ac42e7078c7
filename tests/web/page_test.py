#!/usr/bin/python3
"""murvik.html in headless Chromium, opened from disk and served from 127.0.0.1: choosing and dropping a
replay, Save, find, copy, the end of long chats, cancel, failures, the keyboard, accessibility (axe-core) and
that nothing is fetched. Replays are made by murvik-genreplay; what the chat should be comes from murvik-chat.

Usage: page_test.py PAGE MURVIK_CHAT MURVIK_GENREPLAY [unittest options]; axe-core from node_modules/."""
import base64
import functools
import http.server
import json
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import WebDriverWait

ROOT = pathlib.Path(__file__).resolve().parents[2]
PAGE = CHAT = GEN = None  # set from the command line
AXE = ROOT / 'node_modules/axe-core/axe.min.js'
WAIT = 120    # seconds for anything the page does, reading hundreds of MiB included
work = None   # temporary folder of the replays, downloads and browser profiles
replays = {}  # name: path
chats = {}    # name: the chat as murvik-chat reads it, CR LF after each sent message


def generate(name, *args):
    path = work / 'replays' / name
    subprocess.run([GEN, *args, '-o', path], check=True)
    return path


def native_chat(path):
    out = subprocess.run([CHAT, '--json', path], check=True, capture_output=True).stdout
    result = json.loads(out)[0]
    return ''.join(m['text'] + ('\r\n' if m['sent'] else '') for m in result['messages'])


def setUpModule():
    global work
    work = pathlib.Path(tempfile.mkdtemp(prefix='murvik-page-test-'))
    (work / 'replays').mkdir()
    replays['sample'] = generate('sample.rep', 'sample')
    replays['chat'] = generate('chat.rep', 'chat', '--size', '2000000', '--seed', '5')
    replays['open'] = generate('open.rep', 'open', '--size', '3000000', '--seed', '2')
    # 200,000 lines, the last one left open: the records of one line, made by murvik-genreplay (whose keys
    # take one argument, too short for them all), repeated after its header of 273 bytes.
    line, end = (generate(f'{k}.rep', 'keys', k).read_bytes() for k in ('[GG WP]', '[THE END'))
    replays['many'] = work / 'replays' / 'many.rep'
    replays['many'].write_bytes(line + line[273:] * 199998 + end[273:])
    replays['empty'] = work / 'replays' / 'empty.rep'
    replays['empty'].write_bytes(b'')
    for name in ('sample', 'chat', 'open', 'many'):
        chats[name] = native_chat(replays[name])
    # A replay large enough that reading it takes a while, for cancelling and changing it while it is read.
    free = shutil.disk_usage(work).free
    size = 400 << 20
    if free < 2 * size:
        raise unittest.SkipTest(f'{free >> 20} MiB free in {work}, too little for a replay of {size >> 20} MiB')
    replays['big'] = generate('big.rep', 'worst', '--size', str(size), '--seed', '3')


def tearDownModule():
    shutil.rmtree(work, ignore_errors=True)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    """Serves the page's folder and notes each path asked for."""
    requests = []

    def log_message(self, *args):
        pass

    def do_GET(self):
        QuietHandler.requests.append(self.path)
        super().do_GET()


# Counts the reads the page starts (each sets aria-busy on the chat) and empties the chat box, so that a wait
# for rows sees the new read's.
ARM = """
const box = document.getElementById('Text1');
window.reads = 0;
window.readWatch ??= new MutationObserver(() => { window.reads += box.getAttribute('aria-busy') === 'true'; });
window.readWatch.observe(box, {attributes: true, attributeFilter: ['aria-busy']});
box.replaceChildren();
"""
READ_DONE = """
const box = document.getElementById('Text1');
return window.reads > 0 && !box.hasAttribute('aria-busy') && box.querySelector('.row') !== null;
"""
DROP = """
const [name, data] = arguments;
const bytes = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
const transfer = new DataTransfer();
transfer.items.add(new File([bytes], name));
const box = document.getElementById('Text1');
for (const type of ['dragenter', 'dragover', 'drop'])
  box.dispatchEvent(new DragEvent(type, {dataTransfer: transfer, bubbles: true, cancelable: true}));
"""
SELECTED = """
const row = document.querySelector('#Text1 .row[aria-selected=true]');
return row && [row.getAttribute('aria-posinset'), row.getAttribute('aria-setsize'), row.textContent];
"""


class PageChecks:
    """The checks, run by a subclass that says where the page comes from."""
    served = False

    @classmethod
    def setUpClass(cls):
        cls.downloads = pathlib.Path(tempfile.mkdtemp(dir=work, prefix='downloads-'))
        options = webdriver.ChromeOptions()
        for flag in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
                     '--disable-component-update', '--disable-sync', '--no-first-run', '--window-size=1024,768',
                     f'--user-data-dir={tempfile.mkdtemp(dir=work, prefix="profile-")}'):
            options.add_argument(flag)
        options.add_experimental_option('prefs', {'download.default_directory': str(cls.downloads)})
        options.set_capability('goog:loggingPrefs', {'performance': 'ALL'})
        cls.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        cls.driver.set_script_timeout(WAIT)
        # Each load of the page asks the server again, so that the server sees every request.
        cls.driver.execute_cdp_cmd('Network.enable', {})
        cls.driver.execute_cdp_cmd('Network.setCacheDisabled', {'cacheDisabled': True})
        cls.driver.execute_cdp_cmd('Browser.grantPermissions',
                                   {'permissions': ['clipboardReadWrite', 'clipboardSanitizedWrite']})
        if cls.served:
            handler = functools.partial(QuietHandler, directory=str(pathlib.Path(PAGE).parent))
            cls.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
            threading.Thread(target=cls.server.serve_forever, daemon=True).start()
            cls.url = f'http://127.0.0.1:{cls.server.server_port}/{pathlib.Path(PAGE).name}'
        else:
            cls.url = pathlib.Path(PAGE).resolve().as_uri()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        if cls.served:
            cls.server.shutdown()
            cls.server.server_close()

    def setUp(self):
        QuietHandler.requests.clear()
        self.driver.get(self.url)
        self.box = self.driver.find_element(By.ID, 'Text1')

    # ---- helpers ----

    def until(self, condition, timeout=WAIT, what=None):
        return WebDriverWait(self.driver, timeout).until(
            lambda d: condition(), what or 'the page did not get there in time')

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def keys(self, *keys, hold=None):
        chain = ActionChains(self.driver)
        (chain.key_down(hold).send_keys(*keys).key_up(hold) if hold else chain.send_keys(*keys)).perform()

    def choose(self, path, wait=True):
        self.js(ARM)
        self.driver.find_element(By.ID, 'fileReplay').send_keys(str(path))
        if wait:
            self.until(lambda: self.js(READ_DONE), what=f'{path.name} was not shown')

    def open_chat(self, name):
        self.choose(replays[name])
        self.js("document.getElementById('Text1').focus()")  # not a click: that would move the caret

    def rows(self):
        return self.js("return Array.from(document.querySelectorAll('#Text1 .row'), (r) => r.textContent)")

    def saved(self, name):
        path = self.downloads / name  # there once complete: Chrome writes NAME.crdownload until then
        self.until(lambda: path.exists(), what=f'{name} was not downloaded')
        return path.read_bytes()

    def clear_downloads(self):
        for f in self.downloads.iterdir():
            f.unlink()

    def choose_big(self):
        self.choose(replays['big'], wait=False)
        self.until(lambda: self.box.get_attribute('aria-busy') == 'true', what='the read did not start')

    # ---- choosing and dropping ----

    def test_choosing_the_same_file_again_reads_it_again(self):
        self.choose(replays['sample'])  # waits for the chat: a first choice shows it
        self.choose(replays['sample'])
        self.assertEqual(self.rows(), chats['sample'].split('\r\n'))

    def test_drop_opens_the_replay(self):
        self.js(ARM)
        self.js(DROP, 'dropped.rep', base64.b64encode(replays['sample'].read_bytes()).decode())
        self.until(lambda: self.js(READ_DONE), what='the dropped replay was not shown')
        self.assertEqual(self.rows(), chats['sample'].split('\r\n'))

    # ---- save ----

    def test_save_as_shown(self):
        self.clear_downloads()
        self.open_chat('chat')
        with self.subTest('Ctrl+S'):
            self.keys('s', hold=Keys.CONTROL)
            self.assertEqual(self.saved('chat.txt'), chats['chat'].encode())
        self.clear_downloads()
        self.driver.find_element(By.ID, 'chkLowercase').click()
        first = chats['chat'].split('\r\n')[0].lower()
        self.until(lambda: self.rows()[:1] == [first], what='the chat was not shown in lower case')
        self.driver.find_element(By.ID, 'cmdSave').click()
        self.assertEqual(self.saved('chat.txt'), chats['chat'].lower().encode())

    # ---- find ----

    def find_count(self):
        return self.driver.find_element(By.ID, 'lblFindCount').text

    def test_find(self):
        self.open_chat('many')
        term = 'wp'
        total = chats['many'].upper().count(term.upper())
        self.keys('f', hold=Keys.CONTROL)
        self.until(lambda: self.js('return document.activeElement.id') == 'txtFind', what='Ctrl+F: no find box')
        self.keys(term)
        with self.subTest('N of M over the whole chat'):
            self.until(lambda: self.find_count() == f'1 of {total:,}', what=f'not "1 of {total:,}": {self.find_count()}')
        with self.subTest('matches on screen are marked'):
            marks = self.js("return Array.from(document.querySelectorAll('#Text1 .mark'), (m) => m.textContent)")
            self.assertGreater(len(marks), 1)
            self.assertEqual({m.upper() for m in marks}, {term.upper()})
        steps = (('Enter', Keys.ENTER, None, 2), ('F3', Keys.F3, None, 3), ('Shift+Enter', Keys.ENTER, Keys.SHIFT, 2),
                 ('Shift+Enter', Keys.ENTER, Keys.SHIFT, 1), ('Shift+Enter, wrapping', Keys.ENTER, Keys.SHIFT, total))
        for name, key, hold, at in steps:
            with self.subTest(f'{name} to {at}'):
                self.keys(key, hold=hold)
                self.until(lambda: self.find_count() == f'{at:,} of {total:,}', what=self.find_count())
        with self.subTest('Esc closes'):
            self.keys(Keys.ESCAPE)
            self.until(lambda: not self.driver.find_element(By.ID, 'fraFind').is_displayed(), what='still open')

    # ---- copy ----

    def test_copy_the_whole_chat(self):
        self.open_chat('chat')
        self.keys('a', hold=Keys.CONTROL)
        self.until(lambda: self.js("return document.querySelector('#Text1 .sel') !== null"), what='nothing selected')
        self.keys('c', hold=Keys.CONTROL)
        want = chats['chat']
        read = 'navigator.clipboard.readText().then(arguments[0], (e) => arguments[0]("error: " + e))'
        self.until(lambda: self.driver.execute_async_script(read) == want, what='the clipboard lacks the chat')

    # ---- the end of long chats ----

    def test_ctrl_end_reaches_the_last_line(self):
        self.open_chat('many')
        self.keys(Keys.END, hold=Keys.CONTROL)
        self.until(lambda: self.js(SELECTED) == ['200000', '200000', 'THE END'],
                   what=f'the last line is not selected: {self.js(SELECTED)}')

    def test_ctrl_end_reaches_the_end_of_one_long_line(self):
        self.open_chat('open')
        self.keys(Keys.END, hold=Keys.CONTROL)
        line = chats['open']
        self.until(lambda: (s := self.js(SELECTED)) and s[:2] == ['1', '1'] and s[2] and line.endswith(s[2]),
                   what=f'the end of the line is not shown: {self.js(SELECTED)}')

    # ---- cancel ----

    def check_cancelled(self):
        hint = self.driver.find_element(By.ID, 'lblHint')
        self.until(lambda: 'cancelled' in hint.text, what=f'the hint says "{hint.text}", not cancelled')
        self.assertIsNone(self.box.get_attribute('aria-busy'), 'still busy')
        self.assertEqual(self.rows(), [], 'a chat is shown')

    def test_cancel_a_read(self):
        for how in ('Esc', 'Cancel'):
            with self.subTest(how):
                self.setUp()
                self.choose_big()
                if how == 'Esc':
                    self.keys(Keys.ESCAPE)
                else:
                    self.driver.find_element(By.ID, 'cmdCancel').click()
                self.check_cancelled()

    # ---- failures ----

    def check_failed(self, name):
        self.until(lambda: self.js(READ_DONE), what=f'{name}: the read did not end')
        with self.subTest('the chat box says so'):
            self.assertEqual(self.rows(), ['Failed to open replay'])
        with self.subTest('the notice gives a reason'):
            self.assertRegex(self.driver.find_element(By.ID, 'lblNotice').text, f'^{name}: .+')

    def test_a_file_changed_while_read_fails(self):
        self.choose_big()
        stat = replays['big'].stat()
        # A new modification time: the browser no longer reads a file changed since it was chosen.
        os.utime(replays['big'], ns=(stat.st_atime_ns, stat.st_mtime_ns + 5_000_000_000))
        self.check_failed('big.rep')

    def test_an_empty_file_fails(self):
        self.choose(replays['empty'], wait=False)
        self.check_failed('empty.rep')

    # ---- the keyboard ----

    def test_tab_reaches_every_control_with_a_visible_focus(self):
        self.open_chat('chat')
        self.keys('f', hold=Keys.CONTROL)
        # The ids Tab stops at, once round from Open replay (leaving the page for the browser's own controls
        # aside), and whether each shows its focus with an outline.
        reached = []
        while [i for i, _ in reached].count('cmdOpen') < 2 and len(reached) < 40:
            self.keys(Keys.TAB)
            reached.append(self.js("""
                const e = document.activeElement, style = getComputedStyle(e);
                return [e.id, style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) > 0];"""))
        ids = [i for i, _ in reached]
        cycle = [(i, shown) for i, shown in reached[ids.index('cmdOpen'):-1] if i]
        controls = ['cmdOpen', 'chkLowercase', 'cmdFind', 'cmdSave', 'cmdKeys', 'cmdAbout', 'Text1',
                    'txtFind', 'cmdPrevious', 'cmdNext', 'cmdCloseFind']
        with self.subTest('Tab stops at these controls, in order'):
            self.assertEqual([i for i, _ in cycle], controls)
        for control, shown in cycle:
            with self.subTest(f'{control} shows its focus'):
                self.assertTrue(shown)

    def test_keys_dialog(self):
        dialog = self.driver.find_element(By.ID, 'dlgKeys')
        for how in ('Esc', 'Close'):
            with self.subTest(how):
                self.keys(Keys.F1)
                self.until(lambda: dialog.get_attribute('open') is not None, what='F1 did not open the keys')
                if how == 'Esc':
                    self.keys(Keys.ESCAPE)
                else:
                    self.driver.find_element(By.ID, 'cmdCloseKeys').send_keys(Keys.ENTER)
                self.until(lambda: dialog.get_attribute('open') is None, what=f'{how} did not close the keys')

    def test_about_names_the_version(self):
        self.assertRegex(self.js("return document.getElementById('hdrAbout').textContent"), r'^Murvik \d')

    # ---- accessibility ----

    def axe_violations(self):
        self.js(AXE.read_text())
        return self.driver.execute_async_script("""
            const done = arguments[0];
            axe.run(document).then((r) => done(r.violations.map((v) => v.id + ': ' + v.nodes.map((n) => n.target).join(' '))),
                                   (e) => done(['axe failed: ' + e]));""")

    def test_axe_finds_no_violation(self):
        self.open_chat('chat')
        with self.subTest('a chat shown'):
            self.assertEqual(self.axe_violations(), [])
        self.keys('f', hold=Keys.CONTROL)
        self.keys('a')
        self.until(lambda: self.js("return document.querySelector('#Text1 .mark') !== null"), what='no match marked')
        with self.subTest('the find box open, matches marked'):
            self.assertEqual(self.axe_violations(), [])

    # ---- no network ----

    def test_nothing_is_fetched(self):
        self.driver.get_log('performance')  # what the browser asked for before the page: a new tab's
        self.setUp()  # the page anew, with the log and the server's list empty
        self.open_chat('sample')
        self.driver.find_element(By.ID, 'cmdSave').click()
        self.keys(Keys.F1)
        self.keys(Keys.ESCAPE)
        events = [json.loads(e['message'])['message'] for e in self.driver.get_log('performance')]
        urls = [e['params']['request']['url'] for e in events if e['method'] == 'Network.requestWillBeSent']
        with self.subTest('the browser asked for nothing but the page'):
            self.assertIn(self.url, urls)  # else the log saw nothing at all
            self.assertEqual([u for u in urls if not u.startswith(('data:', 'blob:', self.url))], [])
        if self.served:
            with self.subTest('the server saw only the page'):
                self.assertEqual(QuietHandler.requests, ['/' + pathlib.Path(PAGE).name])


class FromFile(PageChecks, unittest.TestCase):
    served = False


class Served(PageChecks, unittest.TestCase):
    served = True


def main():
    global PAGE, CHAT, GEN
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    PAGE, CHAT, GEN = (str(pathlib.Path(a).resolve()) for a in sys.argv[1:4])
    program = unittest.main(argv=[sys.argv[0], *sys.argv[4:]], exit=False, verbosity=2)
    result = program.result
    # A test fails once however many of its subtests fail.
    failed = len({getattr(t, 'test_case', t).id() for t, _ in result.failures + result.errors})
    failed += len(result.unexpectedSuccesses)
    skipped = len(result.skipped)
    print(f'{result.testsRun - failed - skipped} passed, {failed} failed, {skipped} skipped')
    sys.exit(1 if failed or not result.testsRun else 0)


if __name__ == '__main__':
    main()
