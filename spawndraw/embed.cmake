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
string(TOLOWER "${script}${style}" lower)
string(FIND "${lower}" "</script" inside)
string(FIND "${lower}" "</style" inside2)
if(inside GREATER -1 OR inside2 GREATER -1)
    message(FATAL_ERROR "the script or page.css would end its own element")
endif()
string(REPLACE "<style></style>" "<style>\n${style}</style>" html "${html}")
string(REPLACE "<script type=\"module\"></script>"
       "<script type=\"module\">\n${script}</script>" html "${html}")
string(FIND "${html}" ")~~\"" clash)
set(mark "<!-- the run -->\n")
string(FIND "${html}" "${mark}" at)
if(at EQUAL -1 OR clash GREATER -1)
    message(FATAL_ERROR "page.html: no place for the run, or a raw string's end")
endif()
string(SUBSTRING "${html}" 0 ${at} start)
string(LENGTH "${mark}" skip)
math(EXPR at "${at} + ${skip}")
string(SUBSTRING "${html}" ${at} -1 end)
file(WRITE ${OUT} "// Made by embed.cmake from page.html, page.css and page/.
extern const char pageStartText[] = R\"~~(${start})~~\";
extern const char pageEndText[] = R\"~~(${end})~~\";
")
