// Files the page gives the reader: the picture shown, as SVG, and the
// answers of the run shown.

import {download, downloadSvg} from "../../common/page/download.js";
import {answersOf} from "./answers.js";

export function saveSvg(page) {
  downloadSvg(page.live.svg, `rotadraw-step-${page.cursor.at + 1}.svg`);
}

export function saveAnswers(page) {
  download(new Blob([answersOf(page.cursor.steps)], {type: "text/plain"}),
           "answers.txt");
}
