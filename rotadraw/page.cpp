// The web page: one self-contained file, its style and script inline, with
// an SVG picture per step. Without the script it is a plain page of all the
// pictures; with it, one picture at a time, stepped with buttons or the
// arrow keys.

#include "draw.h"

static const char head[] = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>rotadraw: the tree, step by step</title>
<style>
body { font-family: sans-serif; margin: 1.5em; color: #222; background: #fff; }
h2 { font: 600 1em monospace; margin: 1.2em 0 .4em; }
section { overflow-x: auto; }
svg { display: block; }
.edge { stroke: #868e96; stroke-width: 2; }
.edge.path { stroke: #1c7ed6; stroke-width: 4; }
.node { fill: #fff; stroke: #495057; stroke-width: 2; }
.node.moved { fill: #ffd43b; stroke: #e67700; }
.node.path { fill: #a5d8ff; stroke: #1c7ed6; }
text { font: 14px monospace; text-anchor: middle; fill: #222; }
.key { display: inline-block; width: .9em; height: .9em; border-radius: 50%;
       border: 2px solid; vertical-align: middle; }
.key.moved { background: #ffd43b; border-color: #e67700; }
.key.path { background: #a5d8ff; border-color: #1c7ed6; }
nav { position: sticky; top: 0; background: #fff; padding: .5em 0; }
</style>
</head>
<body>
<h1>The tree, step by step</h1>
<p><span class="key moved"></span> new, or moved in this step
&nbsp; <span class="key path"></span> the lookup's way down</p>
<nav id="nav" hidden>
<button id="prev">&#9664; Previous</button>
<span id="where"></span>
<button id="next">Next &#9654;</button>
<span>(or the arrow keys)</span>
</nav>
)";

static const char tail[] = R"(<script>
(function () {
  var steps = document.querySelectorAll("section.step"), at = 0;
  if (steps.length === 0)
    return;
  function show(k) {
    at = Math.max(0, Math.min(steps.length - 1, k));
    for (var j = 0; j < steps.length; j++)
      steps[j].hidden = j !== at;
    document.getElementById("where").textContent =
      "step " + (at + 1) + " of " + steps.length;
  }
  document.getElementById("prev").onclick = function () { show(at - 1); };
  document.getElementById("next").onclick = function () { show(at + 1); };
  document.addEventListener("keydown", function (e) {
    if (e.key === "ArrowLeft") show(at - 1);
    if (e.key === "ArrowRight") show(at + 1);
  });
  document.getElementById("nav").hidden = false;
  show(0);
})();
</script>
</body>
</html>
)";

void
pageStart(FILE *page)
{
    fputs(head, page);
}

// Circles wide enough for the longest value, one column per place in the
// in-order listing, one row per depth.
void
pageStep(FILE *page, const char *heading, const Layout *l)
{
    int longest = 1;
    for (size_t i = 0; i < l->n; i++) {
        int len = snprintf(nullptr, 0, "%d", l->place[i].a);
        if (len > longest)
            longest = len;
    }
    int r = 4 * longest + 10, margin = 12;
    int dx = 2 * r + 10, dy = 2 * r + 30;
    int width = 2 * margin + (l->n != 0 ? (int)l->n * dx - 10 : 0);
    int height = 2 * margin + (l->rows != 0 ? l->rows * dy - 30 : 0);

    fprintf(page, "<section class=\"step\">\n<h2>%s</h2>\n", heading);
    fprintf(page,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" "
            "height=\"%d\" viewBox=\"0 0 %d %d\" role=\"img\">\n",
            width, height, width, height);
    for (size_t i = 0; i < l->n; i++) {
        const Place &p = l->place[i];
        int children[2] = {p.left, p.right};
        for (int c : children) {
            if (c < 0)
                continue;
            bool path = p.mark == PATH && l->place[c].mark == PATH;
            fprintf(page,
                    "<line class=\"edge%s\" x1=\"%d\" y1=\"%d\" x2=\"%d\" "
                    "y2=\"%d\"/>\n",
                    path ? " path" : "", margin + (int)i * dx + r,
                    margin + p.depth * dy + r, margin + c * dx + r,
                    margin + (p.depth + 1) * dy + r);
        }
    }
    static const char *const markClass[] = {"", " moved", " path"};
    for (size_t i = 0; i < l->n; i++) {
        const Place &p = l->place[i];
        int x = margin + (int)i * dx + r, y = margin + p.depth * dy + r;
        fprintf(page,
                "<circle class=\"node%s\" cx=\"%d\" cy=\"%d\" r=\"%d\"/>"
                "<text x=\"%d\" y=\"%d\">%d</text>\n",
                markClass[p.mark], x, y, r, x, y + 5, p.a);
    }
    fputs("</svg>\n</section>\n", page);
}

void
pageEnd(FILE *page)
{
    fputs(tail, page);
}
