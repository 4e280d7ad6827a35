"""rotadraw's page for a class, a projector, a phone and a screen reader, in a
real browser: a rotation reached by a jump is shown turning, the first
screen holds what belongs together, a zoomed picture can be read and
panned, every step on one page leads back and prints whole, a phone gets
room for a finger and nothing wider than itself, and a screen reader hears
the tree.

Usage: page_reach_test.py ROTADRAW ROTATREE   (exits 77 when there is no browser)
"""
import base64
import os
import random
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page import (NINE, SHOWN, By, Keys, OneBrowser, draw, load, reduce_motion, shape,
                  shown, text_pictures, wait_until)
from selenium.webdriver.common.action_chains import ActionChains


class Desk(OneBrowser):
    window = dict(size=(1280, 900))

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.out, cls.page = draw(NINE)

    # ] jumps to the next step that turns: the step before it is drawn, and
    # the nodes glide from there, unless less motion is asked for.
    def test_a_jump_to_a_turn_glides(self):
        want = text_pictures(self.out)
        turning = [k for k, (h, _) in enumerate(want) if "rotated" in h][0]
        d = self.d
        for reduced in (False, True):
            reduce_motion(d, reduced)
            try:
                load(d, f"file://{self.page}#step=1")
                # Read in the key's own turn, before any frame is drawn.
                at_once = self.js("document.body.dispatchEvent(new KeyboardEvent('keydown', "
                                  "{key: ']', bubbles: true}));" + SHOWN, "#picture")[0]
                self.assertEqual(want[turning][0], d.find_element(By.ID, "heading").text)
                wait_until(lambda: not self.js("return !!document.querySelector("
                                               "'#picture svg.gliding')"), "still gliding")
                self.assertEqual(want[turning][1], shown(d)[1])
                self.assertEqual(reduced, at_once == d.execute_script(SHOWN, "#picture")[0])
                self.assertEqual(reduced, shape(at_once) == want[turning][1])
            finally:
                reduce_motion(d, True)

    # What belongs together is on the first screen, the chart below it; an
    # insertion clears the value typed.
    def test_first_screen(self):
        load(self.d, f"file://{self.page}#step=4")
        bottom = lambda css: self.js("return document.querySelector(arguments[0])"
                                        ".getBoundingClientRect().bottom", css)
        height = self.js("return innerHeight")
        for css in ("#heading", "#picture svg", "#why", "#controls", "#value", "#legend"):
            self.assertLessEqual(bottom(css), height, css)
        self.assertGreater(bottom("#chart"), bottom("#value"))
        field = self.d.find_element(By.ID, "value")
        field.send_keys("45", Keys.ENTER)
        self.assertEqual("", field.get_attribute("value"))
        self.assertIn("insert 45", self.d.find_element(By.ID, "heading").text)

    # 300 values open at a size that can be read, with the whole tree
    # beside in small; zoomed out to the whole tree, and in again; the
    # picture pans when dragged.
    def test_zoom_for_a_projector(self):
        values = list(range(1, 301))
        random.Random(3).shuffle(values)
        _, page = draw(f"300 {' '.join(map(str, values))}", "--last")
        load(self.d, f"file://{page}#step=99999")
        sizes = lambda: self.js("return [...document.querySelectorAll("
                                   "'#picture text.value')].map(t => t.getBoundingClientRect()"
                                   ".height)")
        self.assertGreaterEqual(min(sizes()), 10)
        self.assertTrue(self.d.find_element(By.ID, "overview").is_displayed())
        zoom = lambda: self.d.find_element(By.ID, "zoomShown").text
        for _ in range(8):
            if zoom() == "whole tree":
                break
            self.d.find_element(By.ID, "zoomOut").click()
        self.assertLess(max(sizes()), 6)
        for _ in range(8):
            if min(sizes()) > 10:
                break
            self.d.find_element(By.ID, "zoomIn").click()
        self.assertGreater(min(sizes()), 10)
        box = self.d.find_element(By.ID, "picture")
        was = self.js("return arguments[0].scrollLeft", box)
        ActionChains(self.d).move_to_element(box).click_and_hold() \
            .move_by_offset(-200, 0).release().perform()
        self.assertGreater(self.js("return arguments[0].scrollLeft", box), was + 100)
        self.d.find_element(By.TAG_NAME, "body").send_keys(Keys.ALT, "-")
        self.assertNotEqual("fitted", self.d.find_element(By.ID, "zoomShown").text)

    # A projector, 1280x720 with the browser at 200%: the heading, the
    # picture and what the step did in the first screen, apart; large text
    # makes the heading half as large again.
    def test_a_projector_at_200_percent(self):
        _, page = draw(NINE)
        self.d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 640, "height": 360, "deviceScaleFactor": 2, "mobile": False})
        try:
            load(self.d, f"file://{page}#step=9")
            box = lambda css: self.js("const r = document.querySelector(arguments[0])"
                                      ".getBoundingClientRect(); return [r.left, r.top,"
                                      " r.right, r.bottom]", css)
            for css in ("#heading", "#picture", "#why"):
                self.assertLess(box(css)[1], 360, css)
            picture, why = box("#picture"), box("#why")
            self.assertTrue(picture[2] <= why[0] or picture[3] <= why[1])
            size = lambda: self.js("return parseFloat(getComputedStyle("
                                   "document.getElementById('heading')).fontSize)")
            was = size()
            self.d.find_element(By.ID, "large").click()
            self.assertAlmostEqual(1.5 * was, size(), delta=0.5)
            # The address keeps it, and opens it so.
            self.assertIn("?projector#step=9", self.d.current_url)
            load(self.d, self.d.current_url)
            self.assertTrue(self.d.find_element(By.ID, "large").is_selected())
        finally:
            self.d.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    # A projector, 1280x720 at 160%: with large text, the picture and every
    # step button in the first screen, the buttons still named.
    def test_a_projector_at_160_percent_with_large_text(self):
        _, page = draw(NINE)
        self.d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 800, "height": 450, "deviceScaleFactor": 1.6, "mobile": False})
        try:
            for step in (5, 9, 14):
                load(self.d, f"file://{page}?projector#step={step}")
                bottom = lambda css: self.js("return document.querySelector(arguments[0])"
                                             ".getBoundingClientRect().bottom", css)
                for css in ("#picture", "#first", "#next", "#last"):
                    self.assertLessEqual(bottom(css), 450, (step, css))
            self.assertEqual("Next", self.d.find_element(By.ID, "next").accessible_name)
        finally:
            self.d.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})

    # A handout of the turns, printed on A4 (some 718 pixels across): each
    # turn's subtree before and after, abreast where they fit, its values at
    # 8 pt or more wherever the sheet is wide enough for that.
    def test_a_handout_of_the_turns(self):
        values = [17, 3, 29, 38, 1, 22, 35, 8, 11, 30, 24, 6, 33, 19, 14, 27, 39, 2, 26, 13,
                  37, 10, 21, 32, 5, 16, 36, 25, 9, 31, 4, 18, 34, 12, 23, 40, 7, 20, 28, 15]
        _, page = draw(f"40 {' '.join(map(str, values))} 16")
        load(self.d, f"file://{page}#all=turns")
        self.d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 718, "height": 1000, "deviceScaleFactor": 1, "mobile": False})
        self.d.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
        try:
            pairs = self.js("""return [...document.querySelectorAll('#pictures .still.pair')]
                .map(p => [[...p.querySelectorAll('figcaption')].map(c => c.textContent),
                           Math.max(...[...p.querySelectorAll('figure svg')]
                                    .map(s => Number(s.getAttribute('width')))),
                           Math.min(...[...p.querySelectorAll('text.value')]
                                    .map(t => t.getBoundingClientRect().height)),
                           [...p.querySelectorAll('figure')].map(f =>
                             Math.round(f.getBoundingClientRect().top))])""")
            self.assertGreater(len(pairs), 3)
            abreast = 0
            for captions, widest, least, tops in pairs:
                self.assertEqual(["before", "after"], captions)
                abreast += tops[0] == tops[1]
                if widest * 2 / 3 <= 718:
                    self.assertGreaterEqual(least, 8 / 72 * 96 - 0.1, widest)
            self.assertGreater(abreast, len(pairs) / 2)
        finally:
            self.d.execute_cdp_cmd("Emulation.clearDeviceMetricsOverride", {})
            reduce_motion(self.d, True)
        # Printed, more than one turn a sheet.
        sheets = len(re.findall(rb"/Type\s*/Page(?![s\w])", base64.b64decode(
            self.d.execute_cdp_cmd("Page.printToPDF", {})["data"])))
        turns = self.js("return document.querySelectorAll('#pictures section.step').length")
        self.assertLess(sheets, turns)

    # A step printed: its picture, what its balancing did and the legend on
    # the first sheet; the chart on a sheet of its own, as the code is.
    def test_a_step_printed(self):
        _, page = draw(NINE)
        load(self.d, f"file://{page}#step=5")
        sheets = lambda: len(re.findall(rb"/Type\s*/Page(?![s\w])", base64.b64decode(
            self.d.execute_cdp_cmd("Page.printToPDF", {})["data"])))
        whole = sheets()
        self.js("document.getElementById('glance').remove()")
        self.assertEqual(whole - 1, sheets())
        self.js("document.getElementById('codePanel').remove()")
        self.assertEqual(1, sheets())

    # Large text draws the values and heights larger too, where the box
    # has the room.
    def test_large_text_grows_the_values(self):
        _, page = draw("4\n50 30 70 20\n")
        load(self.d, f"file://{page}#step=4")
        sizes = lambda: self.js("return ['text.value', 'text.height'].map(c => Math.max("
                                "...[...document.querySelectorAll('#picture ' + c)]"
                                ".map(t => t.getBoundingClientRect().height)))")
        plain = sizes()
        self.d.find_element(By.ID, "large").click()
        for was, now in zip(plain, sizes()):
            self.assertGreater(now, 1.3 * was)

    # Printed after a zoom, the picture is the whole tree, fitted to the
    # paper; back on the screen, the zoom is as it was.
    def test_printing_a_zoomed_picture(self):
        values = list(range(1, 201))
        random.Random(5).shuffle(values)
        _, page = draw(f"200 {' '.join(map(str, values))}", "--last")
        load(self.d, f"file://{page}#step=99999")
        for _ in range(3):
            self.d.find_element(By.ID, "zoomIn").click()
        nodes = lambda: self.js("return document.querySelectorAll('#picture g.node').length")
        self.assertLess(nodes(), 200)
        zoom = self.d.find_element(By.ID, "zoomShown").text
        self.d.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
        try:
            wait_until(lambda: nodes() == 200, "the printed picture is not the whole tree")
            self.assertLessEqual(self.js("return document.querySelector('#picture svg')"
                                         ".getBoundingClientRect().right"),
                                 self.js("return document.documentElement.clientWidth"))
        finally:
            reduce_motion(self.d, True)
        wait_until(lambda: self.d.find_element(By.ID, "zoomShown").text == zoom,
                   "the zoom not back after printing")

    # Its labels readable at 1280x900, and zoomed in, each step brings the
    # node it turns into view, and a zoom keeps it where it stood on the
    # screen.
    def test_view_follows_the_step(self):
        values = [17, 3, 29, 38, 1, 22, 35, 8, 11, 30, 24, 6, 33, 19, 14, 27, 39, 2, 26, 13,
                  37, 10, 21, 32, 5, 16, 36, 25, 9, 31, 4, 18, 34, 12, 23, 40, 7, 20, 28, 15]
        _, page = draw(f"40 {' '.join(map(str, values))} 16")
        # All 40 drawn at once, the labels can still be read.
        load(self.d, f"file://{page}#step=99999")
        self.assertGreaterEqual(min(self.js(
            "return [...document.querySelectorAll('#picture text.value')]"
            ".map(t => t.getBoundingClientRect().height)")), 10)
        load(self.d, f"file://{page}#step=40")
        self.zoom_to("200%")
        turned = ("const box = document.getElementById('picture').getBoundingClientRect();"
                  "const b = document.querySelector('#picture g.node.pivot')"
                  ".querySelector('circle.body').getBoundingClientRect(); return [b.left >= "
                  "box.left && b.right <= box.right && b.top >= box.top && b.bottom <= "
                  "box.bottom, b.left + b.width / 2, b.top + b.height / 2]")
        for _ in range(3):
            self.key("]")
            self.assertIn("rotated", self.d.find_element(By.ID, "heading").text)
            self.assertTrue(self.js(turned)[0], self.d.find_element(By.ID, "heading").text)
        was = self.settled(turned)
        self.d.find_element(By.ID, "zoomIn").click()
        now = self.settled(turned)
        self.assertLess(abs(now[1] - was[1]) + abs(now[2] - was[2]), 4)
        # At 300% from the first step, each turn's nodes whole: the rising
        # node's ▲ and its heights too.
        load(self.d, f"file://{page}#step=1")
        self.zoom_to("300%")
        whole = ("const box = document.getElementById('picture').getBoundingClientRect();"
                 "return [...document.querySelectorAll('#picture g.node.pivot, "
                 "#picture g.node.riser')].map(g => [...g.querySelectorAll('*')]"
                 ".filter(e => e.getBBox && getComputedStyle(e).display !== 'none' && "
                 "getComputedStyle(e).visibility !== 'hidden')"
                 ".map(e => e.getBoundingClientRect()).filter(b => b.width > 0)"
                 ".every(b => b.left >= box.left - 1 && b.right <= box.right + 1 && "
                 "b.top >= box.top - 1 && b.bottom <= box.bottom + 1))")
        for _ in range(3):
            self.key("]")
            shown = self.settled(whole)
            self.assertTrue(shown and all(shown), (self.d.find_element(By.ID, "heading").text, shown))

    def zoom_to(self, shown):
        for _ in range(8):
            if self.d.find_element(By.ID, "zoomShown").text == shown:
                return
            self.d.find_element(By.ID, "zoomIn").click()

    def settled(self, script):
        """What script returns once the scrolling a key or a zoom caused
        has been drawn, two frames on."""
        return self.d.execute_async_script(
            "const done = arguments[arguments.length - 1]; requestAnimationFrame(() => "
            "requestAnimationFrame(() => done((() => {" + script + "})())))")

    # Every step on one page has the legend at its top and a way back;
    # printed, no control or field shows, the legend does, and a picture
    # stays whole on its sheet.
    def test_every_step_and_print(self):
        load(self.d, f"file://{self.page}#all")
        legend = self.d.find_element(By.CSS_SELECTOR, "#all #legend")
        first = self.d.find_element(By.CSS_SELECTOR, "#pictures svg")
        self.assertLess(legend.rect["y"], first.rect["y"])
        self.d.find_element(By.LINK_TEXT, "Step by step").click()
        wait_until(lambda: self.d.find_element(By.ID, "one").is_displayed(), "no way back")
        self.assertTrue(self.d.find_element(By.CSS_SELECTOR, "#one #legend").is_displayed())
        self.d.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
        try:
            for css in ("button", "input", "select", "textarea", "summary"):
                for e in self.d.find_elements(By.CSS_SELECTOR, css):
                    self.assertFalse(e.is_displayed(), css)
            self.assertTrue(self.d.find_element(By.ID, "legend").is_displayed())
            self.assertEqual("avoid", self.js("return getComputedStyle(document."
                                                 "querySelector('#picture svg')).breakInside"))
        finally:
            # Back to the screen, with less motion, as the other tests ask.
            reduce_motion(self.d, True)

    # A screen reader: the picture is described by what the step did and
    # the tree in words, naming every value; the chart's numbers are a
    # table; while playing, nothing is announced, and where play stops the
    # step is; buttons are named without their arrows; focus is seen.
    def test_screen_reader(self):
        load(self.d, f"file://{self.page}#step=9")
        said = lambda: self.d.find_element(By.ID, "said").get_attribute("textContent")
        described = self.js("return document.querySelector('#picture svg')"
                               ".getAttribute('aria-describedby').split(' ').map(id =>"
                               " document.getElementById(id).textContent).join(' ')")
        for _, _, value in self.d.execute_script(SHOWN, "#picture")[0]:
            self.assertIn(str(value), described)
        self.assertIn("checked", described)
        self.assertEqual(self.d.find_element(By.ID, "heading").text[3:], said())
        self.d.find_element(By.XPATH, "//summary[starts-with(., 'The numbers')]").click()
        # The table is made on the section's toggle, which comes as a task
        # of its own after the click.
        wait_until(lambda: len(self.d.find_elements(By.CSS_SELECTOR, "#numbersTable tr"))
                   == 1 + 9, "no table of one row per insertion")
        self.key(Keys.HOME)
        before = said()
        self.key(" ")
        wait_until(lambda: "step 3 " in self.d.find_element(By.ID, "where").text, "no play")
        self.assertEqual(before, said())
        self.key(" ")
        self.assertEqual(self.d.find_element(By.ID, "heading").text[3:], said())
        for b in self.d.find_elements(By.CSS_SELECTOR, "#controls button"):
            self.assertRegex(b.accessible_name, r"^[A-Za-z ()]+$")
        self.key(Keys.TAB)
        width = self.js("return parseFloat(getComputedStyle(document.activeElement)"
                           ".outlineWidth)")
        self.assertGreaterEqual(width, 2)

    # One value, one rotation: said so. Answers after the value to look up
    # are counted; a run with no steps leaves the address, the counter and
    # the heading in agreement.
    def test_small_things(self):
        _, page = draw("3 1 2 3")
        load(self.d, f"file://{page}")
        self.assertTrue(self.d.find_element(By.ID, "summary").text
                        .startswith("3 values, 1 rotation;"))
        self.js("document.querySelector('#try details').open = true")
        paste = lambda text: self.js("document.getElementById('answers').value = "
                                        "arguments[0]; document.getElementById('newRun')"
                                        ".click()", text)
        paste("1 2 3 4 5")
        message = lambda: self.d.find_element(By.ID, "answersMessage").text
        wait_until(lambda: "were not read" in message(), "no word of what was left")
        self.assertEqual("rotadraw: 2 numbers after the element to search were not read",
                         message())
        self.assertTrue(self.d.find_element(By.ID, "summary").text.startswith("1 value,"))
        paste("0")
        wait_until(lambda: self.d.find_element(By.ID, "where").text == "no steps",
                   "the empty run never shown")
        self.assertTrue(self.d.find_element(By.ID, "heading").text.startswith("== no steps"))
        self.assertNotIn("#", self.d.current_url)


class Phone(OneBrowser):
    window = dict(size=(390, 844), touch=True)

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.out, cls.page = draw(NINE)

    def no_wider(self, state):
        self.assertLessEqual(self.js("return document.documentElement.scrollWidth"),
                             self.js("return innerWidth"), state)

    # Room for a finger, text that can be read, the keys folded away, the
    # heading whole where it names a node, and nothing wider than the
    # screen in any state.
    def test_phone(self):
        load(self.d, f"file://{self.page}#step=4")
        self.assertFalse(self.js("return document.querySelector('footer details').open"))
        for b in self.d.find_elements(By.CSS_SELECTOR, "button"):
            if b.is_displayed():
                self.assertGreaterEqual(b.rect["height"], 40, b.text)
        for c in self.d.find_elements(By.CSS_SELECTOR, "label input[type=checkbox]"):
            label = c.find_element(By.XPATH, "..")
            if label.is_displayed():
                self.assertGreaterEqual(label.rect["height"], 24, label.text)
        smallest = self.js("return Math.min(...[...document.querySelectorAll("
                              "'svg.chart text')].map(t => t.getBoundingClientRect().height))")
        self.assertGreaterEqual(smallest, 9)
        whole = self.d.find_element(By.CSS_SELECTOR, "#heading .whole")
        self.assertEqual("at 50", whole.text)
        self.assertLess(whole.rect["height"], 30)
        self.no_wider("a step")
        self.js("document.querySelector('#try details').open = true")
        self.no_wider("the answers open")
        self.d.find_element(By.ID, "zoomIn").click()
        self.d.find_element(By.ID, "zoomIn").click()
        self.no_wider("zoomed")
        load(self.d, f"file://{self.page}#all")
        self.no_wider("every step")
        load(self.d, f"file://{self.page}#practise=5")
        self.no_wider("practice")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
