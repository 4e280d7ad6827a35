// pagejoin: joins a page's ES modules into the one script that the page
// holds inline, from its entry module down through what each imports: a
// module that is imported comes before those that import it, each in a
// function of its own, so that only what it exports is seen outside it,
// and nothing it declares reaches the page's window; its opening comment is
// kept, and its other lines that are only comments are left out. The
// imports are the list of the page's files. Fails, saying why, on a cycle of
// imports, on a name that two modules export, on a name imported that its
// module doesn't export, and on a file in the page's own folder that nothing
// imports. Writes a make depfile of the files it read, so that the build
// follows the imports too. Usage: pagejoin ENTRY.js OUT.js DEPFILE [OWN_FOLDER]

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

struct Module {
    std::string path; // as realpath has it
    std::string id;   // the name its exports go by in the joined script
    std::string body; // its text, imports and "export" taken out
    std::vector<std::string> exports;
    bool done = false;
};

static std::map<std::string, Module> modules;
static std::vector<std::string> order; // each after what it imports
static std::vector<std::string> going; // the imports being followed
static std::map<std::string, std::string> exporter; // name -> path

[[noreturn]] static void
fail(const std::string &why)
{
    fprintf(stderr, "pagejoin: %s\n", why.c_str());
    exit(1);
}

static std::string
readAll(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "r");
    if (f == nullptr)
        fail(path + ": " + strerror(errno));
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    fclose(f);
    return text;
}

static std::string
resolved(const std::string &path)
{
    char real[PATH_MAX];
    if (realpath(path.c_str(), real) == nullptr)
        fail(path + ": " + strerror(errno));
    return real;
}

static std::string
folderOf(const std::string &path)
{
    return path.substr(0, path.rfind('/') + 1);
}

static std::string
nameOf(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

static std::string load(const std::string &path);

// `import {a, b as c} from "./x.js";` becomes `const {a, b: c} = x;` once
// x.js stands before it.
static std::string
takeImports(const std::string &path, const std::string &text)
{
    static const std::regex import(
        R"re(^import\s*\{([^}]*)\}\s*from\s*"([^"]+)";[ \t]*$)re",
        std::regex::multiline);
    static const std::regex name(
        R"(\s*([A-Za-z_$][\w$]*)(\s+as\s+([A-Za-z_$][\w$]*))?\s*)");
    std::string out;
    auto last = text.cbegin();
    for (std::sregex_iterator m(text.begin(), text.end(), import), end;
         m != end; ++m) {
        std::string from = resolved(folderOf(path) + (*m)[2].str());
        std::string id = load(from);
        const Module &target = modules[from];
        std::string names, list = (*m)[1].str();
        for (size_t at = 0; at <= list.size();) {
            size_t comma = list.find(',', at);
            std::string one =
                list.substr(at, comma == std::string::npos ? std::string::npos
                                                           : comma - at);
            at = comma == std::string::npos ? list.size() + 1 : comma + 1;
            std::smatch n;
            if (one.find_first_not_of(" \t\n") == std::string::npos)
                continue;
            if (!std::regex_match(one, n, name))
                fail(nameOf(path) + ": can't read the import of '" + one + "'");
            bool exported = false;
            for (const std::string &e : target.exports)
                exported = exported || e == n[1].str();
            if (!exported)
                fail(nameOf(path) + " imports " + n[1].str() + ", which " +
                     nameOf(from) + " doesn't export");
            names += (names.empty() ? "" : ", ") + n[1].str() +
                     (n[3].matched ? ": " + n[3].str() : "");
        }
        out.append(last, m->prefix().second);
        out += "const {" + names + "} = " + id + ";";
        last = (*m)[0].second;
    }
    out.append(last, text.cend());
    return out;
}

// `export function f` and `export const c` lose their "export".
static std::string
takeExports(Module &m, const std::string &text)
{
    static const std::regex exported(
        R"(^export\s+((?:async\s+)?function\*?|const|let|class)\s+([A-Za-z_$][\w$]*))",
        std::regex::multiline);
    std::string out;
    auto last = text.cbegin();
    for (std::sregex_iterator e(text.begin(), text.end(), exported), end;
         e != end; ++e) {
        std::string n = (*e)[2].str();
        auto was = exporter.find(n);
        if (was != exporter.end())
            fail(n + " is exported by both " + nameOf(was->second) + " and " +
                 nameOf(m.path));
        exporter[n] = m.path;
        m.exports.push_back(n);
        out.append(last, e->prefix().second);
        out += (*e)[1].str() + " " + n;
        last = (*e)[0].second;
    }
    out.append(last, text.cend());
    static const std::regex other(R"(^export\b)", std::regex::multiline);
    if (std::regex_search(out, other))
        fail(nameOf(m.path) + ": only 'export function', 'export const', "
                              "'export let' and 'export class' are joined");
    return out;
}

// The page carries each module's opening comment, which says what it is,
// and leaves the comments of its lines to the source: a line that is a
// comment and nothing else is left out after the first code.
static std::string
withoutLineComments(const std::string &text)
{
    std::string out;
    bool head = true;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        size_t first = text.find_first_not_of(" \t", at);
        bool comment = first < end && text.compare(first, 2, "//") == 0;
        head = head && (comment || first >= end - 1);
        if (head || !comment)
            out.append(text, at, end - at);
        at = end;
    }
    return out;
}

// Loads the module at path and, first, what it imports; returns the name
// its exports go by.
static std::string
load(const std::string &path)
{
    for (size_t i = 0; i < going.size(); i++)
        if (going[i] == path) {
            std::string cycle;
            for (size_t j = i; j < going.size(); j++)
                cycle += nameOf(going[j]) + " imports ";
            fail("a cycle of imports: " + cycle + nameOf(path));
        }
    Module &m = modules[path];
    if (m.done)
        return m.id;
    m.path = path;
    std::string base = nameOf(path);
    m.id = "module" + std::to_string(modules.size()) + "$" +
           std::regex_replace(base.substr(0, base.rfind('.')),
                              std::regex("[^A-Za-z0-9_]"), "_");
    going.push_back(path);
    std::string text = withoutLineComments(readAll(path));
    // Exports first: the imports of a module that imports this one are
    // checked against them.
    text = takeExports(m, text);
    m.body = takeImports(path, text);
    going.pop_back();
    m.done = true;
    order.push_back(path);
    return m.id;
}

int
main(int argc, char *argv[])
{
    if (argc < 4 || argc > 5) {
        fputs("usage: pagejoin ENTRY.js OUT.js DEPFILE [OWN_FOLDER]\n", stderr);
        return 2;
    }
    load(resolved(argv[1]));
    if (argc == 5) {
        std::string own = resolved(argv[4]) + "/";
        DIR *d = opendir(own.c_str());
        if (d == nullptr)
            fail(own + ": " + strerror(errno));
        std::set<std::string> unused;
        for (dirent *e; (e = readdir(d)) != nullptr;) {
            std::string n = e->d_name;
            if (n.size() > 3 && n.compare(n.size() - 3, 3, ".js") == 0 &&
                modules.count(own + n) == 0)
                unused.insert(n);
        }
        closedir(d);
        if (!unused.empty())
            fail(*unused.begin() + ": nothing imports it");
    }
    std::string script, deps = std::string(argv[2]) + ":";
    for (const std::string &path : order) {
        const Module &m = modules[path];
        std::string exports;
        for (const std::string &e : m.exports)
            exports += (exports.empty() ? "" : ", ") + e;
        script += "// " + nameOf(path) + "\nconst " + m.id + " = (() => {\n" +
                  m.body + "return {" + exports + "};\n})();\n";
        deps += " " + path;
    }
    FILE *out = fopen(argv[2], "w");
    FILE *dep = fopen(argv[3], "w");
    if (out == nullptr || dep == nullptr || fputs(script.c_str(), out) < 0 ||
        fprintf(dep, "%s\n", deps.c_str()) < 0 || fclose(out) != 0 ||
        fclose(dep) != 0)
        fail(std::string(argv[2]) + ": " + strerror(errno));
    return 0;
}
