// Text extraction stays bounded on markup written to hurt a parser: deep nesting, misnested
// formatting, unclosed comments, a huge attribute, a huge text. Each case runs in a process
// of its own (forked), under an address-space cap and an alarm, so a parser that fails the
// bounds fails the case and leaves the machine alone.
#include "search/HtmlText.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using orvelle::search::ExtractHtmlText;

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

// Every case holds this word as text, after the hostile part unless that part runs to the end,
// so a case that stops early is told from one that finishes.
const std::string kLastWord = "финальноеслово";

struct HostileCase {
    const char* name;
    std::function<std::string()> make;
};

void PrintTo(const HostileCase& c, std::ostream* out) {
    *out << c.name;
}

HostileCase Nested(const char* name, const char* open, std::size_t depth) {
    return {name, [open, depth] { return Repeat(open, depth) + "<p>" + kLastWord; }};
}

// Kilobytes of the process's memory from /proc/self/status ("VmRSS", "VmHWM", "VmSize").
long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0 && line[std::string_view(key).size()] == ':') {
            return std::stol(line.substr(std::string_view(key).size() + 1));
        }
    }
    return -1;
}

struct Measured {
    double seconds = 0;
    long peakKb = 0;  // above what the process held with the input made
    int finished = 0; // the last word came out
    long inputKb = 0;
};

long MemoryBoundKb(long inputKb) {
    return 3 * inputKb + 16L * 1024;
}

double TimeBound(long inputKb) {
    return 1.0 + 0.1 * static_cast<double>(inputKb) / 1024;
}

// Runs the extraction in a child process, capped at four times the memory bound above what it
// holds with the input made and killed well after the time bound. Empty when the child did
// not report.
std::optional<Measured> MeasureInChild(const HostileCase& c) {
    int fds[2];
    if (pipe(fds) != 0) {
        return std::nullopt;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const std::string html = c.make();
        Measured m;
        m.inputKb = static_cast<long>(html.size() / 1024);
        const rlim_t cap =
            static_cast<rlim_t>(StatusKb("VmSize") + 4 * MemoryBoundKb(m.inputKb)) * 1024;
        const rlimit limit{cap, cap};
        setrlimit(RLIMIT_AS, &limit);
        std::ofstream("/proc/self/clear_refs") << "5"; // the peak starts from here
        const long before = StatusKb("VmRSS");
        alarm(static_cast<unsigned>(4 * TimeBound(m.inputKb)) + 2);
        const auto start = std::chrono::steady_clock::now();
        const auto text = ExtractHtmlText(html);
        m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        m.peakKb = StatusKb("VmHWM") - before;
        m.finished = text.body.find(kLastWord) != std::string::npos;
        [[maybe_unused]] const auto written = write(fds[1], &m, sizeof m);
        _exit(0);
    }
    close(fds[1]);
    Measured m;
    const bool reported = read(fds[0], &m, sizeof m) == static_cast<ssize_t>(sizeof m);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!reported) {
        return std::nullopt;
    }
    return m;
}

class HostileMarkup : public testing::TestWithParam<HostileCase> {};

// Bounds a linear, streaming extraction meets many times over on a loaded machine: memory of
// three times the input plus 16 MB, a second plus a tenth of a second per megabyte.
TEST_P(HostileMarkup, ExtractionIsLinearInTimeAndMemory) {
    const HostileCase& c = GetParam();
    const auto m = MeasureInChild(c);
    ASSERT_TRUE(m.has_value()) << c.name << ": the extraction died (memory cap or alarm)";
    std::printf("%-28s input %8ld KB  time %8.3f s  peak %8ld KB\n", c.name, m->inputKb, m->seconds,
                m->peakKb);
    EXPECT_TRUE(m->finished) << c.name << ": the text after the markup is lost";
    EXPECT_LE(m->peakKb, MemoryBoundKb(m->inputKb)) << c.name;
    EXPECT_LE(m->seconds, TimeBound(m->inputKb)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileMarkup,
    testing::Values(
        Nested("tables_1e3", "<table><tr><td>", 1000),
        Nested("tables_1e4", "<table><tr><td>", 10000),
        Nested("tables_1e5", "<table><tr><td>", 100000),
        Nested("tables_1e6", "<table><tr><td>", 1000000), Nested("divs_1e3", "<div>", 1000),
        Nested("divs_1e5", "<div>", 100000), Nested("divs_1e6", "<div>", 1000000),
        Nested("inline_1e3", "<b>", 1000), Nested("inline_1e5", "<b>", 100000),
        Nested("inline_1e6", "<b>", 1000000),
        HostileCase{
            "misnested_formatting_1e5",
            [] { return Repeat("<b><i><u>слово</b></i></u><a><p><a>", 100000) + kLastWord; }},
        HostileCase{"misnested_table_1e4",
                    [] { return Repeat("<table><b><tr><i><td>x</b><font>", 10000) + kLastWord; }},
        HostileCase{"unclosed_comments",
                    [] {
                        return "<p>" + kLastWord + " <!-- " +
                               Repeat("<b>скрыто</b> <!-- -- --!-> ", 300000);
                    }},
        HostileCase{"attribute_32MB",
                    [] {
                        return "<div title=\"" + std::string(32u << 20, 'a') + "\">" + kLastWord +
                               "</div>";
                    }},
        HostileCase{
            "text_64MB",
            [] { return "<p>" + Repeat("смета расценка ", (64u << 20) / 28) + kLastWord; }}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// What the one-pass reading keeps of markup a browser reads in its own way.
struct ReadingCase {
    const char* html;
    const char* body; // the body's words, blanks and line breaks each as one blank
    const char* title = "";
    const char* headings = "";
};

std::string Words(const std::string& text) {
    std::string words;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\n';
        if (!blank) {
            words += c;
        } else if (!words.empty() && words.back() != ' ') {
            words += ' ';
        }
    }
    if (!words.empty() && words.back() == ' ') {
        words.pop_back();
    }
    return words;
}

void PrintTo(const ReadingCase& c, std::ostream* out) {
    *out << c.html;
}

class Reading : public testing::TestWithParam<ReadingCase> {};

TEST_P(Reading, KeepsWhatABrowserShows) {
    const ReadingCase& c = GetParam();
    const auto text = ExtractHtmlText(c.html);
    EXPECT_EQ(Words(text.body), c.body) << c.html;
    EXPECT_EQ(Words(text.title), c.title) << c.html;
    EXPECT_EQ(Words(text.headings), c.headings) << c.html;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reading,
    testing::Values(
        ReadingCase{"<title>Сме&amp;та</title><h1>Раз<b>дел</b></h1><p>а<br>б</p>", "Раздел а б",
                    "Сме&та", "Раздел"},
        ReadingCase{"<H2 class=\"x>y\">Глава<BR>два</H2>текст", "Глава два текст", "", "Глава два"},
        ReadingCase{"&laquo;&#1105;&#x451;&nbsp;&copy2024 &#150; &#0; &bogus; & &lt",
                    "«ёё\u00a0©2024 – "
                    "\uFFFD &bogus; & <"},
        ReadingCase{"a<script>b</p>c</script >d<style>e</style>f<!-- g -->h<!--->i<!-->j<?x>k",
                    "adfhijk"},
        ReadingCase{"a<template><p>b<template>c</template>d</template>e", "ae"},
        ReadingCase{"a<noscript>b</noscript>c<textarea>&lt;d</textarea>e<xmp>&lt;</xmp>",
                    "ac <d e &lt;"},
        ReadingCase{"a<div title='>' data-x=\"<p>\">b</div>c<p class=x>d<p/ >e< f", "a b c d e< f"},
        ReadingCase{"a</ br>b<!DOCTYPE html>c</>d<![CDATA[x]]>e<img src=x", "abcde"},
        ReadingCase{"\xC0x\xED\xA0\x80y\x01z\r\nw", "\uFFFDx\uFFFD\uFFFD\uFFFDy z w"}));

} // namespace
