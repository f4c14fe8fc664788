#include "Manifest.h"

#include <QFile>
#include <QStringList>

#include <map>
#include <set>

namespace orvelle::demolibrary {

namespace {

[[noreturn]] void Fail(const std::string& origin, int line, const std::string& what) {
    throw ManifestError(origin + ":" + std::to_string(line) + ": " + what);
}

std::int32_t ParseInt(const QString& field, const std::string& origin, int line, const char* what) {
    bool ok = false;
    const int value = field.toInt(&ok);
    if (!ok) {
        Fail(origin, line, std::string(what) + " is not a number: \"" + field.toStdString() + "\"");
    }
    return value;
}

void CheckHierarchy(const std::vector<ManifestEntry>& entries, const std::string& origin) {
    std::map<std::int32_t, const ManifestEntry*> byId;
    for (const auto& e : entries) {
        if (!byId.emplace(e.id, &e).second) {
            Fail(origin, e.line, "id " + std::to_string(e.id) + " is used twice");
        }
    }
    for (const auto& e : entries) {
        if (e.parent == 0) {
            continue;
        }
        const auto parent = byId.find(e.parent);
        if (parent == byId.end()) {
            Fail(origin, e.line, "parent " + std::to_string(e.parent) + " is not listed");
        }
        if (!parent->second->folder) {
            Fail(origin, e.line, "parent " + std::to_string(e.parent) + " is not a folder");
        }
        // Walk up; a chain longer than the list means a cycle.
        const ManifestEntry* at = &e;
        for (std::size_t steps = 0; at->parent != 0; ++steps) {
            if (steps > entries.size()) {
                Fail(origin, e.line, "entry " + std::to_string(e.id) + " is its own ancestor");
            }
            at = byId.at(at->parent);
        }
    }
}

} // namespace

std::vector<ManifestEntry> ParseManifest(const QString& text, const std::string& origin) {
    std::vector<ManifestEntry> entries;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        // The name is the last field, so a "|" inside it is kept.
        const QStringList f = line.split(u'|');
        if (f.size() < 7) {
            Fail(origin, lineNo, "expected 7 fields separated by \"|\"");
        }
        ManifestEntry e;
        e.line = lineNo;
        e.id = ParseInt(f[0].trimmed(), origin, lineNo, "id");
        e.parent = ParseInt(f[1].trimmed(), origin, lineNo, "parent");
        e.order = ParseInt(f[2].trimmed(), origin, lineNo, "order");
        if (e.id <= 0) {
            Fail(origin, lineNo, "id must be positive");
        }
        if (e.parent < 0) {
            Fail(origin, lineNo, "parent must be 0 or an id");
        }

        const QString kind = f[3].trimmed();
        if (kind == u"folder") {
            e.folder = true;
        } else if (kind != u"doc") {
            Fail(origin, lineNo, "kind must be \"folder\" or \"doc\"");
        }

        const QString show = f[4].trimmed();
        if (show == u"null") {
            e.needShow = std::nullopt;
        } else {
            e.needShow = ParseInt(show, origin, lineNo, "show");
        }

        const QString file = f[5].trimmed();
        if (file == u"-") {
            e.source = ContentSource::None;
        } else if (file == u"@catalogue") {
            e.source = ContentSource::Catalogue;
        } else if (file.isEmpty() || file.startsWith(u'@')) {
            Fail(origin, lineNo, "file must be a path, \"-\" or \"@catalogue\"");
        } else {
            e.source = ContentSource::File;
            e.file = file.toStdString();
        }

        e.name = f.mid(6).join(u'|').trimmed();
        if (e.name.isEmpty()) {
            Fail(origin, lineNo, "name is empty");
        }
        entries.push_back(std::move(e));
    }
    if (entries.empty()) {
        throw ManifestError(origin + ": no entries");
    }
    CheckHierarchy(entries, origin);
    return entries;
}

std::vector<ManifestEntry> LoadManifest(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        throw ManifestError(path + ": " + file.errorString().toStdString());
    }
    return ParseManifest(QString::fromUtf8(file.readAll()), path);
}

} // namespace orvelle::demolibrary
