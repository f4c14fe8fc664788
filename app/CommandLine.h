#pragma once

#include "forms/LaunchRequest.h"

#include <QString>
#include <QStringList>

namespace orvelle::app {

// The program's command line:
//
//     Orvelle [FILE] [--entry ID] [--find TEXT]
//     Orvelle --help
//
// With no arguments the program starts as it always has.
struct CommandLine {
    enum class Action { Run, Help, Fail };
    Action action = Action::Run;
    forms::LaunchRequest request;
    QString error; // what is wrong with a command line that fails
};

// `arguments` without the program's own name. A FILE that exists is made absolute, so a viewer
// running in another folder opens the same file; anything else (a server's host:path) is kept
// as given.
CommandLine ParseCommandLine(const QStringList& arguments);

// Whether --help (or -h) is among the raw arguments: answered before anything else starts.
bool AsksForHelp(int argc, char** argv);

// The usage text, in UTF-8.
const char* UsageText();

} // namespace orvelle::app
