// Reading a TOML file (a plan, a bench) before toml++ sees it: the files that cannot be read,
// the texts past the bounds, and where a character of a string stands.
#include "support/RefusedText.h"
#include "tomlfile/TextBounds.h"
#include "tomlfile/TextPlace.h"
#include "tomlfile/TomlFile.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

std::string Repeated(std::string_view part, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += part;
    return text;
}

using Refused = testsupport::RefusedText;

const Refused RefusedTexts[] = {
    {"larger than 1 MiB", "#" + std::string(1 << 20, 'x'), 0, 0,
     "the plan has 1048577 bytes; at most 1 MiB (1048576 bytes) is read"},
    {"Latin-1", "name='caf\xE9'\n", 1, 10,
     "the byte 0xE9 is not UTF-8 text; save the plan as UTF-8 (it may have been saved as "
     "Latin-1 or Windows-1252)"},
    {"a stray byte after a character", "x='\xC3\xA9\xFF'\n", 1, 5, "the byte 0xFF"},
    {"an overlong form", "x='\xC0\x80'\n", 1, 4, "the byte 0xC0"},
    {"a surrogate", "x='\xED\xA0\x80'\n", 1, 4, "the byte 0xED"},
    {"past U+10FFFF", "x='\xF4\x90\x80\x80'\n", 1, 4, "the byte 0xF4"},
    {"a character cut off at the end", "x=1 #\xE2\x9C", 1, 6, "the byte 0xE2"},

    // toml++ nests by recursion with no limit: 50,000 parts would end the program.
    {"a dotted key of 50,000 parts", Repeated("a.", 49'999) + "a = 1\n", 1, 18,
     "tables, dotted keys, arrays and inline tables are nested more than 8 levels deep here, "
     "more than a plan may have"},
    {"a table name of 50,000 parts", "[" + Repeated("a.", 49'999) + "a]\n", 1, 17, "nested"},
    {"an array-of-tables name", "[[" + Repeated("a.", 49'999) + "a]]\n", 1, 18, "nested"},
    {"a dotted key below a header", "[a.b.c]\nd.e.f.g.h.i.j=1\n", 2, 12, "nested"},
    {"quoted key parts", "'a'.\"b\". c .d.e.f.g.h.i.j=1\n", 1, 24, "nested"},
    {"arrays", "x=[[[[[[[[[1]]]]]]]]]\n", 1, 11, "nested"},
    {"arrays after a literal string that ends in a backslash", "x=['C:\\',[[[[[[[[1]]]]]]]]]\n", 1,
     17, "nested"},
    {"arrays over lines", "x=[\n[\n[[[[[[[1]]]]]]]\n]]\n", 3, 7, "nested"},
    {"inline tables", "x={a={a={a={a={a={a={a={a={a=1}}}}}}}}}\n", 1, 27, "nested"},
    {"inline tables after a sibling", "x={a=1,b={c={d={e={f={g={h={i={}}}}}}}}}\n", 1, 31,
     "nested"},
    {"a dotted key in an inline table", "x={a.b.c.d.e.f.g.h.i=1}\n", 1, 19, "nested"},
    {"arrays of inline tables", "x=[{a=[{a=[{a=[{a=[1]}]}]}]}]\n", 1, 19, "nested"},

    {"no TOML", "x = \n", 1, 5, ""},
};

TEST(TomlText, ATextPastTheBoundsIsRefusedWhereItBreaksThemBeforeTomlxxSeesIt) {
    for (const Refused& refused : RefusedTexts) {
        SCOPED_TRACE(refused.what);
        tomlfile::TomlError error;
        EXPECT_FALSE(tomlfile::ParseToml(refused.text, "plan.toml", error, "plan"));
        testsupport::ExpectTold(error, "plan.toml", refused);
    }
}

// Near the refusals above, but within the bounds: strings and comments nest nothing.
TEST(TomlText, TextsWithinTheBoundsAreParsed) {
    const std::string texts[] = {
        "#" + std::string((1 << 20) - 1, 'x'),
        "q=[[[[[[[[1]]]]]]]]\na.b.c.d.e.f.g.h=1\n[i.j.k.l.m.n.o.p]\n",
        "x={a={a={a={a={a={a={a={}}}}}}}}\n",
        "x=[{a=1},{b=2},{c=3},{d=4},{e=5},{f=6},{g=7},{h=8},{i=9},{j=10}]\n",
        "x=1.5 # a.b.c.d.e.f.g.h.i.j[[[[[[[[[[\n",
        "x=\"a.b.c.d.e.f.g.h.i.j \\\" [[[[[[[[[[\"\n",
        "x='''[[[[.{{{{.'''\n",
        "x=\"\"\"\n" + Repeated(".", 50'000) + "\\\n   [[[[[[[[[[\"\"\"\n",
        "x='''a.b.c.d.e.f.g.h.i.j [[[[[[[[[[''''\n",
        "\"a.b.c.d.e.f.g.h.i.j\"=1\n",
        "\"caf\xC3\xA9\"='\xE2\x9C\x93 \xF0\x9F\x98\x80'\n",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 80));
        tomlfile::TomlError error;
        EXPECT_TRUE(tomlfile::ParseToml(text, "bench.toml", error)) << error.text();
    }
}

TEST(TomlFile, AFileThatCannotBeReadIsToldWithTheReasonAndNeverWaitedOn) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& text) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return file.fileName().toStdString();
    };
    const std::string large = write("large.toml", QByteArray((1 << 20) + 1, '#'));
    // Nothing ever writes to it: opening it to wait for a writer would hang here.
    const std::string pipe = dir.filePath("pipe.toml").toStdString();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string missing = dir.filePath("missing.toml").toStdString();
    const std::string folder = dir.path().toStdString();
    const struct {
        std::string path;
        const char* noun;
        std::string told;
    } cases[] = {
        {missing, "plan", missing + ": cannot open the plan: No such file or directory"},
        {missing, "bench", missing + ": cannot open the bench: No such file or directory"},
        {folder, "plan", folder + ": this is a directory, not a TOML file"},
        {pipe, "bench", pipe + ": cannot read the bench: it is not a regular file"},
        {"/dev/null", "plan", "/dev/null: cannot read the plan: it is not a regular file"},
        {large, "bench",
         large + ": the bench has 1048577 bytes; at most 1 MiB (1048576 bytes) is read"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.path);
        tomlfile::TomlError error;
        EXPECT_FALSE(tomlfile::ReadTomlFile(each.path, error, each.noun));
        EXPECT_EQ(error.text(), each.told);
    }
}

TEST(TomlFile, AFileIsReadWhole) {
    QTemporaryDir dir;
    QFile file(dir.filePath("plan.toml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const std::string text = "# " + std::string((1 << 20) - 3, 'x') + "\n"; // 1 MiB exactly
    file.write(text.data(), qint64(text.size()));
    file.close();
    tomlfile::TomlError error;
    const auto read = tomlfile::ReadTomlFile(file.fileName().toStdString(), error);
    ASSERT_TRUE(read) << error.text();
    EXPECT_EQ(*read, text);
}

// The value of `x` in each text; the character asked for is always '☃' (U+2603).
TEST(TextPlace, ACharacterOfAStringIsFoundWhereTheTextSpellsItOut) {
    const struct {
        const char* what;
        std::string text;
        std::size_t index; ///< in characters of the string's value
        int line;
        int column;
    } cases[] = {
        {"a basic string", "x = \"ab\u2603\"\n", 2, 1, 8},
        {"after characters of several bytes", "x = \"\u00e9\u4e2d\U0001F600\u2603\"\n", 3, 1, 9},
        {"after escapes", "x = \"a\\t\\\"\\u00e9\\U0001F600\u2603\"\n", 5, 1, 27},
        {"written as an escape", "x = \"a\\t\\u00e9\\u2603\"\n", 3, 1, 15},
        {"written as a long escape", "x = \"\\U00002603\"\n", 0, 1, 6},
        {"a literal string, whose backslashes are its own", "x = 'a\\t\u2603'\n", 3, 1, 9},
        {"a multi-line string", "x = \"\"\"\nok\nx\u2603\"\"\"\n", 4, 3, 2},
        {"with Windows line ends", "x = \"\"\"\r\nok\r\nx\u2603\"\"\"\r\n", 4, 3, 2},
        {"after a line-ending backslash", "x = \"\"\"a\\\n   \n  \u2603\"\"\"\n", 1, 3, 3},
        {"a multi-line literal string", "x = '''\na\\\n\u2603'''\n", 3, 3, 1},
        {"in an inline table", "t = { y = 1, x = \"-\u2603\" }\n", 1, 1, 20},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        const toml::table root = toml::parse(each.text);
        const toml::node* x = root.at_path("x").node();
        if (!x) x = root.at_path("t.x").node();
        ASSERT_TRUE(x && x->is_string());
        ASSERT_EQ(QString::fromStdString(**x->as_string()).toUcs4().at(qsizetype(each.index)),
                  U'\u2603');
        const tomlfile::TextPlace place =
            tomlfile::CharacterPlace(each.text, tomlfile::BeginOf(x->source()), each.index);
        EXPECT_EQ(place.line, each.line);
        EXPECT_EQ(place.column, each.column);
    }
}

} // namespace
