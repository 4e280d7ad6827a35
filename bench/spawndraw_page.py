"""How spawndraw's page does at scale, in Chromium: the page of a loop of
1000 /bin/true (about 9,000 events) opened at its last event, and how long
each control takes to answer there, as medians of RUNS loads; and the
page's size.
Usage: /usr/bin/python3 bench/spawndraw_page.py SPAWNDRAW [RUNS]"""
import os
import statistics
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

spawndraw, runs = sys.argv[1], int(sys.argv[2]) if len(sys.argv) > 2 else 3
work = tempfile.mkdtemp()
page = os.path.join(work, "loop.html")
subprocess.run([spawndraw, "--html", page, "sh", "-c",
                "for i in $(seq 1000); do /bin/true; done"],
               check=True, capture_output=True)
events = open(page, encoding="latin-1").read().count("\n")
o = webdriver.ChromeOptions()
for a in ["--headless", "--no-sandbox", "--window-size=1280,900"]:
    o.add_argument(a)
o.binary_location = "/usr/bin/chromium"
d = webdriver.Chrome(options=o, service=Service("/usr/bin/chromedriver"))
CONTROLS = {
    "previous": "document.getElementById('prev').click()",
    "next": "document.getElementById('next').click()",
    "first": "document.getElementById('first').click()",
    "last": "document.getElementById('last').click()",
    "slider to the middle": """const s = document.getElementById('slider');
        s.value = Math.floor(s.max / 2); s.dispatchEvent(new Event('input'))""",
    "timeline scrolled": """const b = document.getElementById('timebox');
        b.scrollLeft += 3000; b.dispatchEvent(new Event('scroll'))""",
}
times = {"open at the last event": []} | {name: [] for name in CONTROLS}
for _ in range(runs):
    d.get("about:blank")
    d.get("file://" + page)
    d.find_element("id", "heading")
    # The page's script, a module, has run to its end when the document's
    # DOMContentLoaded has been handled.
    times["open at the last event"].append(d.execute_script(
        "return performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd"))
    for name, js in CONTROLS.items():
        times[name].append(d.execute_script(
            f"const t = performance.now(); {js}; return performance.now() - t"))
d.quit()
print(f"spawndraw's page of 1000 /bin/true: {os.path.getsize(page)} bytes, "
      f"medians of {runs} loads")
for name, ms in times.items():
    print(f"  {name:24} {statistics.median(ms):7.1f} ms")
