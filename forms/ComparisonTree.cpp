#include "ComparisonTree.h"

#include "ChangeMarks.h"
#include "platform/AnsiText.h"
#include "store/LibraryComparison.h"

#include <QFont>
#include <QHash>
#include <QTextDocument>

namespace orvelle::forms {

namespace {

std::optional<unsigned> ChangesOf(QByteArrayView words) {
    if (words == "same") {
        return 0u;
    }
    static const std::pair<const char*, unsigned> kWords[] = {{"added", store::kAdded},
                                                              {"removed", store::kRemoved},
                                                              {"renamed", store::kRenamed},
                                                              {"moved", store::kMoved},
                                                              {"changed", store::kChanged}};
    unsigned changes = 0;
    for (const QByteArrayView word : QByteArray(words.data(), words.size()).split(',')) {
        bool known = false;
        for (const auto& [text, change] : kWords) {
            if (word == text) {
                changes |= change;
                known = true;
            }
        }
        if (!known) {
            return std::nullopt;
        }
    }
    return changes;
}

} // namespace

QString UnescapeField(QByteArrayView field) {
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\' || i + 1 >= field.size()) {
            bytes += c;
            continue;
        }
        const char next = field[++i];
        if (next == 't') {
            bytes += '\t';
        } else if (next == 'n') {
            bytes += '\n';
        } else if (next == 'r') {
            bytes += '\r';
        } else if (next == 'x' && i + 2 < field.size()) {
            bytes += static_cast<char>(QByteArray(field.data() + i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else if (next == 'u' && i + 4 < field.size()) {
            const auto codePoint =
                static_cast<char32_t>(QByteArray(field.data() + i + 1, 4).toUInt(nullptr, 16));
            bytes += QString::fromUcs4(&codePoint, 1).toUtf8();
            i += 4;
        } else {
            bytes += next;
        }
    }
    return QString::fromUtf8(bytes);
}

std::optional<std::vector<ComparisonRow>> ParseComparisonTree(const QByteArray& listing) {
    std::vector<ComparisonRow> rows;
    int previousDepth = -1;
    for (const QByteArrayView line : listing.split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QList<QByteArray> fields = QByteArray(line.data(), line.size()).split('\t');
        if (fields.size() != 9) {
            return std::nullopt;
        }
        ComparisonRow row;
        bool depthRead = false;
        bool idRead = false;
        const std::optional<unsigned> changes = ChangesOf(fields[0]);
        row.depth = fields[1].toInt(&depthRead);
        row.id = fields[2].toInt(&idRead);
        if (!changes || !depthRead || !idRead || row.depth < 0 || row.depth > previousDepth + 1 ||
            (fields[3] != "F" && fields[3] != "D")) {
            return std::nullopt;
        }
        row.changes = *changes;
        row.folder = fields[3] == "F";
        row.name = UnescapeField(fields[4]);
        row.oldName = UnescapeField(fields[5]);
        row.oldFolder = UnescapeField(fields[6]);
        for (const auto& [field, content] :
             {std::pair{&fields[7], &row.oldContent}, std::pair{&fields[8], &row.newContent}}) {
            bool read = false;
            const int id = field->toInt(&read);
            if (read) {
                *content = id;
            } else if (*field != "-") {
                return std::nullopt;
            }
        }
        previousDepth = row.depth;
        rows.push_back(std::move(row));
    }
    return rows;
}

ComparisonTreeItem::ComparisonTreeItem(std::unique_ptr<store::TUzel> entry, QIcon icon,
                                       ComparisonRow row)
    : RegisterTreeItem(std::move(entry), std::move(icon)), row_(std::move(row)) {
    row_.name.clear(); // the item's text holds it
}

QVariant ComparisonTreeItem::data(int column, int role) const {
    if (column == 0) {
        switch (role) {
        case Qt::ForegroundRole: {
            const QColor colour = ChangeColour(row_.changes);
            return colour.isValid() ? QVariant(colour) : QVariant();
        }
        case Qt::FontRole:
            if ((row_.changes & store::kRemoved) || holdsChanges_) {
                QFont font;
                font.setItalic((row_.changes & store::kRemoved) != 0);
                font.setBold(holdsChanges_);
                return font;
            }
            return {};
        case Qt::ToolTipRole: {
            QString text = RegisterTreeItem::data(0, Qt::DisplayRole).toString();
            const QString changes = DescribeChanges(row_.changes, row_.oldName, row_.oldFolder);
            if (!changes.isEmpty()) {
                text += QChar('\n') + changes;
            }
            return Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap);
        }
        default:
            break;
        }
    }
    return RegisterTreeItem::data(column, role);
}

QList<QTreeWidgetItem*> MakeComparisonItems(const std::vector<ComparisonRow>& rows,
                                            const QPixmap& folderPicture,
                                            const QPixmap& documentPicture) {
    QHash<quint64, QIcon> icons; // by folder and changes: a few dozen at most
    QList<QTreeWidgetItem*> topLevel;
    std::vector<ComparisonTreeItem*> path; // the items above the next one, by depth
    for (const ComparisonRow& row : rows) {
        auto entry = std::make_unique<store::TUzel>();
        entry->id = row.id;
        entry->name = platform::ToAnsi(row.name);
        entry->ISPAPKA = row.folder ? 1 : 0;
        entry->idCONTENTS = row.newContent.value_or(row.oldContent.value_or(0));
        const quint64 key = (quint64{row.changes} << 1) | (row.folder ? 1 : 0);
        auto icon = icons.constFind(key);
        if (icon == icons.constEnd()) {
            icon = icons.insert(
                key, MarkedIcon(row.folder ? folderPicture : documentPicture, row.changes));
        }
        auto* item = new ComparisonTreeItem(std::move(entry), *icon, row);
        item->setText(0, row.name);
        path.resize(static_cast<std::size_t>(row.depth));
        if (path.empty()) {
            topLevel.append(item);
        } else {
            path.back()->addChild(item);
        }
        if (row.changes != 0) {
            for (auto above = path.rbegin(); above != path.rend() && !(*above)->HoldsChanges();
                 ++above) {
                (*above)->SetHoldsChanges();
            }
        }
        path.push_back(item);
    }
    return topLevel;
}

} // namespace orvelle::forms
