"""spawndraw's page in a real browser: recorded runs replayed, and held to
their records; the orders worked out; bytes a command chose shown as text.
Usage: spawndraw_page_test.py SPAWNDRAW RECORDS_DIR [EXERCISES_DIR]"""
import os
import re
import subprocess
import sys
import unittest

import page  # exits 77 without a browser to drive
from page import By, OneBrowser, load

SPAWNDRAW, RECORDS = sys.argv[1], sys.argv[2]
PACK = sys.argv[3] if len(sys.argv) > 3 else ""


def events(name):
    """The record's events as (pid, kind, fields), its escapes undone."""
    out = []
    with open(os.path.join(RECORDS, name), encoding="latin-1") as f:
        for line in f.read().split("\n")[1:]:
            parts = line.split("\t")
            if len(parts) >= 4:
                fields = [re.sub(r"\\(\\|x([0-9a-f]{2}))",
                                 lambda m: chr(int(m[2], 16)) if m[2] else "\\", p)
                          for p in parts[4:]]
                out.append((int(parts[2]), parts[3], fields))
    return out


def made(name, text=None, *options):
    """The page of a record in the records or of the record `text`, made
    with options."""
    path = os.path.join(page.WORK, f"s{len(os.listdir(page.WORK))}.html")
    source = os.path.join(RECORDS, name)
    if text is not None:
        source = os.path.join(page.WORK, name)
        with open(source, "w", encoding="latin-1") as f:
            f.write(text)
    run = subprocess.run([SPAWNDRAW, "--from", source, "--html", path, *options],
                         capture_output=True)
    assert run.returncode == 0, run.stderr
    return "file://" + path


class Page(OneBrowser):
    def open(self, url):
        load(self.d, url)
        self.d.find_element(By.ID, "heading")

    def tearDown(self):
        errors = [l for l in self.d.get_log("browser") if l["level"] == "SEVERE"]
        self.assertEqual([], errors)

    def js(self, script, *args):
        return self.d.execute_script(script, *args)

    def tree(self):
        """{pid: (program, parent pid)} as the picture's words say."""
        text = self.d.find_element(By.ID, "treeText").get_attribute("textContent")
        found = {}
        for part in text.split(": ", 1)[1].rstrip(".").split("; "):
            m = re.match(r"(\d+) (\S+), (?:child of (\d+)|spawndraw itself)", part)
            found[int(m[1])] = (m[2], int(m[3] or 0))
        return found

    def test_the_launchers_tree_at_three_events(self):
        record = events("launchers.events")
        url = made("launchers.events")
        for k in (3, 12, len(record)):
            # The tree the record makes up to event k, replayed here.
            want, program = {}, {}
            for pid, kind, f in record[:k]:
                if kind == "begin":
                    want[pid], program[pid] = ("spawndraw", 0), "spawndraw"
                elif kind == "fork":
                    want[int(f[0])] = (program[pid], pid)
                    program[int(f[0])] = program[pid]
                elif kind == "exec":
                    program[pid] = f[0].rsplit("/", 1)[-1]
                    want[pid] = (program[pid], want[pid][1])
            self.open(f"{url}#event={k}")
            self.assertEqual(want, self.tree(), f"event {k}")
            self.assertEqual(len(want), self.js(
                "return document.querySelectorAll('#tree g.node').length"))

    def test_an_exec_renames_its_node(self):
        record = events("launchers.events")
        k = next(i for i, (_, kind, f) in enumerate(record)
                 if kind == "exec" and f[0].endswith("/b.o")) + 1
        url = made("launchers.events")
        names = []
        for at in (k - 1, k):
            self.open(f"{url}#event={at}")
            names.append(self.js("""return [...document.querySelectorAll(
                '#tree g.node')].map(g => g.querySelector('.program').textContent)"""))
        self.assertNotIn("b.o", names[0])
        self.assertIn("b.o", names[1])

    def test_a_zombie_then_gone_and_an_orphan_adopted(self):
        record = events("zombie.events")
        end, gone = (next(i for i, (_, kind, _) in enumerate(record) if kind == k) + 1
                     for k in ("exit", "reaped"))
        url = made("zombie.events")
        for at, state in ((end, "zombie"), (gone - 1, "zombie"), (gone, "gone")):
            self.open(f"{url}#event={at}")
            self.assertEqual(1, self.js(
                f"return document.querySelectorAll('#tree g.node.{state}').length"), at)
        # An end its parent was waiting for is no zombie: b.o's, at event 20.
        self.open(f"{made('launchers.events')}#event=20")
        self.assertEqual([0, 1], self.js("return ['zombie', 'ended'].map(c => "
                                         "document.querySelectorAll('#tree g.node.' + c).length)"))
        record = events("orphan.events")
        at = next(i for i, (_, kind, _) in enumerate(record) if kind == "adopted") + 1
        self.open(f"{made('orphan.events')}#event={at}")
        self.assertEqual(1, self.js(
            "return document.querySelectorAll('#tree line.edge.adopted').length"))
        self.assertIn("1\ninit", self.js(
            "return [...document.querySelectorAll('#tree g.outside')].map(g => g.textContent.replace(/(\\d)(\\D)/, '$1\\n$2')).join()"))
        # The timeline: the orphan left in the background as the command
        # ended, the shell's poll apart from a wait, SIGCHLD faint and hidden.
        marks = lambda: self.js("return [...document.querySelectorAll('#timeline .mark')]"
                                ".map(m => m.firstChild.textContent + (m.classList.contains('faint') ? '-' : ''))")
        self.assertEqual(1, marks().count("&"))
        self.assertIn("CHLD-", marks())
        self.d.find_element(By.ID, "showChld").click()
        self.assertNotIn("CHLD-", marks())
        # Still under the process that made it, a solid edge from its maker.
        orphan = record[at - 1][0]
        maker = next(pid for pid, kind, f in record if kind == "fork" and f[0] == str(orphan))
        self.assertEqual(1, self.js(
            """const top = (pid) => [...document.querySelectorAll('#tree g.node')]
                 .find(g => g.querySelector('.pid').textContent.endsWith(pid))
                 .getBoundingClientRect();
               const [m, o] = [top(arguments[0]), top(arguments[1])];
               return [...document.querySelectorAll('#tree line.edge:not(.adopted)')]
                 .filter(l => { const r = l.getBoundingClientRect();
                   return Math.abs(r.top - m.bottom) < 2 && Math.abs(r.bottom - o.top) < 2; })
                 .length""", str(maker), str(orphan)))

    def test_time_to_scale_cuts_a_long_gap_short(self):
        # The orphan's parent sleeps: to scale, the longest gap is cut short
        # and says how long it was.
        with open(os.path.join(RECORDS, "orphan.events"), encoding="latin-1") as f:
            times = [int(l.split("\t")[1]) for l in f.read().split("\n")[1:] if l]
        gap = max(b - a for a, b in zip(times, times[1:]))
        self.open(made("orphan.events"))
        cuts = lambda: self.js("return [...document.querySelectorAll('#timeline .cut text')]"
                               ".map(t => t.textContent)")
        self.assertEqual([], cuts())
        self.d.find_element(By.ID, "toScale").click()
        self.assertEqual([f"\u2248 {float(f'{gap / 1000:.3g}'):g} ms"], cuts())

    def test_printed_whole_as_the_run_ended(self):
        n = len(events("launchers.events"))
        self.open(made("launchers.events") + "#event=5")
        self.d.execute_cdp_cmd("Emulation.setEmulatedMedia", {"media": "print"})
        try:
            page.wait_until(lambda: self.js(
                "return document.querySelectorAll('#timePrint svg').length") > 1,
                "the timeline is not printed in blocks")
            self.assertTrue(self.d.find_element(By.ID, "heading").text
                            .startswith(f"Event {n} of {n}:"))
            blocks = self.js("""return [...document.querySelectorAll('#timePrint svg')]
                .map(s => [s.dataset.to, s.getBoundingClientRect().right])""")
            self.assertEqual(str(n), blocks[-1][0])
            width = self.js("return document.documentElement.clientWidth")
            for _, right in blocks:
                self.assertLessEqual(right, width)
        finally:
            page.reduce_motion(self.d, True)
        page.wait_until(lambda: self.d.find_element(By.ID, "heading").text
                        .startswith(f"Event 5 of {n}:"), "not back at the event shown")

    def test_each_line_of_output_after_its_writer(self):
        want = []
        for pid, kind, f in events("launchers.events"):
            if kind == "write":
                want += [str(pid)] * f[2].count("\n")
        self.open(made("launchers.events"))
        self.assertEqual(want, self.js(
            "return [...document.querySelectorAll('#lines li .who')].map(w => w.textContent)"))

    def tables(self):
        """Each node's pid and the descriptor table beneath it."""
        return self.js("return [...document.querySelectorAll('g.node')].map("
                       "g => g.querySelector('.pid').textContent + ' ' + "
                       "(g.querySelector('.fds')?.textContent ?? ''))")

    def test_a_pipe_from_its_writer_to_its_reader(self):
        evs = events("pipeline.events")
        # The event where wc reads what ls wrote into pipe 1.
        k = next(i for i, (pid, kind, f) in enumerate(evs)
                 if kind == "readfrom" and f[1] == "pipe 1" and f[2] != "0")
        ls = next(pid for pid, kind, f in evs if kind == "writeinto" and f[1] == "pipe 1")
        wc = evs[k][0]
        self.open(made("pipeline.events") + f"#event={k + 1}")
        fds = self.tables()
        self.assertIn(f"{ls} 1\u2192pipe 1", fds)
        self.assertIn(f"\u25C6 {wc} 0\u2190pipe 1", fds)
        link = self.d.find_element(By.CSS_SELECTOR, "g.pipe.flowing")
        link.click()
        self.assertEqual(f"pipe 1: written by {ls} (ls) as descriptor 1; read by {wc} (wc) "
                         "as descriptor 0",
                         self.d.find_element(By.ID, "standing").text)
        # A program's own pipe: its ends above 2 in each table, to their
        # close, and one link, from the child that writes to the parent.
        evs = events("child-pipe.events")
        k = next(i for i, (pid, kind, f) in enumerate(evs) if kind == "readfrom" and f[2] != "0")
        parent, child = evs[k][0], next(pid for pid, kind, f in evs if kind == "writeinto")
        self.open(made("child-pipe.events") + f"#event={k + 1}")
        fds = self.tables()
        self.assertIn(f"\u25C6 {parent} 3\u2190pipe 1", fds)
        self.assertIn(f"{child} 3\u2190pipe 1 4\u2192pipe 1", fds)
        self.assertEqual([f"pipe 1: written by {child} (spawn_cases) as descriptor 4; read by "
                          f"{parent} (spawn_cases) as descriptor 3, {child} (spawn_cases) as "
                          "descriptor 3"],
                         self.js("return [...document.querySelectorAll('g.pipe')]"
                                 ".map(g => g.dataset.words)"))

    def test_a_line_a_fork_copied_is_explained(self):
        self.open(made("buffered.events"))
        note = self.d.find_element(By.ID, "bufferNote")
        self.assertTrue(note.is_displayed())
        self.assertIn("comes 4 times", note.text)
        self.assertEqual(3, self.js("return document.querySelectorAll('#lines .copied').length"))
        self.open(made("forkfork.events"))
        self.assertFalse(self.d.find_element(By.ID, "bufferNote").is_displayed())

    def test_the_orders_that_were_possible(self):
        for name, said in (("p2spawn.events", "One order only"),
                           ("forkfork.events", "24 orders"),
                           ("launchers.events", "462 orders")):
            self.open(made(name))
            text = self.d.find_element(By.ID, "ordersText").text
            self.assertIn(said, text, name)
        self.open(made("p2spawn.events"))
        self.assertRegex(self.d.find_element(By.ID, "ordersText").text,
                         r"every line of \d+ comes before \d+'s because \d+ "
                         r"waited for \d+ before forking \d+")

    def test_hostile_bytes_are_shown_as_text(self):
        hostile = ["<script>alert(1)</script>\\x0a", "</script>\\x0a",
                   "\\xff\\xfe ok\\x0a", "a\\x00b\\x0a", "<b>&amp;</b>\\x0a"]
        text = ("spawndraw-events\t1\n1\t0\t10\tbegin\tfiltered\t<i>x</i>\n"
                "2\t1\t10\tfork\t11\n" +
                "".join(f"{3 + i}\t{5 + i}\t11\twrite\t1\t9\t{h}\n"
                        for i, h in enumerate(hostile)) +
                "9\t20\t11\texit\texited\t0\n")
        source = os.path.join(page.WORK, "hostile.c")
        program = "/* </script><b>bold</b> */\nint main(void) { return '\\0' < 1; }\n\xe9\n"
        with open(source, "w", encoding="utf-8") as f:
            f.write(program)
        self.open(made("hostile.events", text, "--source", source) + "#predict")
        self.assertEqual(4, self.js("return document.scripts.length"))
        self.assertEqual(program, self.js("return document.getElementById('source').textContent"))
        self.assertEqual("</script><b>bold</b>", self.d.find_element(By.ID, "about").text)
        self.d.get(self.d.current_url.replace("#predict", "#event=1"))
        self.d.refresh()
        lines = self.js("""return [...document.querySelectorAll('#lines li')]
            .map(li => li.textContent.replace(/^11 /, ''))""")
        self.assertEqual(["<script>alert(1)</script>", "</script>",
                          "\\xff\\xfe ok", "a\\x00b", "<b>&amp;</b>"], lines)
        self.assertIn("<i>x</i>", self.d.find_element(By.ID, "title").text)
        self.assertEqual(0, self.js("return document.querySelectorAll('#lines b, h1 i').length"))


class Predicting(OneBrowser):
    window = dict(size=(1280, 900))

    def form(self):
        return self.d.find_elements(By.CSS_SELECTOR, "form.question")[-1]

    def check(self):
        """Checks the question by the keyboard, and returns its verdict."""
        button = self.form().find_element(By.CSS_SELECTOR, "button[type=submit]")
        button.send_keys(page.Keys.ENTER)
        verdict = self.form().find_element(By.CLASS_NAME, "verdict")
        page.wait_until(lambda: verdict.text, "no verdict")
        self.assertEqual("status", verdict.get_attribute("role"))
        return verdict.text

    def next(self):
        # The way on has the focus: Enter takes it.
        self.d.switch_to.active_element.send_keys(page.Keys.ENTER)

    def test_answered_by_keys_graded_at_once_and_scored(self):
        record = events("forkfork.events")
        forked = {f[0]: str(pid) for pid, kind, f in record if kind == "fork"}
        self.d.get(made("forkfork.events", None, "--predict"))
        self.d.find_element(By.ID, "heading")
        self.assertFalse(self.d.find_element(By.ID, "one").is_displayed())
        # How many: the command made three.
        self.assertIn("Question 1", self.form().text)
        self.form().find_element(By.TAG_NAME, "input").send_keys("3")
        self.assertIn("\u2713 processes made: right", self.check())
        self.next()
        # The tree, each process put under its parent by the arrow keys.
        for select in self.form().find_elements(By.TAG_NAME, "select"):
            child = select.find_element(By.XPATH, "..").text.split()[0]
            for _ in range(8):
                select.send_keys(page.Keys.ARROW_DOWN)
                chosen = self.js("return arguments[0].selectedOptions[0].text", select)
                if chosen.startswith(forked[child] + " "):
                    break
        verdict = self.check()
        self.assertIn("2 of 2 right.", verdict)
        self.assertIn("\u2514\u2500 ", verdict)  # the tree, shown
        self.next()
        # Who wrote what, answered with nothing: told who did, and why.
        verdict = self.check()
        self.assertRegex(verdict, r"\u2717 \u201cpid \d+, parent \d+\u201d was written by: "
                                  r"wrong\. \u201cpid \d+, parent \d+\u201d was "
                                  r"written by \d+: \d+ \(forkfork\) writes")
        # The rest unanswered, to the score.
        while not self.d.find_element(By.ID, "scored").is_displayed():
            self.next()
            if not self.d.find_element(By.ID, "scored").is_displayed():
                self.check()
        score = self.d.find_element(By.ID, "score").text.split("\n")
        self.assertEqual(["how many: 1 of 1", "the tree: 2 of 2"], score[:2])
        self.assertRegex(score[2], r"^who wrote what: 0 of \d+$")
        self.d.find_element(By.ID, "seeRun").click()
        page.wait_until(lambda: self.d.find_element(By.ID, "one").is_displayed(),
                        "the run is not shown")

    def test_an_exercise_of_the_pack(self):
        if not os.path.exists(f"{PACK}/fork-twice.html"):
            self.skipTest("no pack of exercises made (ptrace refused?)")
        self.d.set_window_size(390, 844)
        try:
            load(self.d, f"file://{PACK}/fork-twice.html")
            self.d.find_element(By.ID, "heading")
            self.assertIn("Fork twice.", self.d.find_element(By.ID, "about").text)
            self.assertIn("fork();", self.d.find_element(By.ID, "source").text)
            self.assertLessEqual(self.js("return document.documentElement.scrollWidth"), 390)
        finally:
            self.d.set_window_size(1280, 900)


class OnAPhone(OneBrowser):
    window = dict(size=(390, 844), touch=True)

    def test_nothing_wider_than_the_screen(self):
        load(self.d, made("launchers.events") + "#event=20")
        self.d.find_element(By.ID, "heading")
        width, least = self.d.execute_script("""return [document.documentElement.scrollWidth,
            Math.min(...[...document.querySelectorAll('button, select')]
                     .map(b => b.getBoundingClientRect().height))]""")
        self.assertLessEqual(width, 390)
        self.assertGreaterEqual(least, 40)


class OnADesk(OneBrowser):
    window = dict(size=(1280, 900))

    def test_eight_children_scroll_in_their_box_unclipped(self):
        for at in ("", "#event=20"):
            load(self.d, made("eight.events") + at)
            self.d.find_element(By.ID, "heading")
            page_width, box, svg, nodes = self.d.execute_script("""
                const r = (e) => { const b = e.getBoundingClientRect(); return [b.left, b.right]; };
                const p = document.getElementById('picture');
                return [document.documentElement.scrollWidth, [...r(p), p.scrollWidth],
                        r(document.getElementById('tree')),
                        [...document.querySelectorAll('#tree g.node rect')].map(r)];""")
            self.assertLessEqual(page_width, 1280)
            self.assertEqual(10 if at == "" else 9, len(nodes))
            for left, right in nodes:
                self.assertGreaterEqual(left, svg[0], at)
                self.assertLessEqual(right, svg[1], at)
            self.assertGreaterEqual(box[2], svg[1] - svg[0])


class OnAProjector(OneBrowser):
    # 1280x720 at 160%: 800x450 in the page's pixels.
    window = dict(size=(1280, 720))

    def test_large_text_keeps_the_tree_and_the_event_in_view(self):
        self.d.execute_cdp_cmd("Emulation.setDeviceMetricsOverride", {
            "width": 800, "height": 450, "deviceScaleFactor": 1.6, "mobile": False})
        url = made("launchers.events")
        size = lambda: self.d.execute_script("return parseFloat(getComputedStyle("
                                             "document.getElementById('heading')).fontSize)")
        load(self.d, url + "#event=20")
        self.d.find_element(By.ID, "heading")
        plain = size()
        load(self.d, url.replace(".html", ".html?projector") + "#event=20")
        self.assertTrue(self.d.find_element(By.ID, "large").is_selected())
        self.assertAlmostEqual(1.5 * plain, size(), delta=0.5)
        for _ in range(3):
            marked, picture, words = self.d.execute_script("""
                const box = (e) => { const r = e.getBoundingClientRect();
                                     return [r.left, r.top, r.right, r.bottom]; };
                return [box(document.querySelector('#tree g.node.marked rect')),
                        box(document.getElementById('picture')),
                        box(document.getElementById('sentence'))];""")
            self.assertLessEqual(picture[3], 450)
            self.assertLessEqual(marked[3], picture[3])
            self.assertGreaterEqual(marked[1], picture[1])
            self.assertLess(words[1], 450)
            self.d.find_element(By.TAG_NAME, "body").send_keys("\ue014")  # right
        # Stepping keeps it in the address.
        self.assertIn("?projector#event=23", self.d.current_url)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=1)
