"""Times rotadraw's pages in Chromium, for bench/rotadraw.sh: how long a page
takes to open at its last step (from the start of its loading to the end of
its script's start), at 2,000 and 20,000 shuffled values and at 100,000
values inserted level by level; and at 20,000 values how long Insert, Undo,
Look up and a step take, fitted and at full size; and how long a paste of
20,000 answers takes to make its run, with the longest the page stood
still meanwhile (the page's goal: about a second). Medians of RUNS.

Usage: page_times.py ROTADRAW RUNS
"""
import os
import random
import statistics
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

rotadraw, runs = sys.argv[1], int(sys.argv[2])
work = tempfile.mkdtemp()


def made(name, values):
    page = os.path.join(work, name)
    subprocess.run([rotadraw, "--last", "--html", page], check=True,
                   input=f"{len(values)} {' '.join(map(str, values))} 1\n",
                   text=True, stdout=subprocess.DEVNULL)
    return page


def level_order(n):
    """A page of 1..n inserted level by level: the tree module never
    rotates on it, so its record, each value and the levels its insertion
    passes, is written here, at any size, without running the module."""
    page = made("levels.html", [1])
    lines, level = [], [(1, n, 0)]
    while level:
        lines.extend(f"{(lo + hi) // 2} {d}" for lo, hi, d in level)
        level = [(a, b, d + 1) for lo, hi, d in level
                 for a, b in ((lo, (lo + hi) // 2 - 1), ((lo + hi) // 2 + 1, hi))
                 if a <= b]
    html = open(page).read()
    start = html.index('id="run">\n') + len('id="run">\n')
    with open(page, "w") as f:
        f.write(html[:start] + "\n".join(lines) + "\n" + html[html.index("</script>", start):])
    return page


def shuffled(n):
    values = list(range(1, n + 1))
    random.Random(7).shuffle(values)
    return values


o = webdriver.ChromeOptions()
for a in ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
          "--disable-background-networking", "--disable-component-update",
          "--disable-sync", "--window-size=1280,900"]:
    o.add_argument(a)
o.binary_location = "/usr/bin/chromium"
d = webdriver.Chrome(options=o, service=Service("/usr/bin/chromedriver"))
d.set_script_timeout(600)

# A control's time: from its click to the end of the next frame drawn.
# The page's own names stay in its modules: the scripts name its elements
# themselves.
ELEMENTS = "const $ = (id) => document.getElementById(id);\n"
CLICK = ELEMENTS + """const done = arguments[arguments.length - 1];
const start = performance.now();
CONTROL;
requestAnimationFrame(() => setTimeout(() => done(performance.now() - start)));"""


def opened(page):
    d.get("about:blank")
    d.get(f"file://{page}#step=99999999")
    return float(d.execute_script("return document.documentElement.dataset.drawnMs"))


pages = [("2000 shuffled values", made("2000.html", shuffled(2000))),
         ("20000 shuffled values", made("20000.html", shuffled(20000))),
         ("100000 values, level by level", level_order(100000))]
for name, page in pages:
    ms = statistics.median(opened(page) for _ in range(runs))
    print(f"{name:<34} opens at its last step in {ms:6.0f} ms "
          f"({os.path.getsize(page)} bytes)")

opened(pages[1][1])
d.execute_script("document.getElementById('value').value = '12345'")
controls = [
    ("Insert 12345", "$('insert').click(); $('play').click()"),
    ("Undo", "$('undoButton').click()"),
    ("Look up 12345", "$('lookUp').click()"),
    ("Undo", "$('undoButton').click()"),
    ("a step back, fitted", "$('prev').click()"),
    ("full size", "$('full').click()"),
    ("a step back, at full size", "$('prev').click()"),
    ("fitted again", "$('full').click()"),
]
times = {}
for _ in range(runs):
    for label, script in controls:
        times.setdefault(label, []).append(
            d.execute_async_script(CLICK.replace("CONTROL", script)))
print("at 20000 shuffled values, from a click to the next frame:")
for label, _ in controls[:3] + controls[4:]:
    print(f"  {label:<32} {statistics.median(times[label]):6.0f} ms")

# A paste: from the click to the run shown, and the longest task meanwhile.
PASTE = ELEMENTS + """const done = arguments[arguments.length - 1];
let longest = 0;
const tasks = new PerformanceObserver((l) => {
  for (const e of l.getEntries()) longest = Math.max(longest, e.duration);
});
tasks.observe({type: "longtask"});
document.querySelector("#try details").open = true;
$("answers").value = arguments[0];
const start = performance.now();
$("newRun").click();
const wait = () => {
  if ($("summary").textContent.startsWith(arguments[1] + " values"))
    return setTimeout(() => { tasks.disconnect(); done([performance.now() - start, longest]); });
  if (!$("goOn").hidden) $("goOn").click();
  setTimeout(wait, 20);
};
wait();"""
print("a paste of 20000 values, from the click to its run shown:")
for name, values in (("shuffled", shuffled(20000)), ("ascending", list(range(1, 20001)))):
    made_in = []
    for _ in range(runs):
        opened(pages[0][1])
        made_in.append(d.execute_async_script(
            PASTE, f"{len(values)} {' '.join(map(str, values))}", len(values)))
    print(f"  {name:<32} {statistics.median(t for t, _ in made_in):6.0f} ms, "
          f"longest task {statistics.median(l for _, l in made_in):4.0f} ms")
d.quit()
