# Makes page_text.cpp: the page's start and end, from page.html with
# page.css and the script in their places, split where the run goes; and
# the script alone, joined from its files as the page holds it, so that
# the tests check what ships. The files stay files of their own, to be read
# and checked as what they are.
# Usage: cmake -DDIR=SOURCE_DIR -DSCRIPTS=A.js|B.js|... -DOUT=FILE
#              -DSCRIPT_OUT=FILE -P embed.cmake
file(READ ${DIR}/page.html html)
file(READ ${DIR}/page.css style)
string(REPLACE "|" ";" scripts "${SCRIPTS}")
set(script "")
foreach(part ${scripts})
    file(READ ${part} text)
    string(APPEND script "${text}")
endforeach()
string(TOLOWER "${script}${style}" lower)
string(FIND "${lower}" "</script" inside)
string(FIND "${lower}" "</style" inside2)
if(inside GREATER -1 OR inside2 GREATER -1)
    message(FATAL_ERROR "the script or page.css would end its own element")
endif()
file(WRITE ${SCRIPT_OUT} "${script}")
string(REPLACE "<style></style>" "<style>\n${style}</style>" html "${html}")
string(REPLACE "<script></script>" "<script>\n${script}</script>" html "${html}")
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
