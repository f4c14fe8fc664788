#include "SearchLibrary.h"

#include "kvdbuild/Cp1251.h"
#include "kvdbuild/Register.h"

#include <optional>

namespace orvelle::searchtest {

namespace {

using kvdbuild::Cp1251;
using kvdbuild::RegisterRow;

std::string Page(const char8_t* title, const char8_t* body) {
    return Cp1251(std::u8string(u8"<html><head><title>") + title + u8"</title></head><body>" +
                  body + u8"</body></html>");
}

std::string Filler(int words) {
    static const char8_t* const vocabulary[] = {u8"грунт",    u8"котлован", u8"бетон",
                                                u8"опалубка", u8"арматура", u8"кладка",
                                                u8"смета",    u8"объём",    u8"техника"};
    std::u8string text;
    for (int i = 0; i < words; ++i) {
        text += vocabulary[(i * 7) % 9];
        text += i % 12 == 11 ? u8". " : u8" ";
    }
    return Cp1251(text);
}

} // namespace

void BuildSearchLibrary(const std::string& path, bool withHuge, bool changed) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    const std::vector<RegisterRow> rows = {
        // idparent, id, childcount, name, orderview, idcontents, ispapka, needshow
        {0, kPriceFolder, 12, Cp1251(u8"Сметные нормативы"), 1, 1001, 1, 1},
        {kPriceFolder, kPriceTitle, 0, Cp1251(u8"Расценки на земляные работы"), 1, 1011, 0, 1},
        {kPriceFolder, kPassing, 0, Cp1251(u8"Общие положения"), 2, 1012, 0, 1},
        {kPriceFolder, kYoDocument, 0, Cp1251(u8"Праздник"), 3, 1013, 0, 1},
        {kPriceFolder, kEDocument, 0, Cp1251(u8"Игрушки"), 4, 1014, 0, 1},
        {kPriceFolder, kCodes, 0, Cp1251(u8"Шифры"), 5, 1015, 0, 1},
        {kPriceFolder, kPhrase, 0, Cp1251(u8"Порядок"), 6, 1016, 0, 1},
        {kPriceFolder, kReversed, 0, Cp1251(u8"Обратный порядок"), 7, 1017, 0, 1},
        {kPriceFolder, kScripts, 0, Cp1251(u8"Сценарии"), 8, 1018, 0, 1},
        {kPriceFolder, kBroken, 0, Cp1251(u8"Сломанная разметка"), 9, 1019, 0, 1},
        {kPriceFolder, kOddBytes, 0, Cp1251(u8"Странные байты"), 10, 1020, 0, 1},
        {kPriceFolder, kEscaping, 0, Cp1251(u8"Знаки"), 11, 1021, 0, 1},
        {kPriceFolder, kSubFolder, 1, Cp1251(u8"Подраздел"), 12, 1002, 1, 1},
        {kSubFolder, kDeep, 0, Cp1251(u8"Глубокий документ"), 1, 1022, 0, 1},
        {0, kHiddenFolder, 1, Cp1251(u8"Скрытая папка"), 2, 1003, 1, 0},
        {kHiddenFolder, kHiddenDocument, 0, Cp1251(u8"Невидимка"), 1, 1031, 0, 1},
    };
    kvdbuild::AddRegisterRows(builder, rows);
    if (withHuge) {
        kvdbuild::AddRegisterRow(builder,
                                 {0, kHuge, 0, Cp1251(u8"Большой документ"), 3, 1040, 0, 1});
    }

    kvdbuild::AddContent(builder, 1001, Page(u8"Нормативы", u8"<p>Папка нормативов.</p>"));
    kvdbuild::AddContent(builder, 1002, Page(u8"Подраздел", u8"<p>Папка подраздела.</p>"));
    kvdbuild::AddContent(builder, 1003, Page(u8"Скрыто", u8"<p>Папка невидимок.</p>"));
    kvdbuild::AddContent(builder, 1011,
                         Page(u8"Расценки на земляные работы",
                              u8"<h1>Расценки</h1><p>Разработка грунта в котлованах.</p>"));
    kvdbuild::AddContent(builder, 1012,
                         Page(u8"Общие положения", (u8"<p>" + std::u8string(u8"Вводная часть. ") +
                                                    u8"Применяется к расценкам раздела.</p>")
                                                       .c_str()) +
                             Filler(400));
    kvdbuild::AddContent(builder, 1013,
                         Page(u8"Праздник", u8"<p>Зелёная ёлка и Ёмкость для воды.</p>"));
    kvdbuild::AddContent(builder, 1014, Page(u8"Игрушки", u8"<p>Елочный шар.</p>"));
    kvdbuild::AddContent(builder, 1015,
                         Page(u8"Шифры",
                              u8"<table><tr><td>01-01-003-02</td><td>ФЕР 12.1</td></tr></table>"
                              u8"<p>См. ГЭСН81-02-01-2001, пункт 3.</p>"));
    kvdbuild::AddContent(builder, 1016,
                         Page(u8"Порядок", changed ? u8"<p>Земляные работы: траншея.</p>"
                                                   : u8"<p>Земляные работы выполняются.</p>"));
    kvdbuild::AddContent(builder, 1017,
                         Page(u8"Обратный", u8"<p>Работы бывают разные, а земляные ниже.</p>"));
    kvdbuild::AddContent(builder, 1018,
                         Page(u8"Сценарии", u8"<script>var тайноеслово = 1;</script>"
                                            u8"<style>.стилевоеслово { color: red }</style>"
                                            u8"<p title=\"атрибутноеслово\">Видимый текст.</p>"));
    kvdbuild::AddContent(builder, 1019,
                         Cp1251(u8"<p><b>незакрытый <td>обрывок</i></div><table><p>хвост"));
    kvdbuild::AddContent(builder, 1020,
                         Cp1251(u8"<p>перед") + std::string(1, '\0') + Cp1251(u8"нулевой ") +
                             std::string(1, '\x98') + Cp1251(u8"неопределённый</p>"));
    kvdbuild::AddContent(builder, 1021,
                         Page(u8"Знаки", u8"<p>Условие a &lt; b &amp; c для откосов.</p>"));
    kvdbuild::AddContent(builder, 1022,
                         Page(u8"Глубоко", u8"<p>Глубинная проходка.</p><p>По форме образца.</p>"));
    kvdbuild::AddContent(builder, 1031, Page(u8"Невидимка", u8"<p>Засекреченный текст.</p>"));
    if (withHuge) {
        std::string huge = Cp1251(u8"<html><body><p>");
        const std::string block = Filler(2000);
        while (huge.size() < std::size_t{20} * 1024 * 1024) {
            huge += block;
        }
        huge += Cp1251(u8" последнеередкоеслово</p></body></html>");
        kvdbuild::AddContent(builder, 1040, huge);
    }
    builder.Close();
}

void BuildWideLibrary(const std::string& path, int documents, std::size_t lastDocumentBytes) {
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    kvdbuild::AddRegisterRow(builder, {0, 1, documents, Cp1251(u8"Все"), 1, 1, 1, 1});
    for (int i = 0; i < documents; ++i) {
        const std::int32_t id = 100 + i;
        kvdbuild::AddRegisterRow(builder,
                                 {1, id, 0, "Doc " + std::to_string(i), i, 10000 + i, 0, 1});
        std::string content = Cp1251("<p>") + Filler(40) + " w" + std::to_string(i) + "</p>";
        if (i + 1 == documents) {
            const std::string block = Filler(2000);
            while (content.size() < lastDocumentBytes) {
                content += block;
            }
        }
        kvdbuild::AddContent(builder, 10000 + i, content);
    }
    builder.Close();
}

void BuildHostileLibrary(const std::string& path) {
    const auto repeat = [](const std::string& piece, std::size_t times) {
        std::string text;
        text.reserve(piece.size() * times);
        for (std::size_t i = 0; i < times; ++i) {
            text += piece;
        }
        return text;
    };
    const std::string hostile[kHostileDocuments] = {
        repeat("<table><tr><td>", 100000),
        repeat("<div>", 1000000),
        repeat("<b>", 1000000),
        repeat("<b><i><u>x</b></i></u><a><p><a>", 100000),
        "<div title=\"" + std::string(std::size_t{32} << 20, 'a') + "\">",
        "<p>" + repeat("<!-- <b>x</b> --!-> ", 1) + repeat("<b>y</b>", 100000) + "-->",
    };
    auto builder = kvdbuild::KvdBuilder::Create(path);
    kvdbuild::CreateRegisterTables(builder, true);
    kvdbuild::AddRegisterRow(builder, {0, kPriceTitle, 0, Cp1251(u8"Расценки"), 0, 1011, 0, 1});
    kvdbuild::AddContent(builder, 1011, Page(u8"Расценки", u8"<p>Расценки на работы.</p>"));
    for (int i = 0; i < kHostileDocuments; ++i) {
        kvdbuild::AddRegisterRow(
            builder, {0, 100 + i, 0, "Hostile " + std::to_string(i + 1), i + 1, 10000 + i, 0, 1});
        kvdbuild::AddContent(builder, 10000 + i,
                             hostile[i] + Cp1251(u8" хвост") + std::to_string(i + 1));
    }
    builder.Close();
}

} // namespace orvelle::searchtest
