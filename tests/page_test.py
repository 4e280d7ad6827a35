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

from selenium.webdriver.common.action_chains import ActionChains

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

    # #all=turns holds exactly the steps that turn, each with its words and
    # heights; #all has the words too.
    def test_every_step_that_turns(self):
        out, page = draw(NINE, "--explain")
        turning = [(h, lines) for (h, _), lines in zip(text_pictures(out), text_explanations(out))
                   if "rotated" in h]
        load(self.d, f"file://{page}#all=turns")
        wait_until(lambda: self.js("scrollBy(0, 500); return document.querySelectorAll("
                                   "'#pictures .still[style]').length === 0"),
                   "the pictures were never drawn")
        sections = self.d.find_elements(By.CSS_SELECTOR, "#pictures section")
        self.assertEqual([h for h, _ in turning],
                         [s.find_element(By.TAG_NAME, "h2").text for s in sections])
        self.assertEqual([lines for _, lines in turning],
                         [[li.text for li in s.find_elements(By.CSS_SELECTOR, "ul.words li")]
                          for s in sections])
        self.assertTrue(all(s.find_elements(By.CSS_SELECTOR, "text.height") for s in sections))
        self.assertEqual(f"All {len(turning)} steps that turn.",
                         self.d.find_element(By.ID, "allNote").text)
        load(self.d, f"file://{page}#all")
        second = self.d.find_elements(By.CSS_SELECTOR, "#pictures section")[1]
        self.assertEqual(text_explanations(out)[1],
                         [li.text for li in second.find_elements(By.CSS_SELECTOR, "ul.words li")])

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
                          "that differ by at most 1, or leaned right by 1", "checked 1 node: 50"],
                         [li.text for li in els("#why li")])
        self.assertEqual([50], checked())
        self.assertEqual(["if (hLeft < hRight) {"], taken())
        # What the balancing left undone, in the picture and in words.
        _, undone = draw("6\n9 16 17 31 21 1\n")
        load(self.d, f"file://{undone}#step=99999")
        self.assertEqual(["17"], [g.find_element(By.CSS_SELECTOR, "text.value").text
                                  for g in els("#picture g.node.undone")])
        self.assertIn("17 (left 0, right 2) stays out of balance: it rose in the turn at 31, "
                      "and the balancing doesn't come back to it",
                      [li.text for li in els("#why li")])
        # After a turn, a node it moved shows its heights now beside those
        # the balancing took.
        _, turned = draw("7\n50 30 70 20 40 10 5\n")
        load(self.d, f"file://{turned}#step=10")
        self.assertIn("rotated right at 50", self.d.find_element(By.ID, "heading").text)
        self.assertEqual({"50": "3|1 \u2192 1|1", "30": "2|2"}, {
            g.find_element(By.CSS_SELECTOR, "text.value").text:
            g.find_element(By.CSS_SELECTOR, "text.height").text
            for g in els("#picture g.node") if
            g.find_element(By.CSS_SELECTOR, "text.value").text in ("50", "30")})
        load(self.d, f"file://{page}#step={len(headings)}")
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
        self.key("u")
        self.key(Keys.END)
        self.assertEqual(text_pictures(self.out)[-1], self.shown())
        self.ask("7")
        self.d.find_element(By.XPATH, "//button[.='Back to the recorded run']").click()
        self.assertEqual(len(text_pictures(self.out)), self.steps())
        self.assertFalse(self.d.find_element(By.ID, "differs").is_displayed())

    # A run made on the page is in the address: reopened, the same tree at
    # the same step, and the recorded run a click away.
    def test_a_made_run_reopened_from_its_address(self):
        self.d.get(f"file://{self.page}#step=99")
        self.ask("45")
        self.key(Keys.END)
        self.key(Keys.ARROW_LEFT)
        url, shown = self.d.current_url, self.shown()
        self.assertRegex(url, r"#run=50,40,30,20,10,60,70,35,36,45&step=\d+$")
        load(self.d, url)
        self.assertEqual(shown, self.shown())
        self.assertTrue(self.d.find_element(By.ID, "differs").is_displayed())
        self.d.find_element(By.XPATH, "//button[.='Back to the recorded run']").click()
        self.assertEqual(len(text_pictures(self.out)), self.steps())
        # One the page can't make is said, and the recorded run shown.
        load(self.d, f"file://{self.page}#run=1,x&step=2")
        self.assertTrue(self.d.find_element(By.ID, "addressNote").is_displayed())
        self.assertEqual(len(text_pictures(self.out)), self.steps())

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
        # The steps are made a slice at a time; the message says "Making the
        # steps." until the last slice is done.
        message = lambda: self.d.find_element(By.ID, "answersMessage").text
        wait_until(lambda: not message().startswith("Making the steps"),
                   "the steps were never made")
        self.assertEqual("rotadraw: element 3: not a number", message())
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

    def start(self, seed=None, only_turns=False):
        address = "#practise" + ("-turns" if only_turns else "") + (
            "" if seed is None else f"={seed}")
        load(self.d, f"file://{self.page}{address}")
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

    def task(self):
        return self.d.find_element(By.ID, "task").text

    # Each level played as the module plays it; `wrong(i, turns)` may make
    # a wrong move at level i instead, and go on from there.
    def play(self, levels, wrong=None):
        for i, turns in enumerate(levels):
            if wrong and wrong(i, turns):
                continue
            for side, value in turns:
                self.choose(value)
                self.assertIn(": right, ", self.press(f"Turn {side}"))
            self.assertIn(": right, no more turns", self.press("No more turns"))

    def practised(self):
        return shape(self.d.execute_script(SHOWN, "#practisePicture")[0])

    def test_played_right_to_the_end(self):
        values, levels, last = self.start(7)
        self.assertEqual(10, len(values))
        turning = sum(1 for t in levels if t)
        self.assertGreaterEqual(turning, 3)
        self.assertEqual(f"{len(levels)} levels; at {turning} of them the balancing turns.",
                         self.d.find_element(By.ID, "practiseCount").text)
        self.play(levels)
        self.assertEqual(f"turns: {turning} of {turning} right; levels without a turn: "
                         f"{len(levels) - turning} of {len(levels) - turning} right",
                         self.d.find_element(By.ID, "score").text)
        self.assertIn("done", self.d.find_element(By.ID, "verdict").text)
        self.assertEqual(last, self.practised())

    # On the run's own values: each kind of mistake is answered in words of
    # its own, at the level it was made on, named; the level stays, its tree
    # as the module leaves it, until Go on. The levels missed open again.
    def test_each_mistake_in_its_own_words(self):
        values, levels, last = self.start()
        pictures = text_pictures(draw(NINE)[0])[1:-1]
        said = {}
        moves = {"insert 40, step 1": ([(40, "left")], "40: left 0, right 0: a difference "
                                                        "of 1 or less never turns here"),
                 "insert 30, step 2": ([(30, "right")], "30 is a child of a node that "
                                                         "turns first"),
                 "insert 10, step 2": ([], "a turn remained"),
                 "insert 70, step 2": ([(50, "right")], "50 turns left, not right"),
                 "insert 36, step 2": ([(30, "left"), (36, "left")], "one turn too many")}

        def wrong(i, turns):
            name = re.sub(r"== (insert -?\d+) \(step (\d+) of \d+\).*", r"\1, step \2",
                          pictures[i][0])
            if name not in moves:
                return False
            for value, side in moves[name][0]:
                self.choose(value)
                self.press(f"Turn {side}")
            if not moves[name][0]:
                self.press("No more turns")
            verdict = self.d.find_element(By.ID, "verdict").text
            self.assertTrue(verdict.startswith(f"{name}: not quite: "), verdict)
            self.assertIn(moves[name][1], verdict)
            self.assertIn(name, self.task())
            self.assertEqual(pictures[i][1], self.practised())
            # Drawn with the replay's marks where the balancing turned, and
            # the move tried marked where it was tried.
            marked = lambda c: [g.find_element(By.CSS_SELECTOR, "text.value").text for g in
                                self.d.find_elements(By.CSS_SELECTOR,
                                                     f"#practisePicture g.node.{c}")]
            turned = re.findall(r"(right|left) at (-?\d+)", pictures[i][0])
            self.assertEqual(sorted({v for _, v in turned}), sorted(marked("pivot")), name)
            self.assertEqual(len({v for _, v in turned}), len(marked("riser")), name)
            if moves[name][0]:
                self.assertEqual([str(moves[name][0][-1][0])], marked("tried"), name)
            said[name] = verdict
            self.press("Go on")
            return True
        self.play(levels, wrong)
        self.assertEqual(sorted(moves), sorted(said))
        self.assertEqual(last, self.practised())
        missed = self.d.find_elements(By.CSS_SELECTOR, "#missedLevels button")
        self.assertEqual(sorted(moves), sorted(b.text for b in missed))
        name = missed[1].text
        missed[1].click()
        self.assertIn(name, self.task())

    # Tab goes through the nodes in the order of their values, as the keys
    # say, once the tree has grown and turned.
    def test_tab_in_order(self):
        _, levels, _ = self.start()
        for turns in levels[:12]:
            for side, value in turns:
                self.choose(value)
                self.press(f"Turn {side}")
            self.press("No more turns")
        nodes = self.d.find_elements(By.CSS_SELECTOR, "#practisePicture g.node")
        self.d.execute_script("arguments[0].focus()", nodes[0])
        seen = []
        for _ in nodes:
            seen.append(int(self.d.execute_script(
                "return document.activeElement.querySelector('text.value').textContent")))
            self.d.switch_to.active_element.send_keys(Keys.TAB)
        self.assertGreater(len(seen), 4)
        self.assertEqual(sorted(seen), seen)

    # A verdict counts as it is given, wrong or right, once; Try again
    # takes the level back to where its balancing began.
    def test_a_verdict_counts_at_once_and_the_level_is_tried_again(self):
        values, levels, _ = self.start()
        self.assertEqual([], levels[0])
        before = self.practised()
        self.choose(values[0])
        self.assertIn("not quite", self.press("Turn left"))
        score = lambda: self.d.find_element(By.ID, "score").text
        self.assertEqual("turns: 0 of 0 right; levels without a turn: 0 of 1 right", score())
        self.assertIn(", again: ", self.press("Try again"))
        self.assertEqual(before, self.practised())
        self.assertTrue(self.d.find_element(By.ID, "turnLeft").is_enabled())
        self.press("No more turns")
        self.assertEqual("turns: 0 of 0 right; levels without a turn: 0 of 1 right", score())

    # The keys that practice lists each do what it says.
    def test_practice_keys(self):
        self.start()
        listed = [dt.text for dt in self.d.find_elements(By.CSS_SELECTOR, "#practiseKeys dt")]
        self.assertEqual(["Tab, \u2190 \u2192 \u2191 \u2193", "Enter", "l r", "n", "h"], listed)
        focused = lambda: self.d.execute_script(
            "return document.activeElement.querySelector('text.value')?.textContent")
        node = self.d.find_elements(By.CSS_SELECTOR, "#practisePicture g.node")[0]
        self.d.execute_script("arguments[0].focus()", node)
        self.assertEqual("40", focused())
        ActionChains(self.d).send_keys(Keys.ARROW_RIGHT).perform()
        self.assertEqual("50", focused())
        ActionChains(self.d).send_keys(Keys.ARROW_LEFT, Keys.ARROW_UP).perform()
        self.assertEqual("50", focused())
        ActionChains(self.d).send_keys(Keys.ARROW_DOWN, Keys.ENTER).perform()
        self.assertEqual("true", self.d.execute_script(
            "return document.activeElement.getAttribute('aria-pressed')"))
        heights = lambda: self.d.find_element(By.ID, "practiseHeights").is_selected()
        self.assertTrue(heights())
        self.key("h")
        self.assertFalse(heights())
        self.key("n")
        self.assertIn("insert 40, step 1: right", self.d.find_element(By.ID, "verdict").text)
        self.key("n")
        self.choose(50)
        self.key("r")
        self.assertIn("insert 30, step 2: right, 50 turned right",
                      self.d.find_element(By.ID, "verdict").text)
        self.key("n")
        self.choose(40)
        self.key("l")
        self.assertIn("insert 20, step 1: not quite", self.d.find_element(By.ID, "verdict").text)

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
        # The result, as one line for a teacher: the seed brings the values
        # back.
        self.press("Copy the result")
        self.assertRegex(self.d.find_element(By.ID, "resultLine").text,
                         r"^rotadraw practice, seed monday: turns: 0 of \d+ right; levels "
                         r"without a turn: 0 of \d+ right; \d{4}-\d\d-\d\d( \(copied\))?$")
        load(self.d, f"file://{self.page}#step=5")
        self.d.find_element(By.ID, "practiseSeeded").click()
        self.assertRegex(self.d.current_url, r"#practise=\d+$")
        self.press("Leave practice")
        self.assertEqual(heading, self.d.find_element(By.ID, "heading").text)
        self.assertTrue(self.d.current_url.endswith("#step=5"))

    # Any seed's address, once practice has written it back, opens the same
    # exercise; one that can't be read is said, over the run's first step.
    def test_address_round_trips(self):
        for seed in ("100%25", "%2525", "a%0Ab", "%00", "%F0%9F%98%80"):
            values = self.start(seed)[0]
            url = self.d.current_url
            self.assertTrue(url.endswith(f"#practise={seed}"), url)
            load(self.d, url)
            self.assertEqual(values, self.d.find_element(By.ID, "practise-values").text.split())
        self.assertNotEqual(values, self.start("%F0%9F%98%81")[0])
        # Trimmed and case-folded; an empty seed is said, and a fresh one drawn.
        self.assertEqual(self.start("x")[0], self.start("%20X%20")[0])
        self.assertTrue(self.d.current_url.endswith("#practise=x"))
        self.start("%20")
        self.assertIn("The seed was empty", self.d.find_element(By.ID, "verdict").text)
        self.assertRegex(self.d.current_url, r"#practise=\d+$")
        load(self.d, f"file://{self.page}#practise=%")
        self.assertIn("#practise=%", self.d.find_element(By.ID, "addressNote").text)
        self.assertTrue(self.d.find_element(By.ID, "heading").text.startswith("== insert 50"))
        self.assertTrue(self.d.current_url.endswith("#step=1"))


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1] + sys.argv[3:], verbosity=2)
