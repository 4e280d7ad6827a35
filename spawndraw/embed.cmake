# Makes page_text.cpp: the page's start and end, from page.html with
# page.css and the print style in its <style>, and the script (its modules
# as pagejoin joins them) in its <script>, split where the run goes.
# Usage: cmake -DDIR=SOURCE_DIR -DSCRIPT=page.js -DOUT=FILE
#              -DCOMMON_PAGE=DIR -P embed.cmake
file(READ ${DIR}/page.html html)
file(READ ${DIR}/page.css style)
file(READ ${COMMON_PAGE}/print.css print)
string(APPEND style "${print}")
file(READ ${SCRIPT} script)
include(${COMMON_PAGE}/../pagetext.cmake)
write_page_text("${html}" "${style}" "${script}" ${OUT})
