"""What the page's tests share: rotadraw's pages made and opened in a real
browser (Chromium, driven by Selenium), and what they draw read off the
screen, from where the values stand, into shapes that can be compared with
rotadraw's text drawing: a(left,right), a leaf as a.

Importing it exits 77 (skipped) when there is no browser to drive.
"""
import atexit
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

NEED = "Debian's chromium, chromium-driver and python3-selenium"
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    print("no selenium for /usr/bin/python3: skipped; the page's tests need "
          f"{NEED}")
    sys.exit(77)
if not os.path.exists("/usr/bin/chromedriver"):
    print(f"no /usr/bin/chromedriver: skipped; the page's tests need {NEED}")
    sys.exit(77)

ROTADRAW, ROTATREE = sys.argv[1], sys.argv[2]
WORK = tempfile.mkdtemp()
atexit.register(shutil.rmtree, WORK, True)
NINE = "9\n50 40 30 20 10 60 70 35 36\n36\n"


def shape(spots):
    """The tree a picture shows, from (x, y, value) of its values: in-order
    left to right, and the root of each range the highest value in it."""
    spots = sorted(spots)

    def sub(lo, hi):
        if lo >= hi:
            return ""
        top = min(range(lo, hi), key=lambda i: spots[i][1])
        left, right = sub(lo, top), sub(top + 1, hi)
        a = str(spots[top][2])
        return a if not left and not right else f"{a}({left},{right})"
    return sub(0, len(spots))


def text_pictures(out):
    """(heading, shape) of each picture of the text drawing."""
    pictures = []
    for block in re.split(r"^(?=== )", out, flags=re.M)[1:]:
        lines = [l for l in block.split("\n") if not l.startswith("-- ")]
        if not re.match(r"== (insert|search)", lines[0]):
            continue
        spots = [(m.start(), row, int(m.group()))
                 for row, line in enumerate(lines[1:])
                 for m in re.finditer(r"-?[0-9]+", line)]
        pictures.append((lines[0], shape(spots)))
    return pictures


def text_explanations(out):
    """The lines under each picture's heading, without their "-- "."""
    return [[l[3:] for l in block.split("\n") if l.startswith("-- ")]
            for block in re.split(r"^(?=== )", out, flags=re.M)[1:]
            if re.match(r"== (insert|search)", block)]


def draw(answers, *options, status=0):
    """rotadraw's text for the answers, and its page's path."""
    page = os.path.join(WORK, f"page{len(os.listdir(WORK))}.html")
    run = subprocess.run([ROTADRAW, "--html", page, *options], input=answers,
                         capture_output=True, text=True)
    assert run.returncode == status, run.stderr
    return run.stdout, page


def browser(reduced_motion=True, size=(1000, 800), touch=False):
    o = webdriver.ChromeOptions()
    for a in ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
              "--disable-background-networking", "--disable-component-update",
              "--disable-sync", f"--window-size={size[0]},{size[1]}"]:
        o.add_argument(a)
    o.binary_location = "/usr/bin/chromium"
    d = webdriver.Chrome(options=o, service=Service("/usr/bin/chromedriver"))
    reduce_motion(d, reduced_motion)
    if touch:
        d.execute_cdp_cmd("Emulation.setTouchEmulationEnabled",
                          {"enabled": True, "maxTouchPoints": 5})
        d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": size[0], "height": size[1], "deviceScaleFactor": 3,
            "mobile": True})
    return d


SHOWN = """return [...document.querySelectorAll(arguments[0] + ' svg')].map(s =>
  [...s.querySelectorAll('text.value')].map(t => {
    const b = t.getBoundingClientRect();
    return [b.x + b.width / 2, Math.round(b.y), Number(t.textContent)]; }));"""


def reduce_motion(d, on):
    """Whether the page is told that the reader asks for less motion, on the
    screen: this emulation replaces any other, printing's too."""
    d.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "", "features": [
        {"name": "prefers-reduced-motion", "value": "reduce" if on else ""}]})


class OneBrowser(unittest.TestCase):
    """Tests that share one browser, opened as `window` says, with less
    motion asked for; each test opens its own page."""
    window = {}

    @classmethod
    def setUpClass(cls):
        cls.d = browser(**cls.window)
        cls.d.execute_cdp_cmd("Browser.setDownloadBehavior",
                              {"behavior": "allow", "downloadPath": WORK})

    @classmethod
    def tearDownClass(cls):
        cls.d.quit()

    def js(self, script, *args):
        return self.d.execute_script(script, *args)

    def key(self, k):
        key(self.d, k)

    def shown(self):
        return shown(self.d)


def load(d, url):
    """Opens url afresh: the same page at another address would only move
    to another step, in a task of its own after the navigation."""
    d.get("about:blank")
    d.get(url)


def key(d, k):
    d.find_element(By.TAG_NAME, "body").send_keys(k)


def shown(d):
    """(heading, shape) of the one picture shown."""
    pictures = d.execute_script(SHOWN, "#picture")
    assert len(pictures) == 1, pictures
    return d.find_element(By.ID, "heading").text, shape(pictures[0])


def wait_until(what, why, seconds=20):
    """Waits until what() is true, and fails saying why after `seconds`: a
    state waited on, never a time."""
    end = time.monotonic() + seconds
    while not what():
        if time.monotonic() > end:
            raise AssertionError(f"waited {seconds} s: {why}")
        time.sleep(0.02)


def level_order_page(n):
    """The page of a run of n values inserted level by level, each new
    value completing the next level of a perfect tree from the left: the
    tree module never rotates on it, so its record is each value and the
    levels its insertion passes, and no run of the module is needed to
    write it, at any size."""
    _, page = draw("1\n1\n")
    order, level = [], [(1, n)]
    while level:
        order.extend((lo + hi) // 2 for lo, hi in level)
        level = [r for lo, hi in level for r in
                 ((lo, (lo + hi) // 2 - 1), ((lo + hi) // 2 + 1, hi))
                 if r[0] <= r[1]]
    lines = [f"{v} {depth_of(v, n)}" for v in order]
    html = open(page).read()
    start = html.index('id="run">\n') + len('id="run">\n')
    end = html.index("</script>", start)
    with open(page, "w") as f:
        f.write(html[:start] + "\n".join(lines) + "\n" + html[end:])
    return page


def depth_of(v, n):
    """How many nodes the way down to v passes in the perfect tree of 1..n."""
    lo, hi, passed = 1, n, 0
    while (lo + hi) // 2 != v:
        passed += 1
        mid = (lo + hi) // 2
        lo, hi = (mid + 1, hi) if v > mid else (lo, mid - 1)
    return passed
