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

// Text of any bytes, escaped as the record escapes them, "<" too.
static void
putEscaped(FILE *page, const std::string &text)
{
    for (char ch : text) {
        unsigned char c = (unsigned char)ch;
        if (c == '\\')
            fputs("\\\\", page);
        else if (c < 0x20 || c >= 0x7f || c == '<')
            fprintf(page, "\\x%02x", c);
        else
            putc(c, page);
    }
}

void
writePage(FILE *page, const std::string &record, const Run &run,
          const Exercise &exercise)
{
    fputs(pageStartText, page);
    putData(page, record);
    fputs("</script>\n<script type=\"text/plain\" id=\"words\">\n", page);
    // The words hold paths and arguments: escaped as the record's are.
    for (const std::string &s : explainAll(run)) {
        putEscaped(page, s);
        putc('\n', page);
    }
    // A line for what the page asks, then the source as one escaped line.
    fputs("</script>\n<script type=\"text/plain\" id=\"exercise\">\n", page);
    fputs(exercise.predict ? "predict\n" : "watch\n", page);
    putEscaped(page, exercise.source);
    putc('\n', page);
    fputs(pageEndText, page);
}
