#include "RussianCorpus.h"

#include "kvdbuild/Cp1251.h"

#include <array>
#include <cmath>
#include <vector>

namespace orvelle::bench {

namespace {

constexpr std::uint32_t kStems = 20000;

struct Random {
    std::uint64_t state;
    std::uint32_t Next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state >> 33);
    }
    double Unit() { return Next() / 2147483648.0; }
};

const std::vector<std::string>& Syllables() {
    static const std::vector<std::string> syllables = [] {
        std::vector<std::string> list;
        for (const char8_t* s :
             {u8"ра", u8"сце", u8"но", u8"ки", u8"бе", u8"то", u8"ли", u8"за", u8"мо", u8"ст",
              u8"ва", u8"гру", u8"пе", u8"ре", u8"кр", u8"ов", u8"ля", u8"ди", u8"ту", u8"хо",
              u8"ша", u8"жи",  u8"ме", u8"ну", u8"ко", u8"тл", u8"ба", u8"вы", u8"зе", u8"пл"}) {
            list.push_back(kvdbuild::Cp1251(s));
        }
        return list;
    }();
    return syllables;
}

const std::vector<std::string>& Endings() {
    static const std::vector<std::string> endings = [] {
        std::vector<std::string> list;
        for (const char8_t* s :
             {u8"", u8"а", u8"ы", u8"ов", u8"ам", u8"ами", u8"ой", u8"е", u8"у", u8"ах", u8"ого"}) {
            list.push_back(kvdbuild::Cp1251(s));
        }
        return list;
    }();
    return endings;
}

std::string Stem(std::uint32_t index) {
    const auto& syllables = Syllables();
    std::string stem;
    std::uint32_t rest = index;
    const int count = 2 + static_cast<int>(index % 3);
    for (int i = 0; i < count; ++i) {
        stem += syllables[rest % syllables.size()];
        rest = rest / static_cast<std::uint32_t>(syllables.size()) + i * 7 + 3;
    }
    return stem;
}

std::string Word(Random& random) {
    // Skewed: a few stems are very common, most are rare.
    const auto index = static_cast<std::uint32_t>(std::pow(random.Unit(), 3.0) * kStems);
    const auto& endings = Endings();
    return Stem(index) + endings[random.Next() % endings.size()];
}

std::string Code(Random& random) {
    char code[32];
    std::snprintf(code, sizeof code, "%02u-%02u-%03u-%02u", random.Next() % 60, random.Next() % 20,
                  random.Next() % 400, random.Next() % 30);
    return code;
}

} // namespace

std::string RussianCorpus::Name(std::uint32_t n) const {
    Random random{n * 7919ULL + 17};
    std::string name = Word(random) + ' ' + Word(random) + ' ' + Word(random);
    name[0] = static_cast<char>(static_cast<unsigned char>(name[0]) - 0x20); // capital
    return name;
}

std::string RussianCorpus::Document(std::uint32_t n, std::size_t bytes) const {
    Random random{n * 104729ULL + 5};
    const std::string name = Name(n);
    std::string html = "<html><head><title>" + name + "</title><style>p{margin:0}</style>" +
                       "</head><body><h1>" + name + "</h1>\r\n<p>";
    int sentence = 0;
    while (html.size() < bytes) {
        const std::uint32_t roll = random.Next() % 100;
        if (roll == 0) {
            html += "</p>\r\n<h2>" + Word(random) + ' ' + Word(random) + "</h2>\r\n<p>";
        } else if (roll == 1) {
            html += "<table><tr><td>" + Code(random) + "</td><td>" + Word(random) + "</td><td>" +
                    std::to_string(random.Next() % 10000) + "</td></tr></table>";
        }
        html += Word(random);
        html += ++sentence % 9 == 0 ? ".\r\n" : " ";
    }
    return html + "</p></body></html>\r\n";
}

} // namespace orvelle::bench
