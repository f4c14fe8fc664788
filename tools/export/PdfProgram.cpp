// orvelle-export-pdf FILE ID OUT.pdf [--time-limit SECONDS]: the work of `orvelle-export pdf`,
// which runs this program (see PdfCommand.h). Documents are laid out by the web engine, as in
// the viewer, on the offscreen platform (no display needed) unless QT_QPA_PLATFORM says
// otherwise.
#include "RegisterListing.h"
#include "db/Errors.h"
#include "platform/AnsiText.h"
#include "platform/NativeFileName.h"
#include "platform/TerminationSignals.h"
#include "store/Library.h"
#include "store/RegisterQueries.h"
#include "viewer/PageSetupSettings.h"
#include "viewer/PrepareEngine.h"
#include "viewer/SectionPrinter.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>

#include <charconv>
#include <chrono>
#include <iostream>
#include <optional>
#include <string_view>

using namespace orvelle;
using exporter::RegisterListing;

namespace {

constexpr int ExitFailure = 1;

int Usage() {
    std::cerr << "usage: orvelle-export pdf FILE ID OUT.pdf [--time-limit SECONDS]\n";
    return ExitFailure;
}

std::optional<std::int32_t> ParseId(const std::string& text) {
    std::int32_t id = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (failure != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return id;
}

// The engine and the offscreen platform talk on stderr about themselves; what a caller reads
// there is this command's own progress and messages.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::cerr << message.toStdString() << '\n';
    }
}

std::string MessageOf(const std::exception& error) {
    const auto* dbError = dynamic_cast<const db::Exception*>(&error);
    return dbError ? platform::FromClientMessage(dbError->Message()).toStdString() : error.what();
}

std::optional<double> ParseSeconds(std::string_view text) {
    double seconds = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (failure != std::errc() || end != text.data() + text.size() || !(seconds > 0)) {
        return std::nullopt;
    }
    return seconds;
}

int MakePdf(int& argc, char** argv, const std::string& file, const std::string& idText,
            const std::string& output, double timeLimitSeconds) {
    const std::optional<std::int32_t> id = ParseId(idText);
    if (!id) {
        std::cerr << "not a register id: " << idText << '\n';
        return ExitFailure;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    viewer::PrepareEngine();
    qInstallMessageHandler(QuietQtMessages);
    QGuiApplication application(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Orvelle"));
    QGuiApplication::setApplicationName(QStringLiteral("Orvelle"));
    platform::QuitOnTerminationSignals(application); // before the library is attached

    store::Library library;
    RegisterListing listing;
    std::vector<RegisterListing::SectionEntry> section;
    try {
        library.Open(file);
        store::WalkRegister(library.Query(), 0, nullptr, listing);
        section = listing.Section(*id);
    } catch (const std::exception& error) {
        std::cerr << MessageOf(error) << '\n';
        return ExitFailure;
    }
    if (section.empty()) {
        std::cerr << "no register entry with id " << *id << " in the tree\n";
        return ExitFailure;
    }

    std::vector<viewer::SectionEntry> entries;
    entries.reserve(section.size());
    for (const RegisterListing::SectionEntry& item : section) {
        entries.push_back({platform::FromAnsi(item.entry->name), item.depth});
    }
    const auto source = [&library, &section](int index) {
        return platform::FromAnsi(
            store::ReadDocumentContent(library.Query(), section[index].entry->idCONTENTS));
    };
    viewer::SectionPrinter::Options options;
    options.layout = viewer::KeptPageLayout();
    options.documentLimit = std::chrono::milliseconds(static_cast<qint64>(timeLimitSeconds * 1000));
    viewer::SectionPrinter printer(std::move(entries), source, options);

    QObject::connect(&printer, &viewer::SectionPrinter::Progress,
                     [](int index, int total, const QString& title) {
                         if (index < total) {
                             std::cerr << '[' << index + 1 << '/' << total << "] "
                                       << title.toStdString() << '\n';
                         } else {
                             std::cerr << "assembling the PDF\n";
                         }
                     });
    QObject::connect(&printer, &viewer::SectionPrinter::Skipped,
                     [&printer](int index, const QString& note) {
                         std::cerr << "skipped [" << index + 1 << '/' << printer.Total()
                                   << "]: " << note.toStdString() << '\n';
                     });
    int exitCode = ExitFailure;
    QObject::connect(&printer, &viewer::SectionPrinter::Finished,
                     [&exitCode](viewer::SectionPrinter::Outcome outcome, const QString& message) {
                         if (outcome == viewer::SectionPrinter::Outcome::Written) {
                             exitCode = 0;
                         } else {
                             std::cerr << (message.isEmpty() ? std::string("cancelled")
                                                             : message.toStdString())
                                       << '\n';
                         }
                         QCoreApplication::exit(0);
                     });
    printer.Start(QFileInfo(QString::fromLocal8Bit(output)).absoluteFilePath());
    application.exec();
    if (platform::TerminationRequested() && exitCode != 0) {
        std::cerr << "cancelled\n";
    }
    return exitCode;
}

} // namespace

int main(int argc, char* argv[]) {
    platform::UseSystemCharacterSet(); // file names reach the client as the system spells them
    double seconds = 60;
    if (argc == 6) {
        const std::optional<double> limit = ParseSeconds(argv[5]);
        if (std::string_view(argv[4]) != "--time-limit" || !limit) {
            return Usage();
        }
        seconds = *limit;
    } else if (argc != 4) {
        return Usage();
    }
    return MakePdf(argc, argv, argv[1], argv[2], argv[3], seconds);
}
