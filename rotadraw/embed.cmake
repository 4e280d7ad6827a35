# Makes page_text.cpp: the page's start and end, from page.html with
# page.css and the script (its modules as pagejoin joins them) in their
# places, split where the run goes.
# Usage: cmake -DDIR=SOURCE_DIR -DSCRIPT=page.js -DOUT=FILE
#              -DTREE_SOURCE=tree.cpp -DCOMMON_PAGE=DIR -P embed.cmake
file(READ ${DIR}/page.html html)
file(READ ${DIR}/page.css style)
file(READ ${COMMON_PAGE}/print.css print)
string(APPEND style "${print}")
# The balancing's own source, shown in the page as the code that ran: the
# lines that tree.cpp marks to be shown, each line that acts in an element
# that says how, its mark taken off.
file(READ ${TREE_SOURCE} tree)
set(begin "each line that ends in \"// acts: ...\" marked when it\n// does what it says, without that comment.\n")
string(FIND "${tree}" "${begin}" from)
string(FIND "${tree}" "\n// shown until here\n" to)
if(from EQUAL -1 OR to LESS from)
    message(FATAL_ERROR "${TREE_SOURCE}: no marks of the code the page shows")
endif()
string(LENGTH "${begin}" skip)
math(EXPR from "${from} + ${skip}")
math(EXPR length "${to} - ${from} + 1")
string(SUBSTRING "${tree}" ${from} ${length} code)
foreach(kind "turned right" "turned left" "leans right" "goes on down")
    string(FIND "${code}" "// acts: ${kind}\n" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "${TREE_SOURCE}: no line marked \"// acts: ${kind}\"")
    endif()
endforeach()
string(REPLACE "&" "&amp;" code "${code}")
string(REPLACE "<" "&lt;" code "${code}")
string(REPLACE ">" "&gt;" code "${code}")
string(REGEX REPLACE "([^\n]*[^ \n]) +// acts: ([a-z ]+)\n"
       "<span data-acts=\"\\2\">\\1</span>\n" code "${code}")
file(READ ${SCRIPT} script)
string(REPLACE "<pre id=\"code\"></pre>" "<pre id=\"code\">${code}</pre>" html
       "${html}")
include(${COMMON_PAGE}/../pagetext.cmake)
write_page_text("${html}" "${style}" "${script}" ${OUT})
