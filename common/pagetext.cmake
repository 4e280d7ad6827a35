# For a page's embed.cmake: write_page_text(HTML STYLE SCRIPT OUT) puts the
# style and the script into the page's markup, in its <style></style> and
# <script type="module"></script>, and writes OUT, the C++ source of
# pageStartText and pageEndText: the page split where its run goes, the
# line "<!-- the run -->".
function(write_page_text html style script out)
    string(TOLOWER "${script}${style}" lower)
    string(FIND "${lower}" "</script" inside)
    string(FIND "${lower}" "</style" inside2)
    if(inside GREATER -1 OR inside2 GREATER -1)
        message(FATAL_ERROR "the script or the style would end its own element")
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
    file(WRITE ${out} "// Made by embed.cmake from page.html, page.css and page/.
extern const char pageStartText[] = R\"~~(${start})~~\";
extern const char pageEndText[] = R\"~~(${end})~~\";
")
endfunction()
