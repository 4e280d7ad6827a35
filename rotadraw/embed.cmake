# Makes page_text.cpp: the page's start and end, from page.html with
# page.css and the script (its modules as pagejoin joins them) in their
# places, split where the run goes.
# Usage: cmake -DDIR=SOURCE_DIR -DSCRIPT=page.js -DOUT=FILE
#              -DTREE_SOURCE=tree.cpp -P embed.cmake
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
file(READ ${SCRIPT} script)
string(TOLOWER "${script}${style}" lower)
string(FIND "${lower}" "</script" inside)
string(FIND "${lower}" "</style" inside2)
if(inside GREATER -1 OR inside2 GREATER -1)
    message(FATAL_ERROR "the script or page.css would end its own element")
endif()
string(REPLACE "<pre id=\"code\"></pre>" "<pre id=\"code\">${code}</pre>" html
       "${html}")
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
