# Makes page_text.cpp: the page's start and end, from page.html with
# page.css and the script in their places, split where the run goes; and
# the script alone, joined from its files as the page holds it, so that
# the tests check what ships. The files stay files of their own, to be read
# and checked as what they are.
# Usage: cmake -DDIR=SOURCE_DIR -DSCRIPTS=A.js|B.js|... -DOUT=FILE
#              -DSCRIPT_OUT=FILE -DTREE_SOURCE=tree.cpp -P embed.cmake
file(READ ${DIR}/page.html html)
file(READ ${DIR}/page.css style)
# The balancing's own source, shown in the page as the code that ran: from
# the comment above balancer to its closing brace.
file(READ ${TREE_SOURCE} tree)
string(FIND "${tree}" "// The heights are taken once" from)
string(FIND "${tree}" "Tree *\nbalancer(Tree *top)\n{" head)
if(from EQUAL -1 OR head EQUAL -1 OR from GREATER head)
    message(FATAL_ERROR "${TREE_SOURCE}: no balancer to show")
endif()
string(SUBSTRING "${tree}" ${head} -1 rest)
string(FIND "${rest}" "\n}\n" end)
math(EXPR length "${head} - ${from} + ${end} + 2")
string(SUBSTRING "${tree}" ${from} ${length} code)
string(REPLACE "&" "&amp;" code "${code}")
string(REPLACE "<" "&lt;" code "${code}")
string(REPLACE ">" "&gt;" code "${code}")
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
string(REPLACE "<pre id=\"code\"></pre>" "<pre id=\"code\">${code}</pre>" html
       "${html}")
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
