"""rotadraw's page in a real browser (Chromium, driven by Selenium): what it
draws at each step is read off the screen, from where its values stand, and
compared with rotadraw's text drawing of the same step.

Usage: page_test.py ROTADRAW ROTATREE   (exits 77 when there is no browser)
"""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from page import (NINE, ROTATREE, SHOWN, WORK, By, Keys, OneBrowser, draw, load,
                  reduce_motion, shape, text_explanations, text_pictures,
                  wait_until)


class Page(OneBrowser):
    # The first step's new node is filled in the colour that marks it.
    def test_new_node_in_its_colour(self):
        load(self.d, f"file://{draw('3 1000000 2000000 3000000 2000000')[1]}")
        self.assertEqual("rgb(255, 212, 59)", self.js(
            "return getComputedStyle(document.querySelector("
            "'#picture g.node.moved circle.body')).fill"))

    # The script's names are its modules' own: none reaches the window.
    def test_no_names_on_the_window(self):
        names = "return Object.getOwnPropertyNames(window)"
        blank = os.path.join(WORK, "blank.html")
        with open(blank, "w") as f:
            f.write("<!DOCTYPE html><title>blank</title>")
        load(self.d, f"file://{blank}")
        blank = set(self.d.execute_script(names))
        self.d.get(f"file://{draw(NINE)[1]}")
        # Before Selenium looks for an element, which leaves names of its own.
        got = set(self.d.execute_script(names))
        self.assertEqual("== insert 50: the first value, the root",
                         self.d.execute_script("return heading.textContent"))
        self.assertEqual(set(), got - blank)

    # Each step as the text draws it, reached by the keys and by address.
    def test_every_step_as_the_text(self):
        out, page = draw(NINE)
        want = text_pictures(out)
        self.d.get(f"file://{page}#step=3")
        self.assertEqual(want[2], self.shown())
        self.key(Keys.HOME)
        for k, picture in enumerate(want):
            self.assertEqual(picture, self.shown(), f"step {k + 1}")
            self.assertTrue(self.d.current_url.endswith(f"#step={k + 1}"))
            self.key(Keys.ARROW_RIGHT)
        self.key(Keys.HOME)
        self.key(Keys.END)
        self.assertEqual(want[-1], self.shown())
        self.key(Keys.ARROW_LEFT)
        self.assertEqual(want[-2], self.shown())

    # Every step on one page, each picture drawn as it comes near.
    def test_all_steps(self):
        out, page = draw(NINE)
        self.d.get(f"file://{page}#all")
        want = [s for _, s in text_pictures(out)]
        drawn = lambda: self.d.execute_script(SHOWN, "#pictures")
        self.assertLess(len(drawn()), len(want))
        wait_until(lambda: self.d.execute_script(
            "scrollBy(0, 500); return true") and len(drawn()) == len(want),
            "the last pictures were never drawn")
        self.assertEqual(want, [shape(p) for p in drawn()])

    # Beside each step, what its balancing did, in the words of --explain;
    # the nodes it checked marked, and the line of the code that acted.
    def test_explanations(self):
        out, page = draw(NINE, "--explain")
        want = text_explanations(out)
        headings = [h for h, _ in text_pictures(out)]
        self.d.get(f"file://{page}#step=1")
        els = lambda css: self.d.find_elements(By.CSS_SELECTOR, css)
        for k, lines in enumerate(want):
            self.assertEqual(headings[k], self.shown()[0])
            self.assertEqual(lines, [li.text for li in els("#why li")], headings[k])
            self.key(Keys.ARROW_RIGHT)
        checked = lambda: sorted(int(g.find_element(By.CSS_SELECTOR, "text.value").text)
                                 for g in els("#picture g.node.checked"))
        taken = lambda: [l.text.strip() for l in els("#code .taken")]
        # Inserting 30, 50 turns, and the new root's children are checked.
        load(self.d, f"file://{page}#step=4")
        self.assertEqual([30, 50], checked())
        self.assertEqual(["rotateRight(top);"], taken())
        self.assertIn("at 50 (left 2, right 0)", self.d.find_element(By.ID, "codeNote").text)
        # Inserting 60, 50 leans right by 1, and the balancing stops there.
        k = headings.index("== insert 60 (step 1 of 2): no rotation")
        load(self.d, f"file://{page}#step={k + 1}")
        self.assertEqual(["50: left 0, right 1: leans right by 1; nothing below it "
                          "is checked", "nothing turned: every node checked had heights "
                          "that differ by at most 1, or leaned right by 1", "checked 1 node"],
                         [li.text for li in els("#why li")])
        self.assertEqual([50], checked())
        self.assertEqual(["if (hLeft < hRight) {"], taken())
        # The lookup's panel is its own.
        load(self.d, f"file://{page}#step={len(headings)}")
        self.assertEqual("The lookup's way down", self.d.find_element(By.ID, "whyHeading").text)
        self.assertEqual("", self.d.find_element(By.ID, "codeNote").text)

    # The keys for the steps that rotate, play, speed, heights and the
    # picture's download.
    def test_keys(self):
        out, page = draw(NINE)
        headings = [h for h, _ in text_pictures(out)]
        turning = [k for k, h in enumerate(headings) if "rotated" in h]
        self.d.execute_cdp_cmd("Browser.setDownloadBehavior",
                               {"behavior": "allow", "downloadPath": WORK})
        self.d.get(f"file://{page}#step=1")
        self.key("]")
        self.assertEqual(headings[turning[0]], self.shown()[0])
        self.key("]")
        self.assertEqual(headings[turning[1]], self.shown()[0])
        self.key("[")
        self.assertEqual(headings[turning[0]], self.shown()[0])
        speed = lambda: self.d.execute_script(
            "return document.getElementById('speed').selectedIndex")
        was = speed()
        self.key("+")
        self.assertEqual(was + 1, speed())
        self.key("-")
        self.key("-")
        self.assertEqual(was - 1, speed())
        heights = lambda: len([t for t in self.d.find_elements(
            By.CSS_SELECTOR, "#picture text.height") if t.is_displayed()])
        self.assertGreater(heights(), 0)
        self.key("h")
        self.assertEqual(0, heights())
        self.key("h")
        self.assertGreater(heights(), 0)
        self.key("s")
        path = os.path.join(WORK, f"rotadraw-step-{turning[0] + 1}.svg")
        wait_until(lambda: os.path.exists(path), "no picture downloaded")
        self.assertIn("<svg", open(path).read())
        self.key(" ")
        wait_until(lambda: self.shown()[0] != headings[turning[0]], "no play")
        self.key(" ")
        self.assertIn("Play", self.d.find_element(By.ID, "play").text)
        # Space on a focused summary opens its section, and plays nothing.
        summary = self.d.find_element(By.CSS_SELECTOR, "#try summary")
        self.d.execute_script("arguments[0].focus()", summary)
        summary.send_keys(" ")
        self.assertTrue(self.d.execute_script("return arguments[0].parentNode.open",
                                              summary))
        self.assertIn("Play", self.d.find_element(By.ID, "play").text)

    # The chart of the whole run: a click goes to the end of that insertion.
    def test_chart(self):
        from selenium.webdriver.common.action_chains import ActionChains
        out, page = draw(NINE)
        self.d.get(f"file://{page}")
        chart = self.d.find_element(By.CSS_SELECTOR, "svg.chart")
        self.assertEqual([], chart.find_elements(By.CSS_SELECTOR, "text.value"))
        self.assertEqual(3, len(chart.find_elements(By.CSS_SELECTOR, "polyline")))
        # The third insertion's x, in the chart's 900 units: 60 + 2 * 820 / 8.
        box = chart.rect
        ActionChains(self.d).move_to_element_with_offset(
            chart, (265 / 900 - 0.5) * box["width"], 0).click().perform()
        heading = self.d.find_element(By.ID, "heading").text
        self.assertEqual("== insert 30 (step 2 of 2): rotated right at 50", heading)


    # Between neighbouring steps nodes glide; asked for less motion, they
    # don't.
    def test_glides_unless_asked_not_to(self):
        out, page = draw(NINE)
        d = self.d
        for reduced in (False, True):
            reduce_motion(d, reduced)
            try:
                load(d, f"file://{page}#step=4")
                # Read in the same turn as the key, before any frame.
                at_once = d.execute_script(
                    "document.body.dispatchEvent(new KeyboardEvent('keydown', "
                    "{key: 'ArrowRight', bubbles: true}));" + SHOWN, "#picture")[0]
                final = text_pictures(out)[4][1]
                wait_until(lambda: shape(d.execute_script(SHOWN, "#picture")[0])
                           == final, "the glide never ended")
                # A glide ends where it stays.
                wait_until(lambda: d.execute_script(
                    "return !document.querySelector('#picture svg.gliding')"),
                    "still gliding")
                later = d.execute_script(SHOWN, "#picture")[0]
                self.assertEqual(final, shape(later))
                self.assertEqual(reduced, at_once == later, f"reduced {reduced}")
            finally:
                reduce_motion(d, True)


class Trying(OneBrowser):
    """The reader's own values go in as rotatree would put them in."""

    def setUp(self):
        self.out, self.page = draw(NINE)
        load(self.d, "about:blank")

    def ask(self, value, button="Insert"):
        field = self.d.find_element(By.XPATH, "//label[.='Value']/following::input[1]")
        field.clear()
        field.send_keys(value)
        self.d.find_element(By.XPATH, f"//button[.='{button}']").click()

    def steps(self):
        return self.d.execute_script(
            "return Number(document.getElementById('slider').max)")

    def test_insert_undo_and_back(self):
        self.d.get(f"file://{self.page}#step=99")
        self.ask("45")
        self.key(Keys.END)
        want = text_pictures(draw("10\n50 40 30 20 10 60 70 35 36 45\n")[0])
        self.assertEqual(want[-1], self.shown())
        self.assertTrue(self.d.find_element(By.ID, "differs").is_displayed())
        self.d.find_element(By.XPATH, "//button[.='Undo']").click()
        self.key(Keys.END)
        self.assertEqual(text_pictures(self.out)[-1], self.shown())
        self.ask("7")
        self.d.find_element(By.XPATH, "//button[.='Back to the recorded run']").click()
        self.assertEqual(len(text_pictures(self.out)), self.steps())
        self.assertFalse(self.d.find_element(By.ID, "differs").is_displayed())

    # From step 8, in the middle of inserting 10, 10 goes in whole first.
    def test_insert_from_the_middle(self):
        self.d.get(f"file://{self.page}#step=8")
        self.assertIn("insert 10 (step 2 of 3)", self.shown()[0])
        self.ask("25")
        self.key(Keys.END)
        want = text_pictures(draw("6\n50 40 30 20 10 25\n")[0])
        self.assertEqual(want[-1], self.shown())
        self.assertEqual(len(want), self.steps())

    # Undo goes back to the very step that was shown, mid-insertion too.
    def test_undo_returns_to_the_step_shown(self):
        self.d.get(f"file://{self.page}#step=8")
        before = self.shown()
        self.ask("25")
        self.d.find_element(By.XPATH, "//button[.='Undo']").click()
        self.assertEqual(before, self.shown())
        self.assertTrue(self.d.current_url.endswith("#step=8"))

    def test_bad_value_changes_nothing(self):
        load(self.d, f"file://{self.page}#step=5")
        for bad in ("abc", "1.5", "2147483648"):
            self.ask(bad)
            self.assertNotEqual("", self.d.find_element(By.ID, "valueMessage").text)
            self.assertEqual(len(text_pictures(self.out)), self.steps())
            self.assertTrue(self.d.current_url.endswith("#step=5"))

    # The answers of the run shown make the same steps in the programs.
    def test_answers_back_to_the_terminal(self):
        self.d.get(f"file://{self.page}#step=99")
        self.ask("45")
        self.ask("40", "Look up")
        self.d.find_element(By.ID, "saveAnswers").click()
        path = os.path.join(WORK, "answers.txt")
        wait_until(lambda: os.path.exists(path), "no answers.txt downloaded")
        answers = open(path).read()
        os.remove(path)
        self.assertEqual("10\n50 40 30 20 10 60 70 35 36 45\n40\n", answers)
        drawn = text_pictures(draw(answers)[0])
        self.assertEqual(len(drawn), self.steps())
        self.key(Keys.END)
        self.assertEqual(drawn[-1], self.shown())
        traced = subprocess.run([ROTATREE], input=answers, capture_output=True,
                                text=True)
        self.assertEqual(0, traced.returncode)
        self.assertEqual(len(drawn) - 2, traced.stdout.count("In Insert!"))

    def test_new_run_from_answers(self):
        self.d.get(f"file://{self.page}")
        self.d.find_element(By.XPATH, "//summary[.='A new run from answers']").click()
        self.d.find_element(By.ID, "answers").send_keys("3\n5 1 x 4")
        self.d.find_element(By.XPATH, "//button[.='Start this run']").click()
        self.assertEqual("rotadraw: element 3: not a number",
                         self.d.find_element(By.ID, "answersMessage").text)
        self.assertEqual(text_pictures(draw("2\n5 1\n")[0])[-1], self.shown())
        # A run that comes while every step shows: the address and the view
        # agree on where it is.
        self.d.execute_script("document.getElementById('answers').value = '3 7 8 9 1'; "
                              "document.getElementById('newRun').click(); "
                              "location.hash = '#all'")
        wait_until(lambda: "search 1" in self.d.find_element(By.ID, "pictures").text +
                   self.d.find_element(By.ID, "heading").text, "the run never came")
        self.assertEqual(self.d.current_url.endswith("#all"),
                         self.d.find_element(By.ID, "all").is_displayed())


class Practice(OneBrowser):
    """The reader does the balancing; each move is judged against the
    module, whose turns at each level rotadraw's headings give."""

    def setUp(self):
        _, self.page = draw(NINE)
        load(self.d, "about:blank")

    def start(self, seed):
        load(self.d, f"file://{self.page}#practise={seed}")
        values = self.d.find_element(By.ID, "practise-values").text.split()
        out = draw(f"{len(values)}\n{' '.join(values)}\n")[0]
        pictures = text_pictures(out)
        # Each level after the first value's: the turns it makes, in order.
        levels = [re.findall(r"(right|left) at (-?\d+)", h) for h, _ in pictures[1:]]
        return values, levels, pictures[-1][1]

    def press(self, name):
        self.d.find_element(By.XPATH, f"//main[@id='practise']//button[.='{name}']").click()
        return self.d.find_element(By.ID, "verdict").text

    def choose(self, value):
        for g in self.d.find_elements(By.CSS_SELECTOR, "#practisePicture g.node"):
            if g.find_element(By.CSS_SELECTOR, "text.value").text == str(value):
                g.click()
                return
        self.fail(f"no node {value}")

    # Each level played as the module plays it; `wrong(i, turns)` may make
    # one wrong move at level i instead, which ends that level.
    def play(self, levels, wrong=None):
        for i, turns in enumerate(levels):
            if wrong and wrong(i, turns):
                continue
            for side, value in turns:
                self.choose(value)
                self.assertTrue(self.press(f"Turn {side}").startswith("Right"))
            self.assertTrue(self.press("No more turns").startswith("Right"))

    def practised(self):
        return shape(self.d.execute_script(SHOWN, "#practisePicture")[0])

    def test_played_right_to_the_end(self):
        values, levels, last = self.start(7)
        self.assertEqual(10, len(values))
        self.play(levels)
        self.assertEqual(f"{len(levels)} of {len(levels)} levels right",
                         self.d.find_element(By.ID, "score").text)
        self.assertIn("done", self.d.find_element(By.ID, "verdict").text)
        self.assertEqual(last, self.practised())

    # "No more turns" while turns remain, a turn at the wrong node and a
    # turn the wrong way: each is "Not quite", said in the words of
    # --explain, and the level is finished as the module does.
    def test_wrong_moves(self):
        values, levels, last = self.start(7)
        turning = [i for i, t in enumerate(levels) if t]
        self.assertGreaterEqual(len(turning), 3)
        said = []

        def wrong(i, turns):
            if i not in turning[:3]:
                return False
            side, value = turns[0]
            other = "left" if side == "right" else "right"
            if i == turning[0]:
                said.append(self.press("No more turns"))
            elif i == turning[1]:
                self.choose(next(v for v in values if v != value))
                said.append(self.press(f"Turn {side}"))
            else:
                self.choose(value)
                said.append(self.press(f"Turn {other}"))
            return True
        self.play(levels, wrong)
        for verdict in said:
            self.assertTrue(verdict.startswith("Not quite"), verdict)
            self.assertRegex(verdict, r"-?\d+: left \d+, right \d+: turned (left|right)")
        self.assertTrue(self.d.find_element(By.ID, "score").text.startswith(
            f"{len(levels) - 3} of {len(levels)}"))
        self.assertEqual(last, self.practised())

    # A seed gives the same values, here and by its address; Leave practice
    # goes back to the step shown, the run as it was.
    def test_seed_and_leaving(self):
        load(self.d, f"file://{self.page}#step=5")
        heading = self.d.find_element(By.ID, "heading").text
        values = self.start("monday")[0]
        node = self.d.find_elements(By.CSS_SELECTOR, "#practisePicture g.node")[0]
        self.d.execute_script("arguments[0].focus()", node)
        node.send_keys(Keys.ENTER)
        self.assertEqual("true", self.d.find_elements(
            By.CSS_SELECTOR, "#practisePicture g.node")[0].get_attribute("aria-pressed"))
        self.press("Try again")
        self.assertEqual(values, self.d.find_element(By.ID, "practise-values").text.split())
        self.assertNotEqual(values, self.start("tuesday")[0])
        self.assertEqual(values, self.start("monday")[0])
        load(self.d, f"file://{self.page}#step=5")
        self.d.find_element(By.ID, "practiseSeeded").click()
        self.assertRegex(self.d.current_url, r"#practise=\d+$")
        self.press("Leave practice")
        self.assertEqual(heading, self.d.find_element(By.ID, "heading").text)
        self.assertTrue(self.d.current_url.endswith("#step=5"))

    # Any seed's address, once practice has written it back, opens the same
    # exercise; one that can't be read is said, over the run's first step.
    def test_address_round_trips(self):
        for seed in ("100%25", "%2525", "a%0Ab", "%20x%20", "%00", "%F0%9F%98%80"):
            values = self.start(seed)[0]
            url = self.d.current_url
            self.assertTrue(url.endswith(f"#practise={seed}"), url)
            load(self.d, url)
            self.assertEqual(values, self.d.find_element(By.ID, "practise-values").text.split())
        self.assertNotEqual(values, self.start("%F0%9F%98%81")[0])
        load(self.d, f"file://{self.page}#practise=%")
        self.assertIn("#practise=%", self.d.find_element(By.ID, "addressNote").text)
        self.assertTrue(self.d.find_element(By.ID, "heading").text.startswith("== insert 50"))
        self.assertTrue(self.d.current_url.endswith("#step=1"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
