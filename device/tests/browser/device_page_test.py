#!/usr/bin/python3
"""The device's page in a real browser (headless Chromium driven by Selenium).

  device_page_test.py road KAVLOR_SIM KAVLORCTL SAMPLES phone|pad
      the road of one guest visit played through the page: the guest added with the page's
      form, a double tap on the lock screen, a tap on the guest, YES, the respring, the
      guest's passcode on the pad, her disabled app's icon absent, the countdown run to its
      end on the virtual clock, the owner back; the page's canvas, redrawn only where the
      picture changed, read back and compared with the whole picture (/screen.png); the
      screen sent at the pixels the display shows (1x; then, on a 3x display, the phone's
      own 2x); a screen seen before drawn from the tiles the page kept
  device_page_test.py refusals KAVLOR_SIM KAVLORCTL SAMPLES phone
      requests without the page's token, from another Origin or another Host are refused
  device_page_test.py minute KAVLOR_SIM KAVLORCTL SAMPLES phone
      on the real clock, with no request and no drawing every so often (--redraw-every 0),
      the lock screen's clock moving to the next minute reaches the page: SpringBoard says
      itself that its screen changed (the device's time zone is set a few seconds off, so
      that its minute turns soon after the start)

Each runs kavlor-sim serve on a fresh device and a free port, and stops it at the end.
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WAIT_SECONDS = 15


class Device:
    """A fresh device served by kavlor-sim serve --virtual on a free port."""

    def __init__(self, kavlor_sim, kavlorctl, idiom, serve_options=('--virtual',), environment=None):
        self.folder = tempfile.mkdtemp(prefix='kavlor-browser-')
        self.root = os.path.join(self.folder, 'device')
        self.kavlorctl = kavlorctl
        subprocess.run([kavlor_sim, 'init', self.root, '--idiom', idiom], check=True, stdout=subprocess.DEVNULL)
        self.ctl('user', 'add', 'Admin', '--passcode', '123456')
        for key, value in [('toggleKavlor', 'true'), ('hideLSAccount', 'true'), ('showImportantAlert', 'false'),
                           ('adminPasscode', '123456'), ('activeUser', 'Admin')]:
            self.ctl('set', key, value)
        self.server = subprocess.Popen([kavlor_sim, 'serve', self.root, *serve_options, '--port', '0'],
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=environment)
        line = self.server.stdout.readline()
        found = re.search(r'http://127\.0\.0\.1:(\d+)/', line)
        if not found:
            self.stop()
            raise AssertionError(f'kavlor-sim serve did not say its address: {line!r} {self.server.stderr.read()}')
        self.port = int(found.group(1))
        self.url = f'http://127.0.0.1:{self.port}/'

    def ctl(self, *arguments):
        subprocess.run([self.kavlorctl, '--device', self.root, *arguments], check=True, stdout=subprocess.DEVNULL)

    def request(self, path, body=None, headers=None):
        """(status, JSON reply) of a request to the server, as a program (not the page) makes it."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.url.rstrip('/') + path, data=data, headers=headers or {},
                                         method='GET' if body is None else 'POST')
        try:
            with urllib.request.urlopen(request, timeout=30) as response:
                return response.status, json.loads(response.read() or b'{}')
        except urllib.error.HTTPError as error:
            return error.code, json.loads(error.read() or b'{}')

    def locate(self, text):
        status, reply = self.request('/api/locate?text=' + urllib.parse.quote(text))
        assert status == 200, reply
        return reply if reply.get('found') else None

    def stop(self):
        if self.server.poll() is None:
            self.server.terminate()
            try:
                self.server.wait(20)
            except subprocess.TimeoutExpired:
                self.server.kill()
        shutil.rmtree(self.folder, ignore_errors=True)


def browser(profile, pixel_ratio=1):
    options = Options()
    for flag in ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-quic',
                 '--no-first-run', '--disable-component-update', '--disable-sync', '--disable-dev-shm-usage',
                 '--window-size=1900,1700', f'--user-data-dir={profile}', f'--force-device-scale-factor={pixel_ratio}']:
        options.add_argument(flag)
    options.binary_location = shutil.which('chromium') or '/usr/bin/chromium'
    return webdriver.Chrome(service=Service(shutil.which('chromedriver') or '/usr/bin/chromedriver'), options=options)


class Page:
    def __init__(self, driver, device):
        self.driver = driver
        self.device = device
        driver.get(device.url)
        self.wait_for(lambda: int(self.data('screenVersion') or 0) >= 1, 'the first picture of the screen')
        self.screen = driver.find_element(By.ID, 'screen')

    def data(self, name):
        return self.driver.execute_script(f'return document.body.dataset.{name};')

    def wait_for(self, condition, what):
        try:
            WebDriverWait(self.driver, WAIT_SECONDS, poll_frequency=0.05).until(lambda _: condition())
        except Exception:
            trace = '\n'.join(self.trace_lines())[-3000:]
            raise AssertionError(f'waited {WAIT_SECONDS} s for {what}; status: '
                                 f'{self.driver.find_element(By.ID, "status").text!r}\ntrace:\n{trace}')

    def click(self, element_id):
        self.driver.find_element(By.ID, element_id).click()

    def tap_screen(self, x, y, double=False):
        """A click (or double click) on the picture at the point (x, y) of the screen, in points."""
        size = self.screen.size
        dx = round(x - size['width'] / 2)
        dy = round(y - size['height'] / 2)
        actions = ActionChains(self.driver).move_to_element_with_offset(self.screen, dx, dy)
        (actions.double_click() if double else actions.click()).perform()

    def tap_text(self, text):
        """A tap where the device shows TEXT, found by the device's own hit-testing."""
        self.wait_for(lambda: self.device.locate(text) is not None, f'"{text}" to show on the screen')
        place = self.device.locate(text)
        version = int(self.data('screenVersion'))
        self.tap_screen(place['x'] + place['width'] / 2, place['y'] + place['height'] / 2)
        return version

    def canvas_width(self):
        return self.driver.execute_script("return document.getElementById('screen').width;")

    def canvas_differences(self):
        """The page's canvas read back beside /screen.png, each at the pixels the page is sent."""
        return self.driver.execute_async_script('''
            const done = arguments[arguments.length - 1];
            const canvas = document.getElementById('screen');
            fetch('/screen.png').then(async (response) => {
              const version = Number(response.headers.get('X-Kavlor-Screen-Version'));
              const picture = await createImageBitmap(await response.blob(), { colorSpaceConversion: 'none' });
              const whole = document.createElement('canvas');
              whole.width = picture.width;
              whole.height = picture.height;
              whole.getContext('2d').drawImage(picture, 0, 0);
              const expected = whole.getContext('2d').getImageData(0, 0, whole.width, whole.height).data;
              const shown = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
              let differing = 0;
              if (expected.length !== shown.length) differing = -1;
              else for (let i = 0; i < shown.length; ++i) differing += expected[i] !== shown[i];
              done({ differing, pictureVersion: version, shownVersion: Number(document.body.dataset.screenVersion),
                     size: [canvas.width, canvas.height], pictureSize: [picture.width, picture.height] });
            }, (error) => done({ error: String(error) }));''')

    def expect_canvas_is_whole_picture(self, what):
        """The canvas, composed of the tiles the page was sent, is exactly the whole picture."""
        found = {}
        def same_version():
            found.update(self.canvas_differences())
            return found.get('pictureVersion') == found.get('shownVersion')
        self.wait_for(same_version, f'the page to show the latest picture ({what})')
        assert found['size'] == found['pictureSize'] and found['differing'] == 0, f'{what}: {found}'

    def trace_lines(self, event=None):
        """The trace pane's lines as the page holds them: a line scrolled out of the pane is not
        rendered (content-visibility), so Selenium would not call its text visible."""
        selector = f'#trace li[data-event="{event}"]' if event else '#trace li'
        return self.driver.execute_script(
            'return Array.from(document.querySelectorAll(arguments[0]), (item) => item.textContent);', selector)

    def trace_has(self, event, text=''):
        return any(text in line for line in self.trace_lines(event))


def add_guest_with_the_form(page, samples):
    form = page.driver.find_element(By.ID, 'add-guest')
    form.find_element(By.NAME, 'name').send_keys('Emma')
    form.find_element(By.NAME, 'passcode').send_keys('1111')
    form.find_element(By.NAME, 'wallpaper').send_keys(os.path.join(samples, 'wallpaper-dusk.png'))
    form.find_element(By.NAME, 'avatar').send_keys(os.path.join(samples, 'avatar-mira.png'))
    form.find_element(By.CSS_SELECTOR, 'input[name="block"][value="time-limit"]').click()
    form.find_element(By.CSS_SELECTOR, 'select[name="timeLimit"] option[value="0"]').click()
    form.find_element(By.NAME, 'disabledApps').send_keys('com.apple.mobilesafari')
    page.click('add-guest-submit')
    result = page.driver.find_element(By.ID, 'add-guest-result')
    page.wait_for(lambda: 'Emma disabled apps' in result.text, 'the guest to be added')
    assert 'added user Emma' in result.text, result.text
    page.wait_for(lambda: 'Emma' in page.driver.find_element(By.ID, 'accounts').text, 'Emma in the accounts pane')


def road(device, samples, profile):
    driver = browser(profile)
    try:
        page = Page(driver, device)
        points = 1024 if sys.argv[5] == 'pad' else 375
        assert driver.find_element(By.ID, 'screen').size['width'] == points
        page.expect_canvas_is_whole_picture('the first picture')
        # A display of one pixel a point is sent the screen at one pixel a point.
        assert page.canvas_width() == points, f'the canvas is {page.canvas_width()} pixels wide on a 1x display'
        if sys.argv[5] == 'phone':
            # Moved to a display of three pixels a point, the page asks again, and is sent
            # the phone's own pixels (two a point): no finer.
            driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                   {'width': 1900, 'height': 1700, 'deviceScaleFactor': 3, 'mobile': False})
            page.wait_for(lambda: page.canvas_width() == 2 * points, 'the screen at the phone\'s own 2 pixels a point')
            page.expect_canvas_is_whole_picture('the first picture at 2x')

        # The lock screen's clock moves a minute: only the tiles its labels cover are sent.
        version = int(page.data('screenVersion'))
        page.click('advance-1')
        page.wait_for(lambda: int(page.data('screenVersion')) > version, 'the clock to move')
        width, height = driver.execute_script("const c = document.getElementById('screen'); return [c.width, c.height];")
        every_tile = -(-width // 256) * -(-height // 256)
        drawn = int(page.data('tilesDrawn'))
        assert 0 < drawn < every_tile / 2, f'a clock tick sent {drawn} of {every_tile} tiles'
        page.expect_canvas_is_whole_picture('after a clock tick')

        # Dark, then light again: the light lock screen comes back from the tiles the page kept.
        for style in ['dark', 'light']:
            version = int(page.data('screenVersion'))
            page.click(style)
            page.wait_for(lambda: int(page.data('screenVersion')) > version, f'the {style} appearance')
        assert int(page.data('tilesDrawn')) > every_tile / 2 and page.data('tilesSent') == '0', \
            f'{page.data("tilesDrawn")} tiles drawn, {page.data("tilesSent")} of them sent'
        page.expect_canvas_is_whole_picture('back to the light appearance')
        add_guest_with_the_form(page, samples)

        # An account change shows the panel; the owner had hidden it, which the next
        # SpringBoard keeps: the page's Respring.
        device.ctl('set', 'hideLSAccount', 'true')
        resprings = int(page.data('resprings'))
        page.click('respring')
        page.wait_for(lambda: int(page.data('resprings')) > resprings and page.data('springboard') == 'ready', 'the respring')

        # The panel is hidden: a double tap on the lock screen brings it in.
        assert device.locate('Emma') is None
        size = page.screen.size
        page.tap_screen(size['width'] / 2, size['height'] * 0.7, double=True)
        page.wait_for(lambda: page.trace_has('notification', 'ShowUserAccountNotification'), 'the double tap to show the panel')

        # The owner taps Emma and confirms.
        page.tap_text('Emma')
        page.wait_for(lambda: page.trace_has('alert', 'Emma'), 'the confirmation alert')
        resprings = int(page.data('resprings'))
        page.tap_text('YES')
        page.wait_for(lambda: int(page.data('resprings')) > resprings and page.data('springboard') == 'ready',
                      'the respring into guest mode')
        page.wait_for(lambda: page.trace_has('springboard-exit') and page.trace_has('springboard-start', 'guest'),
                      'the guest\'s SpringBoard in the trace pane')

        # Her own passcode, typed on the pad, unlocks.
        page.wait_for(lambda: page.data('locked') == 'yes', 'the lock screen of the new SpringBoard')
        page.click('show-passcode')
        for key in '1111':
            driver.find_element(By.CSS_SELECTOR, f'#passcode-keys button[data-key="{key}"]').click()
        page.click('passcode-enter')
        page.wait_for(lambda: page.data('locked') == 'no', 'the guest passcode to unlock')
        page.wait_for(lambda: page.trace_has('unlock-attempt', 'result=unlocked'), 'the unlock in the trace pane')

        # Her home screen: no Safari; Calendar is there and opens.
        page.wait_for(lambda: device.locate('Calendar') is not None, 'the home screen')
        assert device.locate('Safari') is None, 'the disabled app\'s icon is shown'
        page.tap_text('Calendar')
        page.wait_for(lambda: page.trace_has('process-launched', 'com.apple.mobilecal'), 'Calendar to open')
        page.click('home')

        # The countdown runs to its end on the virtual clock: the owner is back.
        resprings = int(page.data('resprings'))
        page.click('advance-end')
        page.wait_for(lambda: int(page.data('resprings')) > resprings and page.data('springboard') == 'ready',
                      'the end of the time limit')
        page.wait_for(lambda: 'activeUser = Admin' in driver.find_element(By.ID, 'settings').get_attribute('textContent'),
                      'the owner to be active again')
        page.wait_for(lambda: page.trace_has('log', 'timers is zero'), 'the end of the countdown in the trace pane')
        page.wait_for(lambda: page.data('locked') == 'yes', 'the owner\'s lock screen')
        page.expect_canvas_is_whole_picture('at the end of the visit')
    finally:
        driver.quit()


def refusals(device, profile):
    origin = f'http://127.0.0.1:{device.port}'
    token = re.search(r'kavlor-token" content="([0-9a-f]+)"', urllib.request.urlopen(device.url).read().decode()).group(1)
    lock = lambda headers: device.request('/api/lock', {}, headers)
    assert lock({})[0] == 403
    assert lock({'X-Kavlor-Token': 'not-the-token', 'Origin': origin})[0] == 403
    status, reply = lock({'X-Kavlor-Token': token, 'Origin': 'http://evil.example'})
    assert status == 403 and 'evil.example' in reply['error'], reply
    assert lock({'X-Kavlor-Token': token, 'Origin': origin, 'Host': 'evil.example'})[0] == 403
    assert lock({'X-Kavlor-Token': token, 'Origin': origin})[0] == 200  # the same request, rightly made
    # A page's scale out of bounds (an iPad drawn 1000 times finer would not fit in memory).
    for scale in ['0', '1000', 'nan', 'two']:
        status, reply = device.request(f'/screen/stream?since=0&scale={scale}')
        assert status == 400 and f'not "{scale}"' in reply['error'], (scale, reply)

    # In the browser: the page's own fetch without its token is refused; with it, it passes.
    driver = browser(profile)
    try:
        page = Page(driver, device)
        without = driver.execute_script("""
            return fetch('/api/home', {method: 'POST', headers: {'Content-Type': 'application/json'}, body: '{}'}).then(r => r.status);""")
        assert without == 403, without

        # An upload that is no picture: kavlorctl's refusal is shown, and no account is added.
        form = driver.find_element(By.ID, 'add-guest')
        form.find_element(By.NAME, 'name').send_keys('Otto')
        form.find_element(By.NAME, 'passcode').send_keys('1')
        form.find_element(By.NAME, 'avatar').send_keys(os.path.abspath(__file__))
        page.click('add-guest-submit')
        result = driver.find_element(By.ID, 'add-guest-result')
        page.wait_for(lambda: 'not a usable PNG or JPEG' in result.text, 'the upload to be refused')
        assert 'error' in result.get_attribute('class')
        assert 'Otto' not in device.request('/api/state')[1]['accounts']

        page.click('home')
        page.wait_for(lambda: driver.find_element(By.ID, 'status').text == 'home', 'the Home button to be taken')
        # A page of another origin cannot send the header the token travels in (no CORS
        # pre-flight is answered), and a plain form post carries no token.
        page_of_another_site = 'data:text/html,<form method=post action="' + device.url + 'api/lock"></form>'
        driver.get(page_of_another_site)
        driver.execute_script('document.forms[0].submit();')
        WebDriverWait(driver, WAIT_SECONDS).until(lambda d: 'reload the page' in d.page_source)
    finally:
        driver.quit()


MINUTE_TURNS_AFTER_SECONDS = 20  # the device's boot and the page's first picture come first, even on a busy machine


def time_zone_whose_minute_turns_in(seconds):
    """A POSIX time zone a whole number of seconds off UTC, whose local minute turns `seconds`
    from now (the device shows local time)."""
    offset = (int(time.time()) + seconds) % 60   # local time = UTC - offset
    return f'KVL+00:00:{offset:02d}'


def minute(kavlor_sim, kavlorctl, idiom, profile):
    environment = dict(os.environ, TZ=time_zone_whose_minute_turns_in(MINUTE_TURNS_AFTER_SECONDS))
    device = Device(kavlor_sim, kavlorctl, idiom, ('--redraw-every', '0'), environment)
    turn = time.time() + MINUTE_TURNS_AFTER_SECONDS
    driver = browser(profile)
    try:
        page = Page(driver, device)
        first = int(page.data('screenVersion'))
        assert time.time() < turn - 1, 'the device took too long to start: its first picture may show the new minute already'
        time.sleep(max(0.0, turn - time.time()))
        page.wait_for(lambda: int(page.data('screenVersion')) > first, 'the picture of the new minute, asked for by nobody')
        page.expect_canvas_is_whole_picture('the new minute')
    finally:
        driver.quit()
        device.stop()


def main():
    if len(sys.argv) != 6 or sys.argv[1] not in ('road', 'refusals', 'minute'):
        print(__doc__, file=sys.stderr)
        return 2
    which, kavlor_sim, kavlorctl, samples, idiom = sys.argv[1:]
    samples = os.path.abspath(samples)
    profile = tempfile.mkdtemp(prefix='kavlor-chromium-')
    started = time.monotonic()
    if which == 'minute':
        try:
            minute(kavlor_sim, kavlorctl, idiom, profile)
        finally:
            shutil.rmtree(profile, ignore_errors=True)
        print(f'{which} on a {idiom}: passed in {time.monotonic() - started:.1f} s')
        return 0
    device = Device(kavlor_sim, kavlorctl, idiom)
    try:
        if which == 'road':
            road(device, samples, profile)
        else:
            refusals(device, profile)
    finally:
        device.stop()
        shutil.rmtree(profile, ignore_errors=True)
    print(f'{which} on a {idiom}: passed in {time.monotonic() - started:.1f} s')
    return 0


if __name__ == '__main__':
    sys.exit(main())
