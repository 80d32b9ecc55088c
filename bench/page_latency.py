#!/usr/bin/python3
"""How soon a change on the device shows in the page of `kavlor-sim serve`.

  page_latency.py BIN_FOLDER SAMPLES [--idiom phone|pad]... [--rounds N] [--real-clock-rounds N]
                  [--pixel-ratio R]

For each kind of device, a fresh device (the owner Admin with passcode 123456, as `make serve`
makes it) is served on the virtual clock and played in headless Chromium. Each change is made
from inside the page (the page's own token, the page's clock), and timed from the moment its
request leaves the page to the moment the page has painted the last picture the change brings
(the next animation frame after the picture is on the page; the virtual clock stands still,
so the last picture is the change's own):

  appearance   Light/Dark: the whole lock screen changes (three switches a round); the
               first switch to dark after a start is timed apart, since the new
               SpringBoard then draws that wallpaper for the first time
  clock        the clock moved one minute: the lock screen's time, one label
  panel        a double tap on the lock screen: the accounts panel comes in (a touch moves
               the virtual clock 0.5 s, so the panel's fade ends)
  unlock       the passcode typed: the home screen replaces the lock screen
  respring     Respring: SpringBoard goes away and comes back (the panel hidden again, so
               the new lock screen differs); timed to the later of the page hearing that
               the new SpringBoard is ready and its picture painted, and also from the
               page hearing that it is ready

Then a second device of the same kind is served on the real clock, where a change comes with
no request at all:

  real-clock minute  the lock screen's clock moves on: timed from the start of the minute
               (the machine's clock) to the page having painted the new picture; a round
               waits for the next minute, so there are few of them

The browser's display has --pixel-ratio device pixels a CSS pixel (1 by default, an ordinary
display; 2 for a "Retina" one): the page is sent the screen at that many pixels a point, no
more than the device's own.

It prints, for each change, the median and the spread over the rounds, and the share of
rounds within one 60 Hz frame (16.7 ms) of the request. Timings depend on the machine's
load: the load average is printed beside them.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from selenium.webdriver.support.ui import WebDriverWait

# The browser the page's tests drive, started the same way.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'device', 'tests', 'browser'))
from device_page_test import Device, browser  # noqa: E402

FRAME_MS = 1000 / 60
QUIET_MS = 1500  # no new picture for this long: the change has been drawn (an iPad picture once took 0.5 s)

# Notes in the page when a picture of the screen has been painted, whatever the element that
# shows it: an <img> is painted once its new picture is decoded, a <canvas> once drawn.
OBSERVER = """
window.kavlorBench = { paints: [], ready: [] };
const screen = document.getElementById('screen');
const painted = (version) => requestAnimationFrame(() =>
    window.kavlorBench.paints.push({ version, at: performance.now(), wall: Date.now() }));
new MutationObserver(() => {
    const version = Number(document.body.dataset.screenVersion);
    if (screen.tagName === 'IMG') screen.decode().then(() => painted(version), () => {});
    else painted(version);
}).observe(document.body, { attributes: true, attributeFilter: ['data-screen-version'] });
new MutationObserver(() => {
    if (document.body.dataset.springboard === 'ready') window.kavlorBench.ready.push(performance.now());
}).observe(document.body, { attributes: true, attributeFilter: ['data-springboard'] });
"""

# Makes one change from the page and answers when it was asked, answered, and painted.
CHANGE = """
const [path, body, quietMs, done] = arguments;
const bench = window.kavlorBench;
const token = document.querySelector('meta[name="kavlor-token"]').content;
const paintsBefore = bench.paints.length, readyBefore = bench.ready.length;
const asked = performance.now();
fetch(path, { method: 'POST', headers: { 'Content-Type': 'application/json', 'X-Kavlor-Token': token },
              body: JSON.stringify(body) })
  .then((response) => response.json())
  .then((reply) => {
    const answered = performance.now();
    const settle = () => {
      const paints = bench.paints.slice(paintsBefore);
      const last = paints.length ? paints[paints.length - 1].at : answered;
      if (performance.now() - Math.max(last, answered) < quietMs) return setTimeout(settle, 20);
      done({ ok: reply.ok, error: reply.error, reply, asked, answered, paints, ready: bench.ready.slice(readyBefore) });
    };
    settle();
  }, (error) => done({ ok: false, error: String(error) }));
"""


class ServedDevice(Device):
    """The page tests' device with a guest who has pictures, set up before the server starts."""

    def __init__(self, bin_folder, samples, idiom, virtual=True):
        self.folder = tempfile.mkdtemp(prefix='kavlor-latency-')
        self.root = os.path.join(self.folder, 'device')
        self.kavlorctl = os.path.join(bin_folder, 'kavlorctl')
        subprocess.run([os.path.join(bin_folder, 'kavlor-sim'), 'init', self.root, '--idiom', idiom], check=True,
                       stdout=subprocess.DEVNULL)
        self.ctl('user', 'add', 'Admin', '--passcode', '123456')
        subprocess.run([self.kavlorctl, '--device', self.root, 'user', 'add', 'Emma', '--passcode', '1111',
                        '--avatar', 'avatar-mira.png', '--wallpaper', 'wallpaper-dusk.png'], cwd=samples, check=True,
                       stdout=subprocess.DEVNULL)
        for key, value in [('adminPasscode', '123456'), ('activeUser', 'Admin'), ('showImportantAlert', 'false'),
                           ('hideLSAccount', 'true'), ('toggleKavlor', 'true')]:
            self.ctl('set', key, value)
        clock = ['--virtual'] if virtual else []
        self.server = subprocess.Popen([os.path.join(bin_folder, 'kavlor-sim'), 'serve', self.root, *clock, '--port', '0'],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        found = re.search(r'http://127\.0\.0\.1:(\d+)/', self.server.stdout.readline())
        if not found:
            self.stop()
            raise SystemExit(f'kavlor-sim serve did not start: {self.server.stderr.read()}')
        self.url = f'http://127.0.0.1:{found.group(1)}/'


class Timer:
    def __init__(self, driver):
        self.driver = driver
        driver.set_script_timeout(60)
        WebDriverWait(driver, 30).until(lambda d: int(d.execute_script('return document.body.dataset.screenVersion || 0')) >= 1)
        driver.execute_script(OBSERVER)

    def change(self, path, body):
        result = self.driver.execute_async_script(CHANGE, path, body, QUIET_MS)
        if not result.get('ok'):
            raise SystemExit(f'{path} {body}: {result.get("error")}')
        return result


def rounds_of(device, timer, device_size, rounds):
    """Each change's latencies in milliseconds."""
    centre = {'x': device_size['width'] / 2, 'y': device_size['height'] * 0.7}
    found = {name: [] for name in ['appearance', 'appearance (first dark)', 'clock', 'panel', 'unlock', 'respring',
                                   'respring (from ready)']}

    def latency(result):
        if not result['paints']:
            return None
        return result['paints'][-1]['at'] - result['asked']

    for round_number in range(rounds):
        # A respring starts in the light appearance.
        found['appearance (first dark)'].append(latency(timer.change('/api/appearance', {'style': 'dark'})))
        for style in ['light', 'dark', 'light']:
            found['appearance'].append(latency(timer.change('/api/appearance', {'style': style})))
        found['clock'].append(latency(timer.change('/api/advance', {'seconds': 60})))
        result = timer.change('/api/touch', {**centre, 'taps': 2})
        found['panel'].append(latency(result))
        found['unlock'].append(latency(timer.change('/api/unlock', {'passcode': '123456'})))
        timer.change('/api/lock', {})
        # The panel shown by a double tap stays shown; hidden again, it needs a respring.
        device.ctl('set', 'hideLSAccount', 'true')
        result = timer.change('/api/respring', {})
        if result['ready']:
            shown = max([result['ready'][-1]] + [paint['at'] for paint in result['paints']])
            found['respring'].append(shown - result['asked'])
            found['respring (from ready)'].append(shown - result['ready'][-1])
    return found


def real_clock_minutes(timer, rounds):
    """Milliseconds from each minute's start to the page painting the picture it brought."""
    found = []
    for _ in range(rounds):
        minute = (int(time.time()) // 60 + 1) * 60
        time.sleep(max(0.0, minute - time.time() - 0.5))
        before = timer.driver.execute_script('return window.kavlorBench.paints.length')
        time.sleep(max(0.0, minute + 2.0 - time.time()))
        paints = timer.driver.execute_script('return window.kavlorBench.paints.slice(arguments[0])', before)
        after = [paint['wall'] for paint in paints if paint['wall'] >= minute * 1000]
        found.append(after[0] - minute * 1000 if after else None)
    return found


def served_in_browser(bin_folder, samples, idiom, virtual, measure, pixel_ratio):
    """Serves a fresh device, opens its page and answers what `measure(device, timer, size)` found."""
    device = ServedDevice(bin_folder, samples, idiom, virtual)
    profile = tempfile.mkdtemp(prefix='kavlor-chromium-')
    driver = None
    try:
        driver = browser(profile, pixel_ratio)
        driver.get(device.url)
        timer = Timer(driver)
        size = driver.execute_script('return JSON.parse(document.querySelector(\'meta[name="kavlor-device"]\').content)')
        return measure(device, timer, size)
    finally:
        if driver:
            driver.quit()
        device.stop()
        shutil.rmtree(profile, ignore_errors=True)


def report(idiom, pixel_ratio, found):
    print(f'{idiom} on a display of {pixel_ratio:g} pixels a point: load average {open("/proc/loadavg").read().split()[0:3]}')
    print(f'  {"change":24} {"median":>9} {"min":>9} {"max":>9}  within a frame')
    for name, values in found.items():
        values = [value for value in values if value is not None]
        if not values:
            print(f'  {name:24} no picture')
            continue
        within = sum(value <= FRAME_MS for value in values)
        print(f'  {name:24} {statistics.median(values):7.1f}ms {min(values):7.1f}ms {max(values):7.1f}ms  {within}/{len(values)}')


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('bin_folder')
    parser.add_argument('samples')
    parser.add_argument('--idiom', action='append', choices=['phone', 'pad'])
    parser.add_argument('--rounds', type=int, default=10)
    parser.add_argument('--real-clock-rounds', type=int, default=3, help='minutes waited for on the real clock (0: none)')
    parser.add_argument('--pixel-ratio', type=float, default=1, help="the browser display's device pixels a CSS pixel")
    options = parser.parse_args()
    bin_folder, samples = os.path.abspath(options.bin_folder), os.path.abspath(options.samples)
    for idiom in options.idiom or ['phone', 'pad']:
        found = served_in_browser(bin_folder, samples, idiom, True,
                                  lambda device, timer, size: rounds_of(device, timer, size, options.rounds), options.pixel_ratio)
        if options.real_clock_rounds > 0:
            found['real-clock minute'] = served_in_browser(bin_folder, samples, idiom, False,
                                                           lambda device, timer, size: real_clock_minutes(timer, options.real_clock_rounds),
                                                           options.pixel_ratio)
        report(idiom, options.pixel_ratio, found)
    return 0


if __name__ == '__main__':
    sys.exit(main())
