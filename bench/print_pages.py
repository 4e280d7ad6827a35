"""Counts the pages that rotadraw's page prints to, in Chromium, for the
run of 40 values that its tests follow: every step (#all) and only the
steps that turn (#all=turns).

Usage: print_pages.py ROTADRAW
"""
import base64
import os
import re
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

rotadraw = sys.argv[1]
page = os.path.join(tempfile.mkdtemp(), "page.html")
# The 40 values that the page's tests follow.
values = [17, 3, 29, 38, 1, 22, 35, 8, 11, 30, 24, 6, 33, 19, 14, 27, 39, 2, 26, 13,
          37, 10, 21, 32, 5, 16, 36, 25, 9, 31, 4, 18, 34, 12, 23, 40, 7, 20, 28, 15]
subprocess.run([rotadraw, "--html", page], input=f"40 {' '.join(map(str, values))} 16\n",
               text=True, stdout=subprocess.DEVNULL, check=True)
o = webdriver.ChromeOptions()
for a in ["--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
          "--disable-background-networking", "--disable-component-update", "--disable-sync"]:
    o.add_argument(a)
o.binary_location = "/usr/bin/chromium"
d = webdriver.Chrome(options=o, service=Service("/usr/bin/chromedriver"))
for view in ("all", "all=turns"):
    d.get("about:blank")
    d.get(f"file://{page}#{view}")
    pdf = base64.b64decode(d.execute_cdp_cmd("Page.printToPDF", {})["data"])
    steps = d.execute_script("return document.querySelectorAll('#pictures section').length")
    pages = len(re.findall(rb"/Type\s*/Page(?![s\w])", pdf))
    print(f"#{view:<10} {steps:4} steps on {pages:3} pages")
d.quit()
