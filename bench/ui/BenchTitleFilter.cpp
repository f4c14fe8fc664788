// Measures the title filter above the tree: the time from a keystroke in the filter field to
// the tree laid out and painted again, on a tree of 100,000 entries (a tenth of them folders,
// on five levels) and on one of 100,000 siblings under a single folder. Queries are typed a
// letter at a time and then erased a letter at a time (the last erase restores the tree).
// Runs offscreen.
//
//     bench_title_filter [entries] [rounds]      (defaults 100000 and 3)
//
// The window is shown, so the field's focus works as it does for a reader.

#include "forms/TitleFilter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

const char16_t* const kWords[] = {
    u"Расценки", u"на",     u"бетонные", u"работы", u"Сметные", u"нормы",   u"ФЕР",
    u"ГЭСН",     u"кладку", u"кирпича",  u"Щебень", u"Ёмкости", u"отделка", u"земляные",
    u"монтаж",   u"труб",   u"Сборник",  u"Часть",  u"Таблица", u"цемента", u"арматура"};

QString Name(std::mt19937& random, int id) {
    std::uniform_int_distribution<int> word(0, std::size(kWords) - 1);
    std::uniform_int_distribution<int> count(2, 5);
    QString name;
    for (int i = count(random); i > 0; --i) {
        name += QString::fromUtf16(kWords[word(random)]) + u' ';
    }
    return name + QStringLiteral("%1-%2").arg(id % 100, 2, 10, QChar(u'0')).arg(id);
}

// Five levels: 1 %, 9 %, 30 % and 60 % of the folders from the top down, documents spread
// over all folders.
void FillLevels(QTreeWidget& tree, int entries) {
    std::mt19937 random(7);
    const int folders = entries / 10;
    const int shares[] = {folders / 100, folders * 9 / 100, folders * 30 / 100};
    std::vector<std::vector<QTreeWidgetItem*>> levels(4);
    int id = 0;
    QList<QTreeWidgetItem*> top;
    for (int i = 0; i < std::max(1, shares[0]); ++i) {
        auto* item = new QTreeWidgetItem({Name(random, ++id)});
        top.append(item);
        levels[0].push_back(item);
    }
    const int rest[] = {shares[1], shares[2], folders - shares[0] - shares[1] - shares[2]};
    for (int level = 1; level < 4; ++level) {
        for (int i = 0; i < rest[level - 1]; ++i) {
            QTreeWidgetItem* parent = levels[level - 1][i % levels[level - 1].size()];
            auto* item = new QTreeWidgetItem(parent, {Name(random, ++id)});
            levels[level].push_back(item);
        }
    }
    std::vector<QTreeWidgetItem*> all;
    for (const auto& level : levels) {
        all.insert(all.end(), level.begin(), level.end());
    }
    for (int i = id; i < entries; ++i) {
        new QTreeWidgetItem(all[i % all.size()], {Name(random, ++id)});
    }
    tree.addTopLevelItems(top);
}

void FillFlat(QTreeWidget& tree, int entries) {
    std::mt19937 random(11);
    auto* folder = new QTreeWidgetItem({QStringLiteral("Все документы")});
    QList<QTreeWidgetItem*> children;
    for (int id = 1; id < entries; ++id) {
        children.append(new QTreeWidgetItem({Name(random, id)}));
    }
    folder->addChildren(children);
    tree.addTopLevelItem(folder);
    folder->setExpanded(true);
}

struct Figures {
    std::vector<double> ms;
    void Print(const char* label) {
        std::sort(ms.begin(), ms.end());
        const auto at = [&](double q) {
            return ms[std::min(ms.size() - 1, std::size_t(q * ms.size()))];
        };
        std::printf("  %-34s %4zu keystrokes  median %6.1f ms  p95 %6.1f ms  max %6.1f ms\n", label,
                    ms.size(), at(0.5), at(0.95), ms.back());
    }
};

// One keystroke: the field's text changes, then the tree is laid out and painted.
double Keystroke(orvelle::forms::TitleFilter& filter, QTreeWidget& tree, const QString& text) {
    QElapsedTimer clock;
    clock.start();
    filter.setText(text);
    QApplication::processEvents(); // the delayed layout
    tree.viewport()->repaint();
    return clock.nsecsElapsed() / 1e6;
}

void Run(const char* shape, void (*fill)(QTreeWidget&, int), int entries, int rounds) {
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* tree = new QTreeWidget(&window);
    tree->setHeaderHidden(true);
    tree->setUniformRowHeights(true);
    auto* filter = new orvelle::forms::TitleFilter(tree, &window);
    column->addWidget(filter);
    column->addWidget(tree);
    QElapsedTimer clock;
    clock.start();
    fill(*tree, entries);
    window.resize(300, 700);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    std::printf("%s: %d entries built in %.0f ms\n", shape, entries, clock.nsecsElapsed() / 1e6);
    // The reader clicks into the field before typing; the filter indexes the tree then.
    clock.restart();
    filter->setFocus();
    QApplication::processEvents();
    std::printf("  %-34s %.1f ms\n", "focusing the field (index)", clock.nsecsElapsed() / 1e6);

    const QString queries[] = {QStringLiteral("бетонные"), QStringLiteral("щебень ёмк"),
                               QStringLiteral("42-"), QStringLiteral("ЕМКОСТИ"),
                               QStringLiteral("ГЭСН")};
    Figures first, typing, erasing, restoring;
    for (int round = 0; round < rounds; ++round) {
        for (const QString& query : queries) {
            for (int n = 1; n <= query.size(); ++n) {
                (n == 1 ? first : typing).ms.push_back(Keystroke(*filter, *tree, query.left(n)));
            }
            for (qsizetype n = query.size() - 1; n >= 0; --n) {
                (n == 0 ? restoring : erasing)
                    .ms.push_back(Keystroke(*filter, *tree, query.left(n)));
            }
        }
    }
    first.Print("first letter (from the whole tree)");
    typing.Print("further letters");
    erasing.Print("erasing a letter");
    restoring.Print("erasing the last (restore)");
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    Run("five levels", FillLevels, entries, rounds);
    Run("one folder", FillFlat, entries, rounds);
    return 0;
}
