// The web page: one self-contained file. Its markup, style and script are
// built in; between its start and its end go the record and the events in
// words, as text that the script reads. Every byte a command chose is
// escaped as the record escapes it, and so is every "<", so that nothing in
// the data can end its element or be read as markup.

#include "run.h"

extern const char pageStartText[];
extern const char pageEndText[];

// Text already escaped, with its "<"s escaped too.
static void
putData(FILE *page, const std::string &text)
{
    for (char c : text) {
        if (c == '<')
            fputs("\\x3c", page);
        else
            putc(c, page);
    }
}

void
writePage(FILE *page, const std::string &record, const Run &run)
{
    fputs(pageStartText, page);
    putData(page, record);
    fputs("</script>\n<script type=\"text/plain\" id=\"words\">\n", page);
    // The words hold paths and arguments: escaped as the record's are.
    for (const std::string &s : explainAll(run)) {
        for (char ch : s) {
            unsigned char c = (unsigned char)ch;
            if (c == '\\')
                fputs("\\\\", page);
            else if (c < 0x20 || c >= 0x7f || c == '<')
                fprintf(page, "\\x%02x", c);
            else
                putc(c, page);
        }
        putc('\n', page);
    }
    fputs(pageEndText, page);
}
