#include "CommandLine.h"

#include <QFileInfo>

#include <cstring>

namespace orvelle::app {

namespace {

// "--name VALUE" or "--name=VALUE" at `index`; moves `index` past what it took.
std::optional<QString> OptionValue(const QStringList& arguments, qsizetype& index,
                                   const QString& name) {
    const QString& argument = arguments[index];
    if (argument == name) {
        if (index + 1 >= arguments.size()) {
            return std::nullopt;
        }
        index += 2;
        return arguments[index - 1];
    }
    ++index;
    return argument.mid(name.size() + 1);
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    CommandLine line;
    const auto fail = [&line](const QString& error) {
        line.action = CommandLine::Action::Fail;
        line.error = error;
        return line;
    };
    bool options = true;
    for (qsizetype i = 0; i < arguments.size();) {
        const QString& argument = arguments[i];
        if (options && (argument == u"--help" || argument == u"-h")) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (options && argument == u"--") {
            options = false;
            ++i;
        } else if (options && (argument == u"--entry" || argument.startsWith(u"--entry="))) {
            const std::optional<QString> value =
                OptionValue(arguments, i, QStringLiteral("--entry"));
            bool ok = false;
            const int id = value ? value->toInt(&ok) : 0;
            if (!ok) {
                return fail(QStringLiteral("--entry needs a register id (a whole number)"));
            }
            line.request.entry = id;
        } else if (options && (argument == u"--find" || argument.startsWith(u"--find="))) {
            const std::optional<QString> value =
                OptionValue(arguments, i, QStringLiteral("--find"));
            if (!value) {
                return fail(QStringLiteral("--find needs a text"));
            }
            line.request.find = *value;
        } else if (options && argument.startsWith(u'-') && argument.size() > 1) {
            return fail(QStringLiteral("unknown option: %1").arg(argument));
        } else if (!line.request.file.isEmpty()) {
            return fail(QStringLiteral("one library file at most"));
        } else {
            const QFileInfo file(argument);
            line.request.file = file.exists() ? file.absoluteFilePath() : argument;
            ++i;
        }
    }
    return line;
}

bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            return false;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return true;
        }
    }
    return false;
}

const char* UsageText() {
    return "Usage: Orvelle [FILE] [--entry ID] [--find TEXT]\n"
           "\n"
           "Shows the document library of the estimating application.\n"
           "\n"
           "  FILE        open this library (a .kvd file, or a server's host:path) instead of\n"
           "              the one the machine's settings name\n"
           "  --entry ID  show the register entry ID, its folders opened in the tree\n"
           "  --find TEXT open the find bar with TEXT in the document shown\n"
           "  --help      print this text\n"
           "\n"
           "When a viewer already runs for this user, a start with arguments hands them to it\n"
           "and ends; the running window comes to the front. Without arguments the viewer\n"
           "starts as usual: the library the machine's settings name, path.ini, or the user's\n"
           "choice, and where reading stopped last time.\n";
}

} // namespace orvelle::app
