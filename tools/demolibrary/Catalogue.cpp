#include "Catalogue.h"

#include <QStringList>

#include <array>
#include <vector>

namespace orvelle::demolibrary {

namespace {

// A small generator of our own, so the catalogue does not depend on how a standard
// library implements its distributions.
class Xorshift32 {
public:
    explicit Xorshift32(std::uint32_t seed) : state_(seed ? seed : 0x9E3779B9u) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // Uniform enough in [lo, hi] for a catalogue.
    int Between(int lo, int hi) { return lo + static_cast<int>(Next() % (hi - lo + 1)); }
    template <typename T> const T& Pick(const std::vector<T>& from) {
        return from[Next() % from.size()];
    }

private:
    std::uint32_t state_;
};

struct Group {
    QString title;
    QString code;
    QString unit;
    int minRub; // price range of one unit, without VAT
    int maxRub;
    std::vector<QString> items;
    std::vector<QString> grades;
};

std::vector<Group> Groups() {
    return {
        {"Цемент и вяжущие",
         "ЦМ",
         "т",
         5200,
         11800,
         {"Портландцемент", "Шлакопортландцемент", "Цемент сульфатостойкий", "Цемент белый",
          "Известь негашёная", "Гипс строительный"},
         {"ЦЕМ I 42,5Н", "ЦЕМ II/А-Ш 32,5Б", "М400 Д20", "М500 Д0", "Г-5 Б II", "навал",
          "мешок 50 кг", "биг-бэг 1 т"}},
        {"Бетон и растворы товарные",
         "БТ",
         "м³",
         4100,
         7900,
         {"Бетон тяжёлый", "Бетон мелкозернистый", "Раствор кладочный", "Раствор штукатурный",
          "Бетон на гранитном щебне"},
         {"B7,5 (М100)", "B15 (М200)", "B22,5 (М300)", "B25 (М350)", "B30 (М400)", "F150 W6", "П3",
          "П4", "М75", "М150"}},
        {"Арматура и металлопрокат",
         "АМ",
         "т",
         52000,
         98000,
         {"Арматура А500С", "Арматура А240", "Уголок равнополочный", "Швеллер", "Двутавр",
          "Лист горячекатаный", "Труба профильная"},
         {"Ø8", "Ø10", "Ø12", "Ø16", "Ø20", "50×50×5", "16П", "20Б1", "t=6 мм", "80×80×4", "Ст3сп",
          "09Г2С"}},
        {"Кирпич и камни стеновые",
         "КР",
         "1000 шт",
         14500,
         38000,
         {"Кирпич керамический рядовой", "Кирпич облицовочный", "Кирпич силикатный",
          "Камень керамический поризованный", "Блок газобетонный"},
         {"М100", "М150", "М175", "1НФ", "1,4НФ", "2,1НФ", "10,7НФ", "D500 600×300×200",
          "полнотелый", "пустотелый"}},
        {"Пиломатериалы и изделия из древесины",
         "ДР",
         "м³",
         9800,
         36000,
         {"Доска обрезная", "Брус", "Доска необрезная", "Рейка", "Фанера ФК", "Плита OSB-3"},
         {"сосна, 1 сорт", "ель, 2 сорт", "лиственница", "25×150×6000", "50×150×6000",
          "100×100×6000", "150×150×6000", "9 мм", "12 мм", "18 мм"}},
        {"Кровельные материалы",
         "КВ",
         "м²",
         180,
         1900,
         {"Профнастил", "Металлочерепица", "Рулонный наплавляемый материал", "Черепица гибкая",
          "Мембрана ПВХ", "Подкладочный ковёр"},
         {"С8", "НС35", "Монтеррей", "ЭПП 4,0", "ТКП 4,5", "1,5 мм", "0,5 мм Zn", "RAL 3005",
          "RAL 6005", "RAL 8017"}},
        {"Тепло- и звукоизоляция",
         "ТИ",
         "м³",
         2400,
         9800,
         {"Плиты минераловатные", "Пенополистирол", "Экструдированный пенополистирол",
          "Маты прошивные", "Пенополиизоцианурат"},
         {"П-75", "П-125", "ППС 25", "ППС 35", "XPS 35", "t=50 мм", "t=100 мм", "фасадные",
          "кровельные", "на сетке"}},
        {"Сухие строительные смеси",
         "СС",
         "т",
         8500,
         32000,
         {"Штукатурка гипсовая", "Штукатурка цементная", "Шпатлёвка финишная", "Клей плиточный",
          "Наливной пол", "Смесь монтажная"},
         {"мешок 30 кг", "мешок 25 кг", "мешок 20 кг", "C1", "C2 TE", "машинного нанесения",
          "для влажных помещений", "морозостойкая"}},
        {"Лакокрасочные материалы",
         "ЛК",
         "кг",
         95,
         1450,
         {"Краска водно-дисперсионная", "Эмаль ПФ-115", "Грунтовка ГФ-021",
          "Грунт глубокого проникновения", "Лак паркетный", "Олифа"},
         {"белая", "серая", "красно-коричневая", "ведро 14 кг", "банка 2,7 кг", "фасадная",
          "интерьерная", "матовая"}},
        {"Трубы и фитинги",
         "ТР",
         "м",
         45,
         4200,
         {"Труба стальная ВГП", "Труба электросварная", "Труба ПЭ100", "Труба ПП-R",
          "Труба канализационная ПВХ", "Труба чугунная ЧК"},
         {"Ду15", "Ду20", "Ду25", "Ду50", "Ду100", "SDR 11", "SDR 17", "PN20", "110×3,2",
          "оцинкованная"}},
        {"Запорная арматура",
         "ЗА",
         "шт",
         380,
         48000,
         {"Кран шаровой", "Задвижка клиновая", "Затвор дисковый", "Клапан обратный",
          "Вентиль запорный", "Фильтр сетчатый"},
         {"Ду15", "Ду32", "Ду50", "Ду80", "Ду150", "PN16", "PN25", "фланцевый", "муфтовый",
          "латунь"}},
        {"Электротехнические изделия",
         "ЭЛ",
         "шт",
         35,
         26000,
         {"Кабель ВВГнг(А)-LS", "Автоматический выключатель", "Щит распределительный", "Розетка",
          "Светильник светодиодный", "Выключатель"},
         {"3×1,5", "3×2,5", "5×10", "C16", "C25", "1P", "3P", "IP44", "IP65", "36 Вт"}},
        {"Нерудные материалы",
         "НР",
         "м³",
         650,
         2600,
         {"Песок строительный", "Щебень гранитный", "Щебень известняковый", "Гравий",
          "Песчано-гравийная смесь", "Отсев дробления"},
         {"фр. 5-20", "фр. 20-40", "фр. 40-70", "Мк 1,5-2,0", "мытый", "карьерный", "М1200",
          "природная"}},
        {"Изделия сборного железобетона",
         "ЖБ",
         "шт",
         2200,
         64000,
         {"Плита перекрытия", "Кольцо колодезное", "Перемычка", "Фундаментный блок", "Лоток",
          "Свая забивная"},
         {"ПК 60.12-8", "КС 10.9", "2ПБ 17-2", "ФБС 24.4.6", "ЛК 300.60.45", "С 80.30-8",
          "ПБ 42.12-8", "ФБС 12.5.6"}},
        {"Стекло и светопрозрачные конструкции",
         "СТ",
         "м²",
         900,
         14500,
         {"Блок оконный ПВХ", "Стеклопакет однокамерный", "Стеклопакет двухкамерный",
          "Стекло листовое", "Витраж алюминиевый"},
         {"4-16-4", "4-10-4-10-4", "М1 4 мм", "энергосберегающий", "с фрамугой", "глухой",
          "поворотно-откидной"}},
    };
}

const std::vector<QString>& Suppliers() {
    static const std::vector<QString> list = {
        "ООО «Северный камень»",      "АО «Уралстройснаб»", "ООО «ТеплоТрейд»",
        "ИП Ковалёв А. Н.",           "ООО «Волгаметалл»",  "ЗАО «СтройКомплект-Юг»",
        "ООО «Балтийская древесина»", "ООО «ИнжСистемы»",   "ООО «Ока-Бетон»",
        "АО «Завод ЖБИ № 3»",
    };
    return list;
}

// 1234567 kopecks → "12 345,67"
QString Money(std::int64_t kopecks) {
    QString rub = QString::number(kopecks / 100);
    for (qsizetype pos = rub.size() - 3; pos > 0; pos -= 3) {
        rub.insert(pos, u'\u00A0');
    }
    return rub + u',' + QString::number(kopecks % 100).rightJustified(2, u'0');
}

// The anchor of a group: most groups are marked by <a name>, every third by an id on its
// heading, so the contents list exercises both.
QString Anchor(int groupIndex) {
    return QStringLiteral("grp%1").arg(groupIndex + 1, 2, 10, QChar(u'0'));
}

} // namespace

QString GenerateCatalogue(std::uint32_t seed) {
    Xorshift32 random(seed);
    const std::vector<Group> groups = Groups();
    std::vector<int> rowCounts;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        rowCounts.push_back(random.Between(1300, 1700));
    }

    QString html;
    html.reserve(4'600'000);
    html += QStringLiteral(
        "<html>\n<head>\n<meta charset=\"windows-1251\">\n"
        "<title>Сводный каталог цен поставщиков</title>\n"
        "<style>\nbody{font-family:Arial,sans-serif;font-size:10pt}\n"
        "table{border-collapse:collapse;margin-bottom:12pt}\n"
        "th,td{border:1px solid #999;padding:2px 4px}\nth{background:#e8e8e8}\n"
        "td.r{text-align:right;white-space:nowrap}\n</style>\n</head>\n<body>\n"
        "<a name=\"top\"></a>\n<h1>Сводный каталог цен поставщиков</h1>\n"
        "<p>Цены отпускные, в рублях за единицу измерения, по состоянию на 1-й квартал; "
        "графа «Цена с НДС» учитывает НДС 20&nbsp;%. Каталог составлен по прайс-листам "
        "поставщиков и служит для определения сметной стоимости материалов, не "
        "включённых в сборники сметных цен. Код позиции: буквенный шифр группы и "
        "порядковый номер.</p>\n<h2>Содержание</h2>\n<ol>\n");
    for (std::size_t g = 0; g < groups.size(); ++g) {
        html += QStringLiteral("<li><a href=\"#%1\">%2</a> (%3 поз.)</li>\n")
                    .arg(Anchor(int(g)), groups[g].title)
                    .arg(rowCounts[g]);
    }
    html += QStringLiteral("</ol>\n");

    int number = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const Group& group = groups[g];
        if (g % 3 == 2) {
            html += QStringLiteral("<h2 id=\"%1\">%2. %3</h2>\n")
                        .arg(Anchor(int(g)))
                        .arg(g + 1)
                        .arg(group.title);
        } else {
            html += QStringLiteral("<h2><a name=\"%1\"></a>%2. %3</h2>\n")
                        .arg(Anchor(int(g)))
                        .arg(g + 1)
                        .arg(group.title);
        }
        html += QStringLiteral(
            "<table>\n<tr><th>№</th><th>Код</th><th>Наименование</th><th>Ед. изм.</th>"
            "<th>Цена без НДС, руб.</th><th>Цена с НДС, руб.</th><th>Поставщик</th></tr>\n");
        for (int row = 0; row < rowCounts[g]; ++row) {
            ++number;
            // One draw per statement: the order of operands in an expression is unspecified,
            // and the catalogue must come out the same with every compiler.
            const QString& item = random.Pick(group.items);
            const QString& grade = random.Pick(group.grades);
            const QString& variant = random.Pick(group.grades);
            const QString name = item + u' ' + grade + QStringLiteral(", ") + variant;
            const int rubles = random.Between(group.minRub, group.maxRub);
            const int kopecks = random.Between(0, 99);
            const std::int64_t price = std::int64_t(rubles) * 100 + kopecks;
            const std::int64_t withVat = (price * 120 + 50) / 100;
            const QString& supplier = random.Pick(Suppliers());
            html += QStringLiteral("<tr><td>%1</td><td>%2-%3</td><td>%4</td><td>%5</td>"
                                   "<td class=\"r\">%6</td><td class=\"r\">%7</td>"
                                   "<td>%8</td></tr>\n")
                        .arg(number)
                        .arg(group.code)
                        .arg(row + 1, 5, 10, QChar(u'0'))
                        .arg(name, group.unit, Money(price), Money(withVat), supplier);
        }
        html += QStringLiteral("</table>\n<p><a href=\"#top\">К содержанию</a></p>\n");
    }
    html += QStringLiteral("<p>Всего позиций: %1.</p>\n</body>\n</html>\n").arg(number);
    return html;
}

} // namespace orvelle::demolibrary
