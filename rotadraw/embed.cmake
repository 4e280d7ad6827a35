# Makes page_text.cpp: the page's start and end, from page.html with
# page.css and page.js in their places, split where the run goes. The
# three stay files of their own, to be read and checked as what they are.
# Usage: cmake -DDIR=SOURCE_DIR -DOUT=FILE -P embed.cmake
file(READ ${DIR}/page.html html)
file(READ ${DIR}/page.css style)
file(READ ${DIR}/page.js script)
string(TOLOWER "${script}${style}" lower)
string(FIND "${lower}" "</script" inside)
string(FIND "${lower}" "</style" inside2)
if(inside GREATER -1 OR inside2 GREATER -1)
    message(FATAL_ERROR "page.js or page.css would end its own element")
endif()
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
file(WRITE ${OUT} "// Made by embed.cmake from page.html, page.css and page.js.
extern const char pageStartText[] = R\"~~(${start})~~\";
extern const char pageEndText[] = R\"~~(${end})~~\";
")
